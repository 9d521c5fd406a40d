#pragma once

#include "reports/columndata.h"
#include "reports/definition.h"

#include <QBitArray>
#include <QVariant>
#include <QVector>

#include <utility>
#include <vector>

namespace wip::reports {

// State of a row (or of one item of a row) with respect to what was retrieved.
enum class RowStatus {
    NotModified,   // as retrieved (or as written by the last Update)
    DataModified,  // a retrieved row with changed items
    New,           // inserted and not yet given a value
    NewModified,   // inserted and given values: Update inserts it
};

// The rows a DataStore holds: one ColumnData per column, and per row its status,
// its selection, which items changed and what they were when retrieved. Rows the
// user deleted are kept apart for Update. Rows are 0-based here.
class RowTable
{
public:
    struct RowState
    {
        RowStatus status = RowStatus::NotModified;
        bool selected = false;
        QBitArray modified;           // per column, once changed
        QVector<QVariant> original;   // the values as retrieved, kept on the first change
    };
    struct DeletedRow
    {
        RowStatus status = RowStatus::NotModified;
        QVector<QVariant> values;     // as retrieved
    };

    // No rows, these columns.
    void reset(const QVector<Column> &columns);
    // No rows, the same columns.
    void clear();

    const QVector<Column> &columns() const { return m_columnDefs; }
    int columnCount() const { return int(m_columns.size()); }
    int rowCount() const { return int(m_states.size()); }

    ColumnData &column(int c) { return m_columns[size_t(c)]; }
    const ColumnData &column(int c) const { return m_columns[size_t(c)]; }
    // After the columns were filled (all to the same length): a state per row.
    void adoptFilledRows();

    QVariant value(int row, int column) const { return m_columns[size_t(column)].value(row); }
    QVector<QVariant> rowValues(int row) const;
    // Sets an item (already of the column's type) and records the change.
    void set(int row, int column, const QVariant &value);
    // A new row of NULLs before `row` (rowCount(): appends), with status New.
    void insertRow(int row);
    // Takes the row out; a row that came from the database is kept for Update.
    void deleteRow(int row);

    RowState &state(int row) { return m_states[size_t(row)]; }
    const RowState &state(int row) const { return m_states[size_t(row)]; }
    const std::vector<DeletedRow> &deleted() const { return m_deleted; }
    // Every row NotModified, nothing changed, no deleted rows.
    void resetUpdate();

    // Stable sort by (column, descending) keys: equal rows keep their order.
    void sort(const QVector<std::pair<int, bool>> &keys);

private:
    QVector<Column> m_columnDefs;
    std::vector<ColumnData> m_columns;
    std::vector<RowState> m_states;
    std::vector<DeletedRow> m_deleted;
};

} // namespace wip::reports
