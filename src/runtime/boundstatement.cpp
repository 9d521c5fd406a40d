#include "runtime/boundstatement.h"

#include "runtime/sqlvalue.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace wip {

bool BoundStatement::run(QSqlQuery &query, const QString &sql, const QVariantList &values, DbKind kind)
{
    if (values.isEmpty())
        return query.exec(sql);
    if (!query.prepare(sql))
        return false;
    for (const QVariant &v : values)
        query.addBindValue(toDbValue(v, kind));
    return query.exec();
}

bool BoundStatement::start(StatementCache::Lease &lease, const QSqlDatabase &db, const QString &connectionName,
                           DbKind kind, const QString &sql, const QVariantList &values, bool forwardOnly)
{
    lease.release();
    if (kind != DbKind::SQLite || values.isEmpty()) {
        lease = StatementCache::Lease::single(db, forwardOnly);
        return run(lease.query(), sql, values, kind);
    }
    lease = StatementCache::of(connectionName).take(db, sql, values.size());
    return lease.prepared() && lease.exec(values, kind);
}

QVariantList BoundStatement::currentRow(const QSqlQuery &query)
{
    const QSqlRecord rec = query.record();
    QVariantList row;
    row.reserve(rec.count());
    for (int i = 0; i < rec.count(); ++i)
        row.append(query.value(i));
    return row;
}

QString BoundStatement::errorText(const QSqlError &error)
{
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("unknown database error");
    return text;
}

} // namespace wip
