#include "reference/referenceaudit.h"

#include "database/batchinserter.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

namespace wip::reference {

namespace {

QVariant textOrNull(const QString &text)
{
    return text.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace

ReferenceAudit::ReferenceAudit(Transaction &tr, const Source &who, const QDateTime &when)
    : m_tr(tr)
    , m_who(who)
    , m_stamp(values::dateTimeText(when.addMSecs(-when.time().msec())))
{
}

ReferenceAudit::~ReferenceAudit() = default;

void ReferenceAudit::add(const Entry &e)
{
    if (m_failed)
        return;
    if (!m_rows) {
        // The rows go into the caller's transaction: begun here if it is not yet.
        if (!m_tr.beginIfManual()) {
            m_failed = true;
            return;
        }
        m_rows = std::make_unique<BatchInserter>(
            m_tr.database(), m_tr.kind(), QStringLiteral("audit_log"),
            QStringList{QStringLiteral("changed_at"), QStringLiteral("user_code"), QStringLiteral("source"),
                        QStringLiteral("record_table"), QStringLiteral("record_key"), QStringLiteral("field"),
                        QStringLiteral("old_value"), QStringLiteral("new_value")});
    }
    ++m_count;
    m_failed = !m_rows->add({m_stamp, m_who.user, m_who.source, e.table, e.key, e.field, textOrNull(e.oldValue),
                             textOrNull(e.newValue)});
}

bool ReferenceAudit::finish()
{
    if (!m_failed && (!m_rows || m_rows->flush()))
        return true;
    if (m_rows)
        m_tr.statementFailed(m_rows->error());
    return false;
}

} // namespace wip::reference
