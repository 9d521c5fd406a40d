#pragma once

class QChart;

namespace wip {

class LossPareto;

// The Pareto chart of excess loss by worker (LossPareto): a bar per worker who
// lost more than his allowances, in pure grams, largest first, and the
// cumulative share of the excess as a line on a 0-100 % axis of its own at the
// right, whose 100 % stands level with the total, so that each point stands at
// or above its bar; figures placed by ParetoLabels. Each call replaces what the
// chart showed; without excess the chart's title says so.
class LossParetoChart
{
public:
    static QChart *make();
    static void show(QChart *chart, const LossPareto &pareto);
};

} // namespace wip
