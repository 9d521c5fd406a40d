#pragma once

#include "reports/definition.h"
#include "reports/render/pagemodel.h"

#include <QMarginsF>
#include <QPageSize>
#include <QSizeF>
#include <QVector>

namespace wip::reports {

// A page model split into printed pages. Every page repeats the header and the
// column captions of each report it shows, and carries the footer (page numbers)
// at its bottom. Breaks fall between bands, never through a row. A report wider
// than the page is scaled down to fit its width. The model itself is not changed;
// preview, printing and PDF share one Pagination per page size.
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

    struct Page
    {
        QVector<Slice> slices;
        int firstRow = 1;       // first detail row on the page (page-field evaluation)
    };

    Pagination(const PageModel &model, const QSizeF &pageSize, const QMarginsF &margins);

    // The paper of a definition's page setup (A4 unless it names another).
    static QPageSize pageSizeFor(const PageSetup &setup);
    // Paper size in points, turned for landscape.
    static QSizeF pageSizePoints(const PageSetup &setup);
    static QMarginsF defaultMargins() { return QMarginsF(28, 28, 28, 28); }

    const PageModel &model() const { return m_model; }
    int pageCount() const { return int(m_pages.size()); }
    const Page &page(int index) const { return m_pages.at(index); }
    QSizeF pageSize() const { return m_pageSize; }
    QMarginsF margins() const { return m_margins; }
    // Model points per page point are 1 / scale().
    double scale() const { return m_scale; }
    // Height of the body area of a page, in model points.
    double bodyHeight() const { return m_bodyHeight; }

private:
    double breakPoint(const PageModel::Section &s, double from, double limit) const;

    const PageModel &m_model;
    QSizeF m_pageSize;
    QMarginsF m_margins;
    double m_scale = 1;
    double m_bodyHeight = 0;
    QVector<Page> m_pages;
};

} // namespace wip::reports
