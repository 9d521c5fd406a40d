#include "runtime/sysfunc.h"

#include "runtime/values.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace wip {

namespace {

const QString kLongMonths[] = {
    QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
    QStringLiteral("April"), QStringLiteral("May"), QStringLiteral("June"),
    QStringLiteral("July"), QStringLiteral("August"), QStringLiteral("September"),
    QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")};
const QString kLongDays[] = {
    QStringLiteral("Monday"), QStringLiteral("Tuesday"), QStringLiteral("Wednesday"),
    QStringLiteral("Thursday"), QStringLiteral("Friday"), QStringLiteral("Saturday"),
    QStringLiteral("Sunday")};

QString pad(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// Formats a date and/or time by the host's pattern letters. Example:
// "yyyy-mm-dd hh:mm" on 2024-03-05 08:07 gives "2024-03-05 08:07".
QString formatDateTime(const QDate &date, const QTime &time, const QString &format)
{
    struct Token { QChar letter; int count; QString literal; };
    QList<Token> tokens;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        const QChar lower = c.toLower();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype end = format.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? format.size() : end;
            tokens.append({QChar(), 0, format.mid(i + 1, stop - i - 1)});
            i = stop + 1;
        } else if (QStringLiteral("ymdhsf").contains(lower)) {
            qsizetype j = i;
            while (j < format.size() && format.at(j).toLower() == lower)
                ++j;
            tokens.append({lower, int(j - i), QString()});
            i = j;
        } else {
            tokens.append({QChar(), 0, QString(c)});
            ++i;
        }
    }

    auto neighbourLetter = [&tokens](qsizetype from, int step) -> QChar {
        for (qsizetype k = from + step; k >= 0 && k < tokens.size(); k += step) {
            if (!tokens.at(k).letter.isNull())
                return tokens.at(k).letter;
        }
        return QChar();
    };

    QString out;
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        const Token &t = tokens.at(k);
        if (t.letter.isNull()) {
            out += t.literal;
            continue;
        }
        const char letter = t.letter.toLatin1();
        const bool minutes = letter == 'm' && t.count <= 2
                && (neighbourLetter(k, -1) == QLatin1Char('h') || neighbourLetter(k, 1) == QLatin1Char('s'));
        if (minutes) {
            out += t.count == 1 ? QString::number(time.minute()) : pad(time.minute(), 2);
            continue;
        }
        switch (letter) {
        case 'y':
            out += t.count <= 2 ? pad(date.year() % 100, 2) : pad(date.year(), 4);
            break;
        case 'm':
            if (t.count >= 4)
                out += kLongMonths[date.month() - 1];
            else if (t.count == 3)
                out += kLongMonths[date.month() - 1].left(3);
            else
                out += t.count == 1 ? QString::number(date.month()) : pad(date.month(), 2);
            break;
        case 'd':
            if (t.count >= 4)
                out += kLongDays[date.dayOfWeek() - 1];
            else if (t.count == 3)
                out += kLongDays[date.dayOfWeek() - 1].left(3);
            else
                out += t.count == 1 ? QString::number(date.day()) : pad(date.day(), 2);
            break;
        case 'h':
            out += t.count == 1 ? QString::number(time.hour()) : pad(time.hour(), 2);
            break;
        case 's':
            out += t.count == 1 ? QString::number(time.second()) : pad(time.second(), 2);
            break;
        case 'f':
            out += pad(time.msec(), 3).left(t.count);
            break;
        default:
            break;
        }
    }
    return out;
}

