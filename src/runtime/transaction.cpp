#include "runtime/transaction.h"

#include "runtime/sqlvalue.h"
#include "runtime/trace.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>

#include <libpq-fe.h>

namespace wip {

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter = 0;
    return QStringLiteral("wip_tr_%1").arg(counter.fetchAndAddOrdered(1) + 1);
}

// Savepoint names are written into the statement, so only plain identifiers pass.
bool isPlainIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    return re.match(name).hasMatch();
}

QString driverError(const QSqlError &error)
{
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("unknown database error");
    return text;
}

// Runs one embedded statement with its values bound in order. A statement without
// values is run directly: PostgreSQL cannot prepare DDL through Qt's driver.
bool runStatement(QSqlQuery &query, const QString &sql, const QVariantList &values, DbKind kind)
{
    if (values.isEmpty())
        return query.exec(sql);
    if (!query.prepare(sql))
        return false;
    for (const QVariant &v : values)
        query.addBindValue(toDbValue(v, kind));
    return query.exec();
}

QVariantList rowValues(const QSqlQuery &query)
{
    const QSqlRecord rec = query.record();
    QVariantList row;
    row.reserve(rec.count());
    for (int i = 0; i < rec.count(); ++i)
        row.append(query.value(i));
    return row;
}

} // namespace

// ---------------------------------------------------------------------------
// ConnectionSettings

std::optional<ConnectionSettings> ConnectionSettings::fromUrl(const QString &rawUrl, QString *error)
{
    auto fail = [error](const QString &text) -> std::optional<ConnectionSettings> {
        if (error)
            *error = text;
        return std::nullopt;
    };

    const QString url = rawUrl.trimmed();
    if (url.isEmpty())
        return fail(QStringLiteral("empty database URL"));

    ConnectionSettings s;
    const QString lower = url.toLower();
    if (lower.startsWith(QLatin1String("postgresql://")) || lower.startsWith(QLatin1String("postgres://"))) {
        const QUrl u(url, QUrl::StrictMode);
        if (!u.isValid())
            return fail(QStringLiteral("invalid PostgreSQL URL: %1").arg(u.errorString()));
        s.dbms = QStringLiteral("POSTGRESQL");
        s.logId = u.userName();
        s.logPass = u.password();
        s.serverName = u.host();
        if (u.port() > 0)
            s.serverName += QLatin1Char(':') + QString::number(u.port());
        s.database = u.path(QUrl::FullyDecoded);
        if (s.database.startsWith(QLatin1Char('/')))
            s.database.remove(0, 1);
        if (s.database.isEmpty())
            return fail(QStringLiteral("the PostgreSQL URL names no database"));
        QStringList options;
        const auto items = QUrlQuery(u).queryItems(QUrl::FullyDecoded);
        for (const auto &[key, value] : items)
            options.append(key + QLatin1Char('=') + value);
        s.dbParm = options.join(QLatin1Char(';'));
        return s;
    }

    QString path;
    if (lower.startsWith(QLatin1String("sqlite://")))
        path = url.mid(9);
    else if (lower.startsWith(QLatin1String("sqlite:")))
        path = url.mid(7);
    else if (url.contains(QLatin1String("://")))
        return fail(QStringLiteral("unsupported database URL: %1").arg(url));
    else
        path = url;
    if (path.isEmpty())
        return fail(QStringLiteral("the SQLite URL names no file"));
    s.dbms = QStringLiteral("SQLITE");
    s.database = path;
    return s;
}

