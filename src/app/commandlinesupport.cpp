#include "app/commandlinesupport.h"

namespace wip::commandline {

CommandLine::Result error(const QString &text)
{
    CommandLine::Result r;
    r.outcome = CommandLine::Outcome::Error;
    r.text = text;
    return r;
}

bool runParser(QCommandLineParser &parser, const QStringList &arguments,
               const QCommandLineOption &help, const QString &label, CommandLine::Result &r)
{
    if (!parser.parse(arguments)) {
        r = error(parser.errorText());
        return false;
    }
    if (parser.isSet(help)) {
        r.outcome = CommandLine::Outcome::ShowHelp;
        r.text = parser.helpText();
        // "Usage: /path/to/wip [options]" reads better as "Usage: wip report [options]".
        const qsizetype end = r.text.indexOf(QLatin1String(" [options]"));
        const qsizetype start = r.text.indexOf(QLatin1String("Usage: "));
        if (start == 0 && end > 0)
            r.text.replace(7, end - 7, label);
        return false;
    }
    return true;
}

bool requireDatabase(const QCommandLineParser &parser, const QCommandLineOption &database,
                     const QString &command, CommandLine::Result &r)
{
    const QString url = parser.value(database).trimmed();
    if (url.isEmpty()) {
        r = error(QStringLiteral("%1 needs --database URL.").arg(command));
        return false;
    }
    r.options.database = url;
    return true;
}

bool parseCommand(QCommandLineParser &parser, const QStringList &arguments, const QCommandLineOption &help,
                  const QCommandLineOption &database, const QString &command, CommandLine::Result &r)
{
    QStringList args = arguments;
    args.removeAt(1);
    return runParser(parser, args, help, QStringLiteral("wip ") + command, r)
        && requireDatabase(parser, database, command, r);
}

} // namespace wip::commandline
