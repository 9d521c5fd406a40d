#pragma once

#include "database/initdatabase.h"

#include <QString>

namespace wip {

// Makes a SQLite database file with initDatabase so that a run that does not
// finish (killed, the power lost, the disk full) leaves no half-made database
// that nothing can open. A file that is not there yet is built under a
// temporary name beside it and renamed into place when complete (OutputFile),
// so until then there is no file of that name at all. A file that is there
// already (one left empty, or without tables, by such a run) is filled in place
// in one transaction, which SQLite undoes when the run does not finish; the
// file is then still without tables and is taken as new again.
class NewDatabaseFile
{
public:
    // Works on a connection of its own in the calling thread. On failure
    // result.error says why; a file that could not be written is named with the
    // reason (a full disk, a folder that may not be written to).
    static InitResult create(const QString &file, const InitOptions &options);
};

} // namespace wip
