#include "desk/deskreversal.h"

#include "desk/deskvalues.h"
#include "database/closeddays.h"
#include "desk/baglookup.h"
#include "desk/desk.h"
#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "desk/deskrows.h"
#include "desk/reversalrows.h"
#include "desk/scanstation.h"
#include "runtime/cursor.h"
#include "desk/settingstones.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"

#include <memory>
#include <optional>

namespace wip {

using Result = DeskOutcome::Result;

struct DeskReversal::Work
{
    QString code;
    QString department;
    QString reason;
    const DeskDepartment *dept = nullptr;
    DeskOutcome outcome;
    QDateTime now;
    QDateTime lastAt;                  // the moment of the bag's last action
    BagPlace bag;                      // where the bag will be
    std::unique_ptr<DeskRows> rows;
    std::unique_ptr<ReversalRows> reversal;
    std::optional<ReversalRows::TakenBack> takenBack;
    // The transfer of the pass-on or receive reversed; none for a receive at
    // 唧蜡 from the contract line.
    struct Transfer
    {
        QString note, fcode, tcode, gonghao, name;
        Decimal pcs, weight;        // sent
        Decimal fpcs, fweight;      // received
    };
    std::optional<Transfer> transfer;
    // A casting batch reversed: its number, and each of its bags (this one first).
    struct CastBag
    {
        QString code;
        BagTicket ticket;
        BagPlace before;
    };
    QString batch;
    QList<CastBag> castBags;
    DeskAction action = DeskAction::Issue;
    QString what;                      // what is reversed
    QString done;
};

namespace {

using deskvalues::zero;
using deskvalues::count;
using deskvalues::grams;

QString notReversed(const QString &code, const QString &why)
{
    return QStringLiteral("袋卡 %1 未能冲销, 没有写入任何资料: %2").arg(code, why);
}

// The pieces a sheet's worker holds, closed with nothing: all back to the
// desk at the grams held, nothing finished, returned or lost.
DeskRows::Settlement nothingDone(const DeskRows::Held &held, bool setting)
{
    DeskRows::Settlement s;
    s.finished = zero();
    s.finishedWeight = zero();
    s.returned = zero();
    s.unfinished = held.pcs;
    s.unfinishedToDesk = true;
    s.unfinishedWeight = held.weight;
    s.loss = zero();
    s.stones = setting;   // the stones issued go back with the pieces
    return s;
}

} // namespace

DeskReversal::DeskReversal(Transaction &tr, const AuditSource &who, Rights rights, std::function<QDateTime()> clock)
    : m_tr(tr), m_who(who), m_rights(rights), m_clock(std::move(clock))
{
}

bool DeskReversal::refuse(Work &w, Result result, const QString &message) const
{
    w.outcome.result = result;
    w.outcome.message = message;
    return false;
}

DeskReversal::Plan DeskReversal::look(const QString &code, const QString &department)
{
    Work w;
    w.code = code.trimmed();
    w.department = department;
    Plan p;
    TransactionGuard guard(m_tr);
    if (!guard.active()) {
        p.message = QStringLiteral("数据库未能开始交易: ") + m_tr.sqlErrText;
        return p;
    }
    if (plan(w)) {
        p.result = Result::Done;
        p.action = w.action;
        p.sheet = w.outcome.noteNo;
        p.what = w.what;
    } else {
        p.result = w.outcome.result;
        p.message = w.outcome.message;
    }
    guard.rollback();
    return p;
}

DeskOutcome DeskReversal::reverse(const DeskRequest &request)
{
    Work w;
    w.code = request.code.trimmed();
    w.department = request.department;
    w.reason = request.reason.trimmed();
    w.outcome.action = DeskAction::Reverse;
    w.outcome.ticket.code = w.code;
    if (w.reason.isEmpty()) {
        refuse(w, Result::BadInput, QStringLiteral("袋卡 %1: 冲销须写明原因").arg(w.code));
        return w.outcome;
    }
    TransactionGuard guard(m_tr);
    if (!guard.active()) {
        refuse(w, Result::Failed, QStringLiteral("数据库未能开始交易: ") + m_tr.sqlErrText);
        return w.outcome;
    }
    bool ok = plan(w);
    if (ok && !w.batch.isEmpty()) {
        ok = reverseCast(w);
    } else if (ok) {
        switch (w.action) {
        case DeskAction::Issue:
            ok = reverseIssue(w);
            break;
        case DeskAction::TakeBack:
            ok = reverseTakeBack(w);
            break;
        case DeskAction::PassOn:
            ok = reversePassOn(w);
            break;
        default:
            ok = reverseReceive(w);
            break;
        }
    }
    if (ok && finish(w)) {
        if (guard.commit()) {
            w.outcome.result = Result::Done;
            w.outcome.message = w.done;
            w.outcome.after = w.bag;
            return w.outcome;
        }
        refuse(w, Result::Failed, notReversed(w.code, m_tr.sqlErrText));
    }
    guard.rollback();
    return w.outcome;
}

// Who may, on which day, which bag and which of its actions; nothing written.
bool DeskReversal::plan(Work &w)
{
    w.outcome.action = DeskAction::Reverse;
    w.outcome.ticket.code = w.code;
    w.now = m_clock ? m_clock() : QDateTime::currentDateTime();
    w.now = w.now.addMSecs(-w.now.time().msec());
    if (!Desk::mayAct(m_rights))
        return refuse(w, Result::NoRight, QStringLiteral("用户 %1 没有部门收发的权限").arg(m_who.user));
    if (!(m_rights & Right::Supervisor))
        return refuse(w, Result::NoRight, QStringLiteral("用户 %1 没有主管权限, 不能冲销").arg(m_who.user));
    w.dept = DeskDepartment::find(w.department);
    if (!w.dept || w.dept->isOutside())
        return refuse(w, Result::BadInput,
                      QStringLiteral("没有部门 \"%1\"; 可用: %2").arg(w.department, DeskDepartment::captions()));
    QString error;
    if (const auto closed = ClosedDays::find(m_tr, w.dept->caption, w.now.date(), &error))
        return refuse(w, Result::DayClosed, notReversed(w.code, ClosedDays::refusal(*closed)));
    if (!error.isEmpty())
        return refuse(w, Result::Failed, QStringLiteral("读取日结未成功: ") + error);
    Result result = Result::Failed;
    QString message;
    if (!BagLookup::open(m_tr, w.code, &w.outcome.ticket, &w.outcome.before, &result, &message))
        return refuse(w, result, message);
    const auto product = m_tr.selectInto(
        QStringLiteral("select y.arttype_name from article a join arttype y on y.arttype_code = a.arttype_code "
                       "where a.article_code = ?"),
        {w.outcome.ticket.articleCode});
    if (!product && m_tr.sqlCode != 100)
        return refuse(w, Result::Failed, QStringLiteral("读取款号未成功: ") + m_tr.sqlErrText);
    w.bag = w.outcome.before;
    w.bag.scno = w.outcome.ticket.scno;
    w.bag.moves = w.outcome.before.moves + 1;
    const QString memo = w.reason.isEmpty() ? QStringLiteral("-") : w.reason;
    w.rows = std::make_unique<DeskRows>(m_tr, w.outcome.ticket, product ? product->at(0).toString() : QString(),
                                        m_who.user, w.now);
    w.reversal = std::make_unique<ReversalRows>(m_tr, w.outcome.ticket, m_who.user, w.now, memo);
    if (!lastAction(w))
        return false;
    // A pass-on's 转出 gave the next department its received figure, which
    // the correction takes back today: as at the pass-on, its day must be open.
    const DeskDepartment *next = w.dept->next();
    if (w.action == DeskAction::PassOn && w.outcome.before.place == BagPlace::Place::Transit && next
        && !next->progress.isEmpty() && !w.dept->progress.isEmpty()) {
        if (const auto closed = ClosedDays::find(m_tr, next->caption, w.now.date(), &error))
            return refuse(w, Result::DayClosed, notReversed(w.code, ClosedDays::refusal(*closed)));
        if (!error.isEmpty())
            return refuse(w, Result::Failed, QStringLiteral("读取日结未成功: ") + error);
    }
    return true;
}

// The bag's last action: an issue when the worker holds the sheet that action
// numbered; a take-back when a FIN line of this department carries its moment.
// The audit trail names it for the refusal, and says whether it was a reversal.
bool DeskReversal::lastAction(Work &w)
{
    const BagPlace &b = w.outcome.before;
    if (!b.stored())
        return refuse(w, Result::NotLast, QStringLiteral("袋卡 %1 %2, 没有收发可冲销").arg(w.code, b.describe()));
    const auto stamp = m_tr.selectInto(QStringLiteral("select ldate from bag_place where scond_id = ?"),
                                       {w.outcome.ticket.scondId});
    if (!stamp)
        return refuse(w, Result::Failed, QStringLiteral("读取袋的位置未成功: ") + m_tr.sqlErrText);
    w.lastAt = fromDbValue(stamp->at(0), ColumnKind::DateTime).toDateTime();
    const auto audit = m_tr.selectInto(
        QStringLiteral("select field, new_value, changed_at from audit_log where scond_id = ? and field in "
                       "('desk:receive', 'desk:issue', 'desk:return', 'desk:pass', 'desk:cast', 'desk:reverse') "
                       "order by audit_id desc"),
        {w.outcome.ticket.scondId});
    if (!audit && m_tr.sqlCode != 100)
        return refuse(w, Result::Failed, QStringLiteral("读取修改记录未成功: ") + m_tr.sqlErrText);
    const bool named = audit && fromDbValue(audit->at(2), ColumnKind::DateTime).toDateTime() == w.lastAt;
    const QString when = w.lastAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString last = named ? QStringLiteral("袋卡 %1 的最后一步 (%2): %3").arg(w.code, when, audit->at(1).toString())
                               : QStringLiteral("袋卡 %1 的最后一步在 %2, 现在%3").arg(w.code, when, b.describe());
    if (named && audit->at(0).toString() == QLatin1String("desk:reverse"))
        return refuse(w, Result::NotLast, last + QStringLiteral("; 已是冲销, 不能再冲销, 请重新收发"));
    const bool here = b.gongxu == w.dept->gongxu
        && (b.place == BagPlace::Place::Desk || b.place == BagPlace::Place::Worker
            || b.place == BagPlace::Place::Transit || b.place == BagPlace::Place::Outside);
    if (!here)
        return refuse(w, Result::NotLast, last + QStringLiteral("; 只能冲销袋在%1的最后一步").arg(w.dept->caption));
    w.outcome.noteNo = b.noteNo;
    if (b.place == BagPlace::Place::Worker && b.noteNo == QStringLiteral("%1/%2").arg(w.outcome.ticket.code).arg(b.moves)) {
        DeskRows::Held held;
        if (!w.rows->heldOnSheet(b.noteNo, &held))
            return refuse(w, Result::Failed, QStringLiteral("读取工单 %1 未成功: %2").arg(b.noteNo, w.rows->error()));
        w.action = DeskAction::Issue;
        w.what = QStringLiteral("发出 工单 %1 给工人 %2: %3 件 %4 克")
                     .arg(b.noteNo, QString(b.changhao + QLatin1Char(' ') + b.xingming).trimmed(), count(held.pcs),
                          grams(held.weight));
        return true;
    }
    if (b.place == BagPlace::Place::Transit || b.place == BagPlace::Place::Outside)
        return receivedOrSent(w, last);
    w.takenBack = w.reversal->takenBack(w.dept->gongxu, w.lastAt);
    if (!w.reversal->error().isEmpty())
        return refuse(w, Result::Failed, QStringLiteral("读取工单未成功: ") + w.reversal->error());
    if (!w.takenBack)
        return receivedOrSent(w, last);
    w.action = DeskAction::TakeBack;
    w.outcome.noteNo = w.takenBack->sheet;
    w.what = QStringLiteral("收回 ") + w.takenBack->describe();
    return true;
}

// A pass-on: the bag on its way from this desk on the transfer the pass-on
// began at the bag's last moment. A receive: the bag at this desk, received at
// its last moment from a transfer (or at 唧蜡 from its line).
bool DeskReversal::receivedOrSent(Work &w, const QString &last)
{
    const BagPlace &b = w.outcome.before;
    const QString refused = last + QStringLiteral("; 不是%1的接收, 发出, 收回或转出, 不能冲销").arg(w.dept->caption);
    Work::Transfer t;
    if (b.place == BagPlace::Place::Transit || b.place == BagPlace::Place::Outside) {
        const auto row = m_tr.selectInto(
            QStringLiteral("select fcode, tcode, gonghao, name, qtycal, qtyref, ldate from jcjl_mattran "
                           "where mattran_no = ? and scond_id = ? and zt = 'BEGIN'"),
            {b.noteNo, w.outcome.ticket.scondId});
        if (!row && m_tr.sqlCode != 100)
            return refuse(w, Result::Failed, QStringLiteral("读取转料单 %1 未成功: %2").arg(b.noteNo, m_tr.sqlErrText));
        if (!row || fromDbValue(row->at(6), ColumnKind::DateTime).toDateTime() != w.lastAt)
            return refuse(w, Result::NotLast, refused);
        t.note = b.noteNo;
        t.fcode = row->at(0).toString();
        t.tcode = row->at(1).toString();
        t.gonghao = row->at(2).toString();
        t.name = row->at(3).toString();
        t.pcs = deskvalues::number(row->at(4));
        t.weight = deskvalues::number(row->at(5));
        const bool outside = b.place == BagPlace::Place::Outside;
        w.action = DeskAction::PassOn;
        w.outcome.noteNo = t.note;
        w.what = QStringLiteral("转出 转料单 %1 到%2: %3 件 %4 克")
                     .arg(t.note,
                          outside ? QStringLiteral("外发 %1").arg(t.gonghao)
                                  : QString(w.dept->next() ? w.dept->next()->caption : t.tcode),
                          count(t.pcs), grams(t.weight));
        w.transfer = t;
        return true;
    }
    if (b.place != BagPlace::Place::Desk)
        return refuse(w, Result::NotLast, refused);
    if (w.dept->isCasting()) {
        const auto step = m_tr.selectInto(
            QStringLiteral("select wsheetno from proch where scond_id = ? and gongxu_code = ? and memo = '铸造批' "
                           "and edtime = ? and coalesce(qty, 0) >= 0"),
            {w.outcome.ticket.scondId, w.dept->gongxu, w.lastAt});
        if (!step && m_tr.sqlCode != 100)
            return refuse(w, Result::Failed, QStringLiteral("读取铸造批未成功: ") + m_tr.sqlErrText);
        if (step)
            return castBatch(w, step->at(0).toString(), last);
    }
    const QString outsideStock = DeskDepartment::outside().stock;
    const auto row = m_tr.selectInto(
        QStringLiteral("select mattran_no, fcode, tcode, gonghao, name, qtycal, qtyref, fpcs, fweight from jcjl_mattran "
                       "where scond_id = ? and zt = 'FINISH' and fdate = ? and qtycal > 0 "
                       "and (tcode = ? or (fcode = ? and tcode = ?)) order by mattran_no"),
        {w.outcome.ticket.scondId, w.lastAt, w.dept->stock, w.dept->stock, outsideStock});
    if (!row && m_tr.sqlCode != 100)
        return refuse(w, Result::Failed, QStringLiteral("读取转料单未成功: ") + m_tr.sqlErrText);
    w.action = DeskAction::Receive;
    if (row) {
        t.note = row->at(0).toString();
        t.fcode = row->at(1).toString();
        t.tcode = row->at(2).toString();
        t.gonghao = row->at(3).toString();
        t.name = row->at(4).toString();
        t.pcs = deskvalues::number(row->at(5));
        t.weight = deskvalues::number(row->at(6));
        t.fpcs = deskvalues::number(row->at(7));
        t.fweight = deskvalues::number(row->at(8));
        w.outcome.noteNo = t.note;
        w.what = QStringLiteral("接收 转料单 %1%2: %3 件 %4 克")
                     .arg(t.note, t.tcode == outsideStock ? QStringLiteral(" (外发回)") : QString(), count(t.fpcs),
                          grams(t.fweight));
        w.transfer = t;
        return true;
    }
    // At 唧蜡 from the line: the desk's holding began at the bag's last moment.
    if (!w.dept->isFirst())
        return refuse(w, Result::NotLast, refused);
    const auto began = m_tr.selectInto(
        QStringLiteral("select count(*) from proch_new where scond_id = ? and gongxu_code = ? "
                       "and coalesce(changhao, '') = '' and edtime is null and sttime = ?"),
        {w.outcome.ticket.scondId, w.dept->gongxu, w.lastAt});
    if (!began)
        return refuse(w, Result::Failed, QStringLiteral("读取收发的袋未成功: ") + m_tr.sqlErrText);
    if (began->at(0).toInt() != 1)
        return refuse(w, Result::NotLast, refused);
    w.what = QStringLiteral("接收 (合约明细) %1 件 %2 克").arg(count(b.pcs), grams(b.weight));
    return true;
}

// A casting batch is one tree for its bags: it is reversed whole, when the cast
// is still each bag's last action (every contract locked, in order).
bool DeskReversal::castBatch(Work &w, const QString &batch, const QString &last)
{
    QList<QPair<QString, long long>> codes;
    {
        Cursor c(m_tr,
                 QStringLiteral("select d.scno, d.line_no, p.scond_id from proch p join scond d on d.scond_id = "
                                "p.scond_id where p.wsheetno = ? and p.gongxu_code = ? and p.memo = '铸造批' and "
                                "p.edtime = ? and coalesce(p.qty, 0) >= 0 order by d.scno, d.line_no"),
                 {batch, w.dept->gongxu, w.lastAt});
        if (!c.open())
            return refuse(w, Result::Failed, QStringLiteral("读取铸造批 %1 未成功: %2").arg(batch, m_tr.sqlErrText));
        while (const auto row = c.fetch())
            codes.append({BagTicket::codeFor(row->at(0).toString(), row->at(1).toInt()), row->at(2).toLongLong()});
        const bool read = m_tr.sqlCode == 100;
        c.close();
        if (!read)
            return refuse(w, Result::Failed, QStringLiteral("读取铸造批 %1 未成功: %2").arg(batch, m_tr.sqlErrText));
    }
    w.batch = batch;
    w.outcome.noteNo = batch;
    w.castBags.append({w.code, w.outcome.ticket, w.outcome.before});
    QStringList names;
    for (const auto &[code, scondId] : std::as_const(codes)) {
        names << code;
        if (scondId == w.outcome.ticket.scondId)
            continue;
        Work::CastBag bag{code, {}, {}};
        Result result = Result::Failed;
        QString message;
        if (!BagLookup::open(m_tr, code, &bag.ticket, &bag.before, &result, &message))
            return refuse(w, result, message);
        const auto stamp = m_tr.selectInto(QStringLiteral("select ldate from bag_place where scond_id = ?"), {scondId});
        const bool stillCast = stamp && bag.before.place == BagPlace::Place::Desk && bag.before.gongxu == w.dept->gongxu
            && fromDbValue(stamp->at(0), ColumnKind::DateTime).toDateTime() == w.lastAt;
        if (!stillCast)
            return refuse(w, Result::NotLast,
                          last + QStringLiteral("; 铸造批 %1 的袋卡 %2 %3, 铸造批只能整批冲销")
                                     .arg(batch, code, bag.before.describe()));
        w.castBags.append(bag);
    }
    w.what = QStringLiteral("倒模铸造批 %1: %2 袋 (%3)").arg(batch).arg(names.size()).arg(names.join(QStringLiteral(", ")));
    return true;
}

bool DeskReversal::reverseCast(Work &w)
{
    if (!w.reversal->cancelCastingLines(w.batch, w.lastAt))
        return refuse(w, Result::Failed, notReversed(w.code, w.reversal->error()));
    const QString memo = w.reason.isEmpty() ? QStringLiteral("-") : w.reason;
    QList<AuditLog::Change> audit;
    for (const Work::CastBag &bag : std::as_const(w.castBags)) {
        ReversalRows reversal(m_tr, bag.ticket, m_who.user, w.now, memo);
        DeskRows rows(m_tr, bag.ticket, QString(), m_who.user, w.now);
        // What the desk held of the bag before the cast: the row the cast closed,
        // or, when the cast left it as it was, the row there is.
        const auto held = m_tr.selectInto(
            QStringLiteral("select qty, weight from proch_new where scond_id = ? and gongxu_code = ? "
                           "and coalesce(changhao, '') = '' and edtime = ?"),
            {bag.ticket.scondId, w.dept->gongxu, w.lastAt});
        if (!held && m_tr.sqlCode != 100)
            return refuse(w, Result::Failed, notReversed(w.code, m_tr.sqlErrText));
        const Decimal pcs = held ? deskvalues::number(held->at(0)) : bag.before.pcs;
        const Decimal weight = held ? deskvalues::number(held->at(1)) : bag.before.weight;
        if (!reversal.cancelCastStep(w.batch, w.lastAt))
            return refuse(w, Result::Failed, notReversed(bag.code, reversal.error()));
        if (!rows.setDeskHolding(w.dept->gongxu, pcs, weight))
            return refuse(w, Result::Failed, notReversed(bag.code, rows.error()));
        BagPlace after = bag.before;
        after.scno = bag.ticket.scno;
        after.moves = bag.before.moves + 1;
        after.pcs = pcs;
        after.weight = weight;
        if (bag.ticket.scondId == w.outcome.ticket.scondId) {
            w.bag = after;    // written with its audit rows by finish()
            continue;
        }
        if (!after.write(m_tr, m_who.user, w.now))
            return refuse(w, Result::Failed, notReversed(bag.code, m_tr.sqlErrText));
        audit.append({bag.ticket.scno, QVariant(bag.ticket.scondId), QStringLiteral("desk:reverse"), QVariant(w.what),
                      QVariant(QString(ReversalRows::memoPrefix() + w.reason))});
        audit.append({bag.ticket.scno, QVariant(bag.ticket.scondId), QStringLiteral("bag:place"),
                      QVariant(bag.before.describe()), QVariant(after.describe())});
    }
    if (!AuditLog::write(m_tr, m_who, audit, w.now))
        return refuse(w, Result::Failed, notReversed(w.code, m_tr.sqlErrText));
    return true;
}

// The progress record's 转出 (or, at 唧蜡, 接收) taken back, in this work.
bool DeskReversal::progress(Work &w, const DeskDepartment &department, bool in)
{
    const ScanDepartment *d = ScanDepartment::find(department.progress);
    if (!d)
        return true;
    ScanStation station(m_tr, m_who, QString(), true);
    const ScanOutcome o = station.cancel(w.code, *d, in ? ScanAction::In : ScanAction::Out);
    if (o.done())
        return true;
    return refuse(w, o.result == ScanOutcome::Result::DayClosed ? Result::DayClosed : Result::Failed,
                  notReversed(w.code, QStringLiteral("进度记录: ") + o.message));
}

bool DeskReversal::reversePassOn(Work &w)
{
    const Work::Transfer &t = *w.transfer;
    const bool outside = w.outcome.before.place == BagPlace::Place::Outside;
    if (!outside && !progress(w, *w.dept, false))
        return false;
    if (!w.reversal->cancelSent(t.note) || (outside && !w.reversal->cancelOutsideStep(t.note)))
        return refuse(w, Result::Failed, notReversed(w.code, w.reversal->error()));
    if (!w.rows->setDeskHolding(w.dept->gongxu, t.pcs, t.weight))
        return refuse(w, Result::Failed, notReversed(w.code, w.rows->error()));
    w.bag.place = BagPlace::Place::Desk;
    w.bag.nextGongxu.clear();
    w.bag.changhao.clear();
    w.bag.xingming.clear();
    w.bag.noteNo.clear();
    w.bag.pcs = t.pcs;
    w.bag.weight = t.weight;
    return true;
}

bool DeskReversal::reverseReceive(Work &w)
{
    if (!w.transfer) {
        if (!progress(w, *w.dept, true))
            return false;
        if (!w.rows->setDeskHolding(w.dept->gongxu, zero(), zero()))
            return refuse(w, Result::Failed, notReversed(w.code, w.rows->error()));
        w.bag.place = BagPlace::Place::None;
        w.bag.gongxu.clear();
        w.bag.pcs = zero();
        w.bag.weight = zero();
        return true;
    }
    const Work::Transfer &t = *w.transfer;
    const bool fromOutside = t.tcode == DeskDepartment::outside().stock;
    const DeskDepartment *sender = nullptr;
    for (const DeskDepartment &d : DeskDepartment::all()) {
        if (d.stock == t.fcode && !d.isOutside())
            sender = &d;
    }
    if (!fromOutside && !sender)
        return refuse(w, Result::Failed, notReversed(w.code, QStringLiteral("转料单 %1 的发出仓 %2 不是部门的收发")
                                                                 .arg(t.note, t.fcode)));
    if (!w.reversal->reopenReceived(t.note, w.lastAt)
        || (fromOutside && !w.reversal->cancelOutsideStep(t.note, w.lastAt))
        || (fromOutside && !w.rows->openOutsideStep(t.note, t.gonghao, t.name, t.pcs)))
        return refuse(w, Result::Failed,
                      notReversed(w.code, w.reversal->error().isEmpty() ? w.rows->error() : w.reversal->error()));
    if (!w.rows->setDeskHolding(w.dept->gongxu, zero(), zero()))
        return refuse(w, Result::Failed, notReversed(w.code, w.rows->error()));
    w.bag.place = fromOutside ? BagPlace::Place::Outside : BagPlace::Place::Transit;
    w.bag.gongxu = fromOutside ? w.dept->gongxu : sender->gongxu;
    w.bag.nextGongxu = fromOutside ? QString() : w.dept->gongxu;
    w.bag.changhao = fromOutside ? t.gonghao : QString();
    w.bag.xingming = fromOutside ? t.name : QString();
    w.bag.noteNo = t.note;
    w.bag.pcs = zero();
    w.bag.weight = zero();
    return true;
}

bool DeskReversal::reverseIssue(Work &w)
{
    const BagPlace &b = w.outcome.before;
    DeskRows::Held held;
    if (!w.rows->heldOnSheet(b.noteNo, &held))
        return refuse(w, Result::Failed, QStringLiteral("读取工单 %1 未成功: %2").arg(b.noteNo, w.rows->error()));
    const Decimal deskPcs = b.pcs + held.pcs;
    const Decimal deskWeight = b.weight + held.weight;
    if (!w.rows->settleSheet(w.dept->gongxu, w.dept->stock, b.changhao, b.xingming, b.noteNo, held,
                             nothingDone(held, w.dept->isSetting()))
        || !w.rows->setDeskHolding(w.dept->gongxu, deskPcs, deskWeight))
        return refuse(w, Result::Failed, notReversed(w.code, w.rows->error()));
    w.bag.place = BagPlace::Place::Desk;
    w.bag.changhao.clear();
    w.bag.xingming.clear();
    w.bag.noteNo.clear();
    w.bag.pcs = deskPcs;
    w.bag.weight = deskWeight;
    return true;
}

bool DeskReversal::reverseTakeBack(Work &w)
{
    const BagPlace &b = w.outcome.before;
    const ReversalRows::TakenBack &t = *w.takenBack;
    Decimal heldPcs = t.issPcs + t.backPcs;
    Decimal heldWeight = t.issWeight + t.backWeight;
    // Pieces the take-back left with the worker: closed with nothing, they are
    // on the sheet opened again below.
    if (b.place == BagPlace::Place::Worker) {
        DeskRows::Held staying;
        if (b.noteNo != t.sheet || !w.rows->heldOnSheet(t.sheet, &staying))
            return refuse(w, Result::Failed, QStringLiteral("读取工单 %1 未成功: %2").arg(t.sheet, w.rows->error()));
        if (!w.rows->settleSheet(w.dept->gongxu, w.dept->stock, t.changhao, t.xingming, t.sheet, staying,
                                 nothingDone(staying, w.dept->isSetting())))
            return refuse(w, Result::Failed, notReversed(w.code, w.rows->error()));
        heldPcs += staying.pcs;
        heldWeight += staying.weight;
    }
    const Decimal deskPcs = b.pcs - t.finPcs - t.backPcs;
    const Decimal deskWeight = b.weight - t.finWeight - t.backWeight;
    if (deskPcs.sign() < 0 || deskWeight.sign() < 0)
        return refuse(w, Result::Failed,
                      notReversed(w.code, QStringLiteral("收发只有 %1 件 %2 克, 少于收回的").arg(count(b.pcs), grams(b.weight))));
    QList<SettingStones::Line> stones;
    if (w.dept->isSetting()) {
        QString why;
        const auto style = SettingStones::read(m_tr, w.outcome.ticket.articleCode, 0, heldPcs, &why);
        if (!style)
            return refuse(w, Result::Failed, QStringLiteral("读取款式的石料未成功: ") + why);
        stones = style->forPieces(heldPcs);
    }
    const bool written = w.reversal->cancelTakeBack(w.dept->gongxu, t);
    if (!written)
        return refuse(w, Result::Failed, notReversed(w.code, w.reversal->error()));
    if (!w.rows->openSheet(w.dept->gongxu, w.dept->stock, t.changhao, t.xingming, t.sheet, heldPcs, heldWeight, w.now,
                           QStringLiteral("重开 (冲销收回)"), stones)
        || !w.rows->setDeskHolding(w.dept->gongxu, deskPcs, deskWeight))
        return refuse(w, Result::Failed, notReversed(w.code, w.rows->error()));
    w.bag.place = BagPlace::Place::Worker;
    w.bag.changhao = t.changhao;
    w.bag.xingming = t.xingming;
    w.bag.noteNo = t.sheet;
    w.bag.pcs = deskPcs;
    w.bag.weight = deskWeight;
    return true;
}

// Where the bag is now and the audit rows of the correction, in the same work.
bool DeskReversal::finish(Work &w)
{
    const auto &ticket = w.outcome.ticket;
    w.outcome.reversed = w.what;
    w.done = QStringLiteral("袋卡 %1: %2冲销 %3; 原因: %4").arg(w.code, w.dept->caption, w.what, w.reason);
    QList<AuditLog::Change> audit;
    audit.append({ticket.scno, QVariant(ticket.scondId), QStringLiteral("desk:reverse"), QVariant(w.what),
                  QVariant(QString(ReversalRows::memoPrefix() + w.reason))});
    audit.append({ticket.scno, QVariant(ticket.scondId), QStringLiteral("bag:place"),
                  QVariant(w.outcome.before.describe()), QVariant(w.bag.describe())});
    if (!w.bag.write(m_tr, m_who.user, w.now) || !AuditLog::write(m_tr, m_who, audit, w.now))
        return refuse(w, Result::Failed, notReversed(w.code, m_tr.sqlErrText));
    return true;
}

} // namespace wip
