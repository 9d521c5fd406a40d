#include "order_progress/chartstyle.h"

#include <QAbstractAxis>

namespace wip {

QFont chartFont(int pointSize, bool bold)
{
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

void clearChart(QChart *chart)
{
    chart->removeAllSeries();
    const auto axes = chart->axes();
    for (QAbstractAxis *axis : axes) {
        chart->removeAxis(axis);
        delete axis;
    }
}

} // namespace wip
