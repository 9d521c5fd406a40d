#pragma once

#include "app/commandline.h"

#include <QTextStream>

namespace wip {

// `wip backup`, `wip restore` and `wip check`: the database's upkeep from the
// command line. They ask for no Wip login: whoever reaches the database by its
// URL can read and write its tables anyway, and restore writes only into a
// database that holds nothing.
//
// backup   writes the backup file whole or not at all (DatabaseBackup) and
//          says where and how large; refuses to write over the database itself
// restore  into an empty database only (DatabaseBackup::restore), then says
//          which schema version it holds
// check    the database's own check (IntegrityCheck) and Wip's rules
//          (ConsistencyCheck): one line a finding on standard output, notes
//          and the count on standard error; exit code 1 when anything is found
//
// Exit codes: 0 done (check: nothing found), 1 refused, failed or found.
class BackupCommand
{
public:
    static int runBackup(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int runRestore(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int runCheck(const CommandLine::Options &options, QTextStream &out, QTextStream &err);

    // "2.4 MB", "512 KB", "80 bytes".
    static QString size(qint64 bytes);
};

} // namespace wip
