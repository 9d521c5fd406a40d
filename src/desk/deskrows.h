#pragma once

#include "desk/bagticket.h"
#include "desk/settingstones.h"
#include "runtime/decimal.h"

#include <QDateTime>
#include <QString>

namespace wip {

class Transaction;

// The rows a desk action writes into the step, sheet and transfer tables, each
// carrying the bag's line (scond_id), in the meaning docs/database.md gives
// their columns. Every statement runs on the caller's transaction, inside the
// work of one action; a false return leaves error() saying what failed, and the
// caller rolls the whole action back.
//
// A worker's sheet (number `sheet`) is one open step of proch and proch_new with
// the metal in matuse, a PEN line of work_report, an open sheet of work_wip and
// a BEGIN transfer to the workers' stock 11-工人在做仓 under the same number. A
// take-back settles it: the step finished with the finished pieces, the line FIN
// with its loss, the transfer FINISH; pieces left with the worker go on under
// the same number as a new open step, line and transfer carrying what the worker
// still owes (issued − finished − returned), whose loss shows when they come back.
//
// At 镶石 a sheet also carries its stones in matuse, one row per stone and
// setting method (waycode): while open, those issued (the style's stones ×
// pieces); once settled, those set, and a row without a setting method per
// stone broken or lost. Pieces left with the worker take the stones they need.
class DeskRows
{
public:
    // What the worker holds on an open sheet.
    struct Held
    {
        long long prochId = 0;
        Decimal pcs;
        Decimal weight;
        QDateTime sttime;
    };
    // A take-back of a sheet.
    struct Settlement
    {
        Decimal finished;        // pieces
        Decimal finishedWeight;
        Decimal returned;        // grams of filings and sweepings
        Decimal unfinished;      // pieces not finished
        bool unfinishedToDesk = false;
        Decimal unfinishedWeight;    // to the desk: weighed; staying: what the worker still owes
        Decimal loss;            // 0 while pieces stay with the worker
        bool stones = false;     // at 镶石: the sheet's stones are settled as below
        QList<SettingStones::Line> stonesSet;
        QList<SettingStones::Line> stonesBroken;
        QList<SettingStones::Line> stonesStaying;   // what the pieces left with the worker carry
    };

    DeskRows(Transaction &tr, const BagTicket &bag, const QString &product, const QString &user, const QDateTime &now);

    // What the department's desk holds of the bag (proch_new without a worker):
    // a change closes the open row and opens one from now; no pieces closes it.
    bool setDeskHolding(const QString &gongxu, const Decimal &pcs, const Decimal &weight);

    // stones: what the pieces carry (at 镶石), one matuse row each.
    bool openSheet(const QString &gongxu, const QString &stock, const QString &changhao, const QString &xingming,
                   const QString &sheet, const Decimal &pcs, const Decimal &weight, const QDateTime &sttime,
                   const QString &memo, const QList<SettingStones::Line> &stones = {});
    bool heldOnSheet(const QString &sheet, Held *held);
    bool settleSheet(const QString &gongxu, const QString &stock, const QString &changhao, const QString &xingming,
                     const QString &sheet, const Held &held, const Settlement &s);

    // Transfers between stocks: begun by the sender, finished by the receiver
    // (fdate the moment received).
    bool beginTransfer(const QString &note, const QString &from, const QString &to, const Decimal &pcs,
                       const Decimal &weight, const QString &zmcode, const QString &gonghao, const QString &name);
    bool sentOnTransfer(const QString &note, Decimal *pcs, Decimal *weight);
    bool finishTransfer(const QString &note, const Decimal &pcs, const Decimal &weight);

    // Outside work: a step of 11-外发 given to the workshop, finished when back.
    bool openOutsideStep(const QString &note, const QString &workshop, const QString &name, const Decimal &pcs);
    bool closeOutsideStep(const QString &note);
    // Shipping received the finished bag: a step of 20-出货 finished at once.
    bool shippedStep(const QString &note, const Decimal &pcs);
    // A casting batch cast the bag: a step of 03-倒模 finished at once, its sheet
    // the batch's number, and in matuse the metal the bag took (grams cast and lost).
    bool castStep(const QString &batchNo, const Decimal &pcs, const Decimal &grams);

    QString error() const { return m_error; }

private:
    bool run(const QString &sql, const QVariantList &values, int expectRows = -1);
    bool insertStep(const QString &gongxu, const QString &changhao, const QString &xingming, const QDateTime &sttime,
                    const QVariant &edtime, const Decimal &pcs, const QString &sheet, const QString &memo);
    bool insertSheetLine(const QString &gongxu, const QString &changhao, const QString &xingming, const QString &sheet,
                         const Decimal &pcs, const Decimal &weight, const QDateTime &sttime, const QString &memo);
    bool insertStones(long long prochId, const QString &gongxu, const QString &changhao,
                      const QList<SettingStones::Line> &stones);
    bool writeOpenSheet(const QString &gongxu, const QString &changhao, const QString &xingming, const QString &sheet,
                        const Decimal &pcs, const Decimal &weight, const QDateTime &sttime);

    Transaction &m_tr;
    BagTicket m_bag;
    QString m_product;
    QString m_user;
    QDateTime m_now;
    QString m_error;
};

} // namespace wip
