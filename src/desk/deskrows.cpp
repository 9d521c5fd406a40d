#include "desk/deskrows.h"

#include "desk/deskvalues.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

using deskvalues::number;
using deskvalues::num;
using deskvalues::kWorkersStock;

const QString kOutside = QStringLiteral("11-外发");
const QString kShipping = QStringLiteral("20-出货");

QVariant nullDate() { return QVariant(QMetaType::fromType<QDateTime>()); }
QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }
QVariant orNull(const QString &s) { return s.isEmpty() ? nullText() : QVariant(s); }
QVariant nullNumber() { return Decimal::null(); }

} // namespace

DeskRows::DeskRows(Transaction &tr, const BagTicket &bag, const QString &product, const QString &user,
                   const QDateTime &now)
    : m_tr(tr), m_bag(bag), m_product(product), m_user(user), m_now(now)
{
}

// Runs one statement; with expectRows >= 0 it must touch exactly that many rows
// (the row it means is there, once).
bool DeskRows::run(const QString &sql, const QVariantList &values, int expectRows)
{
    if (!m_tr.execute(sql, values)) {
        m_error = m_tr.sqlErrText;
        return false;
    }
    if (expectRows >= 0 && m_tr.sqlNRows != expectRows) {
        m_error = QStringLiteral("%1 rows instead of %2 [%3]").arg(m_tr.sqlNRows).arg(expectRows).arg(sql.left(120));
        return false;
    }
    return true;
}

// The desk's row is kept as a history: a change of what the desk holds closes
// the row and opens another from this moment, so that what the desk held at
// any moment is the row open then (the metal balance reads it). The rows the
// statements touch say what was there, without reading the row first.
bool DeskRows::setDeskHolding(const QString &gongxu, const Decimal &pcs, const Decimal &weight)
{
    const QString where = QStringLiteral(" where scond_id = ? and gongxu_code = ? and coalesce(changhao, '') = '' "
                                         "and edtime is null");
    if (!run(QStringLiteral("update proch_new set edtime = ?") + where + QStringLiteral(" and (qty <> ? or weight <> ?)"),
             {m_now, m_bag.scondId, gongxu, num(pcs), num(weight)}))
        return false;
    if (pcs.isZero())
        return true;
    // Nothing closed: the open row holds this already, or there is none.
    if (m_tr.sqlNRows == 0) {
        if (!run(QStringLiteral("update proch_new set qty = qty") + where, {m_bag.scondId, gongxu}))
            return false;
        if (m_tr.sqlNRows > 0)
            return true;
    }
    return run(QStringLiteral("insert into proch_new (scno, gongxu_code, changhao, xingming, sttime, edtime, qty, "
                              "weight, wsheetno, scond_id) values (?, ?, '', '', ?, ?, ?, ?, ?, ?)"),
               {m_bag.scno, gongxu, m_now, nullDate(), num(pcs), num(weight), nullText(), m_bag.scondId});
}

bool DeskRows::insertStep(const QString &gongxu, const QString &changhao, const QString &xingming,
                          const QDateTime &sttime, const QVariant &edtime, const Decimal &pcs, const QString &sheet,
                          const QString &memo)
{
    return run(QStringLiteral("insert into proch (scno, gongxu_code, changhao, xingming, sttime, edtime, qty, "
                              "wsheetno, opername, memo, scond_id) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {m_bag.scno, gongxu, changhao, xingming, sttime, edtime, num(pcs), sheet, m_user, orNull(memo),
                m_bag.scondId});
}

bool DeskRows::insertSheetLine(const QString &gongxu, const QString &changhao, const QString &xingming,
                               const QString &sheet, const Decimal &pcs, const Decimal &weight,
                               const QDateTime &sttime, const QString &memo)
{
    const QVariant zero = num(Decimal::fromInt(0));
    return run(QStringLiteral("insert into work_report (scno, gongxu, changhao, xingming, wsheetno, cust, "
                              "article_code, product_name, metal, mcode, del_date, fin_date, ldate, sdata, zt, "
                              "iss_pcs, iss_weight, fin_pcs, fin_weight, pen_pcs, pen_weight, ret_weight, loss, bz, "
                              "scond_id) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'PEN', ?, ?, ?, ?, ?, ?, "
                              "?, ?, ?, ?)"),
               {m_bag.scno, gongxu, changhao, xingming, sheet, m_bag.custNo, m_bag.articleCode, m_product,
                m_bag.metal, m_bag.metal,
                m_bag.delivery.isValid() ? QVariant(QDateTime(m_bag.delivery, QTime(0, 0))) : nullDate(),
                nullDate(), m_now, sttime, num(pcs), num(weight), zero, zero, num(pcs), num(weight), zero, zero,
                orNull(memo), m_bag.scondId});
}

