#pragma once

#include "reports/compileddefinition.h"
#include "reports/expression.h"

#include <QHash>
#include <QVariant>
#include <vector>

namespace wip::reports {

// The values of a DataStore's computed fields: each evaluated on its first read
// in a row and kept until the rows change, and the results of the aggregates in
// their expressions, one per range of rows. A field that reads itself (directly
// or through others) is NULL rather than endless.
class ComputedValues
{
public:
    void clear();

    // Field `field` (an index into compiled.fields) in `row` (1-based) of the
    // context, whose rows kept here are rowCount rows from firstRow on (a run of
    // a report read a run at a time); a NULL of the field's type for NULL.
    QVariant value(const CompiledDefinition &compiled, int field, int row, const ExpressionContext &context,
                   int rowCount, int firstRow = 1);

    AggregateCache *aggregateCache() { return &m_aggregates; }

private:
    enum State : quint8 { NotYet, Evaluating, Done };
    std::vector<std::vector<QVariant>> m_values;   // [field][row - 1]
    std::vector<std::vector<quint8>> m_state;
    AggregateCache m_aggregates;
};

} // namespace wip::reports
