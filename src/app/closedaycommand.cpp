#include "app/closedaycommand.h"

#include "app/commandlogin.h"
#include "database/closeddays.h"
#include "database/useraccounts.h"
#include "desk/deskdepartment.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

namespace wip {

int CloseDayCommand::run(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    const DeskDepartment *department = DeskDepartment::find(options.department);
    if (!department || department->isOutside()) {
        err << "No department \"" << options.department << "\"; use one of " << DeskDepartment::captions() << "."
            << Qt::endl;
        return 2;
    }
    const QDate day = values::parseDate(options.date).value_or(QDate());
    Transaction tr;
    const std::optional<QString> login =
        CommandLogin::logIn(tr, options.database, options.user, QStringLiteral("close-day"),
                            options.reopen ? QStringLiteral("nothing was reopened") : QStringLiteral("nothing was closed"),
                            err);
    if (!login)
        return 1;
    const QString user = *login;
    const Rights rights = RightsCatalogue::rightsOf([&](const QString &module, const QString &function) {
        return UserAccounts::rights(tr, user, module, function);
    });
    const AuditSource who{user, QStringLiteral("wip close-day")};
    const ClosedDays::Outcome o = options.reopen ? ClosedDays::reopen(tr, who, rights, department->caption, day)
                                                 : ClosedDays::close(tr, who, rights, department->caption, day);
    out << (o.done ? "DONE " : "REFUSED ") << o.message << Qt::endl;
    tr.disconnect();
    return o.done ? 0 : 1;
}

} // namespace wip