// work_wip holds a worker's open sheet once: replaced by what the worker holds now.
bool DeskRows::writeOpenSheet(const QString &gongxu, const QString &changhao, const QString &xingming,
                              const QString &sheet, const Decimal &pcs, const Decimal &weight,
                              const QDateTime &sttime)
{
    return run(QStringLiteral("delete from work_wip where worksheet = ?"), {sheet})
        && run(QStringLiteral("insert into work_wip (worksheet, scno, gongxu_code, changhao, xingming, name, cust_no, "
                              "pcs, weight, sttime, deltime, bz) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {sheet, m_bag.scno, gongxu, changhao, xingming, m_product, m_bag.custNo, num(pcs), num(weight),
                sttime,
                m_bag.delivery.isValid() ? QVariant(QDateTime(m_bag.delivery, QTime(0, 0))) : nullDate(),
                nullText()});
}

// A stone row per line: with its setting method (issued, set) or without (broken or lost).
bool DeskRows::insertStones(long long prochId, const QString &gongxu, const QString &changhao,
                            const QList<SettingStones::Line> &stones)
{
    for (const SettingStones::Line &l : stones) {
        if (!run(QStringLiteral("insert into matuse (proch_id, scno, gongxu_code, changhao, mcode, waycode, sqtycal, "
                                "sqtyref) values (?, ?, ?, ?, ?, ?, ?, ?)"),
                 {prochId, m_bag.scno, gongxu, changhao, l.stone, orNull(l.method), num(l.count), nullNumber()}))
            return false;
    }
    return true;
}

bool DeskRows::openSheet(const QString &gongxu, const QString &stock, const QString &changhao,
                         const QString &xingming, const QString &sheet, const Decimal &pcs, const Decimal &weight,
                         const QDateTime &sttime, const QString &memo, const QList<SettingStones::Line> &stones)
{
    if (!insertStep(gongxu, changhao, xingming, sttime, nullDate(), pcs, sheet, memo))
        return false;
    const auto id = m_tr.selectInto(QStringLiteral("select max(proch_id) from proch where wsheetno = ? and "
                                                   "scond_id = ? and edtime is null"),
                                    {sheet, m_bag.scondId});
    if (!id || id->at(0).isNull()) {
        m_error = m_tr.sqlErrText.isEmpty() ? QStringLiteral("the new step is not there") : m_tr.sqlErrText;
        return false;
    }
    return run(QStringLiteral("insert into proch_new (scno, gongxu_code, changhao, xingming, sttime, edtime, qty, "
                              "weight, wsheetno, scond_id) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {m_bag.scno, gongxu, changhao, xingming, sttime, nullDate(), num(pcs), num(weight), sheet,
                m_bag.scondId})
        && run(QStringLiteral("insert into matuse (proch_id, scno, gongxu_code, changhao, mcode, waycode, sqtycal, "
                              "sqtyref) values (?, ?, ?, ?, ?, ?, ?, ?)"),
               {id->at(0).toLongLong(), m_bag.scno, gongxu, changhao, m_bag.metal, nullText(), num(weight), num(pcs)})
        && insertStones(id->at(0).toLongLong(), gongxu, changhao, stones)
        && insertSheetLine(gongxu, changhao, xingming, sheet, pcs, weight, sttime, memo)
        && writeOpenSheet(gongxu, changhao, xingming, sheet, pcs, weight, sttime)
        && beginTransfer(sheet, stock, kWorkersStock, pcs, weight, m_bag.metal + QStringLiteral("原料WIP"), changhao,
                         xingming);
}

