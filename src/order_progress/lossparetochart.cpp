#include "order_progress/lossparetochart.h"

#include "order_progress/chartstyle.h"
#include "order_progress/followupcharts.h"
#include "order_progress/losspareto.h"
#include "order_progress/paretolabels.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

namespace wip {

namespace {

const QString kParetoTitle = QStringLiteral("工人超耗 Excess loss by worker (Pareto, 纯克 pure g)");

QLineSeries *cumulativeLine(QChart *chart, const LossPareto &pareto, QBarCategoryAxis *x, double top)
{
    auto *line = new QLineSeries;
    line->setObjectName(QStringLiteral("cumulative"));
    line->setName(QStringLiteral("累计% Cumulative %"));
    line->setColor(QColor(200, 90, 0));
    line->setPointsVisible(true);
    for (int i = 0; i < pareto.workers().size(); ++i)
        line->append(i, pareto.workers().at(i).cumulative);
    chart->addSeries(line);
    attachCumulativeAxis(chart, line, x, 100.0 * top / pareto.total().toDouble());
    return line;
}

} // namespace

QChart *LossParetoChart::make()
{
    return FollowupCharts::makeChart(kParetoTitle);
}

void LossParetoChart::show(QChart *chart, const LossPareto &pareto)
{
    clearChart(chart);
    chart->setTitle(pareto.isEmpty() ? kParetoTitle + QStringLiteral(" - 没有超耗 No excess") : kParetoTitle);
    QStringList categories;
    auto *excess = new QBarSet(QStringLiteral("超耗 Excess (纯克 pure g)"));
    excess->setColor(QColor(192, 57, 43));
    for (const LossPareto::Worker &w : pareto.workers()) {
        categories << (w.name.isEmpty() ? w.changhao : w.changhao + QStringLiteral("<br>") + w.name);
        *excess << w.excess.toDouble();
    }
    auto *bars = new QBarSeries;
    bars->setObjectName(QStringLiteral("excess"));
    bars->append(excess);
    chart->addSeries(bars);
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsFont(chartFont(categories.size() > 10 ? 8 : 9));
    chart->addAxis(x, Qt::AlignBottom);
    const double total = pareto.total().toDouble();
    auto *y = new QValueAxis;
    y->setRange(0, total > 0 ? total * 1.15 : 1);
    y->setLabelFormat(QStringLiteral("%.2f"));
    y->setTitleText(QStringLiteral("纯克 Pure g"));
    y->setTitleFont(chartFont(9));
    y->setLabelsFont(chartFont(9));
    chart->addAxis(y, Qt::AlignLeft);
    y->applyNiceNumbers();
    bars->attachAxis(x);
    bars->attachAxis(y);
    ParetoLabels *labels = ParetoLabels::of(chart);
    labels->setDecimals(3);
    labels->show(bars, pareto.isEmpty() ? nullptr : cumulativeLine(chart, pareto, x, y->max()));
}

} // namespace wip
