#pragma once

#include <QDateTime>

#include <chrono>

namespace wip {

// Slows down guessing at the login: the first failures in a row cost nothing,
// after that each attempt must wait, twice as long as the one before, up to a
// ceiling. A successful login starts the count again.
//
//   failures in a row:  0..4   5    6    7    8  ...
//   wait before next:    0     1s   2s   4s   8s ... 60s at most
//
// The count and the time of the last failure are kept in the settings between
// runs (restore), so closing and starting the application again does not start
// the count afresh: the wait still left is what the last failure asked for, less
// the time gone since.
class LoginThrottle
{
public:
    static constexpr int freeAttempts = 5;
    static constexpr std::chrono::milliseconds firstDelay{1000};
    static constexpr std::chrono::milliseconds maxDelay{60000};

    void recordFailure(const QDateTime &when = QDateTime::currentDateTimeUtc());
    void recordSuccess();
    int failures() const { return m_failures; }
    QDateTime lastFailure() const { return m_lastFailure; }

    // The state a previous run left; a negative count counts as none.
    void restore(int failures, const QDateTime &lastFailure);

    // How long the next attempt has to wait after the failures so far.
    std::chrono::milliseconds delay() const;
    // What is left of that wait at now. A last failure in the future (the clock
    // was put back) leaves the whole wait.
    std::chrono::milliseconds remaining(const QDateTime &now = QDateTime::currentDateTimeUtc()) const;

private:
    int m_failures = 0;
    QDateTime m_lastFailure;
};

} // namespace wip