QString ConnectionSettings::toUrl(bool withPassword) const
{
    switch (kind()) {
    case DbKind::SQLite:
        return QStringLiteral("sqlite:") + database;
    case DbKind::PostgreSQL: {
        QUrl u;
        u.setScheme(QStringLiteral("postgresql"));
        if (!logId.isEmpty())
            u.setUserName(logId);
        if (withPassword && !logPass.isEmpty())
            u.setPassword(logPass);
        const int colon = serverName.lastIndexOf(QLatin1Char(':'));
        if (colon > 0) {
            u.setHost(serverName.left(colon));
            u.setPort(serverName.mid(colon + 1).toInt());
        } else {
            u.setHost(serverName.isEmpty() ? QStringLiteral("localhost") : serverName);
        }
        u.setPath(QLatin1Char('/') + database);
        if (!dbParm.isEmpty()) {
            QUrlQuery q;
            for (const QString &item : dbParm.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                const int eq = item.indexOf(QLatin1Char('='));
                if (eq > 0)
                    q.addQueryItem(item.left(eq).trimmed(), item.mid(eq + 1).trimmed());
            }
            u.setQuery(q);
        }
        return u.toString();
    }
    case DbKind::None:
        break;
    }
    return QString();
}

DbKind ConnectionSettings::kind() const
{
    const QString d = dbms.trimmed().toUpper();
    if (d == QLatin1String("SQLITE") || d == QLatin1String("QSQLITE") || d == QLatin1String("SQLITE3"))
        return DbKind::SQLite;
    if (d == QLatin1String("POSTGRESQL") || d == QLatin1String("QPSQL") || d == QLatin1String("POSTGRES")
        || d == QLatin1String("PGSQL"))
        return DbKind::PostgreSQL;
    return DbKind::None;
}

// ---------------------------------------------------------------------------
// Transaction

Transaction::Transaction()
    : m_connectionName(nextConnectionName())
{
}

Transaction::~Transaction()
{
    disconnect();
}

namespace {

void disconnectSqlcaAtExit()
{
    Transaction::sqlca().disconnect();
}

} // namespace

Transaction &Transaction::sqlca()
{
    // Qt SQL's registry and its empty query objects must outlive SQLCA: using them
    // first makes them destroyed after SQLCA. (connect() also arranges for SQLCA's
    // open work to be committed when the application object goes away.)
    static const bool qtSqlFirst = [] {
        (void)QSqlDatabase::contains(QString());
        QSqlQuery warmUp;
        return warmUp.isActive();
    }();
    Q_UNUSED(qtSqlFirst);
    static Transaction sqlca;
    return sqlca;
}

namespace {

// What a connection needs after it is opened; the failure, or an empty text.
QString prepareOpened(QSqlDatabase &db, DbKind kind)
{
    if (kind != DbKind::SQLite)
        return QString();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.exec(QStringLiteral("PRAGMA foreign_keys=OFF")))
        return driverError(q.lastError());
    return QString();
}

// PostgreSQL options: without a connect timeout of its own, a server that does
// not answer would hold the window for minutes at every reconnect.
QString postgresOptions(const QString &dbParm)
{
    if (dbParm.contains(QLatin1String("connect_timeout"), Qt::CaseInsensitive))
        return dbParm;
    const QString timeout = QStringLiteral("connect_timeout=10");
    return dbParm.trimmed().isEmpty() ? timeout : dbParm + QLatin1Char(';') + timeout;
}

// Whether the server has dropped a PostgreSQL connection that Qt's driver still
// holds open: libpq reads what the server sent meanwhile (its shutdown notice, the
// end of the stream) without waiting, and then knows. Qt's driver itself learns
// it only when a statement fails.
bool droppedByServer(const QSqlDatabase &db)
{
    if (!db.isOpen() || !db.driver())
        return false;
    const QVariant handle = db.driver()->handle();
    // Qt names the type by libpq's struct tag.
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return false;
    PGconn *conn = *static_cast<PGconn *const *>(handle.constData());
    if (!conn)
        return false;
    // The first read takes what the server sent before it closed (a notice), the
    // second meets the end of the stream. Neither waits when nothing is there.
    for (int read = 0; read < 2 && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_ACTIVE;
         ++read)
        PQconsumeInput(conn);
    return PQstatus(conn) == CONNECTION_BAD;
}

