#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace wip::reference {

// The fields of one row as texts, by field name ("mcode" -> "18KY"): what a
// window shows and a spreadsheet row gives.
using RefValues = QMap<QString, QString>;

// One row of reference data on its way to the database: its values as now, and
// for a row read from the database the values it was read with, so that the
// save knows what changed and the audit trail what it was. A row from a file
// is Added (or Edited with `original` read from the database, to update it).
//
//   RefRow r;                             // a new metal from a spreadsheet, line 4
//   r.line = 4;
//   r.values = {{"mcode", "18KR"}, {"mtype", "GOLD"}, {"purate", "0.750"}, {"hallmark", "750"}};
struct RefRow
{
    enum class Change { Unchanged, Added, Edited, Deleted };

    Change change = Change::Added;
    int line = 0;                    // the row's number in messages (the grid's row, the file's line)
    RefValues values;
    RefValues original;              // as read; empty for an added row
    QList<RefValues> stones;         // styles: the stone lines now
    QList<RefValues> originalStones; // styles: the stone lines as read
    QList<int> stoneLines;           // styles from a file: the line each stone line is on; empty: numbered from 1

    QString value(const QString &field) const { return values.value(field); }
    bool saved() const { return change != Change::Added; }
};

} // namespace wip::reference
