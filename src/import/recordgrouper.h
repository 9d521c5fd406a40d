#pragma once

#include "import/importcolumn.h"
#include "import/importproblem.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace wip::import {

// The rows of one record of a file: its code and the rows that give it, by
// their index in the table.
struct ImportRecord
{
    QString key;             // as the first row gives it, without the blanks around it
    QList<int> rows;
};

// Puts a file's rows together into records by their code.
//
// A kind of one row per record (a customer, a metal): a code given again (in
// any case) is a duplicate, refused on the later row.
//
// A kind whose record spans rows, one row per line with the record's own
// fields repeated (a style and its stone lines, a contract and its lines):
// the rows of one code make one record wherever they stand, and the record's
// fields (every column not among lineColumns) must read the same on each.
//
//   款号 Article  产品类别 Type  石料 Stone        record R100 of rows 2, 3
//   R100          R              DIA
//   R100          R              RUBY
//   R200          P              DIA              record R200 of row 4
//   R100          P              EMERALD          refused: 产品类别 P, 第 2 行为 R
//
// A row without a code is a record of its own (the kind's checks refuse it).
class RecordGrouper
{
public:
    static QList<ImportRecord> group(const ImportTable &table, const QString &keyColumn,
                                     const QStringList &lineColumns, QList<ImportProblem> *problems);
};

} // namespace wip::import
