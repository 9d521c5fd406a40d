#include "app/usercommand.h"

#include "app/databaseopener.h"
#include "app/passwordprompt.h"
#include "database/useradmin.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString rightsText(Rights rights)
{
    const QString names = RightsCatalogue::names(rights);
    return names.isEmpty() ? QStringLiteral("none") : names;
}

int list(UserAdmin &admin, QTextStream &out, QTextStream &err)
{
    const auto users = admin.users();
    if (!users) {
        err << admin.error() << Qt::endl;
        return 1;
    }
    out << QStringLiteral("%1 %2 %3 %4 %5")
               .arg(QStringLiteral("code"), -12)
               .arg(QStringLiteral("name"), -20)
               .arg(QStringLiteral("active"), -6)
               .arg(QStringLiteral("change"), -6)
               .arg(QStringLiteral("rights"))
        << Qt::endl;
    for (const UserInfo &u : *users) {
        out << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(u.code, -12)
                   .arg(u.name, -20)
                   .arg(yesNo(u.active), -6)
                   .arg(yesNo(u.mustChange), -6)
                   .arg(rightsText(u.rights))
            << Qt::endl;
    }
    return 0;
}

// One change of a user; false after saying why on err.
bool change(UserAdmin &admin, const CommandLine::Options &o, QTextStream &out, QTextStream &err)
{
    const QString &action = o.userAction;
    const QString &code = o.account;
    if (action == QLatin1String("add")) {
        const auto password = PasswordPrompt::newPassword(code, err);
        if (!password)
            return false;
        if (!admin.addUser(code, o.name.isEmpty() ? code : o.name, *password, o.rights, true))
            return false;
        out << "Added the user " << code << " with the rights " << rightsText(o.rights)
            << "; the password is to be changed at the first login." << Qt::endl;
        return true;
    }
    if (action == QLatin1String("disable") || action == QLatin1String("enable")) {
        const bool active = action == QLatin1String("enable");
        if (!admin.setActive(code, active))
            return false;
        out << "The user " << code << (active ? " is active." : " is disabled: no login, no command.") << Qt::endl;
        return true;
    }
    if (action == QLatin1String("passwd")) {
        if (!admin.user(code))
            return false;
        const auto password = PasswordPrompt::newPassword(code, err);
        if (!password || !admin.resetPassword(code, *password))
            return false;
        out << "Set a new password of " << code << "; it is to be changed at the next login." << Qt::endl;
        return true;
    }
    const auto before = admin.user(code);
    if (!before || !admin.setRights(code, o.rights))
        return false;
    out << "The rights of " << before->code << ": " << rightsText(before->rights) << " -> "
        << rightsText(o.rights) << "." << Qt::endl;
    return true;
}

} // namespace

AuditSource UserCommand::commandSource(const QString &command)
{
    QString login = qEnvironmentVariable("USER");
    if (login.isEmpty())
        login = qEnvironmentVariable("LOGNAME");
    if (login.isEmpty())
        login = QStringLiteral("unknown");
    return {QStringLiteral("os:") + login, command};
}

int UserCommand::run(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto settings = DatabaseOpener::settingsFor(options.database, &error);
    Transaction tr;
    if (!settings || !DatabaseOpener::connect(tr, *settings, true, &error) || !DatabaseOpener::upgrade(tr, &error)
        || !DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    UserAdmin admin(tr, commandSource(QStringLiteral("wip user")));
    int code = 0;
    if (options.userAction == QLatin1String("list")) {
        code = list(admin, out, err);
    } else if (!change(admin, options, out, err)) {
        if (!admin.error().isEmpty())
            err << admin.error() << Qt::endl;
        code = 1;
    }
    tr.disconnect();
    return code;
}

int UserCommand::addAdministrator(Transaction &tr, const QString &code, const QString &name, const QString &password,
                                  QTextStream &out, QTextStream &err)
{
    UserAdmin admin(tr, commandSource(QStringLiteral("wip init-db")));
    if (!admin.addUser(code, name.isEmpty() ? code : name, password, RightsCatalogue::every(), false)) {
        err << "The administrator " << code << " was not added. " << admin.error() << Qt::endl;
        return 1;
    }
    out << "Added the administrator " << code << " with every right." << Qt::endl;
    return 0;
}

} // namespace wip
