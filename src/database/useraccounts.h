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
    enum class Login { Ok, UnknownUser, WrongPassword, Error };

    // The code is matched without regard to case ("plan" is PLAN) and without the
    // spaces around it; storedCode receives the code as the users table holds it,
    // for user_code and the rights look-up. Should two users differ only in case,
    // only the exact spelling finds one of them.
    static Login checkLogin(Transaction &tr, const QString &userCode, const QString &password,
                            QString *storedCode = nullptr);
    // Adds the user or replaces the name and password, as one piece (a
    // TransactionGuard: committed, or released into the caller's open work).
    static bool setUser(Transaction &tr, const QString &userCode, const QString &userName,
                        const QString &password);
    // Sets the rights text of a user for one module and function, likewise.
    static bool setRights(Transaction &tr, const QString &userCode, const QString &module,
                          const QString &function, const QString &rights);
    // The rights text, or a null QString when the user has none (or on error).
    static QString rights(Transaction &tr, const QString &userCode, const QString &module,
                          const QString &function);
};

} // namespace wip
