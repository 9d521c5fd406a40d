#include "reports/computedvalues.h"

#include "reports/columndata.h"

namespace wip::reports {

void ComputedValues::clear()
{
    m_values.clear();
    m_state.clear();
    m_aggregates.clear();
}

QVariant ComputedValues::value(const CompiledDefinition &compiled, int field, int row, const ExpressionContext &context,
                               int rowCount, int firstRow)
{
    const size_t count = size_t(compiled.fields.size());
    if (m_values.size() != count) {
        m_values.assign(count, {});
        m_state.assign(count, {});
    }
    const size_t f = size_t(field);
    if (m_values[f].size() != size_t(rowCount)) {
        m_values[f].assign(size_t(rowCount), QVariant());
        m_state[f].assign(size_t(rowCount), NotYet);
    }
    const size_t r = size_t(row - firstRow);
    if (m_state[f][r] == Done)
        return m_values[f][r];
    if (m_state[f][r] == Evaluating)   // a field that reads itself, through others or directly
        return {};
    m_state[f][r] = Evaluating;
    QVariant result = compiled.expressions[f]->evaluate(context, row);
    if (result.isNull())   // NULL of the field's type, like a column's NULL
        result = ColumnData::null(compiled.fields.at(field).type);
    // The evaluation may have dropped the values (it does not change rows, but be safe).
    if (m_values.size() == count && m_values[f].size() == size_t(rowCount)) {
        m_values[f][r] = result;
        m_state[f][r] = Done;
    }
    return result;
}

} // namespace wip::reports