QString lostText(const QString &detail)
{
    return QStringLiteral("the connection to the database was lost; open work was rolled back by the server: %1")
        .arg(detail);
}

Transaction::StatementHook &statementHook()
{
    static Transaction::StatementHook hook;
    return hook;
}

} // namespace

bool Transaction::connect()
{
    if (m_connected)
        disconnect();

    const DbKind k = settings.kind();
    if (k == DbKind::None) {
        setError(QStringLiteral("unknown DBMS \"%1\"").arg(settings.dbms));
        return false;
    }
    if (k == DbKind::SQLite && settings.database.trimmed().isEmpty()) {
        // SQLite would open a private temporary database, and the work would be lost.
        setError(QStringLiteral("no database file given"));
        return false;
    }

    bool opened = false;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
                k == DbKind::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_connectionName);
        if (k == DbKind::SQLite) {
            // The file is created when missing; its folder too.
            const QFileInfo info(settings.database);
            if (settings.database != QLatin1String(":memory:"))
                QDir().mkpath(info.absolutePath());
            db.setDatabaseName(settings.database);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        } else {
            QString host = settings.serverName.trimmed();
            const int colon = host.lastIndexOf(QLatin1Char(':'));
            if (colon > 0) {
                db.setPort(host.mid(colon + 1).toInt());
                host = host.left(colon);
            }
            if (!host.isEmpty())
                db.setHostName(host);
            db.setDatabaseName(settings.database);
            db.setUserName(settings.logId);
            db.setPassword(settings.logPass);
            db.setConnectOptions(postgresOptions(settings.dbParm));
        }
        opened = db.open();
        if (!opened) {
            failure = driverError(db.lastError());
        } else {
            failure = prepareOpened(db, k);
            opened = failure.isEmpty();
        }
        if (!opened)
            db.close();
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(m_connectionName);
        setError(QStringLiteral("cannot connect to %1: %2").arg(settings.toUrl(false), failure));
        return false;
    }

    m_connected = true;
    m_inTransaction = false;
    m_workLost = false;
    if (this == &sqlca()) {
        // SQLCA is disconnected (its work committed) when the application object goes
        // away, while the driver still works: Qt SQL's own clean-up routine, added
        // when its drivers are first used, runs before the routines added earlier, so
        // ours is added again after every connect.
        qRemovePostRoutine(disconnectSqlcaAtExit);
        qAddPostRoutine(disconnectSqlcaAtExit);
    }
    setOk(0);
    return true;
}

void Transaction::disconnect()
{
    if (!m_connected)
        return;
    // DISCONNECT commits open work; work that went with a lost connection, and
    // whatever was written after it, is rolled back and the failure kept.
    bool ok = true;
    QString failureText;
    if (m_workLost) {
        ok = false;
        failureText = lostText(QStringLiteral("the work of this transaction is not saved"));
        m_workLost = false;
    }
    if (m_inTransaction && ok) {
        if (runControl(QStringLiteral("COMMIT"))) {
            m_inTransaction = false;
        } else {
            ok = false;
            failureText = sqlErrText;
        }
    }
    abandonWork();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connected = false;
    m_workLost = false;
    if (ok)
        setOk(0);
    else
        setError(failureText);
}

bool Transaction::isConnected() const
{
    return m_connected;
}

DbKind Transaction::kind() const
{
    return m_connected ? settings.kind() : DbKind::None;
}

QSqlDatabase Transaction::database() const
{
    if (!m_connected)
        return QSqlDatabase();
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen() || droppedByServer(db)) {
        // The server went away. Reopened in place, so every copy of the handle (a
        // DataStore's query) reaches the new connection. A Transaction is never a
        // const object; only its connection state changes here.
        const_cast<Transaction *>(this)->ensureOpen();
    }
    return db;
}

QString Transaction::connectionName() const
{
    return m_connectionName;
}

