#pragma once

#include "reports/rowsource.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace wip::reports {

// The rows of a query read through Qt's driver: every retrieval on PostgreSQL, and
// on SQLite when the build cannot reach SQLite's own library. Each row's values
// are taken once; a date-time the driver already built is handed on, and a
// text equal to the column's text of the row before is that same shared string.
class QtRowSource : public RowSource
{
public:
    static std::unique_ptr<QtRowSource> open(const QSqlDatabase &db, const QString &sql,
                                             const QVector<QVariant> &values, QString *error);

    QStringList columnNames() const override { return m_names; }
    bool next() override;
    QString error() const override { return m_error; }
    bool isNull(int column) override;
    Decimal decimal(int column) override;
    QString text(int column) override;
    std::optional<qint64> wallClock(int column) override;
    QVariant raw(int column) override { return m_row.at(column); }
    QDateTime builtDateTime(int column) const override;

private:
    explicit QtRowSource(const QSqlDatabase &db) : m_query(db) {}

    QSqlQuery m_query;
    QStringList m_names;
    QVector<QVariant> m_row;
    QVector<QString> m_lastTexts;
    QString m_error;
};

} // namespace wip::reports
