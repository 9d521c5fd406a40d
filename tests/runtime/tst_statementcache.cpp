#include "runtime/cursor.h"
#include "runtime/statementcache.h"
#include "runtime/transaction.h"
#include "testdatabase.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>

#include <functional>

using namespace wip;
using namespace wip::test;

// Embedded statements run again and again on one connection (kept prepared on
// SQLite): the rows of each run, other connections' commits, nested cursors, schema
// changes, reconnecting and failures. On PostgreSQL the same behaviour is expected
// of statements prepared anew.
class TestStatementCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void otherValuesGiveTheirOwnRows_data() { addEngineRows(); }
    void otherValuesGiveTheirOwnRows();
    void keptStatementsHoldNoSnapshot();
    void nestedCursorsOfOneText_data();
    void nestedCursorsOfOneText();
    void schemaChangesBetweenRuns_data() { addEngineRows(); }
    void schemaChangesBetweenRuns();
    void reconnectingDropsKeptStatements();
    void failuresAreReportedAndTheNextRunWorks_data() { addEngineRows(); }
    void failuresAreReportedAndTheNextRunWorks();
    void keepsTheLatestUsedAndLendsEachOnce();
};

namespace {

const QString kInsert = QStringLiteral("INSERT INTO item (id, grp, qty) VALUES (?, ?, ?)");
const QString kIdsOfGroup = QStringLiteral("SELECT id FROM item WHERE grp = ? AND qty >= ? ORDER BY id");

// A transaction on db's database with the table item of rows (id, grp, qty).
bool openWithItems(TestDatabase &db, Transaction &tr, const QList<QVariantList> &rows, bool autoCommit = true)
{
    tr.settings = db.settings();
    tr.settings.autoCommit = autoCommit;
    if (!tr.connect() || !tr.execute(QStringLiteral("CREATE TABLE item (id integer, grp varchar(8), qty integer)")))
        return false;
    for (const QVariantList &row : rows) {
        if (!tr.execute(kInsert, row))
            return false;
    }
    return tr.commit();
}

QList<int> ids(Transaction &tr, const QString &sql, const QVariantList &values)
{
    QList<int> found;
    Cursor c(tr, sql, values);
    if (!c.open())
        return {-1};
    while (const auto row = c.fetch())
        found << row->at(0).toInt();
    return found;
}

const QList<QVariantList> kItems = {{1, "A", 5}, {2, "A", 1}, {3, "B", 7}, {4, "A", 9}, {5, "B", QVariant()}};

} // namespace

void TestStatementCache::otherValuesGiveTheirOwnRows()
{
    WIP_TEST_DATABASE(db);
    Transaction tr;
    QVERIFY2(openWithItems(db, tr, kItems), qPrintable(tr.sqlErrText));
    struct Case { QString grp; int minQty; QList<int> ids; };
    const Case cases[] = {{"A", 0, {1, 2, 4}}, {"B", 0, {3}}, {"A", 5, {1, 4}}, {"C", 0, {}}, {"A", 9, {4}}, {"B", 7, {3}}};
    for (int round = 0; round < 2; ++round) {
        for (const Case &c : cases) {
            QCOMPARE(ids(tr, kIdsOfGroup, {c.grp, c.minQty}), c.ids);
            const auto count = tr.selectInto(QStringLiteral("SELECT count(*) FROM item WHERE grp = ? AND qty >= ?"),
                                             {c.grp, c.minQty});
            QCOMPARE(count ? count->at(0).toInt() : -1, c.ids.size());
            QVERIFY(tr.execute(QStringLiteral("UPDATE item SET qty = qty WHERE grp = ? AND qty >= ?"), {c.grp, c.minQty}));
            QCOMPARE(tr.sqlNRows, c.ids.size());
        }
    }
}

// A reader's kept statements, however they were left, hold no read snapshot: what
// another connection commits is seen, and its checkpoint is not held back.
void TestStatementCache::keptStatementsHoldNoSnapshot()
{
    const std::pair<const char *, std::function<void(Transaction &)>> leftOver[] = {
        {"select into, rows left", [](Transaction &tr) { tr.selectInto(kIdsOfGroup, {"A", 0}); }},
        {"cursor closed early", [](Transaction &tr) { Cursor c(tr, kIdsOfGroup, {"A", 0}); c.open(); c.fetch(); c.close(); }},
        {"cursor destroyed open", [](Transaction &tr) { Cursor c(tr, kIdsOfGroup, {"A", 0}); c.open(); c.fetch(); }},
        {"cursor read to the end", [](Transaction &tr) { ids(tr, kIdsOfGroup, {"A", 0}); }},
    };
    for (const auto &[name, leave] : leftOver) {
        TestDatabase db(Engine::SQLite, false);
        Transaction reader, writer;
        QVERIFY2(openWithItems(db, reader, kItems, false), name);
        writer.settings = reader.settings;
        QVERIFY(writer.connect());
        leave(reader);
        QVERIFY2(reader.sqlCode >= 0, qPrintable(reader.sqlErrText));
        QVERIFY(writer.execute(kInsert, {6, "A", 3}));
        QVERIFY(writer.commit());
        const auto count = reader.selectInto(QStringLiteral("SELECT count(*) FROM item WHERE qty >= ?"), {0});
        QVERIFY2(count && count->at(0).toInt() == 5, name);
        const auto checkpoint = writer.selectInto(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        QVERIFY2(checkpoint && checkpoint->at(0).toInt() == 0, name);   // not busy
    }
}

// SQLite only: Qt's PostgreSQL driver reads a forward-only query row by row, so a
// second query on the connection discards what the first had still to read.
void TestStatementCache::nestedCursorsOfOneText_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
}

