#pragma once

#include <QString>

class QChart;

namespace wip::reports {
class ReportControl;
}

namespace wip {

// The two charts of the order follow-up, drawn from the rows of their reports:
// the Pareto chart of the late contracts' reasons (d_delay_reasons: a bar per
// reason with its count, the cumulative share as a line on a 0-100 % axis of its
// own) and the on-time rate per customer (d_ontime_rate: a bar per customer, 0-100 %).
// Each call replaces what the chart showed; a report without rows leaves an empty
// chart whose title says so.
class FollowupCharts
{
public:
    // A chart in the report font, without animation, legend below.
    static QChart *makeChart(const QString &title);

    static void showReasons(QChart *chart, const reports::ReportControl &reasons);
    static void showOnTime(QChart *chart, const reports::ReportControl &rates);
};

} // namespace wip
