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
