#include "contracts/contractwrites.h"

#include "reports/datastore.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"

#include <QMap>

namespace wip {

namespace {

using reports::DataStore;
using reports::RowStatus;

// What one save does per contract: whether it writes for it (a changed or added
// row), how many records it adds and how many it deletes.
struct ContractChange
{
    bool writes = false;
    int added = 0;
    int deleted = 0;
};

QMap<QString, ContractChange> changesByContract(const DataStore &process)
{
    const QString scno = QStringLiteral("scno");
    QMap<QString, ContractChange> changes;
    for (int row = 1; row <= process.RowCount(); ++row) {
        const RowStatus status = process.rowStatus(row);
        if (status != RowStatus::DataModified && status != RowStatus::NewModified)
            continue;
        ContractChange &c = changes[process.GetItemString(row, scno)];
        c.writes = true;
        if (status == RowStatus::NewModified)
            ++c.added;
    }
    for (int row = 1; row <= process.DeletedCount(); ++row)
        ++changes[process.deletedItem(row, scno).toString()].deleted;
    return changes;
}

} // namespace

ContractWrites::SaveResult ContractWrites::saveProcess(DataStore &process, Transaction &tr)
{
    const QMap<QString, ContractChange> changes = changesByContract(process);

    TransactionGuard guard(tr);
    if (!guard.active())
        return SaveResult::Failed;

    // Headers in key order (QMap), so two saves for the same contracts cannot
    // each hold one lock and wait for the other's.
    const QString lockHeader = tr.kind() == DbKind::PostgreSQL
            ? QStringLiteral("select scno from sconh where scno = ? for update")
            : QStringLiteral("select scno from sconh where scno = ?");
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (!it->writes)
            continue;   // deleting the record of a contract whose header is gone is fine
        if (!tr.selectInto(lockHeader, {it.key()})) {
            const bool gone = tr.sqlCode == 100;
            guard.rollback();
            if (gone)
                Trace::write(QStringLiteral("Progress of contract %1 not saved: its header was deleted").arg(it.key()));
            return gone ? SaveResult::HeaderGone : SaveResult::Failed;
        }
        if (it->added == 0)
            continue;
        const auto count = tr.selectInto(QStringLiteral("select count(*) from process where scno = ?"), {it.key()});
        if (!count) {
            guard.rollback();
            return SaveResult::Failed;
        }
        if (count->value(0).toLongLong() - it->deleted + it->added > 1) {
            guard.rollback();
            Trace::write(QStringLiteral("Progress of contract %1 not saved: the contract has a record already").arg(it.key()));
            return SaveResult::RecordExists;
        }
    }

    if (!process.Update(tr)) {
        guard.rollback();
        return SaveResult::Failed;
    }
    if (!guard.commit())
        return SaveResult::Failed;
    return SaveResult::Saved;
}

bool ContractWrites::deleteHeader(const QString &scno, Transaction &tr)
{
    const bool ok = tr.execute(QStringLiteral("delete from sconh where scno = ? "), {scno});
    if (!ok || tr.sqlNRows < 1) {
        tr.rollback();
        return false;
    }
    // A COMMIT that fails has deleted nothing.
    return tr.commit();
}

} // namespace wip
