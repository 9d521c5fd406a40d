#include "runtime/transaction.h"

#include "runtime/boundstatement.h"
#include "runtime/lostconnectionprobe.h"
#include "runtime/statementcache.h"
#include "runtime/trace.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <mutex>
#include <vector>

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

struct ConnectionSetups
{
    std::mutex mutex;
    std::vector<Transaction::ConnectionSetup> setups;
};

ConnectionSetups &connectionSetups()
{
    static ConnectionSetups setups;
    return setups;
}

void disconnectSqlcaAtExit()
{
    Transaction::sqlca().disconnect();
}

// What a connection needs after it is opened; the failure, or an empty text.
QString prepareOpened(QSqlDatabase &db, DbKind kind)
{
    if (kind == DbKind::SQLite) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.exec(QStringLiteral("PRAGMA foreign_keys=OFF")))
            return BoundStatement::errorText(q.lastError());
    }
    ConnectionSetups &s = connectionSetups();
    const std::lock_guard lock(s.mutex);
    for (const Transaction::ConnectionSetup &setup : s.setups)
        setup(db, kind);
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

// Gives a new Qt connection its settings; SQLite's file (and folder) is created when missing.
void configure(QSqlDatabase &db, const ConnectionSettings &settings)
{
    if (settings.kind() == DbKind::SQLite) {
        const QFileInfo info(settings.database);
        if (settings.database != QLatin1String(":memory:"))
            QDir().mkpath(info.absolutePath());
        db.setDatabaseName(settings.database);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        return;
    }
    settings.applyServer(db, settings.database);
    db.setConnectOptions(postgresOptions(settings.dbParm));
}

// SQLite takes the write lock at once (waiting for the busy timeout), so a later
// write of the transaction cannot fail on a stale snapshot.
QString beginStatement(DbKind kind)
{
    return kind == DbKind::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
}

} // namespace

Transaction::Transaction()
    : m_connectionName(nextConnectionName())
{
}

Transaction::~Transaction()
{
    disconnect();
}

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

bool Transaction::connect()
{
    if (isConnected())
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

    QString failureText;
    StatementCache::drop(m_connectionName);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
                k == DbKind::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_connectionName);
        configure(db, settings);
        failureText = db.open() ? prepareOpened(db, k) : BoundStatement::errorText(db.lastError());
        if (!failureText.isEmpty())
            db.close();
    }
    if (!failureText.isEmpty()) {
        QSqlDatabase::removeDatabase(m_connectionName);
        setError(QStringLiteral("cannot connect to %1: %2").arg(settings.toUrl(false), failureText));
        return false;
    }

    m_state.connected();
    if (this == &sqlca()) {
        // SQLCA is disconnected (its work committed) when the application object goes
        // away, while the driver still works: Qt SQL's own clean-up routine, added
        // when its drivers are first used, runs before the routines added earlier, so
        // ours is added again after every connect.
        qRemovePostRoutine(disconnectSqlcaAtExit);
        qAddPostRoutine(disconnectSqlcaAtExit);
    }
    statementDone(0);
    return true;
}

void Transaction::disconnect()
{
    if (!isConnected())
        return;
    // DISCONNECT commits open work; work that went with a lost connection, and
    // whatever was written after it, is rolled back and the failure kept.
    QString failureText;
    if (m_state.workLost()) {
        failureText = lostText(QStringLiteral("the work of this transaction is not saved"));
    } else if (m_state.inTransaction()) {
        if (runControl(QStringLiteral("COMMIT")))
            m_state.ended();
        else
            failureText = sqlErrText;
    }
    abandonWork();
    StatementCache::drop(m_connectionName);
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_state.disconnected();
    if (failureText.isEmpty())
        statementDone(0);
    else
        setError(failureText);
}

DbKind Transaction::kind() const
{
    return isConnected() ? settings.kind() : DbKind::None;
}

