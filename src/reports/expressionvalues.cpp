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

std::optional<double> textToNumber(const QString &text)
{
    const auto d = values::parseNumber(text);
    return d ? std::optional<double>(d->toDouble()) : std::nullopt;
}

// A count or position from a number, clamped so that the conversion is defined.
int toInt(double d)
{
    if (std::isnan(d))
        return 0;
    return int(std::clamp(d, -1.0e9, 1.0e9));
}

QVariant numberValue(double d)
{
    if (!std::isfinite(d))
        return QVariant();
    return QVariant(d);
}

static bool nearlyEqual(double a, double b)
{
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    return std::fabs(a - b) <= 1e-9 * scale;
}

static int compareNumbers(double a, double b)
{
    if (nearlyEqual(a, b))
        return 0;
    return a < b ? -1 : 1;
}

// Compares two non-null values: numbers as numbers, dates as dates, texts as
// texts (case-sensitive). A text meets a number or a date as one when it reads as
// one, else as text. A number and a date do not compare.
std::optional<int> compareOperands(const QVariant &a, const QVariant &b)
{
    if (isNumeric(a) && isNumeric(b))
        return compareNumbers(a.toDouble(), b.toDouble());
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
            if (const auto n = textToNumber(textValue.toString()))
                return sign * compareNumbers(other.toDouble(), *n);
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

double roundHalfAway(double x, int decimals)
{
    decimals = std::clamp(decimals, -15, 15);
    const double p = std::pow(10.0, decimals);
    const double scaled = std::fabs(x) * p;
    double r = std::floor(scaled);
    if (scaled - r >= 0.5 - 1e-9 - scaled * 1e-15)
        r += 1;
    return std::copysign(r / p, x);
}

double truncateTo(double x, int decimals)
{
    decimals = std::clamp(decimals, -15, 15);
    const double p = std::pow(10.0, decimals);
    const double scaled = std::fabs(x) * p;
    double r = std::floor(scaled);
    if (scaled - r >= 1 - 1e-9 - scaled * 1e-15) // 0.29999999 * 100 is 29.999999...
        r += 1;
    return std::copysign(r / p, x);
}


std::optional<double> numberArg(const QVariant &v)
{
    if (isNumeric(v))
        return v.toDouble();
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
