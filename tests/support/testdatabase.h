#pragma once

#include "runtime/transaction.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>

namespace wip::test {

enum class Engine { SQLite, PostgreSQL };

// The PostgreSQL server of the tests: the URL in WIP_TEST_POSTGRES, or empty.
QString postgresUrl();
bool postgresConfigured();

// For data-driven tests: adds the column "engine" (QString) and the rows "sqlite"
// and "postgresql". Fetch it with WIP_TEST_DATABASE(db) (below), which skips the
// PostgreSQL row with a clear message when WIP_TEST_POSTGRES is not set.
void addEngineRows();
Engine engineFromName(const QString &name);   // "sqlite" / "postgresql"

// A fresh, empty factory database for one test: the Wip schema, views and the
// day_wip department rows (no demo data). SQLite: a file in a temporary folder
// (WAL). PostgreSQL: a new database with a random name on the WIP_TEST_POSTGRES
// server, created with C collation and dropped in the destructor.
//
//     WIP_TEST_DATABASE(db);                         // in a test with addEngineRows()
//     QVERIFY(db.insert("proch", {{"scno", "KC1"}, {"qty", 5}}));
//     QCOMPARE(db.scalar("select sum(qty) from proch").toDouble(), 5.0);
//
// insert() and exec() commit at once, so other connections (SQLCA, a window's own
// transaction) see the rows.
class TestDatabase
{
public:
    using Values = QList<QPair<QString, QVariant>>;

    explicit TestDatabase(Engine engine = Engine::SQLite, bool withSchema = true);
    // A database as setUp leaves it. The first one of a key in this test process
    // is set up and then kept aside; every later one of the key is a copy of it
    // (the file copied on SQLite, CREATE DATABASE ... TEMPLATE on PostgreSQL),
    // which makes a case's database in a fraction of the time. setUp must
    // depend on nothing but the key.
    TestDatabase(Engine engine, const QString &key, const std::function<bool(TestDatabase &)> &setUp);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }       // why setting up or the last helper failed
    Engine engine() const { return m_engine; }
    DbKind kind() const;

    const ConnectionSettings &settings() const { return m_settings; }
    QString url() const;                             // ConnectionSettings::toUrl(true)
    Transaction &tr() { return m_tr; }

    // Points the application's connection settings (db_connect's cn_ values) at
    // this database and connects SQLCA to it. The destructor disconnects SQLCA.
    bool useAsApplicationDatabase();

    // INSERT one row; column names are checked to be plain identifiers; values bound.
    // A contract line (scond) without a line_no gets the next number of its
    // contract, as the program numbers the lines it makes.
    bool insert(const QString &table, const Values &values);
    // INSERTs the rows of a JSON file {"table": [{"column": value, ...}, ...], ...}
    // (keys starting with "_" are notes); texts of date-time columns are dates
    // "yyyy-mm-dd". False, with error(), at the first table, column or row that fails.
    bool insertRows(const QString &jsonFile);
    // Runs a statement with bound values and commits.
    bool exec(const QString &sql, const QVariantList &values = {});
    // First column of the first row; an invalid QVariant when there is no row or on error.
    QVariant scalar(const QString &sql, const QVariantList &values = {});
    // Every row of a query, each as its values in column order.
    QList<QVariantList> rows(const QString &sql, const QVariantList &values = {});

private:
    void make(const QString &key, const std::function<bool(TestDatabase &)> &setUp);
    void keep(const QString &fullKey);
    bool numberLine(const QString &table, Values *values);
    bool setUpSqlite();
    bool setUpPostgres(const QString &from);
    void fail(const QString &text);

    Engine m_engine;
    ConnectionSettings m_settings;
    ConnectionSettings m_server;                     // PostgreSQL: the maintenance database
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_pgName;
    Transaction m_tr;
    bool m_usedAsApplication = false;
    QString m_error;
};

} // namespace wip::test

// Inside a test function whose _data function called addEngineRows(): makes the
// TestDatabase `var` for the row's engine, skipping the PostgreSQL row when no
// server is configured and failing the test when the database cannot be made.
#define WIP_TEST_DATABASE(var)                                                                   \
    QFETCH(QString, engine);                                                                     \
    if (::wip::test::engineFromName(engine) == ::wip::test::Engine::PostgreSQL                   \
        && !::wip::test::postgresConfigured())                                                   \
        QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)"); \
    ::wip::test::TestDatabase var(::wip::test::engineFromName(engine));                          \
    QVERIFY2(var.isValid(), qPrintable(var.error()))
