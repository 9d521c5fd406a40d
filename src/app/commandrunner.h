#pragma once

#include "app/commandline.h"
#include "runtime/connectionsettings.h"

#include <QTextStream>

namespace wip {

// Runs the headless commands of the command line: init-db, report,
// recompute-day-wip, tickets, badges, scan, desk, user, import, export,
// backup, restore and check. Each returns the process exit code (0 success)
// and writes what it did to out and every failure, with what failed, to err.
class CommandRunner
{
public:
    static int run(const CommandLine::Options &options, QTextStream &out, QTextStream &err);

    static int initDb(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int report(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int recomputeDayWip(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int tickets(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int badges(const CommandLine::Options &options, QTextStream &out, QTextStream &err);

private:
    // After init-db: the administrator of --admin, or a note that nobody can log
    // in yet when the database has no user.
    static int firstUser(const CommandLine::Options &options, const ConnectionSettings &settings,
                         const QString &password, QTextStream &out, QTextStream &err);
};

} // namespace wip