QSqlDatabase Transaction::database() const
{
    if (!isConnected())
        return QSqlDatabase();
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen() || LostConnectionProbe::droppedWhileIdle(db)) {
        // The server went away. Reopened in place, so every copy of the handle (a
        // DataStore's query) reaches the new connection. A Transaction is never a
        // const object; only its connection changes here.
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
    if (notConnected() || !beginIfManual() || !aboutToRun(sql))
        return false;
    StatementCache::Lease st;
    if (!BoundStatement::start(st, QSqlDatabase::database(m_connectionName, false), m_connectionName, kind(), sql,
                               values, false)) {
        statementFailed(BoundStatement::errorText(st.query().lastError()) + QStringLiteral(" [") + sql + QLatin1Char(']'));
        return false;
    }
    const int rows = st.query().numRowsAffected();
    statementDone(rows < 0 ? 0 : rows);
    return true;
}

std::optional<QVariantList> Transaction::selectInto(const QString &sql, const QVariantList &values)
{
    if (!aboutToRun(sql))
        return std::nullopt;
    StatementCache::Lease st;
    if (!BoundStatement::start(st, QSqlDatabase::database(m_connectionName, false), m_connectionName, kind(), sql,
                               values, true)) {
        statementFailed(BoundStatement::errorText(st.query().lastError()) + QStringLiteral(" [") + sql + QLatin1Char(']'));
        return std::nullopt;
    }
    if (!st.query().next()) {
        if (st.query().lastError().isValid())
            st.discard();
        noRow();
        return std::nullopt;
    }
    QVariantList row = BoundStatement::currentRow(st.query());
    statementDone(1);
    return row;     // st given back and reset: the rest of the rows are not read
}

bool Transaction::commit()
{
    if (notConnected())
        return false;
    if (m_state.workLost()) {
        // The work this COMMIT stands for went with the lost connection: it is not
        // saved, and what was written on the new connection would be only part of it.
        abandonWork();
        reportLostWork(QStringLiteral("COMMIT came after the loss; nothing of this work is saved"));
        return false;
    }
    if (!m_state.inTransaction()) {
        statementDone(0);
        return true;
    }
    if (!runControl(QStringLiteral("COMMIT"))) {
        // A failed COMMIT leaves the work undone; end it so the next write does not
        // run inside it. The COMMIT's failure stays the status.
        abandonWork();
        return false;
    }
    m_state.ended();
    return true;
}

bool Transaction::rollback()
{
    if (notConnected())
        return false;
    if (m_state.workLost()) {
        // ROLLBACK answers for work lost with the connection: it is undone either way.
        abandonWork();
        statementDone(0);
        return true;
    }
    if (!m_state.inTransaction()) {
        statementDone(0);
        return true;
    }
    const bool ok = runControl(QStringLiteral("ROLLBACK"));
    m_state.ended();
    return ok;
}

bool Transaction::begin()
{
    if (notConnected())
        return false;
    if (m_state.hasOpenWork()) {
        // Lost work goes on inside the transaction its reconnect begins.
        statementDone(0);
        return true;
    }
    const QString sql = beginStatement(kind());
    const quint64 losses = m_state.losses();
    bool ok = runControl(sql);
    if (!ok && m_state.losses() != losses) {
        // The connection had gone while idle (a server restart): BEGIN did nothing
        // there, so it is safe to run it again on a new connection.
        ok = runControl(sql);
    }
    if (ok)
        m_state.begun();
    return ok;
}

bool Transaction::beginReading()
{
    if (notConnected())
        return false;
    if (m_state.hasOpenWork()) {
        setError(QStringLiteral("work is open: reading goes on inside it"));
        return false;
    }
    const QString sql = kind() == DbKind::SQLite
        ? QStringLiteral("BEGIN DEFERRED")
        : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    const quint64 losses = m_state.losses();
    bool ok = runControl(sql);
    if (!ok && m_state.losses() != losses)
        ok = runControl(sql);   // as begin(): the connection had gone while idle
    if (ok)
        m_state.begun();
    return ok;
}

bool Transaction::beginIfManual()
{
    if (settings.autoCommit || m_state.hasOpenWork())
        return true;
    return begin();
}

void Transaction::abandonWork()
{
    if (m_state.hasOpenWork()) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("ROLLBACK"));
        }
    }
    m_state.ended();
}

void Transaction::reportLostWork(const QString &detail)
{
    setError(lostText(detail));
}

