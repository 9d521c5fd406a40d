#include "runtime/widgets/editmask.h"

#include "runtime/values.h"
#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QToolTip>

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

// The number the text shows at the places of one mask letter (y, m or d); -1
// when a digit of it is missing, -2 when the mask has no such letter.
int partOf(const QString &mask, const QString &shown, QChar letter)
{
    QString digits;
    for (int i = 0; i < mask.size(); ++i) {
        if (mask.at(i).toLower() == letter)
            digits += i < shown.size() ? shown.at(i) : QLatin1Char(' ');
    }
    if (digits.isEmpty())
        return -2;
    bool ok = false;
    const int value = digits.toInt(&ok);
    return ok && !digits.contains(QLatin1Char(' ')) ? value : -1;
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
    // The whole date stays in view however a window's layout squeezes the field.
    setMinimumWidth(fontMetrics().horizontalAdvance(QString(mask.size() + 1, QLatin1Char('0')))
                    + 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) + 8);
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
    return shown.isValid() ? shown.toString(m_qtFormat) : displayText();
}

QDate EditMask::date() const
{
    return shownDate();
}

QString EditMask::problem() const
{
    return problemOf(m_mask, displayText());
}

QString EditMask::problemOf(const QString &mask, const QString &shown)
{
    // The masks of Wip's windows are year-month-day, the values module's date form.
    const QDate d = values::parseDateWithoutTime(shown).value_or(QDate());
    if (d.isValid() && d.year() >= 1000)
        return QString();
    const int year = partOf(mask, shown, QLatin1Char('y'));
    const int month = partOf(mask, shown, QLatin1Char('m'));
    const int day = partOf(mask, shown, QLatin1Char('d'));
    QString why;
    if (year == -1 || month == -1 || day == -1)
        why = QStringLiteral("日期不完整, 请按 %1 输入").arg(mask);
    else if (year >= 0 && year < 1000)
        why = QStringLiteral("没有 %1 年").arg(year);
    else if (month == 0 || month > 12)
        why = QStringLiteral("没有 %1 月").arg(month);
    else if (year > 0 && month > 0 && day > QDate(year, month, 1).daysInMonth())
        why = QStringLiteral("%1 年 %2 月只有 %3 天").arg(year).arg(month).arg(QDate(year, month, 1).daysInMonth());
    else if (day == 0)
        why = QStringLiteral("没有 0 日");
    else
        why = QStringLiteral("请按 %1 输入").arg(mask);
    return QStringLiteral("%1 不是有效日期: %2").arg(shown, why);
}

bool EditMask::settle()
{
    const QDate shown = shownDate();
    if (!shown.isValid()) {
        mark(problem());
        return false;
    }
    m_date = shown;
    mark(QString());
    return true;
}

void EditMask::mark(const QString &problem)
{
    setToolTip(problem);
    if (problem.isEmpty()) {
        if (m_marked)
            setStyleSheet(QString());
        m_marked = false;
        return;
    }
    m_marked = true;
    setStyleSheet(QStringLiteral("QLineEdit { background: #ffe0e0; border: 1px solid #c00000; }"));
    QToolTip::showText(mapToGlobal(QPoint(0, height())), problem, this);
}

bool EditMask::isMarked() const
{
    return m_marked;
}

bool EditMask::refuse()
{
    if (settle())
        return false;
    setFocus(Qt::OtherFocusReason);
    return true;
}

bool EditMask::refuseImpossible(QWidget *window)
{
    if (!window)
        return false;
    const auto masks = window->findChildren<EditMask *>();
    for (EditMask *m : masks) {
        if (m->window() == window && m->isVisible() && m->isEnabled() && m->refuse())
            return true;
    }
    return false;
}

int EditMask::setText(const QString &text)
{
    const QDate d = values::parseDateWithoutTime(text).value_or(QDate());
    if (!d.isValid() || d.year() < 1000)
        return -1;
    m_date = d;
    showValue();
    mark(QString());
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
    // A date that cannot be stays as typed, marked; a button of the window asks again.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        settle();
}

bool EditMask::focusNextPrevChild(bool next)
{
    // Tab does not leave a date that cannot be.
    if (!settle())
        return true;
    return QLineEdit::focusNextPrevChild(next);
}

void EditMask::keyPressEvent(QKeyEvent *event)
{
    // Enter settles the typed text before any handler reads it; a date that
    // cannot be keeps the key from the window's default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !settle()) {
        event->accept();
        return;
    }
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QLineEdit::keyPressEvent(event);
    if (m_marked && shownDate().isValid())
        mark(QString());
    if (m_autoSkip && !event->text().isEmpty() && event->text().at(0).isDigit()
        && cursorPosition() >= displayText().size() && shownDate().isValid())
        focusNextChild();
}

} // namespace wip
