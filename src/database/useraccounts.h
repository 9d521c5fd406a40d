#pragma once

#include "runtime/transaction.h"

#include <QString>

namespace wip {

// The users and rights tables: the login check and the rights look-up behind
// qxpd(user_code, module, function). Reads and writes through a Transaction with
// bound values.
class UserAccounts
{
public:
    // Disabled: the password is right but the user is disabled (told only to
    // one who knows the password).
    enum class Login { Ok, UnknownUser, WrongPassword, Disabled, Error };

    // The code is matched without regard to case ("plan" is PLAN) and without the
    // spaces around it; storedCode receives the code as the users table holds it,
    // for user_code and the rights look-up. Should two users differ only in case,
    // only the exact spelling finds one of them. mustChange: the password was set
    // by someone else and is to be changed now.
    static Login checkLogin(Transaction &tr, const QString &userCode, const QString &password,
                            QString *storedCode = nullptr, bool *mustChange = nullptr);
    // Adds the user or replaces the name and password, as one piece (a
    // TransactionGuard: committed, or released into the caller's open work).
    static bool setUser(Transaction &tr, const QString &userCode, const QString &userName,
                        const QString &password);
    // Sets the rights text of a user for one module and function, likewise.
    static bool setRights(Transaction &tr, const QString &userCode, const QString &module,
                          const QString &function, const QString &rights);
    // The rights text, or a null QString when the user has none, is disabled or
    // unknown (or on error).
    static QString rights(Transaction &tr, const QString &userCode, const QString &module,
                          const QString &function);
};

} // namespace wip
