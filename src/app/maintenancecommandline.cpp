#include "app/maintenancecommandline.h"

#include "app/commandlinesupport.h"

namespace wip::commandline {

namespace {

CommandLine::Result running(CommandLine::Command command)
{
    CommandLine::Result r;
    r.outcome = CommandLine::Outcome::Run;
    r.options.command = command;
    return r;
}

} // namespace

CommandLine::Result parseBackup(QCommandLineParser &parser, const QStringList &arguments,
                                const QCommandLineOption &help, const QCommandLineOption &database)
{
    CommandLine::Result r = running(CommandLine::Command::Backup);
    parser.setApplicationDescription(
        QStringLiteral("Writes a backup of the whole database into FILE while the clerks go on working: a SQLite "
                       "database is copied with SQLite's online backup, a PostgreSQL database dumped by pg_dump "
                       "(custom format; the password goes to it in a file of its own, never on its command line). "
                       "The file appears whole or not at all."));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The backup file to write."),
                                    QStringLiteral("FILE"));
    parser.addOption(output);
    if (!parseCommand(parser, arguments, help, database, CommandLine::commandName(r.options.command), r))
        return r;
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("backup takes no argument \"%1\"; name the file with --output.")
                         .arg(parser.positionalArguments().first()));
    r.options.output = parser.value(output).trimmed();
    if (r.options.output.isEmpty())
        return error(QStringLiteral("backup needs --output FILE."));
    return r;
}

CommandLine::Result parseRestore(QCommandLineParser &parser, const QStringList &arguments,
                                 const QCommandLineOption &help, const QCommandLineOption &database)
{
    CommandLine::Result r = running(CommandLine::Command::Restore);
    parser.setApplicationDescription(
        QStringLiteral("Restores a backup made by wip backup into an empty database (a SQLite file or PostgreSQL "
                       "database that holds no table, or is not there yet), then brings its schema up to this "
                       "version as init-db does. The file is checked to be a Wip backup of a known schema version "
                       "before anything is written; a database with tables is refused."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The backup file."));
    if (!parseCommand(parser, arguments, help, database, CommandLine::commandName(r.options.command), r))
        return r;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return error(files.isEmpty() ? QStringLiteral("restore needs the backup FILE.")
                                     : QStringLiteral("restore takes one file; \"%1\" is one too many.").arg(files.at(1)));
    r.options.file = files.first();
    return r;
}

CommandLine::Result parseCheck(QCommandLineParser &parser, const QStringList &arguments,
                               const QCommandLineOption &help, const QCommandLineOption &database)
{
    CommandLine::Result r = running(CommandLine::Command::Check);
    parser.setApplicationDescription(
        QStringLiteral("Checks the database: its own integrity check (SQLite's integrity_check and "
                       "foreign_key_check; PostgreSQL's amcheck where the database has it) and Wip's rules: steps "
                       "of contracts that are not there, a desk or worker holding less than nothing of a bag, "
                       "transfers not received after --days days, progress records that disagree with the bags the "
                       "desk handled. One line per finding; exits with 1 when there is any."));
    const QCommandLineOption days(QStringLiteral("days"),
                                  QStringLiteral("A transfer not received after N days is a finding (default 7)."),
                                  QStringLiteral("N"), QStringLiteral("7"));
    parser.addOption(days);
    if (!parseCommand(parser, arguments, help, database, CommandLine::commandName(r.options.command), r))
        return r;
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("check takes no argument \"%1\".").arg(parser.positionalArguments().first()));
    bool ok = false;
    r.options.days = parser.value(days).trimmed().toInt(&ok);
    if (!ok || r.options.days < 1 || r.options.days > 3650)
        return error(QStringLiteral("--days needs a whole number of days from 1 to 3650, not \"%1\".")
                         .arg(parser.value(days)));
    return r;
}

} // namespace wip::commandline
