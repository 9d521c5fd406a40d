#pragma once

#include "reports/definition.h"
#include "reports/expression.h"

#include <QVariant>
#include <QVector>
#include <vector>

namespace wip::reports {

// Turns the source rows of a crosstab definition into its pivot rows.
//
//   source (gongxu_code, edtime, qty):  (04, d1, 5) (06, d1, 2) (04, d1, 3)
//   rows gongxu_code, columns edtime, values qty = "sum(qty for crosstab)"
//   pivot (gongxu_code, qty):           (04, 8) (06, 2)
//
// Pivot rows are the distinct row-key values, sorted; pivot columns are the row
// keys, then for each distinct column-key value (sorted) and each value one
// column, named after the value when there is one column-key value, else
// <value>_<n>. A value expression is evaluated over the source rows of its cell
// ("for crosstab"); a cell without source rows is NULL. The totals are computed
// fields of the pivot rows and are not produced here.
class CrosstabPivot
{
public:
    struct Result
    {
        QVector<Column> columns;                  // row keys, then value columns
        std::vector<QVector<QVariant>> rows;
        QVector<QVector<int>> valueColumns;       // per value (0-based n-1): its column indices
    };

    // sourceRows hold the definition's columns in order; values are the parsed
    // value expressions, in the order of definition.crosstab->values.
    static Result build(const Definition &definition, std::vector<QVector<QVariant>> sourceRows,
                        const QVector<const Expression *> &values);

    // Text of a column-key value in a caption.
    static QString keyText(const QVariant &value);
};

} // namespace wip::reports
