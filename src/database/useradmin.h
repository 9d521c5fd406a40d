#pragma once

#include "database/auditlog.h"
#include "database/rightscatalogue.h"

#include <QList>
#include <QString>
#include <optional>

namespace wip {

class Transaction;

// A user as the users window and `wip user list` show it.
struct UserInfo
{
    QString code;
    QString name;
    bool active = true;
    bool mustChange = false;     // changes the password at the next login
    Rights rights;
};

// Changes users and their rights, each change checked first and then written in
// one piece (a TransactionGuard) together with its audit_log rows, so that a
// refused or failed change writes nothing. Users are never deleted, only
// disabled: the audit trail names them. Used by the users window, the forms of
// the login and `wip user`; `who` is named in the audit rows.
//
// The audit rows of a user change have no contract; their field names the user:
//   user:<code>:name / active / must_change   old and new value
//   user:<code>:password                      new value "(set)", "(reset)" or "(changed)", never the hash
//   rights:<code>:<module>/<function>         the rights texts before and after
//
// Refused, with error() saying why in the program's words: a code already taken
// (in any case), a code of other characters than letters, digits, _ - and .,
// a password shorter than minimumPasswordLength, a wrong old password, a new
// password equal to the old one, disabling oneself, and any change that leaves
// no active user with the users right where there was one.
class UserAdmin
{
public:
    static constexpr int minimumPasswordLength = 8;
    static constexpr int maximumCodeLength = 40;

    UserAdmin(Transaction &tr, AuditSource who);

    // Why the text cannot be used, in the program's words; "" when it can.
    static QString codeProblem(const QString &code);
    static QString passwordProblem(const QString &password);

    // mustChange: the user changes the password at the first login (a password
    // someone else chose).
    bool addUser(const QString &code, const QString &name, const QString &password, Rights rights,
                 bool mustChange = true);
    bool setActive(const QString &code, bool active);
    // A password set for the user by someone else: changed at the next login.
    bool resetPassword(const QString &code, const QString &password);
    // The user's own change: the old password must match.
    bool changeOwnPassword(const QString &code, const QString &oldPassword, const QString &newPassword);
    // Gives the user exactly these rights (the rights texts of RightsCatalogue).
    bool setRights(const QString &code, Rights rights);

    // Every user, by code; nullopt when the table cannot be read.
    std::optional<QList<UserInfo>> users();
    // The user of that code, found as the login finds it (any case); nullopt
    // when there is none or it cannot be read (error() says which).
    std::optional<UserInfo> user(const QString &code);

    // Whether the database holds any user at all; nullopt when it cannot be read.
    static std::optional<bool> hasUsers(Transaction &tr);

    QString error() const { return m_error; }

private:
    bool refuse(const QString &why);
    bool failed();
    std::optional<UserInfo> find(const QString &code);
    std::optional<int> administrators();
    bool keepsAnAdministrator(int before);
    bool writeRights(const UserInfo &user, Rights rights, QList<AuditLog::Change> *changes);
    bool setPassword(const UserInfo &user, const QString &password, bool mustChange, const QString &how);

    Transaction &m_tr;
    AuditSource m_who;
    QString m_error;
};

} // namespace wip
