#pragma once

#include <QString>
#include <QTextStream>

#include <optional>

namespace wip {

class Transaction;

// The login of a command that changes factory data (`wip scan`, `wip import`):
// the password from WIP_PASSWORD, or typed on the terminal without echo (never
// from the arguments, PasswordPrompt); the database connected and brought up
// to this version's schema; the user's code and password checked, wrong ones
// slowing the next attempt as at the login (CommandThrottle), a disabled user
// refused.
class CommandLogin
{
public:
    // The user's code as the users table holds it, with tr connected; nullopt
    // when the command must stop, with the reason on err ("...; nothing was
    // scanned": `nothingDone` says what the command would have done).
    static std::optional<QString> logIn(Transaction &tr, const QString &url, const QString &userCode,
                                        const QString &command, const QString &nothingDone, QTextStream &err);
};

} // namespace wip