bool Transaction::execute(const QString &sql, const QVariantList &values)
{
    if (!m_connected) {
        setError(QStringLiteral("transaction not connected"));
        return false;
    }
    if (!beginIfManual())
        return false;
    callHook(sql);
    if (!ensureOpen())
        return false;
    QSqlQuery query(database());
    if (!runStatement(query, sql, values, kind())) {
        setError(failure(query.lastError(), sql));
        return false;
    }
    const int rows = query.numRowsAffected();
    setOk(rows < 0 ? 0 : rows);
    return true;
}

std::optional<QVariantList> Transaction::selectInto(const QString &sql, const QVariantList &values)
{
    if (!m_connected) {
        setError(QStringLiteral("transaction not connected"));
        return std::nullopt;
    }
    callHook(sql);
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!runStatement(query, sql, values, kind())) {
        setError(failure(query.lastError(), sql));
        return std::nullopt;
    }
    if (!query.next()) {
        sqlCode = 100;
        sqlNRows = 0;
        sqlErrText.clear();
        return std::nullopt;
    }
    QVariantList row = rowValues(query);
    setOk(1);
    return row;
}

bool Transaction::commit()
{
    if (!m_connected) {
        setError(QStringLiteral("transaction not connected"));
        return false;
    }
    if (m_workLost) {
        // The work this COMMIT stands for went with the lost connection: it is not
        // saved, and what was written on the new connection would be only part of it.
        m_workLost = false;
        abandonWork();
        setError(lostText(QStringLiteral("COMMIT came after the loss; nothing of this work is saved")));
        return false;
    }
    if (!m_inTransaction) {
        setOk(0);
        return true;
    }
    const bool ok = runControl(QStringLiteral("COMMIT"));
    if (!ok) {
        // A failed COMMIT leaves the work undone; end the transaction so the next
        // write does not run inside it. The COMMIT's failure stays the status.
        abandonWork();
        m_workLost = false;
    }
    m_inTransaction = false;
    return ok;
}

bool Transaction::rollback()
{
    if (!m_connected) {
        setError(QStringLiteral("transaction not connected"));
        return false;
    }
    // ROLLBACK answers for work lost with the connection: it is undone either way.
    m_workLost = false;
    if (!m_inTransaction) {
        setOk(0);
        return true;
    }
    const bool ok = runControl(QStringLiteral("ROLLBACK"));
    m_inTransaction = false;
    m_workLost = false;
    return ok;
}

bool Transaction::begin()
{
    if (!m_connected) {
        setError(QStringLiteral("transaction not connected"));
        return false;
    }
    if (m_inTransaction) {
        setOk(0);
        return true;
    }
    // SQLite takes the write lock at once (waiting for the busy timeout), so a later
    // write of this transaction cannot fail on a stale snapshot.
    const QString sql = kind() == DbKind::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
    const quint64 losses = m_losses;
    bool ok = runControl(sql);
    if (!ok && m_losses != losses) {
        // The connection had gone while idle (a server restart): BEGIN did nothing
        // there, so it is safe to run it again on a new connection.
        ok = runControl(sql);
    }
    m_inTransaction = ok;
    return ok;
}

bool Transaction::savepoint(const QString &name)
{
    if (!isPlainIdentifier(name)) {
        setError(QStringLiteral("invalid savepoint name \"%1\"").arg(name));
        return false;
    }
    if (!m_connected) {
        setError(QStringLiteral("transaction not connected"));
        return false;
    }
    if (!m_inTransaction && !begin())
        return false;
    return runControl(QStringLiteral("SAVEPOINT ") + name);
}

bool Transaction::releaseSavepoint(const QString &name)
{
    return endSavepoint(QStringLiteral("RELEASE SAVEPOINT "), name);
}

bool Transaction::rollbackToSavepoint(const QString &name)
{
    return endSavepoint(QStringLiteral("ROLLBACK TO SAVEPOINT "), name);
}

