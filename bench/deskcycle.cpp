#include "deskcycle.h"

#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip::bench {

namespace {

QString grams(const Decimal &d)
{
    return d.toString();
}

Decimal afterLoss(const Decimal &d)
{
    return d > DeskCycle::loss() ? d - DeskCycle::loss() : d;
}

Decimal number(const QVariant &v)
{
    return Decimal::fromVariant(fromDbValue(v, ColumnKind::Number)).value_or(Decimal::fromInt(0));
}

} // namespace

QList<DeskRequest> DeskCycle::requests(const DeskBag &bag, const DeskDepartment &department, const QString &worker)
{
    const auto request = [&](DeskAction action, const Decimal &weight) {
        DeskRequest r;
        r.action = action;
        r.code = bag.code;
        r.department = department.caption;
        r.weight = grams(weight);
        return r;
    };
    QList<DeskRequest> list;
    if (bag.at != DeskBag::At::Desk)
        list << request(DeskAction::Receive, bag.grams);
    if (department.isShipping())
        return list;
    list << request(DeskAction::Issue, bag.grams);
    list.last().worker = worker;
    list << request(DeskAction::TakeBack, afterLoss(bag.grams));
    list << request(DeskAction::PassOn, afterLoss(bag.grams));
    return list;
}

std::optional<DeskBag> DeskCycle::passedOn(const DeskBag &bag, const DeskDepartment &department)
{
    if (department.isShipping())
        return std::nullopt;
    DeskBag next = bag;
    next.at = DeskBag::At::Transit;
    next.grams = afterLoss(bag.grams);
    return next;
}

QList<DeskBag> DeskCycle::bagsFor(Transaction &tr, const DeskDepartment &department, int limit)
{
    const QString open = QStringLiteral(" join sconh h on h.scno = d.scno where coalesce(h.inv_no, '') = '' and ");
    QString sql;
    QVariantList values;
    if (department.isFirst()) {
        sql = QStringLiteral("select d.scno, d.line_no, d.scond_id, 'line', 25 from scond d") + open
            + QStringLiteral("d.line_no is not null and d.quantity > 0 and not exists (select 1 from bag_place b "
                             "where b.scond_id = d.scond_id) and not exists (select 1 from process p where p.scno = d.scno)");
    } else {
        sql = QStringLiteral("select d.scno, d.line_no, d.scond_id, b.place, case when b.place = 'desk' then b.weight "
                             "else (select t.qtyref from jcjl_mattran t where t.mattran_no = b.note_no and "
                             "t.scond_id = b.scond_id and t.zt = 'BEGIN') end from bag_place b join scond d on "
                             "d.scond_id = b.scond_id")
            + open
            + QStringLiteral("((b.place = 'transit' and b.next_gongxu = ?) or (b.place = 'desk' and b.gongxu_code = ? "
                             "and b.pcs > 0))");
        values = {department.gongxu, department.gongxu};
    }
    Cursor c(tr, sql + QStringLiteral(" order by d.scond_id"), values);
    QList<DeskBag> bags;
    if (!c.open())
        return bags;
    while (bags.size() < limit) {
        const auto row = c.fetch();
        if (!row)
            break;
        DeskBag b;
        b.scno = row->at(0).toString().trimmed();
        b.code = b.scno + QLatin1Char('-') + QString::number(row->at(1).toInt());
        b.scondId = row->at(2).toLongLong();
        const QString place = row->at(3).toString();
        b.at = place == QLatin1String("line") ? DeskBag::At::Line
            : place == QLatin1String("desk")  ? DeskBag::At::Desk
                                              : DeskBag::At::Transit;
        b.grams = number(row->at(4));
        if (b.grams.sign() > 0)
            bags.append(b);
    }
    c.close();
    return bags;
}

QString DeskCycle::workerOf(Transaction &tr, const DeskDepartment &department)
{
    const auto row = tr.selectInto(QStringLiteral("select min(changhao) from worker where gongxu_code = ? and "
                                                  "coalesce(active, 1) <> 0"),
                                   {department.gongxu});
    return row ? row->at(0).toString().trimmed() : QString();
}

} // namespace wip::bench
