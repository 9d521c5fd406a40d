#pragma once

#include "app/commandline.h"

#include <QTextStream>

namespace wip {

// `wip import` and `wip export`: a kind's codes from a CSV file or workbook
// into the database, all or nothing, and out of it under the same captions.
//
// import logs the user in as `wip scan` does (CommandLogin) and needs the
// right 导入. It prints what the file was read as, then either what was
// imported (or, with --dry-run, what would be), or every problem with its row
// and column. Exit codes: 0 imported or checked, 1 refused or failed (nothing
// written), 2 a kind this build does not have.
class ImportCommand
{
public:
    static int runImport(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
    static int runExport(const CommandLine::Options &options, QTextStream &out, QTextStream &err);

    // Puts the kinds of this build's layers into import::ImportKinds (once).
    static void addKinds();
};

} // namespace wip
