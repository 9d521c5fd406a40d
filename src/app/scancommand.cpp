#include "app/scancommand.h"

// The scan station lives in the sales contracts' feature library.
#if defined(WIP_HAVE_CONTRACTS)

#include "app/commandlogin.h"
#include "desk/scanstation.h"
#include "database/rightscatalogue.h"
#include "database/useraccounts.h"
#include "reports/displayformat.h"
#include "runtime/transaction.h"

#include <QStringList>

namespace wip {

namespace {

QString text(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("0") : reports::generalText(v);
}

// One line per scan: what was done and the department's figures after it.
QString line(const ScanOutcome &o, const ScanDepartment &d)
{
    if (!o.done())
        return QStringLiteral("REFUSED %1").arg(o.message);
    QString s = QStringLiteral("DONE %1; %2 接收 %3 转出 %4").arg(o.message, d.caption, text(o.received),
                                                                   text(o.transferred));
    if (!d.nextInColumn.isEmpty() && o.action == ScanAction::Out) {
        const qsizetype next = &d - ScanDepartment::all().constData() + 1;
        s += QStringLiteral("; %1 接收 %2").arg(ScanDepartment::all().at(next).caption, text(o.nextReceived));
    }
    return s;
}

} // namespace

int ScanCommand::run(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    const ScanDepartment *department = ScanDepartment::find(options.department);
    if (!department) {
        QStringList captions;
        for (const ScanDepartment &d : ScanDepartment::all())
            captions << d.caption;
        err << "No department \"" << options.department << "\"; use one of " << captions.join(QStringLiteral(", "))
            << "." << Qt::endl;
        return 2;
    }
    const ScanAction action = options.action == QLatin1String("in") ? ScanAction::In : ScanAction::Out;

    Transaction tr;
    const std::optional<QString> login = CommandLogin::logIn(tr, options.database, options.user, QStringLiteral("scan"),
                                                             QStringLiteral("nothing was scanned"), err);
    if (!login)
        return 1;
    const QString user = *login;
    const QString rights = UserAccounts::rights(tr, user, QStringLiteral("M05"), QStringLiteral("H06"));
    const bool scanRight = RightsCatalogue::has(Right::Scan, [&](const QString &module, const QString &function) {
        return UserAccounts::rights(tr, user, module, function);
    });
    ScanStation station(tr, {user, QStringLiteral("wip scan")}, rights, scanRight);
    bool allDone = true;
    for (const QString &code : options.codes) {
        const ScanOutcome o = station.scan(code, *department, action, options.again);
        allDone = allDone && o.done();
        out << line(o, *department) << Qt::endl;
    }
    tr.disconnect();
    return allDone ? 0 : 1;
}

} // namespace wip

#endif // WIP_HAVE_CONTRACTS
