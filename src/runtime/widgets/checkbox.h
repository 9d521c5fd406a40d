#pragma once

#include "runtime/widgets/controlevent.h"

#include <QCheckBox>

namespace wip {

// A check box: cbx_cust. clicked runs after the box has changed its state.
class CheckBox : public QCheckBox
{
    Q_OBJECT
public:
    CheckBox(QWidget *parent, const QString &name, const QString &text = QString());

    bool checked() const { return isChecked(); }

    // Runs the clicked handlers at once without changing the state; 1, or -1
    // when one failed or none is connected.
    int TriggerEvent(ControlEvent event = ControlEvent::Clicked);
    int SetFocus();

Q_SIGNALS:
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace wip
