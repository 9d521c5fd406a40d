#include "reports/rowtable.h"

#include <algorithm>
#include <numeric>

namespace wip::reports {

void RowTable::reset(const QVector<Column> &columns)
{
    m_columnDefs = columns;
    m_columns.clear();
    m_columns.reserve(size_t(columns.size()));
    for (const Column &c : columns)
        m_columns.emplace_back(c.type);
    m_states.clear();
    m_deleted.clear();
}

void RowTable::clear()
{
    reset(m_columnDefs);
}

void RowTable::adoptFilledRows()
{
    m_states.assign(m_columns.empty() ? 0 : size_t(m_columns.front().size()), RowState());
    m_deleted.clear();
}

QVector<QVariant> RowTable::rowValues(int row) const
{
    QVector<QVariant> values;
    values.reserve(columnCount());
    for (const ColumnData &c : m_columns)
        values.append(c.value(row));
    return values;
}

void RowTable::set(int row, int column, const QVariant &value)
{
    RowState &s = m_states[size_t(row)];
    if (s.original.isEmpty() && (s.status == RowStatus::NotModified || s.status == RowStatus::DataModified))
        s.original = rowValues(row);
    if (s.modified.size() != columnCount())
        s.modified.resize(columnCount());
    m_columns[size_t(column)].set(row, value);
    s.modified.setBit(column);
    if (s.status == RowStatus::NotModified)
        s.status = RowStatus::DataModified;
    else if (s.status == RowStatus::New)
        s.status = RowStatus::NewModified;
}

void RowTable::insertRow(int row)
{
    for (ColumnData &c : m_columns)
        c.insert(row, ColumnData::null(c.type()));
    RowState s;
    s.status = RowStatus::New;
    m_states.insert(m_states.begin() + row, std::move(s));
}

void RowTable::deleteRow(int row)
{
    RowState s = std::move(m_states[size_t(row)]);
    if (s.status == RowStatus::NotModified || s.status == RowStatus::DataModified)
        m_deleted.push_back({s.status, s.original.isEmpty() ? rowValues(row) : s.original});
    for (ColumnData &c : m_columns)
        c.remove(row);
    m_states.erase(m_states.begin() + row);
}

void RowTable::resetUpdate()
{
    for (RowState &s : m_states) {
        s.status = RowStatus::NotModified;
        s.original.clear();
        s.modified.clear();
    }
    m_deleted.clear();
}

void RowTable::sort(const QVector<std::pair<int, bool>> &keys)
{
    if (keys.isEmpty() || rowCount() < 2)
        return;
    std::vector<size_t> order(static_cast<size_t>(rowCount()));
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (const auto &[column, descending] : keys) {
            const int c = m_columns[size_t(column)].compare(qsizetype(a), qsizetype(b));
            if (c != 0)
                return descending ? c > 0 : c < 0;
        }
        return false;
    });
    for (ColumnData &c : m_columns)
        c.reorder(order);
    std::vector<RowState> states;
    states.reserve(order.size());
    for (size_t from : order)
        states.push_back(std::move(m_states[from]));
    m_states = std::move(states);
}

} // namespace wip::reports
