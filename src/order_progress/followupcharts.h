#pragma once

#include <QString>

class QChart;

namespace wip::reports {
class ReportControl;
}

namespace wip {

class DelayPareto;

// The two charts of the order follow-up, drawn from the rows of their reports:
// the Pareto chart of the late contracts' reasons (d_delay_reasons, read through
// DelayPareto: a bar per reason given with its count, largest first, and their
// cumulative share as a line on a 0-100 % axis of its own whose 100 % stands
// level with their total, so that each point stands at or above its bar; the
// contracts without a reason as a grey bar on a small chart apart, with their
// share of the late contracts, since they are often the most and would flatten
// the ranking; figures placed by ParetoLabels so that none covers another) and
// the on-time rate per customer (d_ontime_rate: a bar per customer, 0-100 %).
// Each call replaces what the chart showed; a report without rows leaves an empty
// chart whose title says so.
class FollowupCharts
{
public:
    // A chart in the report font, without animation, legend below.
    static QChart *makeChart(const QString &title);

    // The Pareto chart of the reasons given on chart, and the late contracts
    // without a reason on a small chart of their own, apart.
    static void showReasons(QChart *chart, QChart *apart, const reports::ReportControl &reasons);
    static void showPareto(QChart *chart, const DelayPareto &pareto, int rows);
    static void showWithoutReason(QChart *chart, const DelayPareto &pareto);
    static void showOnTime(QChart *chart, const reports::ReportControl &rates);
};

} // namespace wip
