#include "app/deskcommand.h"

#include "app/commandthrottle.h"
#include "app/databaseopener.h"
#include "app/passwordprompt.h"
#include "database/rightscatalogue.h"
#include "database/useraccounts.h"
#include "desk/desk.h"
#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "runtime/settings.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

DeskAction actionOf(const QString &name)
{
    if (name == QLatin1String("issue"))
        return DeskAction::Issue;
    if (name == QLatin1String("return"))
        return DeskAction::TakeBack;
    if (name == QLatin1String("pass"))
        return DeskAction::PassOn;
    return DeskAction::Receive;
}

DeskRequest requestOf(const CommandLine::Options &options, const QString &user)
{
    DeskRequest r;
    r.action = actionOf(options.action);
    r.code = options.codes.value(0);
    r.department = options.department;
    r.worker = options.worker;
    r.pieces = options.pieces;
    r.weight = options.weight;
    r.returned = options.returned;
    r.unfinishedToDesk = !options.unfinishedWeight.isEmpty();
    r.unfinishedWeight = options.unfinishedWeight;
    r.toOutside = options.outside;
    r.confirmDifference = options.confirm;
    if (options.confirm)
        r.gainConfirmedBy = user;
    return r;
}

// Logs the user in on tr; the user's code as stored in *user. Says why not on err.
bool logIn(Transaction &tr, const CommandLine::Options &options, const QString &password, QString *user,
           QTextStream &err)
{
    const auto check = [&]() { return UserAccounts::checkLogin(tr, options.user, password, user); };
    switch (CommandThrottle::attempt(check, err)) {
    case UserAccounts::Login::Ok:
        return true;
    case UserAccounts::Login::UnknownUser:
    case UserAccounts::Login::WrongPassword:
        err << "The user code or the password of " << options.user << " is wrong; nothing was done." << Qt::endl;
        return false;
    case UserAccounts::Login::Disabled:
        err << "The user " << options.user << " is disabled; nothing was done." << Qt::endl;
        return false;
    case UserAccounts::Login::Error:
        err << "The user " << options.user << " could not be checked: " << tr.sqlErrText << Qt::endl;
        return false;
    }
    return false;
}

} // namespace

int DeskCommand::run(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    const DeskDepartment *department = DeskDepartment::find(options.department);
    if (!department || department->isOutside()) {
        err << "No department \"" << options.department << "\"; use one of " << DeskDepartment::captions() << "."
            << Qt::endl;
        return 2;
    }
    Desk::Options deskOptions;
    QString why;
    const auto tolerance = DeskInput::weight(Settings().deskTolerance(), QStringLiteral("desk/tolerance"), &why);
    if (!tolerance) {
        err << "The setting " << why << "." << Qt::endl;
        return 1;
    }
    deskOptions.tolerance = *tolerance;
    const QString password = PasswordPrompt::existing(QStringLiteral("Password of %1: ").arg(options.user));
    if (password.isNull()) {
        err << "No password: set WIP_PASSWORD or run desk on a terminal to type it." << Qt::endl;
        return 1;
    }
    QString error;
    const auto settings = DatabaseOpener::settingsFor(options.database, &error);
    Transaction tr;
    if (!settings || !DatabaseOpener::connect(tr, *settings, true, &error) || !DatabaseOpener::upgrade(tr, &error)
        || !DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    QString user;
    if (!logIn(tr, options, password, &user, err))
        return 1;
    const Rights rights = RightsCatalogue::rightsOf([&](const QString &module, const QString &function) {
        return UserAccounts::rights(tr, user, module, function);
    });
    Desk desk(tr, {user, QStringLiteral("wip desk")}, rights, deskOptions);
    const DeskOutcome o = desk.act(requestOf(options, user));
    if (o.done())
        out << "DONE " << o.message << "; " << o.after.describe() << Qt::endl;
    else
        out << "REFUSED " << o.message << Qt::endl;
    tr.disconnect();
    return o.done() ? 0 : 1;
}

} // namespace wip
