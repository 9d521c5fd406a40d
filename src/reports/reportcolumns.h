#pragma once

#include "reports/definition.h"
#include "reports/reportdata.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace wip::reports {

// One column of a report as it is shown and exported: a result column, a computed
// field of the detail band, or a pivoted column of a crosstab.
struct ReportColumn
{
    QString name;
    bool computed = false;     // read as a computed field rather than a result column
    QStringList caption;
    QString format;
    ValueType type = ValueType::String;
    Align align = Align::Left;
    int width = 0;             // characters; 0: measure
    bool picture = false;      // the value names a picture file
    bool rowKey = false;       // repeated on the left of pages printed across
    bool ratio = false;        // a computed ratio (isRatio): files carry it as its format shows it
};

// Where the columns go: the screen shows every visible column; paper and files
// leave out the columns marked not to be printed (ids, tick columns).
enum class ColumnUse { Screen, Output };

// The columns a tabular or crosstab report shows, left to right: its visible result
// columns, then the visible computed fields of its detail band. A crosstab shows the
// columns of its pivoted rows: row keys, value columns, totals.
QVector<ReportColumn> reportColumns(const ReportData &data, ColumnUse use = ColumnUse::Screen);

// Whether a computed field's values are ratios, rates and shares: its expression
// divides, or reads a computed field that does. A quotient is exact only to the
// twelve places division gives it, so files carry it rounded to the places its
// display format shows (a loss rate "##0.00": 1.5000726216412 is written 1.5).
bool isRatio(const Definition &definition, const QString &field);

// The value a file carries for a cell (CSV, JSON, workbook), the same in each:
// a number as its exact Decimal (a double as the decimal it stands for), a ratio
// as its format shows it (shownNumber); anything else as it is.
QVariant outputValue(const QVariant &value, const QString &format, bool ratio);

// A name as a person says it: "grand_sum_qty" -> "Grand Sum Qty".
QString spokenName(const QString &name);
// The heading of a column in one line: its caption lines joined by a space, or its
// spoken name when it has no caption.
QString headingText(const ReportColumn &column);

} // namespace wip::reports
