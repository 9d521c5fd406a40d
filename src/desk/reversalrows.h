#pragma once

#include "desk/bagticket.h"
#include "runtime/decimal.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace wip {

class Transaction;

// The rows that cancel a take-back, dated now: the rows the take-back wrote
// stay as they are, and beside them go rows with every figure negated, so that
// every sum the reports make over both comes back to what it was before.
//
//   work_report  a FIN line, the settled line's iss_*, fin_*, ret_weight, loss
//                and back_* negated; sdata and ldate now, bz "冲销: <reason>"
//   proch        a step of the worker finished now with -qty, memo "冲销: ...";
//                its matuse rows the settled step's, negated (metal and stones)
//   jcjl_mattran the worker's transfer FINISH as settled, its figures negated
//   flreturn     the returned grams, negated
//
// and the rows that cancel a pass-on or a receive on jcjl_mattran (cancelSent,
// reopenReceived).
//
// Every statement runs on the caller's transaction; a false return leaves
// error() saying what failed, and the caller rolls the whole correction back.
class ReversalRows
{
public:
    // A take-back as its FIN line of the sheet shows it.
    struct TakenBack
    {
        long long lineId = 0;     // work_report.lsh
        QString sheet;
        QString changhao;
        QString xingming;
        QDateTime at;             // the take-back's moment (the line's ldate)
        Decimal issPcs, issWeight, finPcs, finWeight, returned, loss, backPcs, backWeight;

        // "工单 KC1-1/5 工人 0401 张三: 收回 8 件 28.9 克, 回料 0.5 克, 退回收发 2 件 6.8 克, 耗 0.13 克"
        QString describe() const;
    };

    ReversalRows(Transaction &tr, const BagTicket &bag, const QString &user, const QDateTime &now,
                 const QString &memo);

    // The FIN line a take-back at the department wrote at `at` (a reversal's
    // own lines are not one); nullopt when there is none, with error() set
    // when it could not be read.
    std::optional<TakenBack> takenBack(const QString &gongxu, const QDateTime &at);
    bool cancelTakeBack(const QString &gongxu, const TakenBack &t);

    // A transfer a pass-on began and nobody received (BEGIN): finished now,
    // as if received whole, beside a FINISH row dated now with every figure
    // negated, so that what the sender passed on, the receiver received and
    // the transit held come back to what they were before the pass-on.
    bool cancelSent(const QString &note);
    // A transfer a receive finished at `at`: beside it a FINISH row dated now
    // with every figure negated, and the transfer under way again as a BEGIN
    // row of the same number, sent now with what was sent then.
    bool reopenReceived(const QString &note, const QDateTime &at);
    // The outside step of transfer `note` cancelled by a step dated now with
    // its pieces negated: the one a receive back from outside work closed at
    // `closedAt`, or, with closedAt null, the open one a pass-on to outside
    // work began, which is closed now first.
    bool cancelOutsideStep(const QString &note, const QDateTime &closedAt = QDateTime());
    // The bag's step of casting batch `batch` (finished at `at`) and the metal
    // it took: a step of the batch finished now with its pieces negated (which
    // marks the batch reversed for the bag) and its matuse rows negated.
    bool cancelCastStep(const QString &batch, const QDateTime &at);
    // The batch's castind rows (of every contract): copies dated now, negated.
    bool cancelCastingLines(const QString &batch, const QDateTime &at);

    QString error() const { return m_error; }
    // The prefix of the memo of the cancelling rows: "冲销: ".
    static QString memoPrefix();

private:
    // Copies the rows `where` picks from `table`: columns with their kinds
    // (t text, n number, d date, i integer); those in `negate` negated, those
    // in `set` replaced. expect >= 0: that many rows must be copied.
    bool copyRows(const QString &table, const QStringList &columns, const char *kinds, const QStringList &negate,
                  const QVariantHash &set, const QString &where, const QVariantList &values, int expect);
    bool run(const QString &sql, const QVariantList &values);

    Transaction &m_tr;
    BagTicket m_bag;
    QString m_user;
    QDateTime m_now;
    QString m_memo;
    QString m_error;
};

} // namespace wip
