#pragma once

#include "reports/reportcolumns.h"
#include "reports/reportdata.h"

#include <QVector>
#include <vector>

namespace wip::reports {

// Measures the columns of one report with the fonts that paint them and decides
// how wide each is. Every value is measured (not a sample), but only when asked:
// the screen measures the rows it shows, paper measures every row before it is
// cut into pages. Widths are in points and include the cell's padding.
//
// A column's natural width is that of its widest value or caption line on one
// line; its minimum is what it cannot go below: its widest value when that is
// short (a code, an order number, a number or a date), else its widest word; its
// caption lines when short ("客户编号"); any text placed under it in a band (a
// subtotal label, a sum). fit() keeps the natural widths when they fit, otherwise narrows the text
// columns with the widest values first (their values then wrap) until the report
// fits; when even the minimums do not fit, the report is printed across pages and
// each column keeps its natural width (capped at one page).
//
//   natural  [60 KCNO] [200 remarks] [40 qty]     target 220 -> [60] [120] [40]
class ColumnSizer
{
public:
    struct Measure
    {
        double valuesWidth = 0;   // widest value, one line
        double valuesWord = 0;    // widest word of a value
        double captionLine = 0;   // widest caption line (bold)
        double captionWord = 0;   // widest caption word (bold)
        double under = 0;         // widest text under the column in a band
        double given = 0;         // the definition's width in characters, in points
        bool wraps = false;       // a text column: values may wrap
        bool breaks = false;      // a value holds a line break
        bool picture = false;
    };

    struct Fit
    {
        QVector<double> widths;
        bool across = false;      // too wide for the target even at the minimums
    };

    static constexpr double padding = 3;        // points inside a cell on each side
    static constexpr double pictureWidth = 54;  // a picture column, padding included
    static constexpr double pictureHeight = 40; // the row of a report with pictures

    ColumnSizer() = default;
    ColumnSizer(const QVector<ReportColumn> &columns, double fontSize);

    int count() const { return int(m_columns.size()); }
    const ReportColumn &column(int i) const { return m_columns.at(i); }
    const Measure &measure(int i) const { return m_measures.at(size_t(i)); }

    // Values of rows [first, last] (1-based, clamped). True when a natural width grew.
    bool measureRows(const ReportData &data, int first, int last);
    // The values another sizer of the same columns measured (a report read a
    // run of rows at a time, measured as the runs went by), as if measured here.
    void takeValues(const ColumnSizer &other);
    // A text shown under column i in a band at a font size: the column is at least
    // that wide. True when it grew.
    bool measureUnder(int i, const QString &text, double fontSize, bool bold);

    double natural(int i) const;
    double minimum(int i) const;
    // Widths for a report that should be at most `target` points wide (0: no
    // limit); `keyWidth` is what the repeated key columns take on pages across.
    Fit fit(double target, double keyWidth) const;

    // The text of a cell as the report shows it ("" for NULL or a value that
    // cannot be read).
    static QString cellText(const ReportData &data, int row, const ReportColumn &column);

private:
    QVector<ReportColumn> m_columns;
    std::vector<Measure> m_measures;
    double m_fontSize = 9;
};

} // namespace wip::reports
