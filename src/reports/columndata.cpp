#include "reports/columndata.h"

#include "reports/rowsource.h"
#include "runtime/sqlvalue.h"
#include "runtime/values.h"

#include <limits>

namespace wip::reports {

ColumnData::ColumnData(ValueType type)
    : m_type(type)
{
}

qsizetype ColumnData::size() const
{
    switch (m_type) {
    case ValueType::Number: return qsizetype(m_numbers.size());
    case ValueType::String: return qsizetype(m_texts.size());
    default: return qsizetype(m_wallClock.size());
    }
}

void ColumnData::reserve(qsizetype rows)
{
    switch (m_type) {
    case ValueType::Number: m_numbers.reserve(size_t(rows)); break;
    case ValueType::String: m_texts.reserve(size_t(rows)); break;
    default:
        m_wallClock.reserve(size_t(rows));
        m_dateTimes.reserve(size_t(rows));
        break;
    }
}

void ColumnData::appendFrom(RowSource &source, int sourceColumn)
{
    const bool null = source.isNull(sourceColumn);
    switch (m_type) {
    case ValueType::Number:
        // A value that is no number, or one beyond 18 digits, is NULL.
        m_numbers.push_back(null ? Decimal::invalid() : source.decimal(sourceColumn));
        return;
    case ValueType::String:
        m_texts.push_back(null ? QString() : source.text(sourceColumn));
        return;
    case ValueType::Date:
    case ValueType::DateTime:
        m_wallClock.push_back(null ? kNoTime : source.wallClock(sourceColumn).value_or(kNoTime));
        m_dateTimes.push_back(null ? QDateTime() : source.builtDateTime(sourceColumn));
        return;
    }
}

void ColumnData::append(const QVariant &value)
{
    store(size(), value, true);
}

QVariant ColumnData::value(qsizetype row) const
{
    switch (m_type) {
    case ValueType::Number:
        return m_numbers[size_t(row)].toVariant();
    case ValueType::String: {
        const QString &text = m_texts[size_t(row)];
        return text.isNull() ? null(m_type) : QVariant(text);
    }
    case ValueType::Date:
    case ValueType::DateTime: {
        const qint64 ms = m_wallClock[size_t(row)];
        if (ms == kNoTime)
            return null(m_type);
        QDateTime &dt = m_dateTimes[size_t(row)];
        if (!dt.isValid())
            dt = values::fromWallClockMsecs(ms);
        return dt;
    }
    }
    return {};
}

bool ColumnData::isNull(qsizetype row) const
{
    switch (m_type) {
    case ValueType::Number: return !m_numbers[size_t(row)].isValid();
    case ValueType::String: return m_texts[size_t(row)].isNull();
    default: return m_wallClock[size_t(row)] == kNoTime;
    }
}

const Decimal &ColumnData::decimalAt(qsizetype row) const
{
    return m_numbers[size_t(row)];
}

int ColumnData::compare(qsizetype a, qsizetype b) const
{
    return compare(a, *this, b);
}

int ColumnData::compare(qsizetype a, const ColumnData &other, qsizetype b) const
{
    switch (m_type) {
    case ValueType::Number:
        // An invalid Decimal (NULL) orders first.
        return Decimal::compare(m_numbers[size_t(a)], other.m_numbers[size_t(b)]);
    case ValueType::String: {
        const QString &x = m_texts[size_t(a)];
        const QString &y = other.m_texts[size_t(b)];
        if (x.isNull() || y.isNull())
            return x.isNull() == y.isNull() ? 0 : (x.isNull() ? -1 : 1);
        return QString::compare(x, y);
    }
    default: {
        const qint64 x = m_wallClock[size_t(a)];
        const qint64 y = other.m_wallClock[size_t(b)];
        return x < y ? -1 : (x > y ? 1 : 0);   // kNoTime (NULL) is the smallest
    }
    }
}

void ColumnData::set(qsizetype row, const QVariant &value)
{
    store(row, value, false);
}

void ColumnData::insert(qsizetype row, const QVariant &value)
{
    store(row, value, true);
}

void ColumnData::store(qsizetype row, const QVariant &value, bool inserting)
{
    const auto at = [row](auto &vector) { return vector.begin() + row; };
    switch (m_type) {
    case ValueType::Number: {
        const Decimal d = value.isNull() ? Decimal::invalid() : Decimal::fromVariant(value).value_or(Decimal::invalid());
        if (inserting)
            m_numbers.insert(at(m_numbers), d);
        else
            m_numbers[size_t(row)] = d;
        return;
    }
    case ValueType::String: {
        const QString text = value.isNull() ? QString() : value.toString();
        if (inserting)
            m_texts.insert(at(m_texts), text);
        else
            m_texts[size_t(row)] = text;
        return;
    }
    case ValueType::Date:
    case ValueType::DateTime: {
        const QDateTime dt = value.isNull() ? QDateTime() : value.toDateTime();
        const qint64 ms = dt.isValid() ? values::wallClockMsecs(dt.date(), dt.time()) : kNoTime;
        if (inserting) {
            m_wallClock.insert(at(m_wallClock), ms);
            m_dateTimes.insert(at(m_dateTimes), dt);
        } else {
            m_wallClock[size_t(row)] = ms;
            m_dateTimes[size_t(row)] = dt;
        }
        return;
    }
    }
}

void ColumnData::remove(qsizetype row)
{
    switch (m_type) {
    case ValueType::Number: m_numbers.erase(m_numbers.begin() + row); break;
    case ValueType::String: m_texts.erase(m_texts.begin() + row); break;
    default:
        m_wallClock.erase(m_wallClock.begin() + row);
        m_dateTimes.erase(m_dateTimes.begin() + row);
        break;
    }
}

namespace {

template<typename T>
void reorderVector(std::vector<T> &values, const std::vector<size_t> &order)
{
    std::vector<T> sorted;
    sorted.reserve(order.size());
    for (size_t from : order)
        sorted.push_back(std::move(values[from]));
    values = std::move(sorted);
}

} // namespace

void ColumnData::reorder(const std::vector<size_t> &order)
{
    switch (m_type) {
    case ValueType::Number: reorderVector(m_numbers, order); break;
    case ValueType::String: reorderVector(m_texts, order); break;
    default:
        reorderVector(m_wallClock, order);
        reorderVector(m_dateTimes, order);
        break;
    }
}

QVariant ColumnData::null(ValueType type)
{
    switch (type) {
    case ValueType::String: return QVariant(QMetaType::fromType<QString>());
    case ValueType::Number: return Decimal::null();
    default: return QVariant(QMetaType::fromType<QDateTime>());
    }
}

std::optional<QVariant> ColumnData::convert(const QVariant &value, ValueType type)
{
    if (value.isNull())
        return null(type);
    const int id = value.metaType().id();
    const bool text = id == QMetaType::QString || id == QMetaType::QByteArray;
    switch (type) {
    case ValueType::String:
        if (id == QMetaType::QDateTime || id == QMetaType::QDate)
            return fromDbValue(value, ColumnKind::String);
        if (Decimal::isDecimal(value))
            return values::numberText(*Decimal::fromVariant(value));
        return value.toString();
    case ValueType::Number: {
        if (text) {
            const QString t = value.toString();
            if (t.trimmed().isEmpty())   // an emptied field is NULL
                return null(type);
            const auto d = values::parseNumber(t);   // any other text that is no number is refused
            return d ? std::optional<QVariant>(d->toVariant()) : std::nullopt;
        }
        const auto d = Decimal::fromVariant(value);
        return d && d->isValid() ? std::optional<QVariant>(d->toVariant()) : std::nullopt;
    }
    case ValueType::Date:
    case ValueType::DateTime: {
        if (text && value.toString().trimmed().isEmpty())
            return null(type);
        if (!text && id != QMetaType::QDate && id != QMetaType::QDateTime)
            return std::nullopt;
        const QVariant v = fromDbValue(value, ColumnKind::DateTime);
        return v.isNull() ? std::nullopt : std::optional<QVariant>(v);
    }
    }
    return std::nullopt;
}

} // namespace wip::reports
