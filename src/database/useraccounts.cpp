#include "database/useraccounts.h"

#include "database/passwordhash.h"

namespace wip {

UserAccounts::Login UserAccounts::checkLogin(Transaction &tr, const QString &userCode, const QString &password)
{
    const auto row = tr.selectInto(QStringLiteral("select password_hash from users where user_code = ?"),
                                   {userCode.trimmed()});
    if (!row)
        return tr.sqlCode == 100 ? Login::UnknownUser : Login::Error;
    return PasswordHash::verify(password, row->value(0).toString()) ? Login::Ok : Login::WrongPassword;
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
    const auto row = tr.selectInto(
        QStringLiteral("select rights from rights where user_code = ? and module = ? and function = ?"),
        {userCode.trimmed(), module, function});
    if (!row || row->value(0).isNull())
        return QString();
    return row->value(0).toString();
}

} // namespace wip
