#pragma once

#include "app/commandline.h"

#include <QTextStream>

namespace wip {

// Runs the headless commands of the command line: init-db, report,
// recompute-day-wip, tickets and scan. Each returns the process exit code (0 success) and writes
// what it did to out and every failure, with what failed, to err.
class CommandRunner
{
public:
    static int run(const CommandLine::Options &options, QTextStream &out, QTextStream &err);

    static int initDb(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int report(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int recomputeDayWip(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int tickets(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
};

} // namespace wip
