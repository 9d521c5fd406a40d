#include "runtime/sqlvalue.h"

#include "runtime/decimal.h"
#include "runtime/values.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace wip {

namespace {

QDateTime toDateTime(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QString:
    case QMetaType::QByteArray:
        // Texts of SQLite, of our files and of typed fields: the values module's grammar.
        return values::parseDateTime(value.toString()).value_or(QDateTime());
    default:
        return {};
    }
}

} // namespace

QVariant toDbValue(const QVariant &value, DbKind kind)
{
    if (Decimal::isDecimal(value)) {
        // PostgreSQL gets the exact text, which it reads as the numeric it is
        // compared with or stored in; SQLite stores NUMERIC values as REAL (or
        // INTEGER) anyway and compares them as numbers.
        if (value.isNull())
            return QVariant(QMetaType::fromType<double>());
        const Decimal d = *Decimal::fromVariant(value);
        if (kind == DbKind::PostgreSQL)
            return d.toString();
        if (d.scale() == 0)
            return QVariant(qlonglong(d.units()));
        return d.toDouble();
    }
    const int type = value.metaType().id();
    if (type != QMetaType::QDate && type != QMetaType::QDateTime)
        return value;

    const QDateTime dt = type == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0))
                                                  : value.toDateTime();
    if (value.isNull() || !dt.isValid())
        return QVariant(QMetaType::fromType<QString>());

    // Both databases get the wall-clock text. SQLite stores it as it stands; PostgreSQL
    // reads it as the timestamp of the column it is compared with or stored in. A bound
    // QDateTime would go to PostgreSQL as a UTC instant and move by the session's time
    // zone, so a day's rows could slip out of "between".
    return values::dateTimeText(dt);
}

QVariant fromDbValue(const QVariant &value, ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Any:
        return value;
    case ColumnKind::String:
        if (value.isNull())
            return QVariant(QMetaType::fromType<QString>());
        if (value.metaType().id() == QMetaType::QDateTime)
            return values::dateTimeText(value.toDateTime());
        return value.toString();
    case ColumnKind::Number: {
        if (value.isNull())
            return Decimal::null();
        // PostgreSQL's numeric comes as exact text, SQLite's NUMERIC as an
        // integer or a double that stands for the decimal that was stored.
        std::optional<Decimal> d;
        if (value.metaType().id() == QMetaType::QString || value.metaType().id() == QMetaType::QByteArray)
            d = values::parseNumber(value.toString());
        else
            d = Decimal::fromVariant(value);
        return d ? d->toVariant() : Decimal::null();
    }
    case ColumnKind::Date:
    case ColumnKind::DateTime: {
        if (value.isNull())
            return QVariant(QMetaType::fromType<QDateTime>());
        const QDateTime dt = toDateTime(value);
        return dt.isValid() ? QVariant(dt) : QVariant(QMetaType::fromType<QDateTime>());
    }
    }
    return value;
}

} // namespace wip
