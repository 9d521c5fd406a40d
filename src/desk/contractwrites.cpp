#include "desk/contractwrites.h"

#include "database/auditlog.h"
#include "database/closeddays.h"
#include "desk/scanstation.h"
#include "reports/datastore.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"

#include <QHash>
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

int rowWithKey(const DataStore &store, const QString &key, const QVariant &value)
{
    for (int row = 1; row <= store.RowCount(); ++row) {
        if (store.GetItem(row, key) == value)
            return row;
    }
    return 0;
}

// Writes the changes `process` holds for contract scno through a copy of the
// contract's records as stored now, changed as `process` was changed: the same
// UPDATE of the changed columns, DELETE and INSERT by key. `process` itself keeps
// its rows' states until the whole work is committed, so that a COMMIT that fails
// leaves the record as typed, to be saved again. False when a changed or deleted
// record is no longer stored (another clerk deleted it) or a statement fails.
// Each field written is added to *audit with the value it had.
bool writeThroughCopy(const DataStore &process, const QString &scno, Transaction &tr, const QVariant &scondId,
                      QList<AuditLog::Change> *audit)
{
    const QString scnoColumn = QStringLiteral("scno");
    const QString key = process.definition().keyColumns.value(0);
    DataStore copy;
    copy.setDefinition(process.definitionPtr());
    copy.SetTransObject(tr);
    if (key.isEmpty() || copy.Retrieve({scno}) < 0)
        return false;
    const QVector<reports::Column> columns = process.columns();
    for (int row = 1; row <= process.RowCount(); ++row) {
        const RowStatus status = process.rowStatus(row);
        if ((status != RowStatus::DataModified && status != RowStatus::NewModified)
            || process.GetItemString(row, scnoColumn) != scno)
            continue;
        int target = 0;
        if (status == RowStatus::NewModified) {
            target = copy.InsertRow(0);
        } else if ((target = rowWithKey(copy, key, process.GetItem(row, key))) == 0) {
            return false;
        }
        for (const reports::Column &c : columns) {
            const QVariant value = process.GetItem(row, c.name);
            if (status == RowStatus::NewModified ? value.isNull() : !process.isItemModified(row, c.name))
                continue;
            const QVariant old = status == RowStatus::NewModified ? QVariant() : copy.GetItem(target, c.name);
            copy.SetItem(target, c.name, value);
            if (c.name != key && c.name != scnoColumn)
                audit->append({scno, scondId, c.name, old, copy.GetItem(target, c.name)});
        }
    }
    for (int row = 1; row <= process.DeletedCount(); ++row) {
        if (process.deletedItem(row, scnoColumn).toString() != scno)
            continue;
        const int target = rowWithKey(copy, key, process.deletedItem(row, key));
        if (target == 0)
            return false;
        for (const reports::Column &c : columns) {
            if (c.name != key && c.name != scnoColumn && !copy.IsNull(target, c.name))
                audit->append({scno, scondId, c.name, copy.GetItem(target, c.name), QVariant()});
        }
        copy.DeleteRow(target);
    }
    return copy.Update(tr);
}

// The first closed day among the departments the changes touch, today; empty
// when every one is open.
QString closedDepartmentDay(Transaction &tr, const QList<AuditLog::Change> &changes)
{
    const QDateTime now = QDateTime::currentDateTime();
    QStringList seen;
    for (const AuditLog::Change &c : changes) {
        const QString department = ContractWrites::departmentOf(c.field);
        if (department.isEmpty() || seen.contains(department))
            continue;
        seen << department;
        const QString why = ClosedDays::refusal(tr, department, now);
        if (!why.isEmpty())
            return QStringLiteral("合约 %1 的进度未能保存: %2").arg(c.scno, why);
    }
    return QString();
}

} // namespace

QString ContractWrites::departmentOf(const QString &column)
{
    static const QHash<QString, QString> dates{
        {QStringLiteral("wax_date"), QStringLiteral("唧蜡")},     {QStringLiteral("casting_date"), QStringLiteral("倒模")},
        {QStringLiteral("filing_date"), QStringLiteral("执模")},  {QStringLiteral("setting_date"), QStringLiteral("镶石")},
        {QStringLiteral("finishing_date"), QStringLiteral("执边")}, {QStringLiteral("polishing_date"), QStringLiteral("打磨")},
        {QStringLiteral("rhodium_date"), QStringLiteral("电金")}};
    const QString name = column.trimmed().toLower();
    for (const ScanDepartment &d : ScanDepartment::all()) {
        if (name == d.inColumn || name == d.outColumn)
            return d.caption;
    }
    return dates.value(name);
}

ContractWrites::SaveResult ContractWrites::saveProcess(DataStore &process, Transaction &tr, const AuditSource &who,
                                                      const QVariant &scondId, QString *refusal)
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

    QList<AuditLog::Change> audit;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (!writeThroughCopy(process, it.key(), tr, scondId, &audit)) {
            guard.rollback();
            Trace::write(QStringLiteral("Progress of contract %1 not saved, nothing written").arg(it.key()));
            return SaveResult::Failed;
        }
    }
    if (const QString closed = closedDepartmentDay(tr, audit); !closed.isEmpty()) {
        guard.rollback();
        if (refusal)
            *refusal = closed;
        Trace::write(QStringLiteral("Progress not saved: ") + closed);
        return SaveResult::DayClosed;
    }
    if (!AuditLog::write(tr, who, audit)) {
        guard.rollback();
        Trace::write(QStringLiteral("Progress not saved: its change record could not be written"));
        return SaveResult::Failed;
    }
    if (!guard.commit())
        return SaveResult::Failed;
    process.ResetUpdate();
    return SaveResult::Saved;
}

bool ContractWrites::deleteHeader(const QString &scno, Transaction &tr, const AuditSource &who)
{
    // The header as it was goes into the audit trail with its deletion; on
    // PostgreSQL its row is locked first, so what is recorded is what is deleted.
    const QString lock = tr.kind() == DbKind::PostgreSQL
        ? QStringLiteral("select scno from sconh where scno = ? for update")
        : QStringLiteral("select scno from sconh where scno = ?");
    AuditLog::Record before;
    const bool read = (tr.selectInto(lock, {scno}) || tr.sqlCode == 100) && AuditLog::readHeader(tr, scno, &before);
    const bool ok = read && tr.execute(QStringLiteral("delete from sconh where scno = ? "), {scno})
        && (tr.sqlNRows < 1 || AuditLog::write(tr, who, AuditLog::diff(scno, QVariant(), before, {})));
    if (!ok || tr.sqlNRows < 1) {
        tr.rollback();
        return false;
    }
    // A COMMIT that fails has deleted nothing.
    return tr.commit();
}

} // namespace wip
