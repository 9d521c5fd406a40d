#include "runtime/widgets/editmask.h"

#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace wip {

namespace {

// "yyyy-mm-dd" (the host's mask letters) as a Qt date format "yyyy-MM-dd".
QString qtDateFormat(const QString &mask)
{
    QString f = mask;
    f.replace(QLatin1String("mm"), QLatin1String("MM"), Qt::CaseInsensitive);
    f.replace(QLatin1String("YYYY"), QLatin1String("yyyy"));
    f.replace(QLatin1String("DD"), QLatin1String("dd"));
    return f;
}

} // namespace

EditMask::EditMask(QWidget *parent, const QString &name, const QString &mask)
    : QDateEdit(QDate::currentDate(), parent)
    , m_mask(mask)
    , m_qtFormat(qtDateFormat(mask))
{
    ControlSupport::init(this, name);
    setDisplayFormat(m_qtFormat);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setCalendarPopup(false);
    setMinimumDate(QDate(1900, 1, 1));
    setMaximumDate(QDate(9999, 12, 31));
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

QString EditMask::text() const
{
    return date().toString(m_qtFormat);
}

int EditMask::setText(const QString &text)
{
    const QDate d = QDate::fromString(text.trimmed(), m_qtFormat);
    if (!d.isValid() || d < minimumDate() || d > maximumDate())
        return -1;
    setDate(d);
    return 1;
}

int EditMask::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void EditMask::focusInEvent(QFocusEvent *event)
{
    QDateEdit::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void EditMask::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QDateEdit::keyPressEvent(event);
    if (m_autoSkip && !event->text().isEmpty() && event->text().at(0).isDigit()
        && lineEdit()->cursorPosition() >= lineEdit()->text().size()
        && currentSectionIndex() == sectionCount() - 1)
        focusNextChild();
}

} // namespace wip
