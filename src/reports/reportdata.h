#pragma once

#include "reports/definition.h"
#include "reports/expression.h"

#include <QString>
#include <QVariant>
#include <QVector>

namespace wip::reports {

class ColumnData;

// What the renderer and the exports read: a definition with its rows, the current
// texts of its text objects, and the values of its computed fields. A retrieved
// DataStore is one; a saved report read back from its file is another. Rows are
// 1-based and read through ExpressionContext: rowCount() and item(row, name),
// which every reader of reports uses (expressions, the renderer, the exports).
// For composites rowCount() is 0 and nested() holds the nested reports.
class ReportData : public ExpressionContext
{
public:
    virtual const Definition &definition() const = 0;
    // Columns of the rows, in order: the definition's columns, except for a
    // crosstab, whose rows are the pivot (row keys, value columns, totals).
    virtual QVector<Column> columns() const { return definition().columns; }
    // Current text of a text object (after Modify), or its design text.
    virtual QString objectText(const QString &name) const = 0;
    virtual QVector<const ReportData *> nested() const { return {}; }
    // The values the report was retrieved with, one per argument of the definition
    // in its order (a list argument as a QStringList or QVariantList); empty when
    // not known. A printed report states them in its heading.
    virtual QVariantList retrievalArguments() const { return {}; }
    // The title of the window that showed the report, when known (a report saved
    // by a window's print button): it names a report whose definition has no title.
    virtual QString windowTitle() const { return {}; }
};

} // namespace wip::reports
