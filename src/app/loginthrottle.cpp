#include "app/loginthrottle.h"

#include <algorithm>

namespace wip {

void LoginThrottle::recordFailure(const QDateTime &when)
{
    if (m_failures < 1000000)
        ++m_failures;
    m_lastFailure = when;
}

void LoginThrottle::recordSuccess()
{
    m_failures = 0;
    m_lastFailure = {};
}

void LoginThrottle::restore(int failures, const QDateTime &lastFailure)
{
    m_failures = std::clamp(failures, 0, 1000000);
    m_lastFailure = m_failures > 0 ? lastFailure : QDateTime();
}

std::chrono::milliseconds LoginThrottle::delay() const
{
    if (m_failures < freeAttempts)
        return std::chrono::milliseconds(0);
    // Doubles from the first delay; the shift stays small so it cannot overflow.
    const int doublings = std::min(m_failures - freeAttempts, 16);
    const auto d = firstDelay * (1LL << doublings);
    return std::min<std::chrono::milliseconds>(d, maxDelay);
}

std::chrono::milliseconds LoginThrottle::remaining(const QDateTime &now) const
{
    const auto wait = delay();
    if (wait.count() == 0)
        return wait;
    // A count without a time (a settings file edited by hand) waits in full.
    if (!m_lastFailure.isValid())
        return wait;
    const auto elapsed = std::chrono::milliseconds(std::max<qint64>(0, m_lastFailure.msecsTo(now)));
    return std::max(std::chrono::milliseconds(0), wait - elapsed);
}

} // namespace wip
