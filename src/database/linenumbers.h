#pragma once

#include "runtime/transaction.h"

#include <QSqlDatabase>
#include <QString>

namespace wip {

// The numbers of contract lines: scond.line_no is the number a line's bag
// ticket carries ("KC1001-3"), given once when the line is made and never given
// again in its contract; sconh.next_line_no is the number the contract's next
// line gets. A deleted line's number stays unused, so a ticket printed before
// the deletion never names another line.
//
// Lines made before the numbers existed are numbered when the database is
// upgraded, in the order they had on the tickets until then (by scond_id):
//
//   scond_id  scno   line_no          sconh  next_line_no
//        7    KC1      1              KC1        3
//        9    KC1      2              KC2        2
//        8    KC2      1
class LineNumbers
{
public:
    // Numbers every line without a number, after the highest number of its
    // contract, in scond_id order, and sets each header's next_line_no above
    // the highest number its lines hold; inside the caller's transaction. False
    // with *error when a statement fails.
    static bool numberUnnumbered(QSqlDatabase &db, QString *error);

    // The number the next new line of contract scno gets, read on tr inside the
    // caller's work (after it has locked the header row): the header's counter,
    // but never at or below a number a line of the contract holds. nullopt when
    // it cannot be read.
    static std::optional<int> next(Transaction &tr, const QString &scno);
};

} // namespace wip