bool Transaction::endSavepoint(const QString &command, const QString &name)
{
    if (!isPlainIdentifier(name)) {
        setError(QStringLiteral("invalid savepoint name \"%1\"").arg(name));
        return false;
    }
    if (!m_inTransaction) {
        // No open work (a lost connection took it): there is no savepoint left.
        setError(QStringLiteral("no open work holds the savepoint \"%1\"").arg(name));
        return false;
    }
    return runControl(command + name);
}

void Transaction::setError(const QString &text)
{
    sqlCode = -1;
    sqlNRows = 0;
    sqlErrText = text;
    Trace::write(QStringLiteral("Database error (%1): %2").arg(m_connectionName, text));
}

void Transaction::setOk(long long rows)
{
    sqlCode = 0;
    sqlNRows = rows;
    sqlErrText.clear();
}

bool Transaction::beginIfManual()
{
    if (settings.autoCommit || m_inTransaction)
        return true;
    return begin();
}

bool Transaction::runControl(const QString &sql)
{
    if (!m_connected) {
        setError(QStringLiteral("transaction not connected"));
        return false;
    }
    callHook(sql);
    if (!ensureOpen())
        return false;
    QSqlQuery query(database());
    if (!query.exec(sql)) {
        setError(failure(query.lastError(), sql));
        return false;
    }
    setOk(0);
    return true;
}

void Transaction::setStatementHook(StatementHook hook)
{
    statementHook() = std::move(hook);
}

void Transaction::callHook(const QString &sql)
{
    if (const StatementHook &hook = statementHook())
        hook(*this, sql);
}

bool Transaction::ensureOpen()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (droppedByServer(db))
        db.close();     // Qt's driver would learn it only from a failed statement
    if (db.isOpen())
        return true;
    // Gone. Under open work this statement fails with the work, and the next one
    // connects again; without open work it connects again now.
    const bool workOpen = m_inTransaction;
    markLost();
    if (workOpen) {
        setError(lostText(QStringLiteral("found closed before the next statement")));
        return false;
    }
    return reopen();
}

bool Transaction::reopen()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    db.close();
    QString failureText;
    if (!db.open())
        failureText = driverError(db.lastError());
    else
        failureText = prepareOpened(db, settings.kind());
    if (!failureText.isEmpty()) {
        db.close();
        setError(QStringLiteral("cannot connect to %1: %2").arg(settings.toUrl(false), failureText));
        return false;
    }
    Trace::write(QStringLiteral("Database connection %1 to %2 made again").arg(m_connectionName, settings.toUrl(false)));
    return true;
}

QString Transaction::failure(const QSqlError &error, const QString &sql)
{
    const QString text = driverError(error) + QStringLiteral(" [") + sql + QLatin1Char(']');
    return checkLost() ? lostText(text) : text;
}

bool Transaction::checkLost()
{
    if (settings.kind() != DbKind::PostgreSQL)
        return false;     // an SQLite file does not go away under its connection
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (db.isOpen()) {
        // Qt's driver closes the connection when libpq reports it broken, but not
        // on every path (a failed fetch): one trivial statement tells for sure. An
        // error of the server itself (inside aborted work) leaves it open.
        QSqlQuery probe(db);
        probe.exec(QStringLiteral("SELECT 1"));
    }
    if (db.isOpen())
        return false;
    markLost();
    return true;
}

void Transaction::markLost()
{
    ++m_losses;
    if (m_inTransaction)
        m_workLost = true;
    m_inTransaction = false;
}

void Transaction::abandonWork()
{
    if (m_inTransaction) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("ROLLBACK"));
        }
    }
    m_inTransaction = false;
}

// ---------------------------------------------------------------------------
// Cursor

