#include "reference/referenceaudit.h"

#include "database/batchinserter.h"
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
    if (m_entries.isEmpty())
        return true;
    if (!tr.beginIfManual())
        return false;
    BatchInserter rows(tr.database(), tr.kind(), QStringLiteral("audit_log"),
                       {QStringLiteral("changed_at"), QStringLiteral("user_code"), QStringLiteral("source"),
                        QStringLiteral("record_table"), QStringLiteral("record_key"), QStringLiteral("field"),
                        QStringLiteral("old_value"), QStringLiteral("new_value")});
    const QDateTime stamp = when.addMSecs(-when.time().msec());
    for (const Entry &e : m_entries) {
        if (!rows.add({stamp, who.user, who.source, e.table, e.key, e.field, textOrNull(e.oldValue),
                       textOrNull(e.newValue)}))
            break;
    }
    if (rows.flush())
        return true;
    tr.statementFailed(rows.error());
    return false;
}

} // namespace wip::reference
