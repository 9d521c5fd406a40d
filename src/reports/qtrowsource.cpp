#include "reports/qtrowsource.h"

#include "runtime/values.h"

#include <QSqlError>
#include <QSqlRecord>

namespace wip::reports {

std::unique_ptr<QtRowSource> QtRowSource::open(const QSqlDatabase &db, const QString &sql,
                                               const QVector<QVariant> &values, QString *error)
{
    std::unique_ptr<QtRowSource> source(new QtRowSource(db));
    QSqlQuery &query = source->m_query;
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    if (ok) {
        for (const QVariant &v : values)
            query.addBindValue(v);
        ok = query.exec();
    }
    if (!ok) {
        if (error)
            *error = query.lastError().text();
        query.finish();
        return nullptr;
    }
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        source->m_names.append(record.fieldName(i));
    source->m_row.resize(record.count());
    source->m_lastTexts.resize(record.count());
    return source;
}

bool QtRowSource::next()
{
    if (!m_query.next()) {
        const QSqlError e = m_query.lastError();
        if (e.isValid() && e.type() != QSqlError::NoError)
            m_error = e.text();
        m_query.finish();
        return false;
    }
    for (int c = 0; c < m_row.size(); ++c)
        m_row[c] = m_query.value(c);
    return true;
}

bool QtRowSource::isNull(int column)
{
    return m_row.at(column).isNull();
}

Decimal QtRowSource::decimal(int column)
{
    const QVariant &v = m_row.at(column);
    const int id = v.metaType().id();
    if (id == QMetaType::QString || id == QMetaType::QByteArray)   // PostgreSQL's numeric
        return values::parseNumber(v.toString()).value_or(Decimal::invalid());
    return Decimal::fromVariant(v).value_or(Decimal::invalid());
}

QString QtRowSource::text(int column)
{
    const QVariant &v = m_row.at(column);
    QString text = v.metaType().id() == QMetaType::QDateTime ? values::dateTimeText(v.toDateTime()) : v.toString();
    QString &last = m_lastTexts[column];
    if (text == last && !last.isNull())
        return last;
    last = text;
    return text;
}

std::optional<qint64> QtRowSource::wallClock(int column)
{
    const QVariant &v = m_row.at(column);
    switch (v.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid())
            return std::nullopt;
        return values::wallClockMsecs(dt.date(), dt.time());
    }
    case QMetaType::QDate:
        return v.toDate().isValid() ? std::optional<qint64>(values::wallClockMsecs(v.toDate(), QTime(0, 0))) : std::nullopt;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const auto read = values::readDateTime(v.toString());
        if (!read)
            return std::nullopt;
        return values::wallClockMsecs(read->date, read->time);
    }
    default:
        return std::nullopt;
    }
}

QDateTime QtRowSource::builtDateTime(int column) const
{
    const QVariant &v = m_row.at(column);
    return v.metaType().id() == QMetaType::QDateTime ? v.toDateTime() : QDateTime();
}

} // namespace wip::reports
