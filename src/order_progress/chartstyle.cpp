#include "order_progress/chartstyle.h"

#include <QCategoryAxis>

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

void attachCumulativeAxis(QChart *chart, QLineSeries *line, QAbstractAxis *x, double topPercent)
{
    auto *percent = new QCategoryAxis;
    percent->setObjectName(QStringLiteral("percent"));
    percent->setRange(0, topPercent);
    percent->setStartValue(-1e-6);
    for (int p = 0; p <= 100; p += 20)
        percent->append(QStringLiteral("%1%").arg(p), p);
    percent->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    percent->setTitleText(QStringLiteral("累计 Cumulative"));
    percent->setTitleFont(chartFont(9));
    percent->setLabelsFont(chartFont(9));
    chart->addAxis(percent, Qt::AlignRight);
    line->attachAxis(x);
    line->attachAxis(percent);
}

} // namespace wip
