#include "database/postgresadmin.h"

#include <QAtomicInteger>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace wip {

namespace {

// Runs `work` on a fresh connection to the server's maintenance database, in
// autocommit mode (CREATE/DROP DATABASE cannot run inside a transaction).
template<typename Work>
bool withServer(const ConnectionSettings &server, QString *error, Work work)
{
    static QAtomicInteger<quint64> counter = 0;
    const QString name = QStringLiteral("wip_pgadmin_%1").arg(counter.fetchAndAddOrdered(1) + 1);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        server.applyServer(db, server.database.isEmpty() ? QStringLiteral("postgres") : server.database);
        db.setConnectOptions(server.dbParm);
        if (!db.open()) {
            if (error)
                *error = QStringLiteral("cannot connect to the PostgreSQL server: ") + db.lastError().text();
        } else {
            ok = work(db);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool run(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError().text().trimmed();
    return false;
}

} // namespace

bool PostgresAdmin::isValidName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return re.match(name).hasMatch();
}

bool PostgresAdmin::createDatabase(const ConnectionSettings &server, const QString &name, QString *error)
{
    if (!isValidName(name)) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a database name Wip creates "
                                    "(lower-case letters, digits and _).").arg(name);
        return false;
    }
    return withServer(server, error, [&](QSqlDatabase &db) {
        return run(db,
                   QStringLiteral("create database %1 template template0 encoding 'UTF8' "
                                  "lc_collate 'C' lc_ctype 'C'").arg(name),
                   error);
    });
}

bool PostgresAdmin::copyDatabase(const ConnectionSettings &server, const QString &from, const QString &name,
                                 QString *error)
{
    for (const QString &n : {from, name}) {
        if (!isValidName(n)) {
            if (error)
                *error = QStringLiteral("\"%1\" is not a valid database name.").arg(n);
            return false;
        }
    }
    return withServer(server, error, [&](QSqlDatabase &db) {
        return run(db, QStringLiteral("create database %1 template %2").arg(name, from), error);
    });
}

bool PostgresAdmin::dropDatabase(const ConnectionSettings &server, const QString &name, QString *error)
{
    if (!isValidName(name)) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a valid database name.").arg(name);
        return false;
    }
    return withServer(server, error, [&](QSqlDatabase &db) {
        return run(db, QStringLiteral("drop database if exists %1 with (force)").arg(name), error);
    });
}

bool PostgresAdmin::databaseExists(const ConnectionSettings &server, const QString &name, bool *exists,
                                   QString *error)
{
    return withServer(server, error, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral("select count(*) from pg_database where datname = ?"))) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
        q.addBindValue(name);
        if (!q.exec() || !q.next()) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
        if (exists)
            *exists = q.value(0).toInt() > 0;
        return true;
    });
}

bool PostgresAdmin::ensureDatabase(const ConnectionSettings &target, QString *error)
{
    ConnectionSettings server = target;
    server.database = QStringLiteral("postgres");
    bool exists = false;
    if (!databaseExists(server, target.database, &exists, error))
        return false;
    return exists || createDatabase(server, target.database, error);
}

} // namespace wip