void TestStatementCache::nestedCursorsOfOneText()
{
    WIP_TEST_DATABASE(db);
    Transaction tr;
    QVERIFY2(openWithItems(db, tr, kItems), qPrintable(tr.sqlErrText));
    QStringList pairs;
    Cursor outer(tr, kIdsOfGroup, {"A", 0});
    QVERIFY(outer.open());
    while (const auto o = outer.fetch()) {
        for (const int inner : ids(tr, kIdsOfGroup, {"B", 0}))
            pairs << QStringLiteral("%1-%2").arg(o->at(0).toInt()).arg(inner);
        // The same text once more, left open while the outer one goes on.
        Cursor open(tr, kIdsOfGroup, {"A", 9});
        QVERIFY(open.open());
    }
    QCOMPARE(tr.sqlCode, 100);
    QCOMPARE(pairs, QStringList({"1-3", "2-3", "4-3"}));
    QVERIFY(outer.open());      // opened again: from the first row
    const auto first = outer.fetch();
    QVERIFY(first);
    QCOMPARE(first->at(0).toInt(), 1);
    QCOMPARE(ids(tr, kIdsOfGroup, {"A", 0}), QList<int>({1, 2, 4}));
}

void TestStatementCache::schemaChangesBetweenRuns()
{
    WIP_TEST_DATABASE(db);
    Transaction tr;
    QVERIFY2(openWithItems(db, tr, kItems), qPrintable(tr.sqlErrText));
    const QString byId = QStringLiteral("SELECT * FROM item WHERE id = ?");
    const std::pair<QString, QVariantList> steps[] = {
        {QString(), {1, "A", 5}},
        {QStringLiteral("ALTER TABLE item ADD COLUMN note varchar(8)"), {1, "A", 5, QVariant()}},
        {QStringLiteral("UPDATE item SET note = 'x'"), {1, "A", 5, "x"}},
        {QStringLiteral("DROP TABLE item"), {}},
        {QStringLiteral("CREATE TABLE item (id integer, label varchar(8))"), {}},
        {QStringLiteral("INSERT INTO item VALUES (1, 'ring')"), {1, "ring"}},
    };
    for (const auto &[ddl, row] : steps) {
        if (!ddl.isEmpty())
            QVERIFY2(tr.execute(ddl), qPrintable(tr.sqlErrText));
        const auto got = tr.selectInto(byId, {1});
        if (row.isEmpty()) {
            QVERIFY2(!got, qPrintable(ddl));
            continue;
        }
        QVERIFY2(got, qPrintable(QString(ddl + tr.sqlErrText)));
        QCOMPARE(got->size(), row.size());
        for (qsizetype i = 0; i < row.size(); ++i)
            QCOMPARE(got->at(i).toString(), row.at(i).toString());
        // Named columns: the kept statement is prepared again by SQLite itself.
        const auto named = tr.selectInto(QStringLiteral("SELECT id FROM item WHERE id = ?"), {1});
        QVERIFY2(named && named->at(0).toInt() == 1, qPrintable(tr.sqlErrText));
    }
}

void TestStatementCache::reconnectingDropsKeptStatements()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use")));
    TestDatabase first(Engine::SQLite, false), second(Engine::SQLite, false);
    Transaction tr;
    QVERIFY(openWithItems(second, tr, {{7, "A", 1}}));
    QVERIFY(openWithItems(first, tr, kItems));     // connected again, under the same name
    const std::pair<const char *, std::function<bool()>> breaks[] = {
        {"none", [] { return true; }},
        {"closed under it", [&] { tr.database().close(); return true; }},
        {"other file", [&] { tr.settings = second.settings(); return tr.connect(); }},
        {"disconnected", [&] { tr.disconnect(); tr.settings = first.settings(); return tr.connect(); }},
    };
    const QList<int> expected[] = {{1, 2, 4}, {1, 2, 4}, {7}, {1, 2, 4}};
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(breaks[i].second(), breaks[i].first);
        QCOMPARE(ids(tr, kIdsOfGroup, {"A", 0}), expected[i]);
        const auto one = tr.selectInto(kIdsOfGroup, {"A", 0});
        QVERIFY2(one && one->at(0).toInt() == expected[i].first(), qPrintable(tr.sqlErrText));
    }
}

