#include "desk/desk.h"

#include "desk/deskvalues.h"
#include "database/closeddays.h"
#include "database/useraccounts.h"
#include "desk/baglookup.h"
#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "desk/deskreversal.h"
#include "desk/deskrows.h"
#include "desk/scanstation.h"
#include "desk/workercheck.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"

#include <optional>

namespace wip {

using Result = DeskOutcome::Result;

// One action's state from its input to its commit.
struct Desk::Work
{
    explicit Work(const DeskRequest &r) : request(r) {}

    const DeskRequest &request;
    const DeskDepartment *dept = nullptr;
    DeskOutcome outcome;
    std::optional<Decimal> pieces;     // as given; nullopt: the default
    std::optional<Decimal> weight;
    Decimal returned = Decimal::fromInt(0);
    std::optional<Decimal> unfinishedWeight;
    QDateTime now;
    QString product;
    BagPlace bag;                      // where the bag will be
    std::unique_ptr<DeskRows> rows;
    QString done;                      // what was done, for the clerk and the audit trail
    QList<AuditLog::Change> audit;

    QString code() const { return outcome.ticket.code; }
    // The number of the sheet or transfer this action writes: "<ticket>/<action>".
    QString note() const { return QStringLiteral("%1/%2").arg(outcome.ticket.code).arg(bag.moves); }
    void record(const QString &field, const QVariant &before, const QVariant &after)
    {
        audit.append({outcome.ticket.scno, outcome.ticket.scondId, field, before, after});
    }
};

namespace {

using deskvalues::zero;
using deskvalues::count;
using deskvalues::grams;

QString notSaved(const QString &code, const QString &why)
{
    return QStringLiteral("袋卡 %1 未能保存, 没有写入任何资料: %2").arg(code, why);
}

// The actions in the words of the command line and the audit trail.
QString actionName(DeskAction action)
{
    switch (action) {
    case DeskAction::Receive: return QStringLiteral("receive");
    case DeskAction::Issue: return QStringLiteral("issue");
    case DeskAction::TakeBack: return QStringLiteral("return");
    case DeskAction::PassOn: return QStringLiteral("pass");
    case DeskAction::Reverse: return QStringLiteral("reverse");
    }
    return QString();
}

} // namespace

Desk::Desk(Transaction &tr, const AuditSource &who, Rights rights, const Options &options)
    : m_tr(tr), m_who(who), m_rights(rights), m_options(options)
{
}

bool Desk::mayAct(Rights rights)
{
    return bool(rights & (Right::Scan | Right::ContractAdd | Right::ContractEdit | Right::ContractDelete));
}

bool Desk::refuse(Work &w, Result result, const QString &message) const
{
    w.outcome.result = result;
    w.outcome.message = message;
    return false;
}

DeskOutcome Desk::act(const DeskRequest &request)
{
    if (request.action == DeskAction::Reverse)
        return DeskReversal(m_tr, m_who, m_rights, m_options.clock).reverse(request);
    Work w(request);
    w.outcome.action = request.action;
    w.outcome.ticket.code = request.code.trimmed();
    w.now = m_options.clock ? m_options.clock() : QDateTime::currentDateTime();
    w.now = w.now.addMSecs(-w.now.time().msec());
    if (!mayAct(m_rights)) {
        refuse(w, Result::NoRight, QStringLiteral("用户 %1 没有部门收发的权限").arg(m_who.user));
        return w.outcome;
    }
    if (!readInput(w))
        return w.outcome;
    TransactionGuard guard(m_tr);
    if (!guard.active()) {
        refuse(w, Result::Failed, QStringLiteral("数据库未能开始交易: ") + m_tr.sqlErrText);
        return w.outcome;
    }
    bool ok = dayOpen(w) && readBag(w);
    if (ok) {
        switch (request.action) {
        case DeskAction::Receive: ok = receive(w); break;
        case DeskAction::Issue: ok = issue(w); break;
        case DeskAction::TakeBack: ok = takeBack(w); break;
        case DeskAction::PassOn: ok = passOn(w); break;
        case DeskAction::Reverse: break;
        }
    }
    if (ok && finish(w)) {
        if (guard.commit()) {
            w.outcome.result = Result::Done;
            w.outcome.message = w.done;
            w.outcome.after = w.bag;
            return w.outcome;
        }
        refuse(w, Result::Failed, notSaved(w.code(), m_tr.sqlErrText));
    }
    guard.rollback();
    return w.outcome;
}

// The department and the numbers of the request, before anything is read.
bool Desk::readInput(Work &w)
{
    const DeskRequest &r = w.request;
    w.dept = DeskDepartment::find(r.department);
    if (!w.dept || w.dept->isOutside())
        return refuse(w, Result::BadInput, QStringLiteral("没有部门 \"%1\"; 可用: %2").arg(r.department, DeskDepartment::captions()));
    QString why;
    if (!r.pieces.trimmed().isEmpty() && !(w.pieces = DeskInput::pieces(r.pieces, QStringLiteral("件数"), &why)))
        return refuse(w, Result::BadInput, why);
    if (!(w.weight = DeskInput::weight(r.weight, QStringLiteral("重量"), &why)))
        return refuse(w, Result::BadInput, why);
    if (!r.returned.trimmed().isEmpty()) {
        const auto returned = DeskInput::weight(r.returned, QStringLiteral("回料重量"), &why);
        if (!returned)
            return refuse(w, Result::BadInput, why);
        w.returned = *returned;
    }
    if (!r.unfinishedWeight.trimmed().isEmpty()
        && !(w.unfinishedWeight = DeskInput::weight(r.unfinishedWeight, QStringLiteral("未完成件重量"), &why)))
        return refuse(w, Result::BadInput, why);
    if (w.pieces && w.pieces->isZero() && r.action != DeskAction::TakeBack)
        return refuse(w, Result::BadInput, QStringLiteral("件数须大于 0"));
    return readStoneCounts(w);
}

// Stones are counted at a take-back at 镶石 only, in whole stones.
bool Desk::readStoneCounts(Work &w)
{
    const DeskRequest &r = w.request;
    if (r.stonesSet.isEmpty() && r.stonesBroken.isEmpty())
        return true;
    if (r.action != DeskAction::TakeBack || !w.dept->isSetting())
        return refuse(w, Result::BadInput, QStringLiteral("只有镶石收回时才写镶石和破损的石数"));
    QString why;
    for (const DeskRequest::StoneCount &c : r.stonesSet) {
        if (!DeskInput::stones(c.count, QStringLiteral("镶法 %1 的粒数").arg(c.method.trimmed()), &why))
            return refuse(w, Result::BadInput, why);
    }
    for (const DeskRequest::StoneCount &c : r.stonesBroken) {
        if (!DeskInput::stones(c.count, QStringLiteral("破损 %1 的粒数").arg(c.stone.trimmed()), &why))
            return refuse(w, Result::BadInput, why);
    }
    return true;
}

// The action counts on its own day at the department acting; a bag passed on
// also at the next one, whose received figure the progress record's 转出 raises.
bool Desk::dayOpen(Work &w)
{
    QList<const DeskDepartment *> touched{w.dept};
    const DeskDepartment *next = w.dept->next();
    if (w.request.action == DeskAction::PassOn && !w.request.toOutside && next && !next->progress.isEmpty()
        && !w.dept->progress.isEmpty())
        touched << next;
    for (const DeskDepartment *d : touched) {
        QString error;
        if (const auto closed = ClosedDays::find(m_tr, d->caption, w.now.date(), &error))
            return refuse(w, Result::DayClosed, notSaved(w.code(), ClosedDays::refusal(*closed)));
        if (!error.isEmpty())
            return refuse(w, Result::Failed, QStringLiteral("读取日结未成功: ") + error);
    }
    return true;
}

// Locks the contract, reads the ticket's line and where the bag is.
bool Desk::readBag(Work &w)
{
    Result result = Result::Failed;
    QString message;
    if (!BagLookup::open(m_tr, w.code(), &w.outcome.ticket, &w.outcome.before, &result, &message))
        return refuse(w, result, message);
    const auto product = m_tr.selectInto(
        QStringLiteral("select y.arttype_name from article a join arttype y on y.arttype_code = a.arttype_code "
                       "where a.article_code = ?"),
        {w.outcome.ticket.articleCode});
    if (!product && m_tr.sqlCode != 100)
        return refuse(w, Result::Failed, QStringLiteral("读取款号未成功: ") + m_tr.sqlErrText);
    w.product = product ? product->at(0).toString() : QString();
    w.bag = w.outcome.before;
    w.bag.scno = w.outcome.ticket.scno;
    w.bag.moves = w.outcome.before.moves + 1;
    w.rows = std::make_unique<DeskRows>(m_tr, w.outcome.ticket, w.product, m_who.user, w.now);
    return true;
}

// The progress record as 转出 (or, at 唧蜡, 接收) writes it, in this work.
bool Desk::progress(Work &w, const DeskDepartment &department, bool in)
{
    const ScanDepartment *d = ScanDepartment::find(department.progress);
    if (!d)
        return true;
    ScanStation station(m_tr, m_who, QString(), true);
    const ScanOutcome o = station.scan(w.code(), *d, in ? ScanAction::In : ScanAction::Out, true);
    if (o.done())
        return true;
    const bool disagrees = o.result == ScanOutcome::Result::OverScan || o.result == ScanOutcome::Result::Duplicate;
    const bool closed = o.result == ScanOutcome::Result::DayClosed;
    return refuse(w, closed ? Result::DayClosed : disagrees ? Result::WrongPlace : Result::Failed,
                  QStringLiteral("进度记录: ") + o.message);
}

bool Desk::receive(Work &w)
{
    const BagPlace &b = w.outcome.before;
    if (w.dept->isFirst() && b.place == BagPlace::Place::None)
        return receiveFromLine(w);
    if (b.place == BagPlace::Place::Transit && b.nextGongxu == w.dept->gongxu)
        return receiveSent(w, false);
    if (b.place == BagPlace::Place::Outside && b.gongxu == w.dept->gongxu)
        return receiveSent(w, true);
    return refuse(w, Result::WrongPlace,
                  QStringLiteral("袋卡 %1 %2, 不能在%3接收").arg(w.code(), b.describe(), w.dept->caption));
}

// 唧蜡 takes the bag in from its contract line: the line's pieces.
bool Desk::receiveFromLine(Work &w)
{
    const std::optional<Decimal> line = Decimal::fromVariant(w.outcome.ticket.quantity);
    if (!line || line->sign() <= 0 || line->normalized().scale() > 0)
        return refuse(w, Result::BadInput, QStringLiteral("袋卡 %1 的明细没有整数件数, 不能接收").arg(w.code()));
    if (w.pieces && *w.pieces != *line)
        return refuse(w, *w.pieces > *line ? Result::TooManyPieces : Result::WholeBag,
                      QStringLiteral("袋卡 %1 的明细是 %2 件, 不是 %3 件").arg(w.code(), count(*line), count(*w.pieces)));
    if (!progress(w, *w.dept, true))
        return false;
    if (!w.rows->setDeskHolding(w.dept->gongxu, *line, *w.weight))
        return refuse(w, Result::Failed, notSaved(w.code(), w.rows->error()));
    w.bag.place = BagPlace::Place::Desk;
    w.bag.gongxu = w.dept->gongxu;
    w.bag.pcs = *line;
    w.bag.weight = *w.weight;
    w.done = QStringLiteral("袋卡 %1: %2接收 %3 件 %4 克").arg(w.code(), w.dept->caption, count(*line), grams(*w.weight));
    return true;
}

// A weight received off the weight sent by more than the tolerance needs the
// clerk's confirmation, which is recorded.
bool Desk::weightDifference(Work &w, const Decimal &sent, const Decimal &received)
{
    const Decimal difference = received - sent;
    w.outcome.difference = difference;
    if (difference.abs() <= m_options.tolerance)
        return true;
    if (!w.request.confirmDifference)
        return refuse(w, Result::WeightDifference,
                      QStringLiteral("袋卡 %1: 收到 %2 克, 送出 %3 克, 相差 %4 克, 超过 %5 克; 请确认重量")
                          .arg(w.code(), grams(received), grams(sent), grams(difference), grams(m_options.tolerance)));
    w.record(QStringLiteral("desk:weight_difference"), grams(sent), grams(received));
    return true;
}

// The transfer a desk began to this one (or to outside work and back) is
// finished here with the pieces counted and the grams weighed.
bool Desk::receiveSent(Work &w, bool fromOutside)
{
    const BagPlace &b = w.outcome.before;
    Decimal sentPcs, sentWeight;
    if (!w.rows->sentOnTransfer(b.noteNo, &sentPcs, &sentWeight))
        return refuse(w, Result::Failed, QStringLiteral("读取转料单 %1 未成功: %2").arg(b.noteNo, w.rows->error()));
    const Decimal pcs = w.pieces.value_or(sentPcs);
    if (pcs != sentPcs)
        return refuse(w, pcs > sentPcs ? Result::TooManyPieces : Result::WholeBag,
                      QStringLiteral("袋卡 %1: 转料单 %2 送出 %3 件, 不是 %4 件").arg(w.code(), b.noteNo, count(sentPcs), count(pcs)));
    if (!weightDifference(w, sentWeight, *w.weight))
        return false;
    const bool shipped = w.dept->isShipping();
    const bool written = w.rows->finishTransfer(b.noteNo, pcs, *w.weight)
        && (!fromOutside || w.rows->closeOutsideStep(b.noteNo))
        && (shipped ? w.rows->shippedStep(b.noteNo, pcs) : w.rows->setDeskHolding(w.dept->gongxu, pcs, *w.weight));
    if (!written)
        return refuse(w, Result::Failed, notSaved(w.code(), w.rows->error()));
    w.bag.place = shipped ? BagPlace::Place::Finished : BagPlace::Place::Desk;
    w.bag.gongxu = w.dept->gongxu;
    w.bag.nextGongxu.clear();
    w.bag.changhao.clear();
    w.bag.xingming.clear();
    w.bag.noteNo.clear();
    w.bag.pcs = pcs;
    w.bag.weight = *w.weight;
    w.outcome.noteNo = b.noteNo;
    w.done = QStringLiteral("袋卡 %1: %2接收 %3 件 %4 克 (转料单 %5%6)")
                 .arg(w.code(), w.dept->caption, count(pcs), grams(*w.weight), b.noteNo,
                      fromOutside ? QStringLiteral(", 外发回") : QString());
    return true;
}

bool Desk::issue(Work &w)
{
    const BagPlace &b = w.outcome.before;
    if (b.place == BagPlace::Place::Worker && b.gongxu == w.dept->gongxu)
        return refuse(w, Result::WithWorker, QStringLiteral("袋卡 %1 已%2, 收回后才能再发出").arg(w.code(), b.describe()));
    if (b.place != BagPlace::Place::Desk || b.gongxu != w.dept->gongxu)
        return refuse(w, Result::WrongPlace, QStringLiteral("袋卡 %1 %2, 不能在%3发出").arg(w.code(), b.describe(), w.dept->caption));
    const Decimal pcs = w.pieces.value_or(b.pcs);
    if (pcs > b.pcs || pcs.isZero())
        return refuse(w, Result::TooManyPieces, QStringLiteral("袋卡 %1: 收发只有 %2 件, 不能发出 %3 件").arg(w.code(), count(b.pcs), count(pcs)));
    QString name, why;
    switch (WorkerCheck::check(m_tr, w.request.worker.trimmed(), w.dept->gongxu, &name, &why)) {
    case WorkerCheck::Verdict::Ok: break;
    case WorkerCheck::Verdict::Failed: return refuse(w, Result::Failed, why);
    default: return refuse(w, Result::BadWorker, QStringLiteral("袋卡 %1: %2").arg(w.code(), why));
    }
    const QString worker = w.request.worker.trimmed();
    const QString sheet = w.note();
    const Decimal left = b.pcs - pcs;
    Decimal leftWeight = left.isZero() ? zero() : b.weight - *w.weight;
    if (leftWeight.sign() < 0)
        leftWeight = zero();
    QList<SettingStones::Line> stones;
    if (w.dept->isSetting()) {
        const auto style = SettingStones::read(m_tr, w.outcome.ticket.articleCode, 0, pcs, &why);
        if (!style)
            return refuse(w, Result::Failed, QStringLiteral("读取款式的石料未成功: ") + why);
        stones = style->forPieces(pcs);
    }
    if (!w.rows->openSheet(w.dept->gongxu, w.dept->stock, worker, name, sheet, pcs, *w.weight, w.now, w.request.memo,
                           stones)
        || !w.rows->setDeskHolding(w.dept->gongxu, left, leftWeight))
        return refuse(w, Result::Failed, notSaved(w.code(), w.rows->error()));
    w.bag.place = BagPlace::Place::Worker;
    w.bag.changhao = worker;
    w.bag.xingming = name;
    w.bag.noteNo = sheet;
    w.bag.pcs = left;
    w.bag.weight = leftWeight;
    w.outcome.noteNo = sheet;
    w.done = QStringLiteral("袋卡 %1: %2发出 %3 件 %4 克 给工人 %5 %6 (工单 %7)")
                 .arg(w.code(), w.dept->caption, count(pcs), grams(*w.weight), worker, name, sheet);
    if (!stones.isEmpty())
        w.done += QStringLiteral(", 石料 ") + SettingStones::describe(stones, {});
    return true;
}

// A gain (more grams back than were issued) stands only when a user with the
// supervisor right confirms it, and only once every piece is back.
bool Desk::gainAllowed(Work &w, const Decimal &issued, const Decimal &back, bool piecesStay)
{
    if (back <= issued)
        return true;
    const QString what = QStringLiteral("袋卡 %1: 收回 %2 克, 多于发出的 %3 克").arg(w.code(), grams(back), grams(issued));
    if (piecesStay)
        return refuse(w, Result::Gain, what + QStringLiteral("; 工人仍有未完成件, 全部收回后才能由主管确认"));
    const QString supervisor = w.request.gainConfirmedBy.trimmed();
    if (supervisor.isEmpty())
        return refuse(w, Result::Gain, what + QStringLiteral("; 需主管确认"));
    const bool right = RightsCatalogue::has(Right::Supervisor, [&](const QString &module, const QString &function) {
        return UserAccounts::rights(m_tr, supervisor, module, function);
    });
    if (!right)
        return refuse(w, Result::Gain, what + QStringLiteral("; 用户 %1 没有主管权限").arg(supervisor));
    w.record(QStringLiteral("desk:gain"), grams(issued), QStringLiteral("%1 (主管 %2)").arg(grams(back), supervisor));
    return true;
}

bool Desk::takeBack(Work &w)
{
    const BagPlace &b = w.outcome.before;
    const QString worker = w.request.worker.trimmed();
    if (b.place != BagPlace::Place::Worker || b.gongxu != w.dept->gongxu)
        return refuse(w, Result::WrongPlace, QStringLiteral("袋卡 %1 %2, 不能在%3收回").arg(w.code(), b.describe(), w.dept->caption));
    if (!worker.isEmpty() && worker != b.changhao)
        return refuse(w, Result::WrongPlace, QStringLiteral("袋卡 %1 %2, 不是工人 %3").arg(w.code(), b.describe(), worker));
    DeskRows::Held held;
    if (!w.rows->heldOnSheet(b.noteNo, &held))
        return refuse(w, Result::Failed, QStringLiteral("读取工单 %1 未成功: %2").arg(b.noteNo, w.rows->error()));
    DeskRows::Settlement s;
    s.finished = w.pieces.value_or(held.pcs);
    if (s.finished > held.pcs)
        return refuse(w, Result::TooManyPieces, QStringLiteral("袋卡 %1: 工人只有 %2 件, 不能收回 %3 件").arg(w.code(), count(held.pcs), count(s.finished)));
    s.finishedWeight = *w.weight;
    s.returned = w.returned;
    s.unfinished = held.pcs - s.finished;
    s.unfinishedToDesk = w.request.unfinishedToDesk && !s.unfinished.isZero();
    if (s.unfinishedToDesk && !w.unfinishedWeight)
        return refuse(w, Result::BadInput, QStringLiteral("袋卡 %1: 退回收发的 %2 件没有重量").arg(w.code(), count(s.unfinished)));
    const bool staying = !s.unfinished.isZero() && !s.unfinishedToDesk;
    if (staying && s.finished.isZero() && s.returned.isZero())
        return refuse(w, Result::BadInput, QStringLiteral("袋卡 %1: 没有收回任何件数或回料").arg(w.code()));
    const Decimal toDesk = s.unfinishedToDesk ? *w.unfinishedWeight : zero();
    if (!gainAllowed(w, held.weight, s.finishedWeight + s.returned + toDesk, staying)
        || (w.dept->isSetting() && !settleStones(w, held, s)))
        return false;
    s.unfinishedWeight = staying ? held.weight - s.finishedWeight - s.returned : toDesk;
    s.loss = staying ? zero() : held.weight - s.finishedWeight - s.returned - toDesk;
    const Decimal deskPcs = b.pcs + s.finished + (s.unfinishedToDesk ? s.unfinished : zero());
    const Decimal deskWeight = b.weight + s.finishedWeight + toDesk;
    if (!w.rows->settleSheet(w.dept->gongxu, w.dept->stock, b.changhao, b.xingming, b.noteNo, held, s)
        || !w.rows->setDeskHolding(w.dept->gongxu, deskPcs, deskWeight))
        return refuse(w, Result::Failed, notSaved(w.code(), w.rows->error()));
    w.bag.pcs = deskPcs;
    w.bag.weight = deskWeight;
    if (!staying) {
        w.bag.place = BagPlace::Place::Desk;
        w.bag.changhao.clear();
        w.bag.xingming.clear();
        w.bag.noteNo.clear();
        w.outcome.loss = s.loss;
    }
    w.outcome.noteNo = b.noteNo;
    w.done = QStringLiteral("袋卡 %1: %2收回 工人 %3 %4 完成 %5 件 %6 克, 回料 %7 克")
                 .arg(w.code(), w.dept->caption, b.changhao, b.xingming, count(s.finished), grams(s.finishedWeight),
                      grams(s.returned));
    if (s.unfinishedToDesk)
        w.done += QStringLiteral(", 未完成 %1 件 %2 克退回收发").arg(count(s.unfinished), grams(toDesk));
    w.done += staying ? QStringLiteral("; %1 件 (%2 克) 仍在工人手中").arg(count(s.unfinished), grams(s.unfinishedWeight))
                      : QStringLiteral(", 耗 %1 克").arg(grams(s.loss));
    if (s.stones && !(s.stonesSet.isEmpty() && s.stonesBroken.isEmpty()))
        w.done += QStringLiteral("; 镶石 ") + SettingStones::describe(s.stonesSet, s.stonesBroken);
    return true;
}

// The stones of a take-back at 镶石: those set and broken, and what the pieces
// left with the worker carry.
bool Desk::settleStones(Work &w, const DeskRows::Held &held, DeskRows::Settlement &s)
{
    QString why;
    const auto stones = SettingStones::read(m_tr, w.outcome.ticket.articleCode, held.prochId, held.pcs, &why);
    if (!stones)
        return refuse(w, Result::Failed, QStringLiteral("读取工单 %1 的石料未成功: %2").arg(w.outcome.before.noteNo, why));
    if (!stones->settle(s.finished, w.request.stonesSet, w.request.stonesBroken, &s.stonesSet, &s.stonesBroken, &why))
        return refuse(w, Result::Stones, QStringLiteral("袋卡 %1: %2").arg(w.code(), why));
    s.stones = true;
    if (!s.unfinished.isZero() && !s.unfinishedToDesk)
        s.stonesStaying = stones->forPieces(s.unfinished);
    return true;
}

bool Desk::passOn(Work &w)
{
    const BagPlace &b = w.outcome.before;
    if (b.place == BagPlace::Place::Worker && b.gongxu == w.dept->gongxu)
        return refuse(w, Result::WithWorker, QStringLiteral("袋卡 %1 %2, 收回后才能转出").arg(w.code(), b.describe()));
    const DeskDepartment *to = w.request.toOutside ? &DeskDepartment::outside() : w.dept->next();
    if (b.place != BagPlace::Place::Desk || b.gongxu != w.dept->gongxu || !to)
        return refuse(w, Result::WrongPlace, QStringLiteral("袋卡 %1 %2, 不能在%3转出").arg(w.code(), b.describe(), w.dept->caption));
    const Decimal pcs = w.pieces.value_or(b.pcs);
    if (pcs != b.pcs)
        return refuse(w, pcs > b.pcs ? Result::TooManyPieces : Result::WholeBag,
                      QStringLiteral("袋卡 %1: 收发有 %2 件, 整袋转出, 不能转出 %3 件").arg(w.code(), count(b.pcs), count(pcs)));
    if (!w.request.toOutside && !progress(w, *w.dept, false))
        return false;
    const QString note = w.note();
    const QString workshop = w.request.toOutside ? (w.request.worker.trimmed().isEmpty() ? QStringLiteral("外发")
                                                                                         : w.request.worker.trimmed())
                                                 : QString();
    const QString kind = w.dept->isFirst() ? QStringLiteral("蜡模") : w.outcome.ticket.metal + QStringLiteral("原料WIP");
    const bool written = w.rows->beginTransfer(note, w.dept->stock, to->stock, pcs, *w.weight, kind, workshop,
                                               workshop.isEmpty() ? QString() : QStringLiteral("外发"))
        && (!w.request.toOutside || w.rows->openOutsideStep(note, workshop, QStringLiteral("外发"), pcs))
        && w.rows->setDeskHolding(w.dept->gongxu, zero(), zero());
    if (!written)
        return refuse(w, Result::Failed, notSaved(w.code(), w.rows->error()));
    w.bag.place = w.request.toOutside ? BagPlace::Place::Outside : BagPlace::Place::Transit;
    w.bag.nextGongxu = w.request.toOutside ? QString() : to->gongxu;
    w.bag.changhao = workshop;
    w.bag.xingming = workshop.isEmpty() ? QString() : QStringLiteral("外发");
    w.bag.noteNo = note;
    w.bag.pcs = zero();
    w.bag.weight = zero();
    w.outcome.noteNo = note;
    w.done = QStringLiteral("袋卡 %1: %2转出 %3 件 %4 克 到%5 (转料单 %6)")
                 .arg(w.code(), w.dept->caption, count(pcs), grams(*w.weight), to->caption, note);
    return true;
}

// Where the bag is now and the audit rows of the action, in the same work.
bool Desk::finish(Work &w)
{
    w.record(QStringLiteral("desk:") + actionName(w.request.action), QVariant(), w.done);
    w.record(QStringLiteral("bag:place"), w.outcome.before.describe(), w.bag.describe());
    if (!w.bag.write(m_tr, m_who.user, w.now) || !AuditLog::write(m_tr, m_who, w.audit, w.now))
        return refuse(w, Result::Failed, notSaved(w.code(), m_tr.sqlErrText));
    return true;
}

} // namespace wip
