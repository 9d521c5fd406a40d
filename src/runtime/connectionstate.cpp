#include "runtime/connectionstate.h"

namespace wip {

void ConnectionState::connected()
{
    m_state = State::Connected;
}

void ConnectionState::disconnected()
{
    m_state = State::Disconnected;
}

void ConnectionState::begun()
{
    if (m_state == State::Connected)
        m_state = State::InTransaction;
}

void ConnectionState::ended()
{
    if (m_state == State::InTransaction || m_state == State::WorkLost)
        m_state = State::Connected;
}

void ConnectionState::lost()
{
    if (m_state == State::Disconnected)
        return;
    ++m_losses;
    if (m_state == State::InTransaction)
        m_state = State::WorkLost;
}

} // namespace wip
