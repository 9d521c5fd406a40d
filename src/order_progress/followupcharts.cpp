#include "order_progress/followupcharts.h"

#include "reports/widgets/reportcontrol.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

namespace wip {

namespace {

QFont chartFont(int pointSize, bool bold = false)
{
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

void clear(QChart *chart)
{
    chart->removeAllSeries();
    const auto axes = chart->axes();
    for (QAbstractAxis *axis : axes) {
        chart->removeAxis(axis);
        delete axis;
    }
}

QBarCategoryAxis *categoryAxis(QChart *chart, const QStringList &categories)
{
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsFont(chartFont(9));
    // Long reason texts and many customers: slanted labels keep them whole.
    if (categories.size() > 4)
        x->setLabelsAngle(-40);
    chart->addAxis(x, Qt::AlignBottom);
    return x;
}

QValueAxis *valueAxis(QChart *chart, Qt::Alignment side, double top, const QString &format, const QString &title)
{
    auto *y = new QValueAxis;
    y->setRange(0, top);
    y->setLabelFormat(format);
    y->setTitleText(title);
    y->setTitleFont(chartFont(9));
    y->setLabelsFont(chartFont(9));
    chart->addAxis(y, side);
    return y;
}

// The value of each bar above it (set once the series has its axes).
void showLabels(QBarSeries *bars, const QString &format)
{
    bars->setLabelsFormat(format);
    bars->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    bars->setLabelsVisible(true);
    for (QBarSet *set : bars->barSets()) {
        set->setLabelColor(Qt::black);
        set->setLabelFont(chartFont(9));
    }
}

QString withoutRows(const QString &title, int rows)
{
    return rows > 0 ? title : title + QStringLiteral(" - 没有记录 No rows");
}

} // namespace

QChart *FollowupCharts::makeChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setFont(chartFont(10));
    chart->legend()->setFont(chartFont(10));
    chart->setTitleFont(chartFont(12, true));
    return chart;
}

void FollowupCharts::showReasons(QChart *chart, const reports::ReportControl &reasons)
{
    clear(chart);
    const int rows = reasons.RowCount();
    chart->setTitle(withoutRows(QStringLiteral("迟交订单原因 Delay reasons (Pareto)"), rows));
    QStringList categories;
    auto *counts = new QBarSet(QStringLiteral("迟交单数 Late contracts"));
    auto *cumulative = new QLineSeries;
    cumulative->setName(QStringLiteral("累计% Cumulative %"));
    cumulative->setPointsVisible(true);
    cumulative->setPointLabelsVisible(true);
    cumulative->setPointLabelsFormat(QStringLiteral("@yPoint%"));
    cumulative->setPointLabelsClipping(false);   // 100 % stands on the top edge
    double top = 0;
    for (int row = 1; row <= rows; ++row) {
        categories << reasons.GetItemString(row, QStringLiteral("reason"));
        const double count = reasons.GetItemNumber(row, QStringLiteral("count"));
        *counts << count;
        top = std::max(top, count);
        cumulative->append(row - 1, reasons.GetItemNumber(row, QStringLiteral("cumulative_share")));
    }
    auto *bars = new QBarSeries;
    bars->append(counts);
    chart->addSeries(bars);
    chart->addSeries(cumulative);

    QBarCategoryAxis *x = categoryAxis(chart, categories);
    QValueAxis *y = valueAxis(chart, Qt::AlignLeft, top > 0 ? top * 1.15 : 10, QStringLiteral("%.0f"),
                              QStringLiteral("单数 Contracts"));
    y->applyNiceNumbers();
    QValueAxis *percent = valueAxis(chart, Qt::AlignRight, 100, QStringLiteral("%.0f%%"),
                                    QStringLiteral("累计 Cumulative"));
    percent->setTickCount(11);
    bars->attachAxis(x);
    bars->attachAxis(y);
    cumulative->attachAxis(x);
    cumulative->attachAxis(percent);
    showLabels(bars, QStringLiteral("@value"));
}

void FollowupCharts::showOnTime(QChart *chart, const reports::ReportControl &rates)
{
    clear(chart);
    const int rows = rates.RowCount();
    chart->setTitle(withoutRows(QStringLiteral("客户准时交货率 On-time delivery per customer"), rows));
    QStringList categories;
    auto *rate = new QBarSet(QStringLiteral("准时率% On-time %"));
    for (int row = 1; row <= rows; ++row) {
        const QString customer = rates.GetItemString(row, QStringLiteral("cust_no"));
        categories << QStringLiteral("%1 (%2)").arg(customer.isEmpty() ? QStringLiteral("-") : customer)
                          .arg(rates.GetItemNumber(row, QStringLiteral("delivered")));
        *rate << rates.GetItemNumber(row, QStringLiteral("rate"));
    }
    auto *bars = new QBarSeries;
    bars->append(rate);
    chart->addSeries(bars);
    QBarCategoryAxis *x = categoryAxis(chart, categories);
    QValueAxis *y = valueAxis(chart, Qt::AlignLeft, 100, QStringLiteral("%.0f%%"), QStringLiteral("准时率 On-time"));
    y->setTickCount(11);
    bars->attachAxis(x);
    bars->attachAxis(y);
    showLabels(bars, QStringLiteral("@value%"));
}

} // namespace wip
