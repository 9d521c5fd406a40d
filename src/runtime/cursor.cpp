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
    std::optional<QSqlQuery> query;

    void failed(const QSqlError &error)
    {
        query.reset();
        tr.statementFailed(BoundStatement::errorText(error) + QStringLiteral(" [") + sql + QLatin1Char(']'));
    }
};

Cursor::Cursor(Transaction &tr, const QString &sql, const QVariantList &values)
    : d(std::make_unique<Private>(Private{tr, sql, values, std::nullopt}))
{
}

Cursor::~Cursor() = default;

bool Cursor::open()
{
    Transaction &tr = d->tr;
    d->query.reset();
    if (!tr.aboutToRun(d->sql))
        return false;
    d->query.emplace(tr.database());
    d->query->setForwardOnly(true);
    if (!BoundStatement::run(*d->query, d->sql, d->values, tr.kind())) {
        d->failed(d->query->lastError());
        return false;
    }
    tr.statementDone(0);
    return true;
}

std::optional<QVariantList> Cursor::fetch()
{
    Transaction &tr = d->tr;
    if (!d->query || !tr.isConnected()) {
        tr.reportFailure(QStringLiteral("cursor not open"));
        return std::nullopt;
    }
    if (!d->query->next()) {
        if (d->query->lastError().isValid())
            d->failed(d->query->lastError());
        else
            tr.noRow();
        return std::nullopt;
    }
    QVariantList row = BoundStatement::currentRow(*d->query);
    tr.statementDone(1);
    return row;
}

void Cursor::close()
{
    d->query.reset();
    d->tr.statementDone(0);
}

} // namespace wip
