#pragma once

#include "database/useraccounts.h"

#include <QTextStream>

#include <chrono>
#include <functional>

namespace wip {

// The login's throttle (LoginThrottle) for the commands that check a password,
// such as `wip scan`. A command is a process of its own, so the count of wrong
// passwords in a row lives where the login keeps it, in this machine's
// settings, and the login and the commands share one count: neither starting the
// command again nor switching to the login buys more guesses. Commands started
// at the same time take turns (a lock file beside the settings), each waiting
// what the failures before it ask for, so running many at once does not either.
//
//   failures in a row:  0..4   5    6    7  ...
//   wait before next:    0     1s   2s   4s ... 60s at most
class CommandThrottle
{
public:
    using Check = std::function<UserAccounts::Login()>;
    using Waiter = std::function<void(std::chrono::milliseconds)>;

    // Waits what the failures so far ask for (saying so on err), runs check and
    // counts its outcome: a wrong code or password one more failure, a login
    // the end of the count; a database that cannot be asked counts for nothing.
    static UserAccounts::Login attempt(const Check &check, QTextStream &err);

    // How a wait is spent; tests record it instead of sleeping.
    static void setWaiter(Waiter waiter);
};

} // namespace wip
