#include "runtime/widgets/singlelineedit.h"

#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QValidator>

namespace wip {

namespace {

// Converts the case of the text as it is typed; accepts everything.
class CaseValidator : public QValidator
{
public:
    CaseValidator(SingleLineEdit::TextCase textCase, QObject *parent)
        : QValidator(parent)
        , m_case(textCase)
    {
    }

    State validate(QString &input, int &) const override
    {
        input = m_case == SingleLineEdit::TextCase::Upper ? input.toUpper() : input.toLower();
        return Acceptable;
    }

private:
    SingleLineEdit::TextCase m_case;
};

} // namespace

SingleLineEdit::SingleLineEdit(QWidget *parent, const QString &name, const QString &text)
    : QLineEdit(text, parent)
{
    ControlSupport::init(this, name);
}

void SingleLineEdit::setTextCase(TextCase textCase)
{
    m_case = textCase;
    const QValidator *old = validator();
    setValidator(textCase == TextCase::Any ? nullptr : new CaseValidator(textCase, this));
    delete old;
}

int SingleLineEdit::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void SingleLineEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void SingleLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QLineEdit::keyPressEvent(event);
}

} // namespace wip
