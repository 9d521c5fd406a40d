#include "reports/displayformat.h"

#include "runtime/datemask.h"
#include "runtime/numbermask.h"
#include "runtime/sysfunc.h"
#include "runtime/values.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>

namespace wip::reports {

namespace {

bool isDateValue(const QVariant &v)
{
    const int t = v.typeId();
    return t == QMetaType::QDate || t == QMetaType::QDateTime || t == QMetaType::QTime;
}

// A report applies a handful of masks to many cells: each thread keeps the
// masks it has parsed (a few hundred at most).
template<typename Mask>
const Mask &cachedMask(const QString &format)
{
    thread_local std::unordered_map<QString, std::unique_ptr<const Mask>> cache;
    auto it = cache.find(format);
    if (it == cache.end()) {
        if (cache.size() >= 256)
            cache.clear();
        it = cache.emplace(format, std::make_unique<const Mask>(format)).first;
    }
    return *it->second;
}

} // namespace

QString generalText(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    if (Decimal::isDecimal(value))
        return values::numberText(*Decimal::fromVariant(value));
    if (isNumberValue(value))
        return values::numberText(value.toDouble());
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QDate:
        return values::dateText(value.toDate());
    case QMetaType::QTime:
        return values::timeText(value.toTime());
    case QMetaType::QDateTime:
        return values::dateOrDateTimeText(value.toDateTime());
    default:
        return value.toString();
    }
}

namespace {

// A display format that shows numbers through a mask of digits.
bool isNumberMask(const QString &format)
{
    const QString trimmed = format.trimmed();
    return !trimmed.isEmpty() && !trimmed.startsWith(u'@') && !format.contains(u'[')
        && (format.contains(u'#') || format.contains(u'0'));
}

} // namespace

NumberFormat::NumberFormat(const QString &format)
    : m_format(format)
{
    const QString trimmed = format.trimmed();
    const bool general = trimmed.isEmpty() || trimmed.compare(QLatin1String("[general]"), Qt::CaseInsensitive) == 0
        || trimmed.startsWith(u'@');
    if (!general && (format.contains(u'#') || format.contains(u'0')) && !format.contains(u'['))
        m_mask = std::make_shared<const NumberMask>(format);
}

QString NumberFormat::operator()(const Decimal &value) const
{
    if (!value.isValid())
        return QString();
    return m_mask ? m_mask->format(value) : formatValue(value.toVariant(), m_format);
}

QVariant shownNumber(const QVariant &value, const QString &format)
{
    if (value.isNull() || !isNumberValue(value) || !isNumberMask(format))
        return value;
    const std::optional<Decimal> number = Decimal::fromVariant(value);
    if (!number || !number->isValid())
        return value;
    return cachedMask<NumberMask>(format).shown(*number).toVariant();
}

QString formatValue(const QVariant &value, const QString &format)
{
    if (value.isNull() || !value.isValid())
        return QString();
    const QString trimmed = format.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("[general]"), Qt::CaseInsensitive) == 0
        || trimmed.startsWith(u'@'))
        return generalText(value);

    if (isNumberValue(value)) {
        if (!(format.contains(u'#') || format.contains(u'0')) || format.contains(u'['))
            return generalText(value);
        const NumberMask &mask = cachedMask<NumberMask>(format);
        if (Decimal::isDecimal(value))
            return mask.format(*Decimal::fromVariant(value));
        return mask.format(value.toDouble());
    }
    if (isDateValue(value)) {
        const DateMask &mask = cachedMask<DateMask>(format);
        if (!mask.isDateMask())
            return generalText(value);
        if (value.typeId() == QMetaType::QTime) {
            if (mask.needsCalendarDate())
                return generalText(value);
            return mask.format(QDate(1900, 1, 1), value.toTime());
        }
        if (value.typeId() == QMetaType::QDate) {
            // An invalid date has no month or weekday to name: it shows as empty,
            // like an invalid date-time.
            const QDate date = value.toDate();
            return date.isValid() ? mask.format(date, QTime(0, 0)) : QString();
        }
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return QString();
        return mask.format(dt.date(), dt.time());
    }
    return generalText(value);
}

} // namespace wip::reports
