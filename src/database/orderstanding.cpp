#include "database/orderstanding.h"

#include <QStringList>

namespace wip {

namespace {

// Pieces a department holds: received minus passed on (NULL as 0).
QString holding(const QString &stage)
{
    return QStringLiteral("(coalesce(p.%1_in, 0) - coalesce(p.%1_out, 0))").arg(stage);
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

const QList<OrderStanding::Department> &OrderStanding::chain()
{
    static const QList<Department> list = {
        {QStringLiteral("wax"), QStringLiteral("唧蜡")},
        {QStringLiteral("casting"), QStringLiteral("倒模")},
        {QStringLiteral("filing"), QStringLiteral("执模")},
        {QStringLiteral("setting"), QStringLiteral("镶石")},
        {QStringLiteral("finishing"), QStringLiteral("执边")},
        {QStringLiteral("polishing"), QStringLiteral("打磨")},
        {QStringLiteral("rhodium"), QStringLiteral("电金")},
    };
    return list;
}

QString OrderStanding::notStarted()
{
    return QStringLiteral("未开始");
}

QString OrderStanding::awaitingShipment()
{
    return QStringLiteral("待出货");
}

QString OrderStanding::noReason()
{
    return QStringLiteral("未填原因");
}

ViewDef OrderStanding::view()
{
    // The earliest department holding pieces; the sum of what they hold.
    QString dept = QStringLiteral("case when p.process_id is null then %1 ").arg(quoted(notStarted()));
    QStringList held;
    for (const Department &d : chain()) {
        dept += QStringLiteral("when %1 > 0 then %2 ").arg(holding(d.stage), quoted(d.caption));
        held << QStringLiteral("case when %1 > 0 then %1 else 0 end").arg(holding(d.stage));
    }
    dept += QStringLiteral("when coalesce(p.%1_out, 0) > 0 then %2 else %3 end")
                .arg(chain().last().stage, quoted(awaitingShipment()), quoted(notStarted()));

    const QString open = QStringLiteral("(h.inv_no is null or h.inv_no = '')");
    const QString sql =
        QStringLiteral(
            "select h.scno, h.cust_no, h.cust_order, h.issdate, h.deldate, h.inv_no, h.invdate, "
            "case when %1 then 1 else 0 end as is_open, "
            "case when %1 then 0 when date(h.invdate) <= date(h.deldate) then 1 else 0 end as on_time, "
            "%2 as dept, "
            "%3 as in_work, "
            "case when trim(coalesce(p.bz, '')) <> '' then trim(p.bz) "
            "when trim(coalesce(p.remark, '')) <> '' then trim(p.remark) else %4 end as reason, "
            "case when trim(coalesce(p.remark, '')) <> '' then trim(p.remark) end as reason_code, "
            "case when trim(coalesce(p.bz, '')) <> '' or trim(coalesce(p.remark, '')) <> '' then 1 else 0 end "
            "as reason_given "
            "from sconh h "
            "left join process p on p.scno = h.scno and not exists "
            "(select 1 from process f where f.scno = p.scno and f.process_id < p.process_id)")
            .arg(open, dept, held.join(QStringLiteral(" + ")), quoted(noReason()));
    return {QStringLiteral("view_order_standing"),
            QStringLiteral("per contract: open or delivered and on time, the department it stands at "
                           "(the earliest holding pieces), the pieces in work and the delay reason"),
            sql};
}

} // namespace wip