bool Transaction::savepoint(const QString &name)
{
    if (!isPlainIdentifier(name)) {
        setError(QStringLiteral("invalid savepoint name \"%1\"").arg(name));
        return false;
    }
    if (notConnected() || (!m_state.hasOpenWork() && !begin()))
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
    if (!m_state.hasOpenWork()) {
        setError(QStringLiteral("no open work holds the savepoint \"%1\"").arg(name));
        return false;
    }
    return runControl(command + name);
}

bool Transaction::aboutToRun(const QString &sql)
{
    if (notConnected())
        return false;
    callHook(sql);
    return ensureOpen();
}

void Transaction::statementDone(long long rows)
{
    sqlCode = 0;
    sqlNRows = rows;
    sqlErrText.clear();
}

void Transaction::noRow()
{
    sqlCode = 100;
    sqlNRows = 0;
    sqlErrText.clear();
}

void Transaction::statementFailed(const QString &text)
{
    setError(checkLost() ? lostText(text) : text);
}

void Transaction::reportFailure(const QString &text)
{
    setError(text);
}

void Transaction::setError(const QString &text)
{
    sqlCode = -1;
    sqlNRows = 0;
    sqlErrText = text;
    Trace::write(QStringLiteral("Database error (%1): %2").arg(m_connectionName, text));
}

bool Transaction::notConnected()
{
    if (isConnected())
        return false;
    setError(QStringLiteral("transaction not connected"));
    return true;
}

bool Transaction::runControl(const QString &sql)
{
    if (!aboutToRun(sql))
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(sql)) {
        statementFailed(BoundStatement::errorText(query.lastError()) + QStringLiteral(" [") + sql + QLatin1Char(']'));
        return false;
    }
    statementDone(0);
    return true;
}

void Transaction::addConnectionSetup(ConnectionSetup setup)
{
    ConnectionSetups &s = connectionSetups();
    const std::lock_guard lock(s.mutex);
    s.setups.push_back(std::move(setup));
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
    const bool dropped = LostConnectionProbe::droppedWhileIdle(db);
    if (dropped) {
        StatementCache::drop(m_connectionName);
        db.close();     // Qt's driver would learn it only from a failed statement
    }
    if (db.isOpen())
        return true;
    switch (m_state.state()) {
    case ConnectionState::State::Disconnected:
        notConnected();
        return false;
    case ConnectionState::State::InTransaction:
        // This statement fails with the open work; the next one connects again.
        m_state.lost();
        setError(lostText(QStringLiteral("found closed before the next statement")));
        return false;
    case ConnectionState::State::Connected:
        m_state.lost();
        return reopen();
    case ConnectionState::State::WorkLost:
        // What runs now belongs to the lost work: inside a transaction of the new
        // connection, rolled back with the rest when the loss is answered.
        if (dropped)
            m_state.lost();
        if (!reopen())
            return false;
        callHook(beginStatement(settings.kind()));
        if (QSqlQuery query(db); !query.exec(beginStatement(settings.kind()))) {
            const QString text = BoundStatement::errorText(query.lastError());
            db.close();
            setError(lostText(QStringLiteral("cannot begin on the new connection: ") + text));
            return false;
        }
        return true;
    }
    return false;
}

bool Transaction::reopen()
{
    StatementCache::drop(m_connectionName);     // closing finalizes its statements
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    db.close();
    QString failureText = db.open() ? prepareOpened(db, settings.kind()) : BoundStatement::errorText(db.lastError());
    if (!failureText.isEmpty()) {
        db.close();
        setError(QStringLiteral("cannot connect to %1: %2").arg(settings.toUrl(false), failureText));
        return false;
    }
    Trace::write(QStringLiteral("Database connection %1 to %2 made again").arg(m_connectionName, settings.toUrl(false)));
    return true;
}

bool Transaction::checkLost()
{
    if (!isConnected() || settings.kind() != DbKind::PostgreSQL)
        return false;     // an SQLite file does not go away under its connection
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!LostConnectionProbe::droppedAfterFailure(db))
        return false;
    m_state.lost();
    return true;
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

} // namespace wip