// Formats a number by a pattern of "0", "#", "," and ".". Example: "#,##0.00" on
// 1234.5 gives "1,234.50"; "0.#" on 2 gives "2".
QString formatNumber(double value, const QString &format)
{
    const QStringList sections = format.split(QLatin1Char(';'));
    QString pattern = sections.at(0);
    bool negativeSection = false;
    if (value < 0 && sections.size() > 1 && !sections.at(1).isEmpty()) {
        pattern = sections.at(1);
        negativeSection = true;
    }

    // Literal text before and after the digits is copied.
    static const QRegularExpression digits(QStringLiteral("[0#][0#,]*(\\.[0#]*)?|\\.[0#]+"));
    const QRegularExpressionMatch m = digits.match(pattern);
    if (!m.hasMatch())
        return pattern;
    const QString numberPart = m.captured(0);
    const qsizetype dot = numberPart.indexOf(QLatin1Char('.'));
    const QString intPart = dot < 0 ? numberPart : numberPart.left(dot);
    const QString fracPart = dot < 0 ? QString() : numberPart.mid(dot + 1);
    const int maxDecimals = int(fracPart.size());
    const int minDecimals = int(fracPart.count(QLatin1Char('0')));
    const int minIntDigits = int(intPart.count(QLatin1Char('0')));
    const bool grouping = intPart.contains(QLatin1Char(','));

    const double magnitude = negativeSection ? std::fabs(value) : value;
    QString text = QString::number(std::fabs(magnitude), 'f', maxDecimals);
    QString intDigits = text;
    QString fracDigits;
    if (const qsizetype p = text.indexOf(QLatin1Char('.')); p >= 0) {
        intDigits = text.left(p);
        fracDigits = text.mid(p + 1);
    }
    while (fracDigits.size() > minDecimals && fracDigits.endsWith(QLatin1Char('0')))
        fracDigits.chop(1);
    if (intDigits == QLatin1String("0") && minIntDigits == 0 && !fracDigits.isEmpty())
        intDigits.clear();
    while (intDigits.size() < minIntDigits)
        intDigits.prepend(QLatin1Char('0'));
    if (grouping) {
        for (qsizetype i = intDigits.size() - 3; i > 0; i -= 3)
            intDigits.insert(i, QLatin1Char(','));
    }
    QString number = intDigits;
    if (!fracDigits.isEmpty())
        number += QLatin1Char('.') + fracDigits;
    if (number.isEmpty())
        number = QStringLiteral("0");
    // Keep the sign unless the negative section writes its own.
    const bool isZero = number.count(QLatin1Char('0')) + number.count(QLatin1Char(',')) + number.count(QLatin1Char('.')) == number.size();
    if (magnitude < 0 && !isZero)
        number.prepend(QLatin1Char('-'));
    return pattern.left(m.capturedStart(0)) + number + pattern.mid(m.capturedEnd(0));
}

QString shortestNumber(double d)
{
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(qint64(d));
    return QString::number(d, 'g', 15);
}

bool isNumberType(int type)
{
    switch (type) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

QDate Today()
{
    return QDate::currentDate();
}

QTime Now()
{
    return QTime::currentTime();
}

QDate RelativeDate(const QDate &date, int days)
{
    if (!date.isValid())
        return QDate();
    return date.addDays(days);
}

QDate Date(const QString &text)
{
    if (text.isNull())
        return QDate();
    // The host's Date gives its "no date" for a text that is not one.
    return values::parseDate(text).value_or(values::noDate());
}

QDate Date(const QDateTime &dateTime)
{
    return dateTime.isValid() ? dateTime.date() : QDate();
}

QDateTime DateTime(const QDate &date, const QTime &time)
{
    if (!date.isValid())
        return QDateTime();
    return QDateTime(date, time.isValid() ? time : QTime(0, 0));
}

QString String(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return formatDateTime(value.toDate(), QTime(0, 0), QStringLiteral("yyyy-mm-dd"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return formatDateTime(dt.date(), dt.time(), QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    }
    case QMetaType::QTime:
        return formatDateTime(QDate(), value.toTime(), QStringLiteral("hh:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float:
        return shortestNumber(value.toDouble());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return value.toString();
    }
}

QString String(const QVariant &value, const QString &format)
{
    if (value.isNull() || format.isNull())
        return QString();
    if (format.isEmpty())
        return String(value);
    const int type = value.metaType().id();
    switch (type) {
    case QMetaType::QDate:
        return formatDateTime(value.toDate(), QTime(0, 0), format);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return formatDateTime(dt.date(), dt.time(), format);
    }
    case QMetaType::QTime:
        return formatDateTime(QDate(1900, 1, 1), value.toTime(), format);
    default:
        break;
    }
    if (isNumberType(type))
        return formatNumber(value.toDouble(), format);
    return value.toString();
}

QString Trim(const QString &text)
{
    if (text.isNull())
        return QString();
    QString t = text.trimmed();
    if (t.isNull())
        t = QLatin1String("");
    return t;
}

QString Left(const QString &text, int count)
{
    if (text.isNull())
        return QString();
    return count <= 0 ? QString(QLatin1String("")) : text.left(count);
}

QString Right(const QString &text, int count)
{
    if (text.isNull())
        return QString();
    return count <= 0 ? QString(QLatin1String("")) : text.right(count);
}

QString Mid(const QString &text, int start, int count)
{
    if (text.isNull())
        return QString();
    if (start < 1 || start > text.size() || count == 0)
        return QString(QLatin1String(""));
    return text.mid(start - 1, count < 0 ? -1 : count);
}

std::optional<double> Dec(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return std::nullopt;
    const int type = value.metaType().id();
    if (isNumberType(type) || type == QMetaType::Bool)
        return value.toDouble();
    // The host's Dec counts a text that is not a number as 0.
    return values::parseNumber(value.toString()).value_or(Decimal()).toDouble();
}

bool isNumberValue(const QVariant &value)
{
    return isNumberType(value.metaType().id());
}

} // namespace wip
