#include "reference/referenceaudit.h"

#include "runtime/transaction.h"

namespace wip::reference {

namespace {

QVariant textOrNull(const QString &text)
{
    return text.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace

bool ReferenceAudit::write(Transaction &tr, const Source &who, const QDateTime &when) const
{
    const QString insert = QStringLiteral(
        "insert into audit_log (changed_at, user_code, source, record_table, record_key, field, old_value, new_value) "
        "values (?, ?, ?, ?, ?, ?, ?, ?)");
    const QDateTime stamp = when.addMSecs(-when.time().msec());
    for (const Entry &e : m_entries) {
        if (!tr.execute(insert, {stamp, who.user, who.source, e.table, e.key, e.field, textOrNull(e.oldValue),
                                 textOrNull(e.newValue)}))
            return false;
    }
    return true;
}

} // namespace wip::reference