bool DeskRows::heldOnSheet(const QString &sheet, Held *held)
{
    const auto step = m_tr.selectInto(QStringLiteral("select proch_id, qty, sttime from proch where wsheetno = ? and "
                                                     "scond_id = ? and edtime is null order by proch_id desc"),
                                      {sheet, m_bag.scondId});
    const auto weight = step ? m_tr.selectInto(QStringLiteral("select weight from proch_new where wsheetno = ? and "
                                                              "scond_id = ? and edtime is null"),
                                               {sheet, m_bag.scondId})
                             : std::nullopt;
    if (!step || !weight) {
        m_error = m_tr.sqlCode == 100 ? QStringLiteral("sheet %1 has no open step").arg(sheet) : m_tr.sqlErrText;
        return false;
    }
    held->prochId = step->at(0).toLongLong();
    held->pcs = number(step->at(1));
    held->sttime = fromDbValue(step->at(2), ColumnKind::DateTime).toDateTime();
    held->weight = number(weight->at(0));
    return true;
}

bool DeskRows::settleSheet(const QString &gongxu, const QString &stock, const QString &changhao,
                           const QString &xingming, const QString &sheet, const Held &held, const Settlement &s)
{
    // The line covers what came back now; pieces staying with the worker go on
    // with what the worker still owes for them.
    const Decimal closedWeight = held.weight - s.unfinishedWeight;
    const Decimal zero = Decimal::fromInt(0);
    const bool staying = !s.unfinished.isZero() && !s.unfinishedToDesk;
    const bool settled =
        run(QStringLiteral("update proch set qty = ?, edtime = ? where proch_id = ?"),
            {num(s.finished), m_now, held.prochId}, 1)
        && run(QStringLiteral("update proch_new set qty = ?, weight = ?, edtime = ? where wsheetno = ? and scond_id = ? "
                              "and edtime is null"),
               {num(s.finished), num(closedWeight), m_now, sheet, m_bag.scondId}, 1)
        && run(QStringLiteral("update matuse set sqtycal = ?, sqtyref = ? where proch_id = ? and mcode = ?"),
               {num(closedWeight), num(s.finished), held.prochId, m_bag.metal})
        && run(QStringLiteral("update work_report set zt = 'FIN', iss_pcs = ?, iss_weight = ?, fin_pcs = ?, "
                              "fin_weight = ?, pen_pcs = ?, pen_weight = ?, ret_weight = ?, loss = ?, back_pcs = ?, "
                              "back_weight = ?, fin_date = ?, ldate = ? where wsheetno = ? and scond_id = ? and zt = 'PEN'"),
               {num(s.finished), num(closedWeight), num(s.finished), num(s.finishedWeight), num(zero), num(zero),
                num(s.returned), num(s.loss), num(s.unfinishedToDesk ? s.unfinished : zero),
                num(s.unfinishedToDesk ? s.unfinishedWeight : zero), m_now, m_now, sheet, m_bag.scondId},
               1)
        && run(QStringLiteral("update jcjl_mattran set zt = 'FINISH', qtycal = ?, qtyref = ?, fpcs = ?, fweight = ?, "
                              "freturn = ?, loss = ?, ldate = ?, fdate = ?, modifyname = ? where mattran_no = ? and "
                              "zt = 'BEGIN' and tcode = ?"),
               {num(s.finished), num(closedWeight), num(s.finished), num(s.finishedWeight), num(s.returned),
                num(s.loss), m_now, m_now, m_user, sheet, kWorkersStock},
               1)
        && run(QStringLiteral("delete from work_wip where worksheet = ?"), {sheet});
    if (!settled)
        return false;
    // The stones issued give way to those set and broken.
    if (s.stones
        && !(run(QStringLiteral("delete from matuse where proch_id = ? and waycode is not null and waycode <> ''"),
                 {held.prochId})
             && insertStones(held.prochId, gongxu, changhao, s.stonesSet + s.stonesBroken)))
        return false;
    if (!s.returned.isZero()
        && !run(QStringLiteral("insert into flreturn (wsheetno, scno, gongxu_code, changhao, client, mcode, zmcode, "
                               "pcs, weight, ldate) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {sheet, m_bag.scno, gongxu, changhao, m_bag.custNo, m_bag.metal,
                 QString(m_bag.metal + QStringLiteral("原料WIP")), num(zero), num(s.returned), m_now}))
        return false;
    return !staying
        || openSheet(gongxu, stock, changhao, xingming, sheet, s.unfinished, s.unfinishedWeight, held.sttime, QString(),
                     s.stonesStaying);
}

