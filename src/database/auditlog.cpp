#include "database/auditlog.h"

#include "database/schema.h"
#include "runtime/decimal.h"
#include "runtime/appglobals.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

namespace wip {

namespace {

bool sameValue(const QVariant &a, const QVariant &b)
{
    return AuditLog::text(a) == AuditLog::text(b);
}

ColumnKind kindOf(ColumnType type)
{
    switch (type) {
    case ColumnType::Number: return ColumnKind::Number;
    case ColumnType::DateTime: return ColumnKind::DateTime;
    case ColumnType::Text: return ColumnKind::String;
    case ColumnType::Id:
    case ColumnType::Integer: break;
    }
    return ColumnKind::Any;
}

} // namespace

AuditSource AuditSource::window(const QString &window)
{
    return {user_code(), window};
}

QVariant AuditLog::text(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QVariant(QMetaType::fromType<QString>());
    switch (value.typeId()) {
    case QMetaType::QDateTime: return values::dateTimeText(value.toDateTime());
    case QMetaType::QDate: return values::dateTimeText(value.toDate().startOfDay());
    case QMetaType::QString: return value.toString();
    default: break;
    }
    if (const std::optional<Decimal> number = Decimal::fromVariant(value))
        return number->isValid() ? QVariant(values::numberText(*number)) : QVariant(QMetaType::fromType<QString>());
    return value.toString();
}

QList<AuditLog::Change> AuditLog::diff(const QString &scno, const QVariant &scondId, const Record &before,
                                       const Record &after)
{
    QList<Change> changes;
    QStringList fields = before.keys() + after.keys();
    fields.removeDuplicates();
    fields.sort();
    for (const QString &field : fields) {
        const QVariant old = before.value(field);
        const QVariant now = after.value(field);
        if (!sameValue(old, now))
            changes.append({scno, scondId, field, old, now});
    }
    return changes;
}

bool AuditLog::write(Transaction &tr, const AuditSource &who, const QList<Change> &changes, const QDateTime &when)
{
    const QString insert = QStringLiteral(
        "insert into audit_log (changed_at, user_code, source, scno, scond_id, field, old_value, new_value) "
        "values (?, ?, ?, ?, ?, ?, ?, ?)");
    // Whole seconds, as every date of the database is kept.
    const QDateTime stamp = when.addMSecs(-when.time().msec());
    for (const Change &c : changes) {
        const QVariant line = c.scondId.isNull() || !c.scondId.isValid() ? QVariant(QMetaType::fromType<qlonglong>())
                                                                          : QVariant(c.scondId.toLongLong());
        // A change of a user or rights text belongs to no contract.
        const QVariant scno = c.scno.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(c.scno);
        if (!tr.execute(insert, {stamp, who.user, who.source, scno, line, c.field, text(c.oldValue),
                                 text(c.newValue)}))
            return false;
    }
    return true;
}

namespace {

// The columns of a table but its Id column and those named, with their values
// in the row the key names, typed as the schema says; an empty record when
// there is no such row. False when it cannot be read.
bool readRecord(Transaction &tr, const QString &table, const QString &key, const QVariant &value,
                const QStringList &without, AuditLog::Record *record)
{
    const TableDef *t = Schema::table(table);
    QStringList names;
    for (const ColumnDef &c : t->columns) {
        if (c.type != ColumnType::Id && !without.contains(c.name))
            names << c.name;
    }
    record->clear();
    const auto row = tr.selectInto(QStringLiteral("select %1 from %2 where %3 = ?").arg(names.join(", "), table, key),
                                   {value});
    if (!row)
        return tr.sqlCode == 100;
    for (int i = 0; i < names.size(); ++i)
        record->insert(names[i], fromDbValue(row->at(i), kindOf(t->column(names[i])->type)));
    return true;
}

} // namespace

bool AuditLog::readHeader(Transaction &tr, const QString &scno, Record *header)
{
    // The counter of line numbers is no field of the contract: the lines' own
    // rows record the numbers given.
    return readRecord(tr, QStringLiteral("sconh"), QStringLiteral("scno"), scno, {QStringLiteral("next_line_no")},
                      header);
}

bool AuditLog::readLine(Transaction &tr, long long scondId, Record *line)
{
    return readRecord(tr, QStringLiteral("scond"), QStringLiteral("scond_id"), scondId, {QStringLiteral("scno")},
                      line);
}

} // namespace wip
