#pragma once

#include "database/schema.h"
#include "runtime/transaction.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace wip {

// The metal ledger (schema version 5): the grams that came to and left each
// holder of metal, summed per day, kept by the database itself so that the
// metal balance of a month reads a few thousand rows instead of the month's
// millions of steps.
//
// Table metal_day, one row per flow, holder, metal and day:
//   flow 'L'  a worker's sheet lines (work_report, PEN and FIN): gongxu the
//             department, holder the worker (changhao), holder_name the name;
//   flow 'T'  the transfers between stocks (jcjl_mattran, BEGIN and FINISH):
//             gongxu the sending stock (fcode), peer the receiving one
//             (tcode), holder the outside workshop (gonghao);
//   flow 'H'  what a department's desk holds (proch_new rows without a
//             worker, outside 唧蜡 and 倒模): gongxu the department, mcode
//             the metal of the bag's contract line (scond.metal);
//   flow 'C'  the metal a bag cast without a casting batch brings to 倒模's
//             desk: its first lines at 倒模, unless a casting batch of it had
//             ended before (s_iss, s_back the grams; s_nz, e_nz the lines
//             with issued and with taken-back grams; opens only); table
//             metal_cast keeps what each bag counts, which a change of any
//             of its lines or batches counts again.
// Each source row counts twice: when it opens (a line's sdata, a transfer's
// ldate, a desk row's sttime) in the s_ columns, and when it closes (a FIN
// line's ldate, a FINISH transfer's fdate or else ldate, a desk row's edtime)
// in the e_ columns: the grams, and in s_nz, e_nz, e_nzf and e_nzb the number
// of rows with grams that are not zero (which a report shows even when their
// sums cancel). So what a holder held at a moment is the sum of s_ less e_
// over the days before it, and what moved in a period their sums over its days.
//
// Triggers on work_report, jcjl_mattran, proch_new, scond and proch keep the rows in
// the same transaction as the change (an update takes the old row's counts
// away and adds the new row's); install() makes them and counts the rows
// already there. Grams are rounded to 3 decimals as they are added, as SQLite
// adds doubles.
class MetalLedger
{
public:
    static QList<TableDef> tables();
    static QList<IndexDef> indexes();

    // The triggers (and on PostgreSQL their functions), made anew, and the table
    // filled again from the rows there are now; inside the caller's transaction.
    static bool install(QSqlDatabase db, DbKind kind, QString *error);
    // The triggers dropped: a bulk load (the demo) fills the tables without
    // them and install()s after, which counts its rows at once.
    static bool remove(QSqlDatabase db, DbKind kind, QString *error);
    // Whether the database has every trigger of the ledger.
    static bool installed(QSqlDatabase db, DbKind kind);

    // The statement that fills metal_day from the rows of the source tables
    // (metal_day empty first); also what a check compares the table with.
    static QString rebuildSelect(DbKind kind);
    // The columns of metal_day that hold grams or counts, in table order.
    static const QStringList &amountColumns();
};

} // namespace wip
