#include "app/closedaycommandline.h"

#include "app/commandlinesupport.h"
#include "runtime/values.h"

namespace wip::commandline {

CommandLine::Result parseCloseDay(QCommandLineParser &parser, const QStringList &arguments,
                                  const QCommandLineOption &help, const QCommandLineOption &database)
{
    CommandLine::Result r;
    r.outcome = CommandLine::Outcome::Run;
    r.options.command = CommandLine::Command::CloseDay;
    parser.setApplicationDescription(
        QStringLiteral("Closes a department's day once its report is printed (the supervisor right): the desk, the "
                       "progress form, the scans and the imports then write nothing of that department dated in "
                       "it. With --reopen the administrator (the users right) opens it again. Audited. The "
                       "password comes from WIP_PASSWORD or is asked on the terminal. Exits with 1 when refused."));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("User code."), QStringLiteral("CODE"));
    const QCommandLineOption dept(QStringLiteral("dept"), QStringLiteral("Department caption, e.g. 执模."),
                                  QStringLiteral("CAPTION"));
    const QCommandLineOption date(QStringLiteral("date"), QStringLiteral("The day, YYYY-MM-DD."),
                                  QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption reopen(QStringLiteral("reopen"), QStringLiteral("Open the closed day again."));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Not accepted: use WIP_PASSWORD."),
                                      QStringLiteral("PASSWORD"));
    parser.addOptions({user, dept, date, reopen, password});
    if (!parseCommand(parser, arguments, help, database, CommandLine::commandName(r.options.command), r))
        return r;
    if (parser.isSet(password))
        return error(QStringLiteral("close-day takes no password on the command line, where others can read it; "
                                    "set WIP_PASSWORD or type it when asked."));
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("close-day takes no argument \"%1\".").arg(parser.positionalArguments().first()));
    r.options.user = parser.value(user).trimmed();
    r.options.department = parser.value(dept).trimmed();
    r.options.date = parser.value(date).trimmed();
    r.options.reopen = parser.isSet(reopen);
    if (r.options.user.isEmpty())
        return error(QStringLiteral("close-day needs --user CODE."));
    if (r.options.department.isEmpty())
        return error(QStringLiteral("close-day needs --dept CAPTION (唧蜡, 倒模, 执模, 镶石, 执边, 打磨, 电金, 出货)."));
    if (r.options.date.isEmpty())
        return error(QStringLiteral("close-day needs --date YYYY-MM-DD."));
    if (!values::parseDate(r.options.date))
        return error(QStringLiteral("--date \"%1\" is no date; give YYYY-MM-DD.").arg(r.options.date));
    return r;
}

} // namespace wip::commandline
