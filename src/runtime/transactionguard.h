#pragma once

#include <QString>
#include <QtGlobal>

namespace wip {

class Transaction;

// Rolls back to a savepoint (or the transaction) unless commit() was called.
// Used around every write that must be whole. When the transaction is already
// inside work of the caller, a savepoint is used and released on commit().
// When the connection was lost while the guard was active, commit() fails and
// whatever was written on the new connection is rolled back. The guard only asks
// the transaction where it stands; the transaction moves its own state.
class TransactionGuard
{
public:
    explicit TransactionGuard(Transaction &tr);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard &) = delete;
    TransactionGuard &operator=(const TransactionGuard &) = delete;

    bool commit();                        // releases the savepoint, or COMMITs when it owns the transaction
    void rollback();
    bool active() const { return m_active; }

private:
    bool lostOnTheWay();

    Transaction &m_tr;
    QString m_savepoint;
    quint64 m_losses = 0;
    bool m_active = false;
};

} // namespace wip
