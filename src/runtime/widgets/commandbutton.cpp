#include "runtime/widgets/commandbutton.h"

#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QStyleOptionButton>

namespace wip {

CommandButton::CommandButton(QWidget *parent, const QString &name, const QString &text)
    : QPushButton(text, parent)
{
    ControlSupport::init(this, name);
    // A focused button must not take Enter for itself: in a window Enter belongs
    // to the default button (or to the window's key handler).
    setAutoDefault(false);
}

void CommandButton::setCancel(bool cancel)
{
    if (cancel) {
        const auto buttons = window()->findChildren<CommandButton *>();
        for (CommandButton *b : buttons)
            if (b != this && b->window() == window())
                b->m_cancel = false;
    }
    m_cancel = cancel;
}

int CommandButton::TriggerEvent(ControlEvent event)
{
    const int before = Dispatcher::failureCount();
    switch (event) {
    case ControlEvent::Clicked:
        if (!isSignalConnected(QMetaMethod::fromSignal(&QAbstractButton::clicked)))
            return -1;
        Q_EMIT clicked(isChecked());
        break;
    case ControlEvent::GetFocus:
        if (!isSignalConnected(QMetaMethod::fromSignal(&CommandButton::getfocus)))
            return -1;
        Q_EMIT getfocus();
        break;
    case ControlEvent::SelectionChanged:
        return -1;
    }
    return Dispatcher::failureCount() == before ? 1 : -1;
}

bool CommandButton::refusesEvent(void (QAbstractButton::*signal)(bool))
{
    return signal == &QAbstractButton::clicked && !m_cancel && EditMask::refuseImpossible(window());
}

int CommandButton::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void CommandButton::focusInEvent(QFocusEvent *event)
{
    QPushButton::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QPushButton::keyPressEvent(event);
}

void CommandButton::initStyleOption(QStyleOptionButton *option) const
{
    QPushButton::initStyleOption(option);
    if (hasFocus())
        option->state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
}

void CommandButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (!hasFocus())
        return;
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect inner = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(inner.adjusted(1, 1, -2, -2));
}

} // namespace wip
