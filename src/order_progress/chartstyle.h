#pragma once

#include <QAbstractAxis>
#include <QChart>
#include <QLineSeries>
#include <QFont>

namespace wip {

// What the follow-up board's and the loss window's charts share: the font that
// shows Chinese, and emptying a chart before it is drawn again.
QFont chartFont(int pointSize, bool bold = false);
void clearChart(QChart *chart);
// The right-hand axis of a Pareto chart's cumulative line ("percent"): 0% to
// 100% in steps of 20, its range up to topPercent so that the line meets the
// bars' scale; the line is attached to it and to the bars' axis x.
void attachCumulativeAxis(QChart *chart, QLineSeries *line, QAbstractAxis *x, double topPercent);

} // namespace wip
