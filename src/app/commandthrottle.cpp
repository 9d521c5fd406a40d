#include "app/commandthrottle.h"

#include "app/loginthrottle.h"
#include "runtime/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <thread>

namespace wip {

namespace {

CommandThrottle::Waiter &waiter()
{
    static CommandThrottle::Waiter w = [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); };
    return w;
}

} // namespace

void CommandThrottle::setWaiter(Waiter w)
{
    waiter() = w ? std::move(w) : Waiter([](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); });
}

UserAccounts::Login CommandThrottle::attempt(const Check &check, QTextStream &err)
{
    Settings settings;
    const QString folder = QFileInfo(settings.fileName()).absolutePath();
    QDir().mkpath(folder);
    // One attempt at a time on this machine; a settings folder that cannot be
    // written still has its count read, only without taking turns.
    QLockFile lock(folder + QStringLiteral("/wip-login.lock"));
    lock.lock();

    LoginThrottle throttle;
    throttle.restore(settings.loginFailures(), settings.lastLoginFailure());
    for (;;) {
        const std::chrono::milliseconds wait = throttle.remaining();
        if (wait.count() <= 0)
            break;
        err << "After " << throttle.failures() << " wrong passwords in a row, waiting "
            << QString::number(wait.count() / 1000.0, 'f', 1) << " s before the next attempt." << Qt::endl;
        waiter()(wait);
        // Read again: an attempt elsewhere (the login) may have failed meanwhile
        // and asks for a wait of its own; otherwise this one is waited out.
        settings.sync();
        const int failures = settings.loginFailures();
        const QDateTime last = settings.lastLoginFailure();
        if (failures == throttle.failures() && last == throttle.lastFailure())
            break;
        throttle.restore(failures, last);
    }

    const UserAccounts::Login outcome = check();
    switch (outcome) {
    case UserAccounts::Login::Ok:
    case UserAccounts::Login::Disabled:   // the password was right: no guessing
        throttle.recordSuccess();
        break;
    case UserAccounts::Login::UnknownUser:
    case UserAccounts::Login::WrongPassword:
        throttle.recordFailure();
        break;
    case UserAccounts::Login::Error:
        return outcome;
    }
    settings.setLoginFailures(throttle.failures(), throttle.lastFailure());
    settings.sync();
    return outcome;
}

} // namespace wip
