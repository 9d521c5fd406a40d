#include "database/useraccounts.h"

#include "database/passwordhash.h"
#include "runtime/cursor.h"
#include "runtime/transactionguard.h"

namespace wip {

UserAccounts::Login UserAccounts::checkLogin(Transaction &tr, const QString &userCode, const QString &password,
                                             QString *storedCode, bool *mustChange)
{
    const QString code = userCode.trimmed();
    // upper() folds ASCII letters on both SQLite and PostgreSQL (C collation).
    Cursor users(tr,
                 QStringLiteral("select user_code, password_hash, coalesce(active, 1), coalesce(must_change, 0) "
                                "from users where upper(user_code) = upper(?)"),
                 {code});
    if (!users.open())
        return Login::Error;
    QList<QVariantList> found;
    while (const auto row = users.fetch())
        found.append(*row);
    const bool failed = tr.sqlCode == -1;
    users.close();
    if (failed)
        return Login::Error;

    const QVariantList *match = found.size() == 1 ? &found.first() : nullptr;
    for (const QVariantList &row : std::as_const(found)) {
        if (row.value(0).toString() == code)
            match = &row;
    }
    if (!match)
        return Login::UnknownUser;
    if (!PasswordHash::verify(password, match->value(1).toString()))
        return Login::WrongPassword;
    if (match->value(2).toInt() == 0)
        return Login::Disabled;
    if (storedCode)
        *storedCode = match->value(0).toString();
    if (mustChange)
        *mustChange = match->value(3).toInt() != 0;
    return Login::Ok;
}

bool UserAccounts::setUser(Transaction &tr, const QString &userCode, const QString &userName,
                           const QString &password)
{
    const QString code = userCode.trimmed();
    if (code.isEmpty())
        return false;
    TransactionGuard guard(tr);
    if (!tr.execute(QStringLiteral("delete from users where user_code = ?"), {code})
        || !tr.execute(QStringLiteral("insert into users (user_code, user_name, password_hash) values (?, ?, ?)"),
                       {code, userName, PasswordHash::hash(password)}))
        return false;
    return guard.commit();
}

bool UserAccounts::setRights(Transaction &tr, const QString &userCode, const QString &module,
                             const QString &function, const QString &rights)
{
    TransactionGuard guard(tr);
    if (!tr.execute(QStringLiteral("delete from rights where user_code = ? and module = ? and function = ?"),
                    {userCode.trimmed(), module, function})
        || !tr.execute(QStringLiteral("insert into rights (user_code, module, function, rights) values (?, ?, ?, ?)"),
                       {userCode.trimmed(), module, function, rights}))
        return false;
    return guard.commit();
}

QString UserAccounts::rights(Transaction &tr, const QString &userCode, const QString &module,
                             const QString &function)
{
    // A disabled user holds no right: windows opened after the change refuse.
    const auto row = tr.selectInto(
        QStringLiteral("select r.rights from rights r left join users u on u.user_code = r.user_code "
                       "where r.user_code = ? and r.module = ? and r.function = ? and coalesce(u.active, 1) <> 0"),
        {userCode.trimmed(), module, function});
    if (!row || row->value(0).isNull())
        return QString();
    return row->value(0).toString();
}

} // namespace wip
