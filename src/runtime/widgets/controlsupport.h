#pragma once

#include <QString>

#include <functional>

class QFocusEvent;
class QWidget;

namespace wip {

// What the controls share: their name, SetFocus() and when getfocus runs.
class ControlSupport
{
public:
    // Names the control (its objectName, by which handlers and tests find it).
    static void init(QWidget *control, const QString &name);

    // SetFocus(): gives the control the keyboard focus; getfocus runs now, also
    // when the window is not active yet (it then does not run again when the
    // window becomes active). -1 when the control is disabled, else 1.
    static int setFocus(QWidget *control, const std::function<void()> &emitGetFocus);

    // Whether a focus-in event is one the getfocus event reports: not the window
    // becoming active again, not a closing drop-down list handing the focus back.
    static bool announcesFocus(const QFocusEvent *event);
};

} // namespace wip
