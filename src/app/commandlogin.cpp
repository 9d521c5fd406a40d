#include "app/commandlogin.h"

#include "app/commandthrottle.h"
#include "app/databaseopener.h"
#include "app/passwordprompt.h"
#include "database/useraccounts.h"
#include "runtime/transaction.h"

namespace wip {

std::optional<QString> CommandLogin::logIn(Transaction &tr, const QString &url, const QString &userCode,
                                           const QString &command, const QString &nothingDone, QTextStream &err)
{
    const QString password = PasswordPrompt::existing(QStringLiteral("Password of %1: ").arg(userCode));
    if (password.isNull()) {
        err << "No password: set WIP_PASSWORD or run " << command << " on a terminal to type it." << Qt::endl;
        return std::nullopt;
    }

    QString error;
    const auto settings = DatabaseOpener::settingsFor(url, &error);
    if (!settings || !DatabaseOpener::connect(tr, *settings, true, &error) || !DatabaseOpener::upgrade(tr, &error)
        || !DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return std::nullopt;
    }
    QString user;
    const auto check = [&]() { return UserAccounts::checkLogin(tr, userCode, password, &user); };
    switch (CommandThrottle::attempt(check, err)) {
    case UserAccounts::Login::Ok:
        return user;
    case UserAccounts::Login::UnknownUser:
    case UserAccounts::Login::WrongPassword:
        err << "The user code or the password of " << userCode << " is wrong; " << nothingDone << "." << Qt::endl;
        return std::nullopt;
    case UserAccounts::Login::Disabled:
        err << "The user " << userCode << " is disabled; " << nothingDone << "." << Qt::endl;
        return std::nullopt;
    case UserAccounts::Login::Error:
        err << "The user " << userCode << " could not be checked: " << tr.sqlErrText << Qt::endl;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace wip
