#pragma once

#include "reports/render/columnsizer.h"
#include "reports/render/pagemodel.h"

#include <QHash>
#include <limits>
#include <vector>

namespace wip::reports {

// Lays one tabular (or crosstab) report of a page model out: its bands, its
// columns measured by a ColumnSizer and placed side by side, its runs of rows.
// A page model keeps one per section, so that a model for the screen measures
// later rows when they come into view and moves its columns when one grows.
//
// For paper every row is measured at once, the columns are fitted to the paper
// (see ColumnSizer::fit) and the rows whose values wrap get their extra height;
// for the screen values stay on one line and no row grows.
class SectionLayout
{
public:
    explicit SectionLayout(const PageModel::Options &options) : m_options(options) {}

    // Lays the section out: a table of the definition's columns, or only the
    // heading and footer of a composite. `criteria` closes the heading when set.
    void build(PageModel::Section &s, const Definition &def, const QString &criteria, bool composite,
               const QString &title = QString());
    // Measures rows [first, last] that are not measured yet; true when the layout
    // changed (a column grew).
    bool measureRows(PageModel::Section &s, int first, int last);
    // Paper laid out from its first rows (Options::firstRows): measures the next
    // `rows` rows; true when the layout changed (a column grew, a row wrapped).
    bool measureMore(PageModel::Section &s, int rows);
    bool measuredAll(const PageModel::Section &s) const;
    // Paper: whether some column's values wrap; rows [from, to] (of those
    // measured) take the lines they wrap to, the rows above keep theirs, those
    // below take one line until they are wrapped.
    bool wrapsRows() const { return m_wrapped.contains(true); }
    void wrapRows(PageModel::Section &s, int from, int to = std::numeric_limits<int>::max()) const;
    int measuredTo() const { return m_measuredTo; }

    // The header, footer, summary and group bands of a definition (used by forms
    // too); items under a column in `columns` (lower-case name -> index) share a line.
    // `title` opens the heading, `criteria` closes it, when set.
    static void buildBands(PageModel::Section &s, const Definition &def, const QString &criteria,
                           const QHash<QString, int> &columns, double fontSize, const QString &title = QString());
    // Places the band items at their columns and the lines of their own across
    // the report, widening the report to its widest such line.
    static void placeBands(PageModel::Section &s, double fontSize);
    // Tops and heights of the runs, with the extra height of wrapped rows.
    static void placeRuns(PageModel::Section &s);

private:
    bool print() const { return m_options.purpose == PageModel::Purpose::Print; }
    void layoutRuns(PageModel::Section &s, const Definition &def) const;
    bool measureBands(PageModel::Section &s, int first, int last);
    void measureTexts(PageModel::Section &s);
    void place(PageModel::Section &s);

    PageModel::Options m_options;
    ColumnSizer m_sizer;
    QVector<bool> m_wrapped;           // per column: its values wrap on paper
    std::vector<bool> m_measuredBlocks;
    int m_measuredTo = 0;              // paper: rows 1..m_measuredTo are measured
    double m_target = 0;               // the width to fit, in points; 0: no limit
    int m_keyCount = 0;
};

} // namespace wip::reports
