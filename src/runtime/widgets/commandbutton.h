#pragma once

#include "runtime/widgets/controlevent.h"

#include <QPushButton>

namespace wip {

// A command button: cb_query, cb_close ... The caption may carry an access key
// ("增加&5": Alt+5 clicks it). setDefault(true) makes it the window's default
// button (Enter), setCancel(true) its cancel button (Esc); at most one of each
// per window. Enter on a focused button that is not the default does not click
// it (the window's default button or key handler gets the key); Space does.
// A focused button always shows its focus mark, however the focus came (Tab, a
// click, a handler's SetFocus, Enter moving on): the style is told that the focus
// came from the keyboard, and a dotted frame inside the button marks it also
// where the style draws the focus like the default button's frame.
// A click is refused while a date field of the window holds a date that cannot
// be (EditMask::refuseImpossible): the field says why and takes the focus. The
// cancel button is never refused.
class CommandButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(bool cancel READ isCancel WRITE setCancel)
public:
    CommandButton(QWidget *parent, const QString &name, const QString &text = QString());

    bool isCancel() const { return m_cancel; }
    void setCancel(bool cancel);

    // Runs the event's handlers at once, also when the button is disabled.
    // 1 when they ran to the end, -1 when one failed or none is connected.
    int TriggerEvent(ControlEvent event = ControlEvent::Clicked);
    int SetFocus();

    // Asked by on() before the handlers of an event run: true for a click that
    // must not run now (see above).
    bool refusesEvent(void (QAbstractButton::*signal)(bool));

Q_SIGNALS:
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void initStyleOption(QStyleOptionButton *option) const override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_cancel = false;
};

} // namespace wip
