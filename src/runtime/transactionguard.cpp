#include "runtime/transactionguard.h"

#include "runtime/transaction.h"

#include <QAtomicInteger>

namespace wip {

TransactionGuard::TransactionGuard(Transaction &tr)
    : m_tr(tr)
{
    if (tr.inTransaction()) {
        static QAtomicInteger<quint64> counter = 0;
        m_savepoint = QStringLiteral("wip_guard_%1").arg(counter.fetchAndAddOrdered(1) + 1);
        m_active = tr.savepoint(m_savepoint);
    } else {
        // New work of its own. Work lost before it was reported by the statement
        // that met the loss; it ends here, and the guard begins afresh.
        if (tr.state().workLost())
            tr.abandonWork();
        m_active = tr.begin();            // fails, status set, when tr is not connected
    }
    m_losses = tr.state().losses();
}

TransactionGuard::~TransactionGuard()
{
    if (m_active)
        rollback();
}

bool TransactionGuard::lostOnTheWay()
{
    if (m_tr.state().losses() == m_losses)
        return false;
    // The guarded work went with the connection; what was written after the
    // reconnect is only part of it. The guard's own work ends here; work of the
    // caller that held the guard's savepoint is the caller's to answer for.
    if (m_savepoint.isEmpty())
        m_tr.abandonWork();
    return true;
}

bool TransactionGuard::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    if (lostOnTheWay()) {
        m_tr.reportLostWork(QStringLiteral("the guarded work is not saved"));
        return false;
    }
    if (!m_savepoint.isEmpty())
        return m_tr.releaseSavepoint(m_savepoint);
    return m_tr.commit();
}

void TransactionGuard::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    if (lostOnTheWay())
        return;
    if (!m_savepoint.isEmpty()) {
        // Back to where the caller's work stood, and the savepoint gone.
        if (m_tr.rollbackToSavepoint(m_savepoint))
            m_tr.releaseSavepoint(m_savepoint);
        return;
    }
    m_tr.rollback();
}

} // namespace wip
