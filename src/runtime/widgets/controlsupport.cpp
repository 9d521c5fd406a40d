#include "runtime/widgets/controlsupport.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace wip {

void ControlSupport::init(QWidget *control, const QString &name)
{
    control->setObjectName(name);
}

int ControlSupport::setFocus(QWidget *control, const std::function<void()> &emitGetFocus)
{
    if (!control->isEnabled())
        return -1;
    const bool had = QApplication::focusWidget() == control;
    control->setFocus(Qt::OtherFocusReason);
    // An inactive window only records its focus child; no focus event comes yet.
    if (!had && QApplication::focusWidget() != control && control->window()->focusWidget() == control)
        emitGetFocus();
    return 1;
}

bool ControlSupport::announcesFocus(const QFocusEvent *event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

} // namespace wip
