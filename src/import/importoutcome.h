#pragma once

#include "import/importproblem.h"

#include <QList>
#include <QString>

namespace wip::import {

// What an import did: written, or only checked (a dry run), or refused with
// the problems row by row, or failed with the database's or the file's words.
// Nothing is written unless `result` is Imported.
struct ImportOutcome
{
    enum class Result { Imported, Checked, Refused, Failed };

    Result result = Result::Failed;
    QList<ImportProblem> problems;
    QString error;
    QString format;          // what the file was read as ("CSV GB18030")
    int rows = 0;            // rows of the file below its header
    int added = 0;           // records new to the database
    int updated = 0;         // records there already, with a field the file changes
    int unchanged = 0;       // records there already, as the file gives them

    bool ok() const { return result == Result::Imported || result == Result::Checked; }
    // "增加 3, 更新 1, 不变 0 (added 3, updated 1, unchanged 0)"
    QString counts() const;
    // The message for the clerk: what was done, what would be done, or every
    // problem (at most 50, then how many more).
    QString text() const;
};

} // namespace wip::import
