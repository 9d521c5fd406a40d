#include "app/loginthrottle.h"

#include <algorithm>

namespace wip {

std::chrono::milliseconds LoginThrottle::delay() const
{
    if (m_failures < freeAttempts)
        return std::chrono::milliseconds(0);
    // Doubles from the first delay; the shift stays small so it cannot overflow.
    const int doublings = std::min(m_failures - freeAttempts, 16);
    const auto d = firstDelay * (1LL << doublings);
    return std::min<std::chrono::milliseconds>(d, maxDelay);
}

} // namespace wip
