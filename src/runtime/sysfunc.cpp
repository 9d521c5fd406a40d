#include "runtime/sysfunc.h"

#include "runtime/datemask.h"
#include "runtime/decimal.h"
#include "runtime/numbermask.h"
#include "runtime/values.h"

#include <cmath>

namespace wip {

namespace {

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
    if (const auto d = Decimal::fromVariant(value); d && value.metaType().id() != QMetaType::Bool)
        return values::numberText(*d);
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return values::dateText(value.toDate());
    case QMetaType::QDateTime:
        return values::dateTimeText(value.toDateTime());
    case QMetaType::QTime:
        return values::timeText(value.toTime());
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
    // The same masks as the reports' display formats.
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return DateMask(format).format(value.toDate(), QTime(0, 0));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return DateMask(format).format(dt.date(), dt.time());
    }
    case QMetaType::QTime:
        return DateMask(format).format(QDate(1900, 1, 1), value.toTime());
    case QMetaType::Bool:
        return value.toString();
    default:
        break;
    }
    if (const auto d = Decimal::fromVariant(value))
        return NumberMask(format).format(*d);
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
    if (const auto d = Decimal::fromVariant(value))
        return d->toDouble();
    // The host's Dec counts a text that is not a number as 0.
    return values::parseNumber(value.toString()).value_or(Decimal()).toDouble();
}

bool isNumberValue(const QVariant &value)
{
    return isNumberType(value.metaType().id()) || Decimal::isDecimal(value);
}

} // namespace wip
