#include "app/deskcommand.h"

#include "app/commandlogin.h"
#include "database/rightscatalogue.h"
#include "database/useraccounts.h"
#include "desk/castingdesk.h"
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
    if (name == QLatin1String("reverse"))
        return DeskAction::Reverse;
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
    r.reason = options.reason;
    if (options.confirm)
        r.gainConfirmedBy = user;
    for (const auto &[line, count] : options.stones)
        r.stonesSet.append({line.section(QLatin1Char('/'), 0, 0), line.section(QLatin1Char('/'), 1), count});
    for (const auto &[stone, count] : options.broken)
        r.stonesBroken.append({QString(), stone, count});
    return r;
}

CastingBatch batchOf(const CommandLine::Options &options)
{
    CastingBatch b;
    b.department = options.department;
    b.issued = options.weight;
    b.returned = options.returned;
    for (const auto &[code, weight] : options.castBags)
        b.bags.append({code, weight});
    return b;
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
    Transaction tr;
    const std::optional<QString> login = CommandLogin::logIn(tr, options.database, options.user, QStringLiteral("desk"),
                                                             QStringLiteral("nothing was done"), err);
    if (!login)
        return 1;
    const QString user = *login;
    const Rights rights = RightsCatalogue::rightsOf([&](const QString &module, const QString &function) {
        return UserAccounts::rights(tr, user, module, function);
    });
    const AuditSource who{user, QStringLiteral("wip desk")};
    if (options.action == QLatin1String("cast")) {
        const CastingDesk::Outcome o = CastingDesk(tr, who, rights, deskOptions).cast(batchOf(options));
        out << (o.done() ? "DONE " : "REFUSED ") << o.message << Qt::endl;
        tr.disconnect();
        return o.done() ? 0 : 1;
    }
    Desk desk(tr, who, rights, deskOptions);
    const DeskOutcome o = desk.act(requestOf(options, user));
    if (o.done())
        out << "DONE " << o.message << "; " << o.after.describe() << Qt::endl;
    else
        out << "REFUSED " << o.message << Qt::endl;
    tr.disconnect();
    return o.done() ? 0 : 1;
}

} // namespace wip
