#include "reports/expressionvalues.h"

#include "reports/displayformat.h"
#include "runtime/sysfunc.h"
#include "runtime/values.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <cmath>

namespace wip::reports::expr {

bool isNumber(const QVariant &v)
{
    return wip::isNumberValue(v);
}

bool isNumeric(const QVariant &v) // numbers and booleans (true = 1) in arithmetic
{
    return isNumber(v) || v.typeId() == QMetaType::Bool;
}

bool isDateLike(const QVariant &v)
{
    const int t = v.typeId();
    return t == QMetaType::QDate || t == QMetaType::QDateTime || t == QMetaType::QTime;
}

bool isText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray
        || v.typeId() == QMetaType::QChar;
}

QDateTime toDateTime(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0));
    case QMetaType::QTime:
        return QDateTime(QDate(1900, 1, 1), v.toTime());
    default:
        break;
    }
    return {};
}

QDateTime parseDateText(const QString &text)
{
    return values::parseDateTime(text).value_or(QDateTime());
}

std::optional<Decimal> textToNumber(const QString &text)
{
    return values::parseNumber(text);
}

std::optional<Decimal> toNumber(const QVariant &v)
{
    if (!isNumeric(v))
        return std::nullopt;
    return Decimal::fromVariant(v);
}

// A count or position from a number, clamped so that the conversion is defined.
int toInt(const Decimal &d)
{
    const Decimal whole = d.truncated(0);
    if (!whole.isValid())
        return 0;
    return int(std::clamp<qint64>(whole.units(), -1000000000, 1000000000));
}

QVariant numberValue(const Decimal &d)
{
    return d.toVariant();
}

QVariant numberValue(qint64 n)
{
    return Decimal::fromInt(n).toVariant();
}

// Compares two non-null values: numbers as numbers, dates as dates, texts as
// texts (case-sensitive). A text meets a number or a date as one when it reads as
// one, else as text. A number and a date do not compare.
std::optional<int> compareOperands(const QVariant &a, const QVariant &b)
{
    if (isNumeric(a) && isNumeric(b)) {
        const std::optional<Decimal> x = toNumber(a), y = toNumber(b);
        if (!x || !y)
            return std::nullopt;   // a typed NULL number
        return Decimal::compare(*x, *y);
    }
    if (isDateLike(a) && isDateLike(b)) {
        const QDateTime x = toDateTime(a), y = toDateTime(b);
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    if (isText(a) && isText(b)) {
        const int c = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
        return c == 0 ? 0 : (c < 0 ? -1 : 1);
    }
    if (isText(a) != isText(b)) {
        const bool textFirst = isText(a);
        const QVariant &textValue = textFirst ? a : b;
        const QVariant &other = textFirst ? b : a;
        const int sign = textFirst ? -1 : 1; // result as other-versus-text, flipped when text is first
        if (isNumeric(other)) {
            const std::optional<Decimal> o = toNumber(other);
            if (const auto n = textToNumber(textValue.toString()); n && o)
                return sign * Decimal::compare(*o, *n);
        } else if (isDateLike(other)) {
            const QDateTime dt = parseDateText(textValue.toString());
            if (dt.isValid()) {
                const QDateTime o = toDateTime(other);
                return sign * (o == dt ? 0 : (o < dt ? -1 : 1));
            }
        }
        const int c = QString::compare(generalText(other), textValue.toString());
        return sign * (c == 0 ? 0 : (c < 0 ? -1 : 1));
    }
    return std::nullopt;
}

QString textOf(const QVariant &v)
{
    return isText(v) ? v.toString() : generalText(v);
}

std::optional<Decimal> numberArg(const QVariant &v)
{
    if (isNumeric(v))
        return toNumber(v);
    if (isText(v))
        return textToNumber(v.toString());
    return std::nullopt;
}

QDateTime dateTimeArg(const QVariant &v)
{
    if (isDateLike(v))
        return toDateTime(v);
    if (isText(v))
        return parseDateText(v.toString());
    return {};
}

} // namespace wip::reports::expr
