#include "order_progress/followupcharts.h"

#include "order_progress/chartstyle.h"
#include "order_progress/delaypareto.h"
#include "order_progress/paretolabels.h"
#include "reports/widgets/reportcontrol.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

namespace wip {

namespace {

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

// The cumulative share of the reasons given as a line, on an axis of its own at
// the right whose 100 % stands level with the reasons' total on the count axis
// (countTop contracts at the top of both): each point then stands at or above
// the top of its bar, as the running count it is. Labelled 0-100 %; nullptr
// when no reason was given.
QLineSeries *cumulativeLine(QChart *chart, const DelayPareto &pareto, QBarCategoryAxis *x, double countTop)
{
    if (pareto.given().isEmpty() || pareto.givenTotal() <= 0)
        return nullptr;
    auto *line = new QLineSeries;
    line->setObjectName(QStringLiteral("cumulative"));
    line->setName(QStringLiteral("累计% Cumulative % (已填原因)"));
    line->setColor(QColor(200, 90, 0));
    line->setPointsVisible(true);
    for (int i = 0; i < pareto.given().size(); ++i)
        line->append(i, pareto.given().at(i).cumulative);
    chart->addSeries(line);
    attachCumulativeAxis(chart, line, x, 100.0 * countTop / pareto.givenTotal());
    return line;
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

void FollowupCharts::showReasons(QChart *chart, QChart *apart, const reports::ReportControl &reasons)
{
    const DelayPareto pareto = DelayPareto::fromReport(reasons.store());
    showPareto(chart, pareto, reasons.RowCount());
    showWithoutReason(apart, pareto);
}

void FollowupCharts::showPareto(QChart *chart, const DelayPareto &pareto, int rows)
{
    clearChart(chart);
    chart->setTitle(withoutRows(QStringLiteral("迟交订单原因 Delay reasons (Pareto)"), rows));
    QStringList categories;
    auto *given = new QBarSet(QStringLiteral("已填原因 Reasons given"));
    for (const DelayPareto::Reason &r : pareto.given()) {
        categories << DelayPareto::twoLines(r.reason);
        *given << r.count;
    }
    auto *bars = new QBarSeries;
    bars->setObjectName(QStringLiteral("counts"));
    bars->append(given);
    chart->addSeries(bars);
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    // Nine reasons side by side keep their words whole in a smaller hand.
    x->setLabelsFont(chartFont(categories.size() > 6 ? 8 : 9));
    chart->addAxis(x, Qt::AlignBottom);
    // Room above the reasons' total, where the line ends, for its figure.
    const double total = pareto.givenTotal();
    QValueAxis *y = valueAxis(chart, Qt::AlignLeft, total > 0 ? total * 1.15 : 10, QStringLiteral("%.0f"),
                              QStringLiteral("单数 Contracts"));
    y->applyNiceNumbers();
    bars->attachAxis(x);
    bars->attachAxis(y);
    ParetoLabels::of(chart)->show(bars, cumulativeLine(chart, pareto, x, y->max()));
}

void FollowupCharts::showWithoutReason(QChart *chart, const DelayPareto &pareto)
{
    clearChart(chart);
    const double late = pareto.givenTotal() + pareto.withoutReason();
    const double share = late > 0 ? std::round(1000.0 * pareto.withoutReason() / late) / 10.0 : 0;
    // The title says what the one bar is and what share of the late contracts.
    chart->setTitle(QStringLiteral("%1<br>No reason given<br>占迟交 %2 of late")
                        .arg(DelayPareto::noReasonText(), ParetoLabels::percentText(share)));
    chart->legend()->hide();
    chart->setTitleFont(chartFont(9, true));
    auto *without = new QBarSet(DelayPareto::noReasonText());
    without->setColor(QColor(165, 165, 165));
    *without << pareto.withoutReason();
    auto *bars = new QBarSeries;
    bars->setObjectName(QStringLiteral("without_reason"));
    bars->append(without);
    chart->addSeries(bars);
    auto *x = new QBarCategoryAxis;
    x->append(QStringLiteral(" "));
    chart->addAxis(x, Qt::AlignBottom);
    QValueAxis *y = valueAxis(chart, Qt::AlignLeft, pareto.withoutReason() > 0 ? pareto.withoutReason() * 1.15 : 10,
                              QStringLiteral("%.0f"), QString());
    y->applyNiceNumbers();
    bars->attachAxis(x);
    bars->attachAxis(y);
    ParetoLabels::of(chart)->show(bars, nullptr);
}

void FollowupCharts::showOnTime(QChart *chart, const reports::ReportControl &rates)
{
    clearChart(chart);
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
