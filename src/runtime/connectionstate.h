#pragma once

#include <QtGlobal>

namespace wip {

// Where a transaction object's connection stands, and the one place that moves it.
// The Transaction reports what happened (connected, BEGIN done, work ended, the
// connection found lost); everyone else, the TransactionGuard and the DataStore
// among them, only asks.
//
//   state           what happened                     next state
//   Disconnected    CONNECT                           Connected
//   Connected       BEGIN                             InTransaction
//   InTransaction   COMMIT or ROLLBACK                Connected
//   InTransaction   the connection lost               WorkLost
//   Connected       the connection lost               Connected (the next statement connects again)
//   WorkLost        the connection lost again         WorkLost
//   WorkLost        COMMIT (fails) or ROLLBACK        Connected: the loss is answered
//   any             DISCONNECT                        Disconnected
//
// WorkLost: the open work went with a lost connection (the server rolled it
// back) and nobody has answered for it yet. Statements still run: the first one
// connects again and begins a database transaction on the new connection, so
// that what is written after the loss is rolled back with the rest when the loss
// is answered. Nothing of lost work is ever reported as saved.
class ConnectionState
{
public:
    enum class State { Disconnected, Connected, InTransaction, WorkLost };

    State state() const { return m_state; }
    bool isConnected() const { return m_state != State::Disconnected; }
    bool inTransaction() const { return m_state == State::InTransaction; }
    bool workLost() const { return m_state == State::WorkLost; }
    // Work begun and not yet ended: in a transaction, or lost and not answered.
    bool hasOpenWork() const { return inTransaction() || workLost(); }
    // Connections lost so far: a guard compares it to tell whether its work went.
    quint64 losses() const { return m_losses; }

    // CONNECT succeeded: a new connection, with nothing open on it.
    void connected();
    // DISCONNECT, whatever was open.
    void disconnected();
    // BEGIN succeeded on the connection: work is open. Lost work stays lost: what
    // begins on the new connection belongs to it.
    void begun();
    // The open work ended: COMMIT or ROLLBACK, also one that failed, and the
    // answer to lost work.
    void ended();
    // The connection was found lost. Open work is lost with it; without open work
    // nothing is lost and the next statement connects again.
    void lost();

private:
    State m_state = State::Disconnected;
    quint64 m_losses = 0;
};

} // namespace wip
