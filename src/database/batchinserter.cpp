#include "database/batchinserter.h"

#include "runtime/sqlvalue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>

#include <atomic>

namespace wip {

BatchInserter::BatchInserter(QSqlDatabase db, DbKind kind, const QString &table,
                             const QStringList &columns, int batchRows)
    : m_db(db), m_kind(kind), m_table(table), m_columns(columns), m_batchRows(batchRows)
{
    // Measured on the demo factory: a few hundred to a thousand values per
    // statement is quickest on both engines. Larger statements cost PostgreSQL more
    // to parse; Qt's SQLite driver looks up every bound value among all the
    // statement's parameters, so there the cost grows with the square of their number.
    //
    // PostgreSQL takes a whole batch as one bound JSON text that the server unpacks
    // (json_populate_recordset): one short statement to parse for thousands of rows.
    const int perStatement = kind == DbKind::PostgreSQL ? 60000 : 500;
    const int limit = qMax(1, perStatement / int(qMax<qsizetype>(1, columns.size())));
    if (m_batchRows <= 0 || m_batchRows > limit)
        m_batchRows = qMin(limit, 500);
}

QString BatchInserter::statement(int rows) const
{
    if (m_kind == DbKind::PostgreSQL) {
        const QString columns = m_columns.join(QStringLiteral(", "));
        return QStringLiteral("insert into %1 (%2) select %2 from json_populate_recordset(null::%1, ?::json)")
            .arg(m_table, columns);
    }
    QString one = QStringLiteral("(");
    for (int c = 0; c < m_columns.size(); ++c)
        one += c ? QStringLiteral(", ?") : QStringLiteral("?");
    one += u')';
    QStringList all;
    all.reserve(rows);
    for (int r = 0; r < rows; ++r)
        all << one;
    return QStringLiteral("insert into %1 (%2) values %3")
        .arg(m_table, m_columns.join(QStringLiteral(", ")), all.join(QStringLiteral(", ")));
}

bool BatchInserter::add(const QVariantList &row)
{
    if (!m_error.isEmpty())
        return false;
    if (row.size() != m_columns.size()) {
        m_error = QStringLiteral("%1: a row of %2 values for %3 columns")
                      .arg(m_table).arg(row.size()).arg(m_columns.size());
        return false;
    }
    for (const QVariant &v : row)
        m_pending.append(toDbValue(v, m_kind));
    if (m_pending.size() >= m_batchRows * m_columns.size())
        return writeRows(m_batchRows);
    return true;
}

bool BatchInserter::flush()
{
    if (!m_error.isEmpty())
        return false;
    const int rows = int(m_pending.size() / qMax<qsizetype>(1, m_columns.size()));
    return rows == 0 || writeRows(rows);
}

void BatchInserter::fail(const QString &why)
{
    static std::atomic<quint64> failures{0};
    m_error = QStringLiteral("%1: %2").arg(m_table, why);
    m_failedAt = ++failures;
}

bool BatchInserter::writeRows(int rows)
{
    std::optional<QSqlQuery> partial;
    QSqlQuery *query = nullptr;
    if (rows == m_batchRows) {
        if (!m_full) {
            m_full.emplace(m_db);
            if (!m_full->prepare(statement(rows))) {
                fail(m_full->lastError().text());
                return false;
            }
        }
        query = &*m_full;
    } else {
        partial.emplace(m_db);
        if (!partial->prepare(statement(rows))) {
            fail(partial->lastError().text());
            return false;
        }
        query = &*partial;
    }
    if (m_kind == DbKind::PostgreSQL) {
        QJsonArray array;
        const qsizetype width = m_columns.size();
        for (qsizetype r = 0; r < m_pending.size() / width; ++r) {
            QJsonObject row;
            for (qsizetype c = 0; c < width; ++c) {
                const QVariant &v = m_pending.at(r * width + c);
                // The keys must match the columns as PostgreSQL folds them, or values would
                // silently become NULL.
                row.insert(m_columns.at(c).toLower(), v.isNull() ? QJsonValue() : QJsonValue::fromVariant(v));
            }
            array.append(row);
        }
        query->bindValue(0, QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
    } else {
        for (int i = 0; i < m_pending.size(); ++i)
            query->bindValue(i, m_pending.at(i));
    }
    if (!query->exec()) {
        fail(query->lastError().text());
        return false;
    }
    m_written += rows;
    m_pending.clear();
    return true;
}

} // namespace wip