struct Cursor::Private
{
    Transaction &tr;
    QString sql;
    QVariantList values;
    std::optional<QSqlQuery> query;
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
    if (!tr.isConnected()) {
        tr.setError(QStringLiteral("transaction not connected"));
        return false;
    }
    tr.callHook(d->sql);
    if (!tr.ensureOpen())
        return false;
    d->query.emplace(tr.database());
    d->query->setForwardOnly(true);
    if (!runStatement(*d->query, d->sql, d->values, tr.kind())) {
        const QString text = tr.failure(d->query->lastError(), d->sql);
        d->query.reset();
        tr.setError(text);
        return false;
    }
    tr.setOk(0);
    return true;
}

std::optional<QVariantList> Cursor::fetch()
{
    Transaction &tr = d->tr;
    if (!d->query || !tr.isConnected()) {
        tr.setError(QStringLiteral("cursor not open"));
        return std::nullopt;
    }
    if (!d->query->next()) {
        if (d->query->lastError().isValid()) {
            const QSqlError error = d->query->lastError();
            d->query.reset();
            tr.setError(tr.failure(error, d->sql));
            return std::nullopt;
        }
        tr.sqlCode = 100;
        tr.sqlNRows = 0;
        tr.sqlErrText.clear();
        return std::nullopt;
    }
    QVariantList row = rowValues(*d->query);
    tr.setOk(1);
    return row;
}

void Cursor::close()
{
    d->query.reset();
    d->tr.setOk(0);
}

// ---------------------------------------------------------------------------
// TransactionGuard

TransactionGuard::TransactionGuard(Transaction &tr)
    : m_tr(tr)
{
    if (!tr.isConnected()) {
        tr.sqlCode = -1;
        tr.sqlErrText = QStringLiteral("transaction not connected");
        return;
    }
    if (tr.inTransaction()) {
        static QAtomicInteger<quint64> counter = 0;
        m_savepoint = QStringLiteral("wip_guard_%1").arg(counter.fetchAndAddOrdered(1) + 1);
        m_active = tr.savepoint(m_savepoint);
    } else {
        // New work of its own: a loss of earlier work was answered when it failed.
        tr.m_workLost = false;
        m_active = tr.begin();
    }
    m_losses = tr.m_losses;
}

TransactionGuard::~TransactionGuard()
{
    if (m_active)
        rollback();
}

bool TransactionGuard::lostOnTheWay()
{
    if (m_tr.m_losses == m_losses)
        return false;
    // The guarded work went with the connection; what was written after the
    // reconnect is only part of it.
    m_tr.abandonWork();
    if (m_savepoint.isEmpty())
        m_tr.m_workLost = false;    // the work was the guard's own, and this answers for it
    return true;
}

bool TransactionGuard::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    if (lostOnTheWay()) {
        m_tr.setError(lostText(QStringLiteral("the guarded work is not saved")));
        return false;
    }
    if (!m_savepoint.isEmpty())
        return m_tr.releaseSavepoint(m_savepoint);
    return m_tr.commit();
}

void TransactionGuard::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    if (lostOnTheWay())
        return;
    if (!m_savepoint.isEmpty()) {
        // Back to where the caller's work stood, and the savepoint gone.
        if (m_tr.rollbackToSavepoint(m_savepoint))
            m_tr.releaseSavepoint(m_savepoint);
        return;
    }
    m_tr.rollback();
}

// ---------------------------------------------------------------------------

bool db_connect(Transaction &tr, const QString &cn_dbms, const QString &cn_database,
                const QString &cn_logpass, const QString &cn_servername, const QString &cn_logid,
                bool cn_autocommit, const QString &cn_dbparm)
{
    ConnectionSettings s;
    s.dbms = cn_dbms;
    s.database = cn_database;
    s.logPass = cn_logpass;
    s.serverName = cn_servername;
    s.logId = cn_logid;
    s.autoCommit = cn_autocommit;
    s.dbParm = cn_dbparm;
    tr.settings = s;
    tr.connect();
    return tr.isConnected();
}

ConnectionSettings &applicationConnection()
{
    static ConnectionSettings settings;
    return settings;
}

} // namespace wip