void TestStatementCache::failuresAreReportedAndTheNextRunWorks()
{
    WIP_TEST_DATABASE(db);
    Transaction tr;
    QVERIFY2(openWithItems(db, tr, {}), qPrintable(tr.sqlErrText));
    QVERIFY(tr.execute(QStringLiteral("CREATE UNIQUE INDEX item_id ON item (id)")));
    const QString later = QStringLiteral("INSERT INTO later (id) VALUES (?)");
    struct Case { const char *name; QString sql; QVariantList good, bad, again; QString setUp; };
    const Case cases[] = {
        {"duplicate key", kInsert, {1, "A", 1}, {1, "B", 2}, {2, "B", 2}, {}},
        {"values missing", kInsert, {3, "A", 1}, {4, "A"}, {4, "A", 1}, {}},
        {"too many values", kInsert, {5, "A", 1}, {6, "A", 1, 9}, {6, "A", 1}, {}},
        {"no such table yet", later, {}, {1}, {1}, QStringLiteral("CREATE TABLE later (id integer)")},
    };
    for (const Case &c : cases) {
        if (!c.good.isEmpty())
            QVERIFY2(tr.execute(c.sql, c.good), qPrintable(tr.sqlErrText));
        QVERIFY2(!tr.execute(c.sql, c.bad), c.name);
        QCOMPARE(tr.sqlCode, -1);
        QVERIFY2(tr.sqlErrText.endsWith(QString(QLatin1Char('[') + c.sql + QLatin1Char(']'))), qPrintable(tr.sqlErrText));
        if (!c.setUp.isEmpty())
            QVERIFY(tr.execute(c.setUp));
        QVERIFY2(tr.execute(c.sql, c.again), qPrintable(tr.sqlErrText));
        QCOMPARE(tr.sqlCode, 0);
        QCOMPARE(tr.sqlNRows, 1);
    }
    const auto rows = tr.selectInto(QStringLiteral("SELECT count(*), sum(id) FROM item WHERE id > ?"), {0});
    QVERIFY(rows);
    QCOMPARE(rows->at(0).toInt(), 6);
    QCOMPARE(rows->at(1).toInt(), 1 + 2 + 3 + 4 + 5 + 6);
}

void TestStatementCache::keepsTheLatestUsedAndLendsEachOnce()
{
    TestDatabase db(Engine::SQLite, false);
    Transaction tr;
    QVERIFY(openWithItems(db, tr, kItems));
    const QSqlDatabase conn = tr.database();
    StatementCache cache(2);
    const auto take = [&](int n) {
        return cache.take(conn, QStringLiteral("SELECT id FROM item WHERE id = ? AND %1 = %1").arg(n), 1);
    };
    const std::pair<const char *, bool> stars[] = {
        {"SELECT * FROM item WHERE id = ?", true}, {"select i.* from item i where id = ?", true},
        {"SELECT DISTINCT * FROM item WHERE id = ?", true}, {"SELECT id, * FROM item WHERE id = ?", true},
        {"SELECT count(*) FROM item WHERE id = ?", false}, {"SELECT qty * 2 FROM item WHERE id = ?", false},
        {"SELECT id /* the bag */ FROM item WHERE id = ?", false}};
    for (const auto &[sql, all] : stars) {
        QCOMPARE(StatementCache::selectsAllColumns(QString::fromLatin1(sql)), all);
        QCOMPARE(cache.take(conn, QString::fromLatin1(sql), 1).isKept(), !all);
    }
    cache.clear();
    QVERIFY(!cache.take(conn, QStringLiteral("SELECT nothing FROM nowhere WHERE id = ?"), 1).prepared());
    QCOMPARE(cache.size(), 0);                  // a failed prepare is not kept

    QSqlQuery *one = &take(1).query();
    StatementCache::Lease two = take(2);        // lent out while it goes from the cache
    QVERIFY(two.isKept());
    QCOMPARE(&take(1).query(), one);            // kept, and used last now
    QVERIFY(take(3).isKept());
    QVERIFY(!two.isKept());                     // used longest ago
    QCOMPARE(cache.size(), 2);
    QCOMPARE(&take(1).query(), one);
    QVERIFY(&take(2).query() != &two.query());  // prepared again

    StatementCache::Lease held = take(1);
    QCOMPARE(&held.query(), one);
    StatementCache::Lease second = take(1);     // not lent twice
    QVERIFY(second.prepared() && !second.isKept() && &second.query() != one);
    QVERIFY(held.exec({1}, DbKind::SQLite) && second.exec({4}, DbKind::SQLite));
    QVERIFY(held.query().next() && second.query().next());
    QCOMPARE(held.query().value(0).toInt() * 10 + second.query().value(0).toInt(), 14);
    held.release();
    second.release();
    QCOMPARE(&take(1).query(), one);
    cache.clear();
}

QTEST_GUILESS_MAIN(TestStatementCache)
#include "tst_statementcache.moc"
