#include "desk/castingdesk.h"

#include "desk/deskvalues.h"
#include "database/closeddays.h"

#include "desk/baglookup.h"
#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "desk/deskrows.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"

#include <algorithm>

namespace wip {

using Result = DeskOutcome::Result;

// One batch from its input to its commit.
struct CastingDesk::Work
{
    struct Bag
    {
        QString code;
        QString scno;
        int line = 0;
        Decimal weight;
        Decimal loss = Decimal::fromInt(0);   // its share of the batch's loss
        BagTicket ticket;
        BagPlace before;
    };
    // The bags of one contract in the batch, and its share of the loss.
    struct Contract
    {
        QString scno;
        Decimal pcs = Decimal::fromInt(0);
        Decimal weight = Decimal::fromInt(0);
        Decimal loss = Decimal::fromInt(0);
    };

    QList<Bag> bags;            // by contract and line: contracts are locked in this order
    QList<Contract> contracts;  // in the same order
    Decimal issued;
    Decimal returned = Decimal::fromInt(0);
    int batchNo = 0;
    QDateTime now;
    Outcome outcome;
    QList<AuditLog::Change> audit;
};

namespace {

using deskvalues::num;
using deskvalues::count;
using deskvalues::grams;

const QString kCasting = QStringLiteral("03-倒模");
const QString kBatchStep = QStringLiteral("铸造批");   // the memo of a batch's steps

} // namespace

CastingDesk::CastingDesk(Transaction &tr, const AuditSource &who, Rights rights, const Desk::Options &options)
    : m_tr(tr), m_who(who), m_rights(rights), m_options(options)
{
}

bool CastingDesk::refuse(Work &w, Result result, const QString &message) const
{
    w.outcome.result = result;
    w.outcome.message = message;
    return false;
}

CastingDesk::Outcome CastingDesk::cast(const CastingBatch &batch)
{
    Work w;
    w.now = m_options.clock ? m_options.clock() : QDateTime::currentDateTime();
    w.now = w.now.addMSecs(-w.now.time().msec());
    if (!Desk::mayAct(m_rights)) {
        refuse(w, Result::NoRight, QStringLiteral("用户 %1 没有部门收发的权限").arg(m_who.user));
        return w.outcome;
    }
    if (!readInput(w, batch))
        return w.outcome;
    TransactionGuard guard(m_tr);
    if (!guard.active()) {
        refuse(w, Result::Failed, QStringLiteral("数据库未能开始交易: ") + m_tr.sqlErrText);
        return w.outcome;
    }
    if (dayOpen(w) && number(w) && readBags(w) && writeContracts(w) && writeBags(w)) {
        if (AuditLog::write(m_tr, m_who, w.audit, w.now) && guard.commit()) {
            w.outcome.result = Result::Done;
            return w.outcome;
        }
        refuse(w, Result::Failed, QStringLiteral("铸造批未能保存, 没有写入任何资料: ") + m_tr.sqlErrText);
    }
    guard.rollback();
    return w.outcome;
}

// A batch counts on its own day at 倒模.
bool CastingDesk::dayOpen(Work &w)
{
    QString error;
    if (const auto closed = ClosedDays::find(m_tr, QStringLiteral("倒模"), w.now.date(), &error))
        return refuse(w, Result::DayClosed, QStringLiteral("铸造批未能保存, 没有写入任何资料: ")
                                                + ClosedDays::refusal(*closed));
    if (!error.isEmpty())
        return refuse(w, Result::Failed, QStringLiteral("读取日结未成功: ") + error);
    return true;
}

// The desk, the weights and the bags named, before anything is read.
bool CastingDesk::readInput(Work &w, const CastingBatch &batch)
{
    const DeskDepartment *dept = DeskDepartment::find(batch.department);
    if (!dept || !dept->isCasting())
        return refuse(w, Result::BadInput, QStringLiteral("铸造只在倒模, 不在 \"%1\"").arg(batch.department));
    if (batch.bags.isEmpty())
        return refuse(w, Result::BadInput, QStringLiteral("铸造批没有袋卡"));
    QString why;
    const auto issued = DeskInput::weight(batch.issued, QStringLiteral("发出金重"), &why);
    if (!issued)
        return refuse(w, Result::BadInput, why);
    w.issued = *issued;
    if (!batch.returned.trimmed().isEmpty()) {
        const auto returned = DeskInput::weight(batch.returned, QStringLiteral("回收金重"), &why);
        if (!returned)
            return refuse(w, Result::BadInput, why);
        w.returned = *returned;
    }
    for (const CastingBatch::Bag &given : batch.bags) {
        Work::Bag bag;
        bag.code = given.code.trimmed();
        if (!BagTicket::parseCode(bag.code, &bag.scno, &bag.line))
            return refuse(w, Result::UnknownBag, QStringLiteral("未知的袋卡 %1").arg(bag.code));
        const auto weight = DeskInput::weight(given.weight, QStringLiteral("袋卡 %1 的金重").arg(bag.code), &why);
        if (!weight)
            return refuse(w, Result::BadInput, why);
        if (weight->isZero())
            return refuse(w, Result::BadInput, QStringLiteral("袋卡 %1 的金重须大于 0").arg(bag.code));
        bag.weight = *weight;
        const bool twice = std::any_of(w.bags.cbegin(), w.bags.cend(), [&bag](const Work::Bag &b) {
            return b.scno == bag.scno && b.line == bag.line;
        });
        if (twice)
            return refuse(w, Result::BadInput, QStringLiteral("袋卡 %1 在铸造批中写了两次").arg(bag.code));
        w.bags.append(bag);
    }
    std::sort(w.bags.begin(), w.bags.end(), [](const Work::Bag &a, const Work::Bag &b) {
        return a.scno != b.scno ? a.scno < b.scno : a.line < b.line;
    });
    return true;
}

// The batch's number, counting on from the highest a batch's steps carry
// (the longest, then the highest text: CB999999 comes before CB1000000).
bool CastingDesk::number(Work &w)
{
    if (m_tr.kind() == DbKind::PostgreSQL
        && !m_tr.execute(QStringLiteral("lock table castind in share row exclusive mode")))
        return refuse(w, Result::Failed, QStringLiteral("铸造批未能编号: ") + m_tr.sqlErrText);
    Cursor numbers(m_tr,
                   QStringLiteral("select wsheetno from proch where gongxu_code = ? and memo = ? and wsheetno like "
                                  "'CB%' order by length(wsheetno) desc, wsheetno desc"),
                   {kCasting, kBatchStep});
    if (!numbers.open())
        return refuse(w, Result::Failed, QStringLiteral("铸造批未能编号: ") + m_tr.sqlErrText);
    bool numeric = false;
    while (const auto row = numbers.fetch()) {
        w.batchNo = row->at(0).toString().mid(2).toInt(&numeric) + 1;
        if (numeric)
            break;
    }
    if (m_tr.sqlCode < 0)
        return refuse(w, Result::Failed, QStringLiteral("铸造批未能编号: ") + m_tr.sqlErrText);
    numbers.close();
    if (!numeric)
        w.batchNo = 1;
    w.outcome.batchNo = QStringLiteral("CB%1").arg(w.batchNo, 6, 10, QLatin1Char('0'));
    return true;
}

// Each bag at 倒模's desk, not cast before, all of one metal; the loss.
bool CastingDesk::readBags(Work &w)
{
    for (Work::Bag &bag : w.bags) {
        Result result = Result::Failed;
        QString message;
        if (!BagLookup::open(m_tr, bag.code, &bag.ticket, &bag.before, &result, &message))
            return refuse(w, result, message);
        const BagPlace &b = bag.before;
        if (b.place != BagPlace::Place::Desk || b.gongxu != kCasting)
            return refuse(w, Result::WrongPlace, QStringLiteral("袋卡 %1 %2, 不能在倒模铸造").arg(bag.code, b.describe()));
        // A batch reversed (its step again with the pieces negated) leaves the bag uncast.
        const auto cast = m_tr.selectInto(
            QStringLiteral("select p.wsheetno from proch p where p.scond_id = ? and p.gongxu_code = ? and p.memo = ? "
                           "and p.wsheetno like 'CB%' and coalesce(p.qty, 0) >= 0 and not exists (select 1 from proch "
                           "q where q.scond_id = p.scond_id and q.gongxu_code = p.gongxu_code and q.memo = p.memo "
                           "and q.wsheetno = p.wsheetno and q.qty < 0)"),
            {bag.ticket.scondId, kCasting, kBatchStep});
        if (cast)
            return refuse(w, Result::WrongPlace,
                          QStringLiteral("袋卡 %1 已在铸造批 %2 铸造").arg(bag.code, cast->at(0).toString()));
        if (m_tr.sqlCode != 100)
            return refuse(w, Result::Failed, QStringLiteral("读取铸造批未成功: ") + m_tr.sqlErrText);
        const Work::Bag &first = w.bags.first();
        if (bag.ticket.metal != first.ticket.metal)
            return refuse(w, Result::BadInput,
                          QStringLiteral("一棵树只铸一种金属: 袋卡 %1 是 %2, 袋卡 %3 是 %4")
                              .arg(first.code, first.ticket.metal, bag.code, bag.ticket.metal));
        w.outcome.cast += bag.weight;
        if (w.contracts.isEmpty() || w.contracts.last().scno != bag.scno)
            w.contracts.append({bag.scno});
        w.contracts.last().pcs += b.pcs;
        w.contracts.last().weight += bag.weight;
    }
    w.outcome.metal = w.bags.first().ticket.metal;
    w.outcome.loss = w.issued - w.outcome.cast - w.returned;
    if (w.outcome.loss.sign() < 0)
        return refuse(w, Result::Gain,
                      QStringLiteral("铸造批: 铸出 %1 克加回收 %2 克, 多于发出的 %3 克")
                          .arg(grams(w.outcome.cast), grams(w.returned), grams(w.issued)));
    shareLoss(w);
    return true;
}

// The loss shared by the grams cast for each bag, cut to the milligram, the
// last bag taking what is left so that the shares add up to the loss; a
// contract's share is its bags'.
void CastingDesk::shareLoss(Work &w)
{
    Decimal shared = Decimal::fromInt(0);
    for (qsizetype i = 0; i < w.bags.size(); ++i) {
        Work::Bag &bag = w.bags[i];
        bag.loss = i + 1 < w.bags.size() ? (w.outcome.loss * bag.weight / w.outcome.cast).truncated(3)
                                         : w.outcome.loss - shared;
        shared += bag.loss;
        for (Work::Contract &c : w.contracts) {
            if (c.scno == bag.scno)
                c.loss += bag.loss;
        }
    }
}

// castind per contract, with its share of the loss.
bool CastingDesk::writeContracts(Work &w)
{
    const auto purity = m_tr.selectInto(QStringLiteral("select purate from material where mcode = ?"), {w.outcome.metal});
    if (!purity && m_tr.sqlCode != 100)
        return refuse(w, Result::Failed, QStringLiteral("读取金属成色未成功: ") + m_tr.sqlErrText);
    const auto purate = purity ? Decimal::fromVariant(fromDbValue(purity->at(0), ColumnKind::Number)) : std::nullopt;
    QStringList parts;
    for (const Work::Contract &c : std::as_const(w.contracts)) {
        const QVariant pure = purate ? num(((c.weight + c.loss) * *purate).rounded(3)) : Decimal::null();
        const bool written =
            m_tr.execute(QStringLiteral("insert into castind (castinh_no, contractno, mcode, ldate, qtycal, qtyref, "
                                        "loss, puwithloss) values (?, ?, ?, ?, ?, ?, ?, ?)"),
                         {w.outcome.batchNo, c.scno, w.outcome.metal, w.now, num(c.weight), num(c.pcs), num(c.loss),
                          pure});
        if (!written)
            return refuse(w, Result::Failed, QStringLiteral("铸造批未能保存, 没有写入任何资料: ") + m_tr.sqlErrText);
        parts << QStringLiteral("%1 %2 件 %3 克").arg(c.scno, count(c.pcs), grams(c.weight));
    }
    Decimal pcs = Decimal::fromInt(0);
    for (const Work::Contract &c : std::as_const(w.contracts))
        pcs += c.pcs;
    w.outcome.message = QStringLiteral("铸造批 %1: %2 %3 袋 %4 件 %5 克 (%6); 发出 %7 克, 回收 %8 克, 耗 %9 克")
                            .arg(w.outcome.batchNo, w.outcome.metal, QString::number(w.bags.size()), count(pcs),
                                 grams(w.outcome.cast), parts.join(QStringLiteral(", ")), grams(w.issued),
                                 grams(w.returned), grams(w.outcome.loss));
    return true;
}

// Each bag: its casting step with the metal it took, its desk row and place
// at the grams cast, audited.
bool CastingDesk::writeBags(Work &w)
{
    for (const Work::Bag &bag : std::as_const(w.bags)) {
        BagPlace after = bag.before;
        after.scno = bag.ticket.scno;
        after.weight = bag.weight;
        after.moves = bag.before.moves + 1;
        DeskRows rows(m_tr, bag.ticket, QString(), m_who.user, w.now);
        const bool written = rows.castStep(w.outcome.batchNo, bag.before.pcs, bag.weight + bag.loss)
            && rows.setDeskHolding(kCasting, bag.before.pcs, bag.weight) && after.write(m_tr, m_who.user, w.now);
        if (!written)
            return refuse(w, Result::Failed,
                          QStringLiteral("铸造批未能保存, 没有写入任何资料: %1")
                              .arg(rows.error().isEmpty() ? m_tr.sqlErrText : rows.error()));
        const QString what = QStringLiteral("袋卡 %1: 倒模铸造批 %2 %3 %4 件 %5 克")
                                 .arg(bag.code, w.outcome.batchNo, w.outcome.metal, count(bag.before.pcs),
                                      grams(bag.weight));
        w.audit.append({bag.ticket.scno, bag.ticket.scondId, QStringLiteral("desk:cast"), QVariant(), what});
        w.audit.append({bag.ticket.scno, bag.ticket.scondId, QStringLiteral("bag:place"), bag.before.describe(),
                        after.describe()});
    }
    return true;
}

} // namespace wip