bool DeskRows::beginTransfer(const QString &note, const QString &from, const QString &to, const Decimal &pcs,
                             const Decimal &weight, const QString &zmcode, const QString &gonghao,
                             const QString &name)
{
    return run(QStringLiteral("insert into jcjl_mattran (mattran_no, scno, ldate, zt, fcode, tcode, mcode, zmcode, "
                              "metal, qtycal, qtyref, gonghao, name, client_no, custom, product_name, style_no, "
                              "inputname, scond_id) values (?, ?, ?, 'BEGIN', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                              "?, ?)"),
               {note, m_bag.scno, m_now, from, to, m_bag.metal, zmcode, m_bag.metal, num(pcs), num(weight),
                orNull(gonghao), orNull(name), m_bag.custNo, m_bag.custOrder, m_product, m_bag.designNo, m_user,
                m_bag.scondId});
}

bool DeskRows::sentOnTransfer(const QString &note, Decimal *pcs, Decimal *weight)
{
    const auto row = m_tr.selectInto(QStringLiteral("select qtycal, qtyref from jcjl_mattran where mattran_no = ? and "
                                                    "scond_id = ? and zt = 'BEGIN'"),
                                     {note, m_bag.scondId});
    if (!row) {
        m_error = m_tr.sqlCode == 100 ? QStringLiteral("no transfer %1 under way").arg(note) : m_tr.sqlErrText;
        return false;
    }
    *pcs = number(row->at(0));
    *weight = number(row->at(1));
    return true;
}

bool DeskRows::finishTransfer(const QString &note, const Decimal &pcs, const Decimal &weight)
{
    return run(QStringLiteral("update jcjl_mattran set zt = 'FINISH', fpcs = ?, fweight = ?, fdate = ?, modifyname = ? "
                              "where mattran_no = ? and scond_id = ? and zt = 'BEGIN'"),
               {num(pcs), num(weight), m_now, m_user, note, m_bag.scondId}, 1);
}

bool DeskRows::openOutsideStep(const QString &note, const QString &workshop, const QString &name, const Decimal &pcs)
{
    return insertStep(kOutside, workshop, name, m_now, nullDate(), pcs, note, QString());
}

bool DeskRows::closeOutsideStep(const QString &note)
{
    return run(QStringLiteral("update proch set edtime = ? where wsheetno = ? and scond_id = ? and gongxu_code = ? "
                              "and edtime is null"),
               {m_now, note, m_bag.scondId, kOutside}, 1);
}

bool DeskRows::shippedStep(const QString &note, const Decimal &pcs)
{
    return insertStep(kShipping, QString(), QString(), m_now, m_now, pcs, note, QString());
}

bool DeskRows::castStep(const QString &batchNo, const Decimal &pcs, const Decimal &grams)
{
    const QString casting = QStringLiteral("03-倒模");
    if (!insertStep(casting, QString(), QString(), m_now, m_now, pcs, batchNo, QStringLiteral("铸造批")))
        return false;
    const auto id = m_tr.selectInto(QStringLiteral("select max(proch_id) from proch where wsheetno = ? and "
                                                   "scond_id = ? and gongxu_code = ?"),
                                    {batchNo, m_bag.scondId, casting});
    if (!id || id->at(0).isNull()) {
        m_error = m_tr.sqlErrText.isEmpty() ? QStringLiteral("the casting step is not there") : m_tr.sqlErrText;
        return false;
    }
    return run(QStringLiteral("insert into matuse (proch_id, scno, gongxu_code, changhao, mcode, waycode, sqtycal, "
                              "sqtyref) values (?, ?, ?, ?, ?, ?, ?, ?)"),
               {id->at(0).toLongLong(), m_bag.scno, casting, QString(), m_bag.metal, nullText(), num(grams), num(pcs)});
}

} // namespace wip
