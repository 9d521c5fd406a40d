#include "runtime/transaction.h"

#include "runtime/sqlvalue.h"
#include "runtime/trace.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>

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
            db.setConnectOptions(settings.dbParm);
        }
        opened = db.open();
        if (!opened) {
            failure = driverError(db.lastError());
        } else if (k == DbKind::SQLite) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
                || !q.exec(QStringLiteral("PRAGMA foreign_keys=OFF"))) {
                failure = driverError(q.lastError());
                opened = false;
            }
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
    if (m_inTransaction && !runControl(QStringLiteral("COMMIT")))
        runControl(QStringLiteral("ROLLBACK"));
    m_inTransaction = false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connected = false;
    setOk(0);
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
    return QSqlDatabase::database(m_connectionName, false);
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
    QSqlQuery query(database());
    if (!runStatement(query, sql, values, kind())) {
        setError(driverError(query.lastError()) + QStringLiteral(" [") + sql + QLatin1Char(']'));
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
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!runStatement(query, sql, values, kind())) {
        setError(driverError(query.lastError()) + QStringLiteral(" [") + sql + QLatin1Char(']'));
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
    if (!m_inTransaction) {
        setOk(0);
        return true;
    }
    const bool ok = runControl(QStringLiteral("COMMIT"));
    if (!ok) {
        // A failed COMMIT leaves the work undone; end the transaction so the next
        // write does not run inside it.
        runControl(QStringLiteral("ROLLBACK"));
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
    if (!m_inTransaction) {
        setOk(0);
        return true;
    }
    const bool ok = runControl(QStringLiteral("ROLLBACK"));
    m_inTransaction = false;
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
    const bool ok = runControl(kind() == DbKind::SQLite ? QStringLiteral("BEGIN IMMEDIATE")
                                                        : QStringLiteral("BEGIN"));
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
    if (!isPlainIdentifier(name)) {
        setError(QStringLiteral("invalid savepoint name \"%1\"").arg(name));
        return false;
    }
    return runControl(QStringLiteral("RELEASE SAVEPOINT ") + name);
}

bool Transaction::rollbackToSavepoint(const QString &name)
{
    if (!isPlainIdentifier(name)) {
        setError(QStringLiteral("invalid savepoint name \"%1\"").arg(name));
        return false;
    }
    return runControl(QStringLiteral("ROLLBACK TO SAVEPOINT ") + name);
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
    QSqlQuery query(database());
    if (!query.exec(sql)) {
        setError(driverError(query.lastError()) + QStringLiteral(" [") + sql + QLatin1Char(']'));
        return false;
    }
    setOk(0);
    return true;
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
    d->query.emplace(tr.database());
    d->query->setForwardOnly(true);
    if (!runStatement(*d->query, d->sql, d->values, tr.kind())) {
        tr.setError(driverError(d->query->lastError()) + QStringLiteral(" [") + d->sql + QLatin1Char(']'));
        d->query.reset();
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
            tr.setError(driverError(d->query->lastError()));
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
        m_active = tr.begin();
    }
}

TransactionGuard::~TransactionGuard()
{
    if (m_active)
        rollback();
}

bool TransactionGuard::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    if (!m_savepoint.isEmpty())
        return m_tr.releaseSavepoint(m_savepoint);
    return m_tr.commit();
}

void TransactionGuard::rollback()
{
    if (!m_active)
        return;
    m_active = false;
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
