#pragma once

#include "reports/definition.h"
#include "reports/rowtable.h"

namespace wip {
class Transaction;
}

namespace wip::reports {

// Writes the changes of a DataStore's rows back to the definition's update table
// (definition.updateTable, keyed by definition.keyColumns):
//
//   deleted rows               DELETE ... where key = the key as retrieved
//   changed retrieved rows     UPDATE of the changed columns only, by the key as retrieved
//   new rows given values      INSERT of their non-NULL columns (an identity key is
//                              then filled by the database)
//
// A column is written under the column part of its "db" when that names the
// update table (or has no table), and not at all when it names another table.
// Everything runs inside one TransactionGuard: when a statement fails, or an
// UPDATE or DELETE matches no row (someone else changed the record), nothing is
// written and the trace names the fault.
class ReportUpdate
{
public:
    ReportUpdate(const Definition &definition, const RowTable &rows);

    // True when every change was written and committed.
    bool write(Transaction &transaction);

private:
    QString whereKeys(const QVector<QVariant> &values, QVariantList *bind) const;
    bool run(Transaction &tr, const QString &sql, const QVariantList &values, bool mustTouchOne);
    bool writeChangedRow(Transaction &tr, int row);
    bool writeNewRow(Transaction &tr, int row);

    const Definition &m_definition;
    const RowTable &m_rows;
    QStringList m_dbColumns;   // per result column: its column in the update table, "" for none
    QVector<int> m_keys;
    QString m_failure;
};

} // namespace wip::reports
