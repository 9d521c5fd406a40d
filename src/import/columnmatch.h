#pragma once

#include "import/importcolumn.h"
#include "import/importproblem.h"
#include "import/sheet.h"

#include <QList>

namespace wip::import {

// Matches the header of a sheet to a kind's columns and puts every row's cells
// in the kind's order. A header names a column by its caption as export writes
// it ("成色代码 Metal"), or by either half of it ("成色代码", "Metal") or the
// field's name ("mcode"), without regard to case or repeated blanks.
//
// Refused: a first row that names none of the kind's columns (said once), a
// header the kind has no column for, a column given twice, a column
// the kind needs (its code) missing, a file without rows, and any cell holding
// something outside the named columns.
class ColumnMatch
{
public:
    static ImportTable match(const QList<ImportColumn> &columns, const Sheet &sheet, QList<ImportProblem> *problems);

    // The column a header names; -1 when none.
    static int find(const QList<ImportColumn> &columns, const QString &header);
};

} // namespace wip::import
