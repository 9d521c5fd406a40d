#include "runtime/sqlvalue.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace wip {

namespace {

// Date-time texts as the two databases and our own files write them.
QDateTime parseDateTimeText(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    static const QStringList formats = {
        QStringLiteral("yyyy-MM-dd HH:mm:ss"),
        QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"),
        QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
        QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"),
        QStringLiteral("yyyy-MM-dd HH:mm"),
    };
    for (const QString &format : formats) {
        const QDateTime dt = QDateTime::fromString(text, format);
        if (dt.isValid())
            return dt;
    }
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    if (date.isValid() && text.size() == 10)
        return QDateTime(date, QTime(0, 0));
    return {};
}

QDateTime toDateTime(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return parseDateTimeText(value.toString());
    default:
        return {};
    }
}

} // namespace

QString sqliteDateTimeText(const QDateTime &dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QVariant toDbValue(const QVariant &value, DbKind kind)
{
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
    Q_UNUSED(kind);
    return sqliteDateTimeText(dt);
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
            return sqliteDateTimeText(value.toDateTime());
        return value.toString();
    case ColumnKind::Number: {
        if (value.isNull())
            return QVariant(QMetaType::fromType<double>());
        bool ok = false;
        const double d = value.metaType().id() == QMetaType::QString
                ? value.toString().trimmed().toDouble(&ok)
                : value.toDouble(&ok);
        return ok ? QVariant(d) : QVariant(QMetaType::fromType<double>());
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
