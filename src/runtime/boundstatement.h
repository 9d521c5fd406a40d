#pragma once

#include "runtime/connectionsettings.h"

#include <QString>
#include <QVariantList>

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
    // The values of the query's current row, in column order.
    static QVariantList currentRow(const QSqlQuery &query);
    // The driver's message, never empty.
    static QString errorText(const QSqlError &error);
};

} // namespace wip
