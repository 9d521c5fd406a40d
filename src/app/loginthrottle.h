#pragma once

#include <chrono>

namespace wip {

// Slows down guessing at the login: the first failures in a row cost nothing,
// after that each attempt must wait, twice as long as the one before, up to a
// ceiling. A successful login starts the count again.
//
//   failures in a row:  0..4   5    6    7    8  ...
//   wait before next:    0     1s   2s   4s   8s ... 60s at most
class LoginThrottle
{
public:
    static constexpr int freeAttempts = 5;
    static constexpr std::chrono::milliseconds firstDelay{1000};
    static constexpr std::chrono::milliseconds maxDelay{60000};

    void recordFailure() { ++m_failures; }
    void recordSuccess() { m_failures = 0; }
    int failures() const { return m_failures; }

    // How long the next attempt has to wait after the failures so far.
    std::chrono::milliseconds delay() const;

private:
    int m_failures = 0;
};

} // namespace wip
