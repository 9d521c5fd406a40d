#include "runtime/cursor.h"

#include "runtime/boundstatement.h"
#include "runtime/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace wip {

struct Cursor::Private
{
    Transaction &tr;
    QString sql;
    QVariantList values;
    StatementCache::Lease query;     // held from OPEN to CLOSE

    void failed(const QSqlError &error)
    {
        query.discard();
        tr.statementFailed(BoundStatement::errorText(error) + QStringLiteral(" [") + sql + QLatin1Char(']'));
    }
};

Cursor::Cursor(Transaction &tr, const QString &sql, const QVariantList &values)
    : d(std::make_unique<Private>(Private{tr, sql, values, {}}))
{
}

Cursor::~Cursor() = default;

bool Cursor::open()
{
    Transaction &tr = d->tr;
    d->query.release();
    if (!tr.aboutToRun(d->sql))
        return false;
    if (!BoundStatement::start(d->query, tr.database(), tr.connectionName(), tr.kind(), d->sql, d->values, true)) {
        d->failed(d->query.query().lastError());
        return false;
    }
    tr.statementDone(0);
    return true;
}

std::optional<QVariantList> Cursor::fetch()
{
    Transaction &tr = d->tr;
    if (!d->query.isHeld() || !tr.isConnected()) {
        tr.reportFailure(QStringLiteral("cursor not open"));
        return std::nullopt;
    }
    if (!d->query.query().next()) {
        if (d->query.query().lastError().isValid())
            d->failed(d->query.query().lastError());
        else
            tr.noRow();
        return std::nullopt;
    }
    QVariantList row = BoundStatement::currentRow(d->query.query());
    tr.statementDone(1);
    return row;
}

void Cursor::close()
{
    d->query.release();
    d->tr.statementDone(0);
}

} // namespace wip
