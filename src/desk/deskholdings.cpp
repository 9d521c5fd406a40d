#include "desk/deskholdings.h"

#include "desk/deskvalues.h"
#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "desk/bagticket.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

#include <algorithm>

namespace wip {

namespace {

std::optional<Decimal> optionalNumber(const QVariant &value)
{
    const QVariant v = fromDbValue(value, ColumnKind::Number);
    return v.isNull() ? std::nullopt : Decimal::fromVariant(v);
}

using deskvalues::text;

// The bags of one department with the open sheet of a worker and the transfer
// under way, each the latest row of its number for the bag.
const char *const kQuery =
    "select b.scno, s.line_no, b.place, b.gongxu_code, b.next_gongxu, b.changhao, b.xingming, b.note_no, b.pcs, "
    "b.weight, b.moves, "
    "(select p.qty from proch p where p.wsheetno = b.note_no and p.scond_id = b.scond_id and p.edtime is null "
    " order by p.proch_id desc limit 1), "
    "(select n.weight from proch_new n where n.wsheetno = b.note_no and n.scond_id = b.scond_id and n.edtime is null "
    " limit 1), "
    "(select t.qtycal from jcjl_mattran t where t.mattran_no = b.note_no and t.scond_id = b.scond_id and t.zt = 'BEGIN' "
    " limit 1), "
    "(select t.qtyref from jcjl_mattran t where t.mattran_no = b.note_no and t.scond_id = b.scond_id and t.zt = 'BEGIN' "
    " limit 1), b.scond_id "
    "from bag_place b left join scond s on s.scond_id = b.scond_id "
    "where (b.gongxu_code = ? and b.place in ('desk', 'worker', 'outside')) "
    "   or (b.place = 'transit' and b.next_gongxu = ?)";

int rank(BagPlace::Place p)
{
    switch (p) {
    case BagPlace::Place::Desk: return 0;
    case BagPlace::Place::Worker: return 1;
    case BagPlace::Place::Transit: return 2;
    default: return 3;
    }
}

} // namespace

bool DeskHoldings::read(Transaction &tr, const DeskDepartment &dept, QList<Bag> *bags, QString *error)
{
    bags->clear();
    Cursor rows(tr, QString::fromLatin1(kQuery), {dept.gongxu, dept.gongxu});
    if (!rows.open()) {
        *error = tr.sqlErrText;
        return false;
    }
    while (const auto row = rows.fetch()) {
        const QVariantList &r = *row;
        Bag bag;
        BagPlace &p = bag.place;
        p.scno = text(r.at(0));
        p.place = BagPlace::placeFromName(text(r.at(2)));
        p.gongxu = text(r.at(3));
        p.nextGongxu = text(r.at(4));
        p.changhao = text(r.at(5));
        p.xingming = text(r.at(6));
        p.noteNo = text(r.at(7));
        p.pcs = optionalNumber(r.at(8)).value_or(Decimal::fromInt(0));
        p.weight = optionalNumber(r.at(9)).value_or(Decimal::fromInt(0));
        p.moves = r.at(10).toInt();
        p.scondId = r.at(15).toLongLong();
        bag.code = r.at(1).isNull() ? QStringLiteral("%1 (#%2)").arg(p.scno).arg(p.scondId)
                                    : BagTicket::codeFor(p.scno, r.at(1).toInt());
        if (p.place == BagPlace::Place::Worker) {
            bag.workerPcs = optionalNumber(r.at(11));
            bag.workerWeight = optionalNumber(r.at(12));
        } else if (p.place == BagPlace::Place::Transit || p.place == BagPlace::Place::Outside) {
            bag.sentPcs = optionalNumber(r.at(13));
            bag.sentWeight = optionalNumber(r.at(14));
        }
        bags->append(bag);
    }
    if (tr.sqlCode < 0) {
        *error = tr.sqlErrText;
        return false;
    }
    std::stable_sort(bags->begin(), bags->end(), [](const Bag &a, const Bag &b) {
        const int ra = rank(a.place.place), rb = rank(b.place.place);
        return ra != rb ? ra < rb : a.code < b.code;
    });
    return true;
}

DeskHoldings::Totals DeskHoldings::totals(const QList<Bag> &bags)
{
    Totals t;
    for (const Bag &b : bags) {
        switch (b.place.place) {
        case BagPlace::Place::Worker:
            ++t.workerBags;
            t.workerPcs += b.workerPcs.value_or(Decimal::fromInt(0));
            t.workerWeight += b.workerWeight.value_or(Decimal::fromInt(0));
            // The desk may hold the rest of a bag whose worker holds part of it.
            if (!b.place.pcs.isZero()) {
                t.deskPcs += b.place.pcs;
                t.deskWeight += b.place.weight;
            }
            break;
        case BagPlace::Place::Desk:
            ++t.deskBags;
            t.deskPcs += b.place.pcs;
            t.deskWeight += b.place.weight;
            break;
        case BagPlace::Place::Transit:
            ++t.arriving;
            break;
        case BagPlace::Place::Outside:
            ++t.outside;
            break;
        default:
            break;
        }
    }
    return t;
}

QString DeskHoldings::describe(const Totals &t)
{
    return QStringLiteral("收发 %1 袋 %2 件 %3 克 · 工人手中 %4 袋 %5 件 %6 克 · 待接收 %7 袋 · 外发 %8 袋")
        .arg(t.deskBags)
        .arg(DeskInput::count(t.deskPcs), DeskInput::grams(t.deskWeight))
        .arg(t.workerBags)
        .arg(DeskInput::count(t.workerPcs), DeskInput::grams(t.workerWeight))
        .arg(t.arriving)
        .arg(t.outside);
}

} // namespace wip
