#pragma once

#include "runtime/connectionsettings.h"
#include "runtime/statementcache.h"

#include <QString>
#include <QVariantList>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace wip {

// One embedded statement run through Qt's driver with its values bound in order
// ("?" placeholders), as the transaction and its cursors run them.
class BoundStatement
{
public:
    // A statement without values is run directly: PostgreSQL cannot prepare DDL
    // through Qt's driver. Dates are converted for the connection's kind.
    static bool run(QSqlQuery &query, const QString &sql, const QVariantList &values, DbKind kind);
    // Runs sql with its values on db, the Qt connection named connectionName, and
    // leaves its query in lease (its lastError() after a failure). On SQLite a
    // statement with values is taken from the connection's StatementCache and
    // given back when the lease is; otherwise the statement gets a query of its
    // own, forward only when asked, and run() runs it.
    static bool start(StatementCache::Lease &lease, const QSqlDatabase &db, const QString &connectionName, DbKind kind,
                      const QString &sql, const QVariantList &values, bool forwardOnly);
    // The values of the query's current row, in column order.
    static QVariantList currentRow(const QSqlQuery &query);
    // The driver's message, never empty.
    static QString errorText(const QSqlError &error);
};

} // namespace wip
