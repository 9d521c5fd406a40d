#pragma once

#include "reports/definition.h"
#include "reports/render/pagemodel.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QVector>
#include <optional>

namespace wip::reports {

// A page model split into printed pages. Every page repeats the header and the
// column captions of each report it shows, and carries the footer (page numbers)
// at its bottom. Breaks fall between bands, never through a row. The model itself
// is not changed; preview, printing and PDF share one Pagination per paper.
//
// Each report prints on its own paper (the definition's; a composite's parts each
// on theirs unless the composite names one), in runs of pages: the reports that
// share a paper share pages. A report wider than its paper is scaled down, but
// never so far that text falls below the smallest print size (7 pt); a report
// still too wide prints its columns across several pages, repeating its key
// columns on the left of each, over then down:
//
//   page 1: rows 1-40, columns 1-14    page 2: rows 1-40, KCNO + columns 15-28
//   page 3: rows 41-80, columns 1-14   page 4: rows 41-80, KCNO + columns 15-28
class Pagination
{
public:
    // A stretch [from, to) of a section's body shown on a page, below the section's
    // header and captions when `heading` is set.
    struct Slice
    {
        int section = 0;
        double from = 0;
        double to = 0;
        bool heading = true;
    };

    // The columns a page across shows: the key columns [0, keyWidth), then the
    // columns of [from, to) of the report, moved to follow them.
    struct ColumnBand
    {
        double keyWidth = 0;
        double from = 0;
        double to = 0;
        double page = 0;        // the printable width, in model points: titles span it
        double width() const { return keyWidth + to - from; }
    };

    struct Page
    {
        QVector<Slice> slices;
        int firstRow = 1;       // first detail row on the page (page-field evaluation)
        QSizeF size;            // the paper in points, turned for landscape
        PageSetup paper;        // what the paper is (its name and orientation)
        double scale = 1;       // page points per model point
        double bodyHeight = 0;  // height of the body area, in model points
        std::optional<ColumnBand> band; // set on a report printed across pages
        int bandIndex = 0;      // 0-based, of bandCount
        int bandCount = 1;
    };

    // Each report on its own paper (see above).
    explicit Pagination(const PageModel &model, const QMarginsF &margins = defaultMargins());
    // Every report on one paper (a printer's), `pageSize` in points.
    Pagination(const PageModel &model, const QSizeF &pageSize, const QMarginsF &margins);

    // The paper of a definition's page setup (A4 unless it names another).
    static QPageSize pageSizeFor(const PageSetup &setup);
    // Paper size in points, turned for landscape.
    static QSizeF pageSizePoints(const PageSetup &setup);
    static QPageLayout pageLayout(const Page &page);
    static QMarginsF defaultMargins() { return QMarginsF(28, 28, 28, 28); }

    const PageModel &model() const { return m_model; }
    int pageCount() const { return int(m_pages.size()); }
    const Page &page(int index) const { return m_pages.at(index); }
    QMarginsF margins() const { return m_margins; }
    // The first and last row a page's body reads, its rows and the bands
    // evaluated at a row ({0, 0}: none). Its heading is evaluated at
    // Page::firstRow, the first of these rows, or row 1 on a page without any.
    std::pair<int, int> rowsOf(int index) const;
    // The first page's paper, scale and body height (most reports have one paper).
    QSizeF pageSize() const { return m_pages.isEmpty() ? QSizeF() : m_pages.first().size; }
    double scale() const { return m_pages.isEmpty() ? 1 : m_pages.first().scale; }
    double bodyHeight() const { return m_pages.isEmpty() ? 0 : m_pages.first().bodyHeight; }

private:
    struct Group;
    void paginate(const std::optional<PageSetup> &common, const QSizeF &commonSize);
    void paginateGroup(const Group &group);
    double breakPoint(const PageModel::Section &s, double from, double limit) const;
    static QVector<ColumnBand> columnBands(const PageModel::Section &s, double width);

    const PageModel &m_model;
    QMarginsF m_margins;
    QVector<Page> m_pages;
};

} // namespace wip::reports
