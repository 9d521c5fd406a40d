#include "runtime/widgets/multilineedit.h"

#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace wip {

MultiLineEdit::MultiLineEdit(QWidget *parent, const QString &name, const QString &text)
    : QPlainTextEdit(text, parent)
{
    ControlSupport::init(this, name);
    setTabChangesFocus(true);
}

int MultiLineEdit::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void MultiLineEdit::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void MultiLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QPlainTextEdit::keyPressEvent(event);
    // A display-only edit does not type Enter, but it keeps it all the same.
    if (enter)
        event->accept();
}

} // namespace wip
