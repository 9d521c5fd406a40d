#include "desk/deskdepartment.h"

#include <QStringList>

namespace wip {

const QList<DeskDepartment> &DeskDepartment::all()
{
    static const QList<DeskDepartment> list = {
        {QStringLiteral("唧蜡"), QStringLiteral("01-唧腊"), QStringLiteral("21-蜡仓收发"), QStringLiteral("唧蜡")},
        {QStringLiteral("倒模"), QStringLiteral("03-倒模"), QStringLiteral("01-金仓收发"), QStringLiteral("倒模")},
        {QStringLiteral("执模"), QStringLiteral("04-执模"), QStringLiteral("04-执模收发"), QStringLiteral("执模")},
        {QStringLiteral("镶石"), QStringLiteral("06-镶石"), QStringLiteral("05-镶石收发"), QStringLiteral("镶石")},
        {QStringLiteral("执边"), QStringLiteral("07-执边"), QStringLiteral("06-执边收发"), QStringLiteral("执边")},
        {QStringLiteral("打磨"), QStringLiteral("08-打磨"), QStringLiteral("07-打磨收发"), QStringLiteral("打磨")},
        {QStringLiteral("电金"), QStringLiteral("09-电金"), QStringLiteral("08-电金收发"), QStringLiteral("电金")},
        {QStringLiteral("出货"), QStringLiteral("20-出货"), QStringLiteral("20-成品PRODUCT"), QString()},
        {QStringLiteral("外发"), QStringLiteral("11-外发"), QStringLiteral("12-外工收发"), QString()},
    };
    return list;
}

const DeskDepartment *DeskDepartment::find(const QString &name)
{
    const QString n = name.trimmed();
    for (const DeskDepartment &d : all()) {
        if (d.caption == n || d.gongxu == n)
            return &d;
    }
    return nullptr;
}

const DeskDepartment &DeskDepartment::first()
{
    return all().first();
}

const DeskDepartment &DeskDepartment::outside()
{
    return all().last();
}

const DeskDepartment *DeskDepartment::next() const
{
    if (isShipping() || isOutside())
        return nullptr;
    for (qsizetype i = 0; i + 1 < all().size(); ++i) {
        if (all().at(i).gongxu == gongxu)
            return &all().at(i + 1);
    }
    return nullptr;
}

bool DeskDepartment::isFirst() const
{
    return gongxu == first().gongxu;
}

bool DeskDepartment::isShipping() const
{
    return gongxu == QStringLiteral("20-出货");
}

bool DeskDepartment::isOutside() const
{
    return gongxu == outside().gongxu;
}

bool DeskDepartment::isCasting() const
{
    return gongxu == QStringLiteral("03-倒模");
}

bool DeskDepartment::isSetting() const
{
    return gongxu == QStringLiteral("06-镶石");
}

QString DeskDepartment::captions()
{
    QStringList list;
    for (const DeskDepartment &d : all()) {
        if (!d.isOutside())
            list << d.caption;
    }
    return list.join(QStringLiteral(", "));
}

} // namespace wip
