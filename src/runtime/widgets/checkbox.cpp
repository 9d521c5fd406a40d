#include "runtime/widgets/checkbox.h"

#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaMethod>

namespace wip {

CheckBox::CheckBox(QWidget *parent, const QString &name, const QString &text)
    : QCheckBox(text, parent)
{
    ControlSupport::init(this, name);
}

int CheckBox::TriggerEvent(ControlEvent event)
{
    if (event != ControlEvent::Clicked
        || !isSignalConnected(QMetaMethod::fromSignal(&QAbstractButton::clicked)))
        return -1;
    const int before = Dispatcher::failureCount();
    Q_EMIT clicked(isChecked());
    return Dispatcher::failureCount() == before ? 1 : -1;
}

int CheckBox::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void CheckBox::focusInEvent(QFocusEvent *event)
{
    QCheckBox::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void CheckBox::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QCheckBox::keyPressEvent(event);
}

} // namespace wip
