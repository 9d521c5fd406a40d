#include "maintenance/integritycheck.h"

#include "runtime/cursor.h"
#include "runtime/transaction.h"

#include <functional>

namespace wip {

namespace {

using Row = std::function<void(const QVariantList &)>;

// Every row of sql; false with *error when it fails.
bool eachRow(Transaction &tr, const QString &sql, const QVariantList &values, const Row &row, QString *error)
{
    Cursor cursor(tr, sql, values);
    if (!cursor.open()) {
        *error = tr.sqlErrText;
        return false;
    }
    while (const auto r = cursor.fetch())
        row(*r);
    const bool ok = tr.sqlCode != -1;
    if (!ok)
        *error = tr.sqlErrText;
    cursor.close();
    return ok;
}

bool checkSqlite(Transaction &tr, QList<Finding> *findings, QString *error)
{
    const bool pages = eachRow(
        tr, QStringLiteral("pragma integrity_check"), {},
        [findings](const QVariantList &r) {
            if (r.value(0).toString() != QLatin1String("ok"))
                findings->append({QStringLiteral("integrity"), r.value(0).toString()});
        },
        error);
    // table, rowid, parent table, key number
    return pages
        && eachRow(
            tr, QStringLiteral("pragma foreign_key_check"), {},
            [findings](const QVariantList &r) {
                findings->append({QStringLiteral("integrity"),
                                  QStringLiteral("%1 row %2 refers to a row of %3 that is not there (foreign key %4)")
                                      .arg(r.value(0).toString(), r.value(1).toString(), r.value(2).toString(),
                                           r.value(3).toString())});
            },
            error);
}

// The B-tree indexes and the tables of the database's own schemas, quoted.
bool relations(Transaction &tr, const QString &kind, QStringList *names, QString *error)
{
    const QString sql = QStringLiteral(
        "select format('%I.%I', n.nspname, c.relname) from pg_class c join pg_namespace n on n.oid = c.relnamespace "
        "left join pg_am a on a.oid = c.relam where c.relkind = ? and (c.relkind <> 'i' or a.amname = 'btree') "
        "and n.nspname not in ('pg_catalog', 'information_schema') and n.nspname not like 'pg\\_toast%' "
        "order by 1");
    return eachRow(tr, sql, {kind}, [names](const QVariantList &r) { *names << r.value(0).toString(); }, error);
}

bool checkPostgres(Transaction &tr, QList<Finding> *findings, QStringList *notes, QString *error)
{
    const auto installed = tr.selectInto(QStringLiteral("select extversion from pg_extension where extname = ?"),
                                         {QStringLiteral("amcheck")});
    if (!installed) {
        if (tr.sqlCode != 100) {
            *error = tr.sqlErrText;
            return false;
        }
        const auto offered = tr.selectInto(QStringLiteral("select 1 from pg_available_extensions where name = ?"),
                                           {QStringLiteral("amcheck")});
        *notes << (offered ? QStringLiteral("PostgreSQL's own check (amcheck) is not installed in this database, so its "
                                            "tables and indexes were not checked; a superuser adds it with: "
                                            "CREATE EXTENSION amcheck;")
                           : QStringLiteral("PostgreSQL's own check (amcheck) is not available on this server, so the "
                                            "database's tables and indexes were not checked."));
        return true;
    }
    QStringList indexes, tables;
    if (!relations(tr, QStringLiteral("i"), &indexes, error) || !relations(tr, QStringLiteral("r"), &tables, error))
        return false;
    for (const QString &index : std::as_const(indexes)) {
        if (!tr.selectInto(QStringLiteral("select bt_index_check(cast(? as regclass))"), {index}) && tr.sqlCode != 100)
            findings->append({QStringLiteral("integrity"), QStringLiteral("index %1: %2").arg(index, tr.sqlErrText)});
    }
    const bool heap = tr.selectInto(QStringLiteral("select 1 from pg_proc where proname = ?"), {QStringLiteral("verify_heapam")})
                          .has_value();
    if (!heap) {
        *notes << QStringLiteral("This server's amcheck checks indexes only; the tables' pages were not checked.");
        return true;
    }
    for (const QString &table : std::as_const(tables)) {
        QString why;
        const bool ran = eachRow(
            tr, QStringLiteral("select blkno, offnum, msg from verify_heapam(cast(? as regclass))"), {table},
            [&](const QVariantList &r) {
                findings->append({QStringLiteral("integrity"), QStringLiteral("table %1, page %2, item %3: %4")
                                                                  .arg(table, r.value(0).toString(), r.value(1).toString(),
                                                                       r.value(2).toString())});
            },
            &why);
        if (!ran)
            findings->append({QStringLiteral("integrity"), QStringLiteral("table %1: %2").arg(table, why)});
    }
    return true;
}

} // namespace

bool IntegrityCheck::run(Transaction &tr, QList<Finding> *findings, QStringList *notes, QString *error)
{
    if (tr.kind() == DbKind::SQLite)
        return checkSqlite(tr, findings, error);
    return checkPostgres(tr, findings, notes, error);
}

} // namespace wip
