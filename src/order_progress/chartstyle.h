#pragma once

#include <QChart>
#include <QFont>

namespace wip {

// What the follow-up board's and the loss window's charts share: the font that
// shows Chinese, and emptying a chart before it is drawn again.
QFont chartFont(int pointSize, bool bold = false);
void clearChart(QChart *chart);

} // namespace wip
