#include "runtime/widgets/editmask.h"

#include "runtime/values.h"
#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace wip {

namespace {

// "yyyy-mm-dd" (the host's mask letters) as a Qt date format "yyyy-MM-dd".
QString qtDateFormat(const QString &mask)
{
    QString f = mask.toLower();
    f.replace(QLatin1String("mm"), QLatin1String("MM"));
    return f;
}

// The mask as a line-edit input mask: a digit for every y, m and d, the other
// characters as they are.
QString inputMaskOf(const QString &mask)
{
    QString m;
    for (const QChar c : mask) {
        const QChar l = c.toLower();
        if (l == QLatin1Char('y') || l == QLatin1Char('m') || l == QLatin1Char('d'))
            m += QLatin1Char('9');
        else if (QStringLiteral("AaNnXx90Dd#HhBb><!\\[]{}").contains(c))
            m += QLatin1Char('\\') + c;
        else
            m += c;
    }
    return m + QStringLiteral(";_");
}

} // namespace

EditMask::EditMask(QWidget *parent, const QString &name, const QString &mask)
    : QLineEdit(parent)
    , m_mask(mask)
    , m_qtFormat(qtDateFormat(mask))
    , m_date(QDate::currentDate())
{
    ControlSupport::init(this, name);
    setInputMask(inputMaskOf(mask));
    showValue();
}

QDate EditMask::shownDate() const
{
    // The masks of Wip's windows are year-month-day, the values module's date form.
    const QDate d = values::parseDateWithoutTime(displayText()).value_or(QDate());
    return d.isValid() && d.year() >= 1000 ? d : QDate();
}

QString EditMask::text() const
{
    const QDate shown = shownDate();
    return (shown.isValid() ? shown : m_date).toString(m_qtFormat);
}

QDate EditMask::date() const
{
    const QDate shown = shownDate();
    return shown.isValid() ? shown : m_date;
}

void EditMask::commit()
{
    const QDate shown = shownDate();
    if (shown.isValid())
        m_date = shown;
    else
        showValue();
}

int EditMask::setText(const QString &text)
{
    const QDate d = values::parseDateWithoutTime(text).value_or(QDate());
    if (!d.isValid() || d.year() < 1000)
        return -1;
    m_date = d;
    showValue();
    return 1;
}

void EditMask::showValue()
{
    QLineEdit::setText(m_date.toString(m_qtFormat));
}

int EditMask::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void EditMask::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void EditMask::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    commit();
}

void EditMask::keyPressEvent(QKeyEvent *event)
{
    // Enter settles the typed text before any handler reads it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        commit();
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QLineEdit::keyPressEvent(event);
    if (m_autoSkip && !event->text().isEmpty() && event->text().at(0).isDigit()
        && cursorPosition() >= displayText().size() && shownDate().isValid())
        focusNextChild();
}

} // namespace wip
