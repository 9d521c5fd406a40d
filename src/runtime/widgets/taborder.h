#pragma once

#include <QList>

class QWidget;

namespace wip {

// Orders the Tab chain of a window as a clerk reads it: the controls in the order
// of the window's layouts (a row from left to right, a column from top to
// bottom, a form row by row), each control a single stop whose inner parts keep
// their own order. Containers without focus of their own (group boxes, plain
// panels, splitters) are read through. Controls that no layout places come last,
// top to bottom and left to right. A window whose controls have no focus yet
// opens with the focus on the first control it reads.
//
//     [date from][date to] [find]        Tab: date from, date to, find,
//     [contracts  ][lines ]               contracts, lines, close
//                        [close]
class TabOrder
{
public:
    // The controls of window in reading order (hidden and disabled ones too).
    static QList<QWidget *> readingOrder(QWidget *window);
    static void applyReadingOrder(QWidget *window);
};

} // namespace wip
