#pragma once

#include "runtime/connectionsettings.h"
#include "runtime/connectionstate.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <optional>

namespace wip {

// A transaction object: one named database connection with the status fields of
// the last embedded statement (sqlCode 0 ok, 100 no row, -1 error; sqlNRows rows
// touched; sqlErrText). Not copyable; SQLCA is the application's default one.
// Where the connection stands (connected, in a transaction, work lost,
// disconnected) is its ConnectionState, which only the transaction moves.
//
// With autoCommit false (the default) work is grouped as embedded SQL expects: a
// database transaction is begun just before the first write (execute()) and ended by
// COMMIT/ROLLBACK; DISCONNECT commits open work. It is not begun on connect or by a
// read: an SQLite WAL reader inside a transaction keeps its old snapshot and would
// never see what other connections commit. With autoCommit true every statement
// stands alone. Embedded SQL never throws; callers examine sqlCode.
//
// When the PostgreSQL server drops the connection (stopped, restarted, the network
// gone), the statement that meets the loss fails as usual (sqlCode -1, sqlErrText
// saying the connection was lost) and open work is lost (ConnectionState::WorkLost):
// the server has rolled it back. The next statement, and the next database() of a
// DataStore, connects again with the same settings before it runs. Before each
// statement the server probe asks libpq, without waiting, whether the server closed
// the connection meanwhile, so a loss during a pause is found before anything is
// sent; a PostgreSQL connection gives up connecting after connect_timeout (10 s
// unless dbParm names one). A statement that may have run is never re-run; only a
// BEGIN that found the connection gone is repeated on the new one. Lost work is
// never reported as saved: COMMIT answers with a failure (and rolls back what was
// written after the reconnect), and so do a TransactionGuard's commit and DISCONNECT.
class Transaction
{
public:
    Transaction();
    ~Transaction();                       // disconnects (commits) when still connected
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // The application's default transaction. When the program ends, SQLCA is
    // disconnected, which commits its open work. Other transactions belong to a
    // handler or a window and must be gone before the application object is.
    static Transaction &sqlca();

    ConnectionSettings settings;

    bool connect();                       // CONNECT with settings; false and sqlErrText on failure
    void disconnect();                    // DISCONNECT: commits open work, closes
    // Stays true after a lost connection: the next statement reconnects.
    bool isConnected() const { return m_state.isConnected(); }
    DbKind kind() const;
    const ConnectionState &state() const { return m_state; }
    bool inTransaction() const { return m_state.inTransaction(); }
    bool hasOpenWork() const { return m_state.hasOpenWork(); }
    // The Qt connection (invalid when not connected). When the server dropped it,
    // it is connected again first (see ConnectionState for lost work), so a
    // DataStore's own queries reach the server once it is back.
    QSqlDatabase database() const;
    QString connectionName() const;

    // Embedded SQL. Every value is a bound value: "?" placeholders, in order.
    // QDate/QDateTime values are converted for the connection's kind (see sqlvalue.h).
    bool execute(const QString &sql, const QVariantList &values = {});   // UPDATE/DELETE/INSERT/DDL
    // SELECT ... INTO: first row's values; sqlCode 100 and nullopt when no row.
    std::optional<QVariantList> selectInto(const QString &sql, const QVariantList &values = {});
    bool commit();                        // COMMIT (the next write begins the next transaction)
    bool rollback();                      // ROLLBACK (the next write begins the next transaction)

    // Begins a database transaction now, also with autoCommit true (TransactionGuard).
    bool begin();
    // Begins a transaction that only reads, so that several statements see the
    // database as it stood at the first of them (a report read more than once):
    // a deferred BEGIN on SQLite, which keeps no lock from writers, and a
    // repeatable, read-only one on PostgreSQL. End it with rollback(). False
    // (status set) when work is open: it goes on inside that work.
    bool beginReading();
    // Begins one when autoCommit is false and none is open: call it before writing
    // through database() directly (a DataStore's save), as execute() does.
    bool beginIfManual();
    // Ends open work, lost or not, with a ROLLBACK where a connection holds it,
    // leaving the status of the last statement as it is (a guard giving up).
    void abandonWork();
    // The status of work that went with a lost connection, saying why it is not saved.
    void reportLostWork(const QString &detail);

    // Savepoints, for work that must be whole inside an open transaction.
    bool savepoint(const QString &name);
    bool releaseSavepoint(const QString &name);
    bool rollbackToSavepoint(const QString &name);

    // Statements that others run on database() (a cursor, a DataStore's query)
    // report here, so that the status fields and a lost connection are handled as
    // for the transaction's own statements.
    // Before it runs: the statement hook, and the connection made again when it
    // was lost. False (status set) when the statement cannot run.
    bool aboutToRun(const QString &sql);
    void statementDone(long long rows);   // sqlCode 0
    void noRow();                         // sqlCode 100
    // sqlCode -1 with the text; when the connection turns out lost, the text says so.
    void statementFailed(const QString &text);
    // sqlCode -1 with the text, for a failure that is not the connection's (a
    // cursor not open, a DataStore's save rolled back).
    void reportFailure(const QString &text);

    int sqlCode = 0;
    long long sqlNRows = 0;
    QString sqlErrText;

    // Test hook: called with each statement's text just before the transaction
    // sends it (embedded statements, cursors, BEGIN, COMMIT, ROLLBACK, savepoints),
    // so a test can stop the database server between two statements of a handler.
    // Empty in the application; statements a DataStore sends itself do not pass here.
    using StatementHook = std::function<void(Transaction &tr, const QString &sql)>;
    static void setStatementHook(StatementHook hook);

    // Set-up every connection gets when it is opened (and opened again), before
    // its first statement: what a library makes known on the connection (the
    // report engine's exact sums on SQLite). Added once, when the program starts;
    // run in the order added.
    using ConnectionSetup = std::function<void(const QSqlDatabase &db, DbKind kind)>;
    static void addConnectionSetup(ConnectionSetup setup);

private:
    void setError(const QString &text);
    bool notConnected();                                  // status set when not connected

    bool runControl(const QString &sql);
    // RELEASE or ROLLBACK TO a savepoint of the open work.
    bool endSavepoint(const QString &command, const QString &name);
    void callHook(const QString &sql);
    bool ensureOpen();                                    // before a statement: reconnects when it may
    bool reopen();
    bool checkLost();                                     // after a failure: whether the connection went

    QString m_connectionName;
    ConnectionState m_state;
};

// db_connect of the application: gives tr these settings and connects it.
bool db_connect(Transaction &tr, const QString &cn_dbms, const QString &cn_database,
                const QString &cn_logpass, const QString &cn_servername, const QString &cn_logid,
                bool cn_autocommit, const QString &cn_dbparm);

} // namespace wip
