#include "runtime/lostconnectionprobe.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <libpq-fe.h>

namespace wip {

namespace {

PGconn *postgresHandle(const QSqlDatabase &db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt names the type by libpq's struct tag.
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

} // namespace

bool LostConnectionProbe::droppedWhileIdle(const QSqlDatabase &db)
{
    PGconn *conn = postgresHandle(db);
    if (!conn)
        return false;
    // The first read takes what the server sent before it closed (a notice), the
    // second meets the end of the stream. Neither waits when nothing is there.
    for (int read = 0; read < 2 && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_ACTIVE;
         ++read)
        PQconsumeInput(conn);
    return PQstatus(conn) == CONNECTION_BAD;
}

bool LostConnectionProbe::droppedAfterFailure(QSqlDatabase &db)
{
    if (db.driverName() != QLatin1String("QPSQL"))
        return false;
    if (db.isOpen()) {
        QSqlQuery probe(db);
        probe.exec(QStringLiteral("SELECT 1"));
    }
    return !db.isOpen();
}

} // namespace wip
