#include "reports/datastore.h"
#include "reports/definitionloader.h"
#include "reports/sqliterowsource.h"
#include "runtime/values.h"
#include "testdatabase.h"

#include <QDate>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// The row sources of retrieval: on SQLite rows come through SQLite's own library
// when the build can, else (and on PostgreSQL) through Qt's driver. The rows must
// be the same, value for value and type for type, whichever source and whichever
// database gave them; and what a statement sees and how it fails must not change.
class TestSqliteReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { SqliteRowSource::setEnabled(true); }
    void bothPathsGiveTheSameRows();
    void everySourceOnBothDatabasesGivesTheSameValues_data() { test::addEngineRows(); }
    void everySourceOnBothDatabasesGivesTheSameValues();
    void failuresAndUncommittedWork();
    void figuresAskedOfTheDatabaseEqualTheRowsSums_data() { test::addEngineRows(); }
    void figuresAskedOfTheDatabaseEqualTheRowsSums();
    void sumsInQueriesAndViewsAreExact_data();
    void sumsInQueriesAndViewsAreExact();
};

namespace {

// Every kind of value a column may hold, with NULLs and texts that repeat (the
// reader shares a repeated text) or are empty.
const char *kDefinition = R"json({
  "name": "d_test_kinds", "layout": "tabular",
  "query": "select id, code, name, qty, n_text, started, ended, pic from kinds where code <> :skip order by id",
  "arguments": [{"name": "skip", "type": "string"}],
  "columns": [
    {"name": "id", "db": "kinds.id", "type": "number"},
    {"name": "code", "db": "kinds.code", "type": "string"},
    {"name": "name", "db": "kinds.name", "type": "string"},
    {"name": "qty", "db": "kinds.qty", "type": "number"},
    {"name": "n_text", "db": "kinds.n_text", "type": "number"},
    {"name": "started", "db": "kinds.started", "type": "date"},
    {"name": "ended", "db": "kinds.ended", "type": "datetime"},
    {"name": "pic", "db": "kinds.pic", "type": "string"}
  ],
  "computed": [{"name": "total", "expression": "sum(qty for all)", "band": "summary", "under": "qty"}]
})json";

bool fill(TestDatabase &db)
{
    if (!db.exec(QStringLiteral("create table kinds (id integer, code text, name text, qty real, n_text text, "
                                 "started text, ended text, pic blob)")))
        return false;
    const QVariantList rows[] = {
        {1, "04-执模", "张三", 2.5, "12", "2026-12-01 00:00:00", "2026-12-07 10:30:00", QByteArray("\x00\x01", 2)},
        {2, "04-执模", "张三", 3, "x", "2026-12-02", QVariant(), QVariant()},
        {3, "06-镶石", "", QVariant(), QVariant(), "not a date", "2026-02-30 00:00:00", QByteArray()},
        {4, "06-镶石", QVariant(), 123456789012.345, "1.5e3", QVariant(), "2026-12-07 23:59:59", QByteArray("bmp")},
        {5, "O'Brien 50%", "𠀀 non-BMP", -0.25, "", "2026-12-31 00:00:00", "", QVariant()},
        {6, "skip me", "x", 1, "1", "2026-01-01", "2026-01-01", QVariant()},
    };
    for (const QVariantList &r : rows) {
        if (!db.exec(QStringLiteral("insert into kinds values (?, ?, ?, ?, ?, ?, ?, ?)"), r))
            return false;
    }
    return true;
}

std::shared_ptr<const Definition> definition()
{
    QString error;
    auto def = DefinitionLoader::loadJson(QByteArray(kDefinition), QStringLiteral("d_test_kinds.json"), &error);
    if (!def)
        qWarning() << error;
    return def ? std::make_shared<const Definition>(*def) : nullptr;
}

// Steps as a factory records them: repeated codes and names, an empty text,
// weights that doubles do not hold exactly, times of day and NULLs.
bool fillSteps(TestDatabase &db)
{
    const QDateTime noon(QDate(2004, 3, 1), QTime(12, 30));
    const QVariantList rows[] = {
        {1, "KC2400021", "04-执模", "W01", "张三", noon, noon.addSecs(3600), 33917.85, "", QVariant()},
        {2, "KC2400021", "04-执模", "W01", "张三", noon, QDateTime(QDate(2004, 3, 1), QTime(23, 59, 59)), 0.585, "WS2", "O'Brien"},
        {3, "KC2400031", "06-镶石", "W02", QVariant(), QDateTime(QDate(2004, 3, 2), QTime(0, 0)), QVariant(), 1234.567, "WS3", "50%"},
        {4, "KC2400031", "06-镶石", "", "李四", QVariant(), QDateTime(QDate(1899, 12, 31), QTime(0, 0)), QVariant(), "WS3", "𠀀"},
        {5, "KC2400041", "20-出货", "W01", "张三", noon, noon, -0.25, "WS5", "x"},
    };
    for (const QVariantList &r : rows) {
        if (!db.insert(QStringLiteral("proch"),
                       {{"proch_id", r[0]}, {"scno", r[1]}, {"gongxu_code", r[2]}, {"changhao", r[3]}, {"xingming", r[4]},
                        {"sttime", r[5]}, {"edtime", r[6]}, {"qty", r[7]}, {"wsheetno", r[8]}, {"memo", r[9]}}))
            return false;
    }
    return true;
}

QString describe(const QVariant &v)
{
    return QStringLiteral("%1%2:%3").arg(QString::fromLatin1(v.typeName()), v.isNull() ? QStringLiteral("(null)") : QString(),
                                         v.toString());
}

} // namespace

void TestSqliteReader::bothPathsGiveTheSameRows()
{
    TestDatabase db(test::Engine::SQLite, false);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY2(fill(db), qPrintable(db.error()));
    const auto def = definition();
    QVERIFY(def);
    QVERIFY(SqliteRowSource::usable(db.tr().database()));

    auto read = [&](bool direct, QList<QStringList> &cells, double &total, int expected) {
        SqliteRowSource::setEnabled(direct);
        DataStore ds;
        ds.setDefinition(def);
        ds.SetTransObject(db.tr());
        QCOMPARE(ds.Retrieve({QStringLiteral("skip me")}), expected);
        for (int row = 1; row <= ds.RowCount(); ++row) {
            QStringList line;
            for (const Column &c : def->columns)
                line.append(describe(ds.GetItem(row, c.name)) + QLatin1Char('|') + ds.GetItemString(row, c.name));
            cells.append(line);
        }
        total = ds.GetItemNumber(1, QStringLiteral("total"));
    };
    QList<QStringList> viaQt, direct;
    double totalQt = 0, totalDirect = 0;
    read(false, viaQt, totalQt, 5);
    read(true, direct, totalDirect, 5);
    QCOMPARE(direct.size(), 5);
    for (int r = 0; r < viaQt.size(); ++r)
        QCOMPARE(direct.at(r), viaQt.at(r));
    QCOMPARE(totalDirect, totalQt);
    QCOMPARE(totalDirect, 123456789017.595);

    // The texts arrive whole, a repeated one shared, an empty one not NULL.
    SqliteRowSource::setEnabled(true);
    DataStore ds;
    ds.setDefinition(def);
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QString()}), 6);
    QCOMPARE(ds.GetItemString(5, QStringLiteral("name")), QStringLiteral("𠀀 non-BMP"));
    QCOMPARE(ds.GetItemString(5, QStringLiteral("code")), QStringLiteral("O'Brien 50%"));
    QCOMPARE(ds.GetItemString(2, QStringLiteral("name")), QStringLiteral("张三"));
    QVERIFY(!ds.GetItem(3, QStringLiteral("name")).isNull());
    QVERIFY(ds.GetItem(4, QStringLiteral("name")).isNull());
    QCOMPARE(ds.GetItemDate(1, QStringLiteral("started")), QDate(2026, 12, 1));

    // Many texts through the few cache slots of a column, coming back in a
    // scattered order: each row keeps its own.
    QVERIFY(db.exec(QStringLiteral("delete from kinds")));
    for (int i = 0; i < 400; ++i) {
        const QString code = i % 5 == 0 ? QStringLiteral("") : QStringLiteral("工%1").arg((i * 37) % 113);
        QVERIFY(db.exec(QStringLiteral("insert into kinds (id, code, name) values (?, ?, ?)"),
                        {i, code, QStringLiteral("n%1").arg(i % 7)}));
    }
    QList<QStringList> manyQt, manyDirect;
    read(false, manyQt, totalQt, 400);
    read(true, manyDirect, totalDirect, 400);
    QCOMPARE(manyDirect.size(), 400);
    QCOMPARE(manyDirect, manyQt);
}

void TestSqliteReader::everySourceOnBothDatabasesGivesTheSameValues()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fillSteps(db), qPrintable(db.error()));
    QString error;
    const auto loaded = DefinitionLoader::loadJson(R"json({
      "name": "d_test_steps_all", "layout": "tabular",
      "query": "select proch_id, scno, gongxu_code, changhao, xingming, sttime, edtime, qty, wsheetno, memo from proch",
      "columns": [
        {"name": "proch_id", "type": "number"}, {"name": "scno"}, {"name": "gongxu_code"}, {"name": "changhao"},
        {"name": "xingming"}, {"name": "sttime", "type": "datetime"}, {"name": "edtime", "type": "date"},
        {"name": "qty", "type": "number"}, {"name": "wsheetno"}, {"name": "memo"}
      ],
      "computed": [{"name": "total", "expression": "sum(qty for all)", "band": "summary"}],
      "sort": ["proch_id"]
    })json", QStringLiteral("d_test_steps_all.json"), &error);
    QVERIFY2(loaded, qPrintable(error));
    const auto def = std::make_shared<const Definition>(*loaded);

    // What every source must give: numbers as exact decimals, texts as stored,
    // date-times to the second, NULL as a NULL of the column's type.
    const QStringList expected = {
        "wip::Decimal:1|QString:KC2400021|QString:04-执模|QString:W01|QString:张三|QDateTime:2004-03-01 12:30:00"
        "|QDateTime:2004-03-01 13:30:00|wip::Decimal:33917.85|QString:|QString(null):",
        "wip::Decimal:2|QString:KC2400021|QString:04-执模|QString:W01|QString:张三|QDateTime:2004-03-01 12:30:00"
        "|QDateTime:2004-03-01 23:59:59|wip::Decimal:0.585|QString:WS2|QString:O'Brien",
        "wip::Decimal:3|QString:KC2400031|QString:06-镶石|QString:W02|QString(null):|QDateTime:2004-03-02 00:00:00"
        "|QDateTime(null):|wip::Decimal:1234.567|QString:WS3|QString:50%",
        "wip::Decimal:4|QString:KC2400031|QString:06-镶石|QString:|QString:李四|QDateTime(null):"
        "|QDateTime:1899-12-31 00:00:00|wip::Decimal(null):|QString:WS3|QString:𠀀",
        "wip::Decimal:5|QString:KC2400041|QString:20-出货|QString:W01|QString:张三|QDateTime:2004-03-01 12:30:00"
        "|QDateTime:2004-03-01 12:30:00|wip::Decimal:-0.25|QString:WS5|QString:x",
    };
    const bool sqlite = db.engine() == test::Engine::SQLite;
    for (const bool direct : sqlite ? QList<bool>{true, false} : QList<bool>{false}) {
        SqliteRowSource::setEnabled(direct);
        DataStore ds;
        ds.setDefinition(def);
        ds.SetTransObject(db.tr());
        QCOMPARE(ds.Retrieve(), 5);
        QStringList rows;
        for (int row = 1; row <= ds.RowCount(); ++row) {
            QStringList cells;
            for (const Column &c : def->columns) {
                const QVariant v = ds.GetItem(row, c.name);
                cells.append(QStringLiteral("%1%2:%3").arg(QString::fromLatin1(v.typeName()),
                                                           v.isNull() ? QStringLiteral("(null)") : QString(),
                                                           ds.GetItemString(row, c.name)));
            }
            rows.append(cells.join(QLatin1Char('|')));
        }
        for (int r = 0; r < expected.size(); ++r)
            QCOMPARE(rows.value(r), expected.at(r));
        // The weights add up exactly: 33917.85 + 0.585 + 1234.567 - 0.25.
        QCOMPARE(ds.GetItemString(1, QStringLiteral("total")), QStringLiteral("35152.752"));
    }
}

void TestSqliteReader::failuresAndUncommittedWork()
{
    TestDatabase db(test::Engine::SQLite, false);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY2(fill(db), qPrintable(db.error()));
    const auto def = definition();
    QVERIFY(def);

    for (const bool direct : {false, true}) {
        SqliteRowSource::setEnabled(direct);
        DataStore ds;
        ds.setDefinition(def);
        ds.SetTransObject(db.tr());

        // A row the transaction has written and not committed is seen, and a
        // write after the retrieval is not blocked by an open statement.
        QVERIFY(db.tr().execute(QStringLiteral("insert into kinds (id, code) values (?, ?)"), {7 + int(direct), "07-执边"}));
        QCOMPARE(ds.Retrieve({QStringLiteral("skip me")}), 6);
        QCOMPARE(ds.GetItemString(6, QStringLiteral("code")), QStringLiteral("07-执边"));
        QVERIFY(db.tr().execute(QStringLiteral("delete from kinds where id = ?"), {7 + int(direct)}));
        QVERIFY2(db.tr().commit(), qPrintable(db.tr().sqlErrText));

        // A statement that fails gives -1, the database's text and no rows.
        QVERIFY(db.exec(QStringLiteral("alter table kinds rename to kinds_gone")));
        QCOMPARE(ds.Retrieve({QStringLiteral("skip me")}), -1);
        QCOMPARE(db.tr().sqlCode, -1);
        QVERIFY2(db.tr().sqlErrText.contains(QStringLiteral("kinds")), qPrintable(db.tr().sqlErrText));
        QCOMPARE(ds.RowCount(), 0);
        QVERIFY(db.exec(QStringLiteral("alter table kinds_gone rename to kinds")));
        QCOMPARE(ds.Retrieve({QStringLiteral("skip me")}), 5);
    }
}

// A caller that needs only a summary's figures has the database sum them
// (DataStore::RetrieveFigures): the row count and the sums must be those of
// retrieving the rows, exactly, on every path - whole days bound the same way,
// NULLs and an empty result counting 0, weights doubles do not add up exactly -
// and a field that is not a plain sum falls back to reading the rows.
void TestSqliteReader::figuresAskedOfTheDatabaseEqualTheRowsSums()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fillSteps(db), qPrintable(db.error()));
    for (int i = 0; i < 10; ++i)
        QVERIFY2(db.insert(QStringLiteral("proch"), {{"proch_id", 10 + i}, {"gongxu_code", "07-执边"},
                                                     {"edtime", QDateTime(QDate(2004, 3, 3), QTime(15, i))},
                                                     {"qty", 0.1}}),
                 qPrintable(db.error()));
    QString error;
    const auto loaded = DefinitionLoader::loadJson(R"json({
      "name": "d_test_steps_figures", "layout": "tabular",
      "query": "select proch_id, gongxu_code, edtime, qty from proch where gongxu_code = :gx and edtime between :d1 and :d2",
      "arguments": [{"name": "gx", "type": "string"}, {"name": "d1", "type": "date"}, {"name": "d2", "type": "date"}],
      "columns": [{"name": "proch_id", "type": "number"}, {"name": "gongxu_code"}, {"name": "edtime", "type": "datetime"},
                  {"name": "qty", "type": "number"}],
      "computed": [{"name": "total", "expression": "sum(qty for all)", "band": "summary"},
                   {"name": "steps", "expression": "count(qty for all)", "band": "summary"}]
    })json", QStringLiteral("d_test_steps_figures.json"), &error);
    QVERIFY2(loaded, qPrintable(error));
    const auto def = std::make_shared<const Definition>(*loaded);

    const struct
    {
        const char *gx;
        QDate from, to;
        int rows;
        const char *total;
    } cases[] = {
        {"04-执模", QDate(2004, 3, 1), QDate(2004, 3, 1), 2, "33918.435"},   // 13:30 and 23:59:59 of the day
        {"06-镶石", QDate(2004, 3, 2), QDate(2004, 3, 2), 0, "0"},           // its step is open
        {"06-镶石", QDate(1899, 1, 1), QDate(2005, 1, 1), 1, "0"},           // a NULL weight
        {"20-出货", QDate(2004, 3, 1), QDate(2004, 3, 1), 1, "-0.25"},
        {"07-执边", QDate(2004, 3, 3), QDate(2004, 3, 3), 10, "1"},          // ten times 0.1
        {"07-执边", QDate(2004, 3, 2), QDate(2004, 3, 2), 0, "0"},
    };
    const bool sqlite = db.engine() == test::Engine::SQLite;
    for (const bool direct : sqlite ? QList<bool>{true, false} : QList<bool>{false}) {
        SqliteRowSource::setEnabled(direct);
        for (const auto &c : cases) {
            const QVariantList args = {QString::fromUtf8(c.gx), c.from, c.to};
            const QString label = QStringLiteral("%1 %2..%3 direct=%4").arg(QString::fromUtf8(c.gx), c.from.toString(Qt::ISODate),
                                                                            c.to.toString(Qt::ISODate)).arg(direct);
            DataStore ds;
            ds.setDefinition(def);
            ds.SetTransObject(db.tr());
            const DataStore::Figures summed = ds.RetrieveFigures(args, {QStringLiteral("total")});
            QCOMPARE(ds.RowCount(), direct || !sqlite ? 0 : c.rows);   // no row read where the database sums
            const DataStore::Figures read = ds.RetrieveFigures(args, {QStringLiteral("total"), QStringLiteral("steps")});
            QVERIFY2(summed.rows == c.rows && read.rows == c.rows, qPrintable(label));
            QCOMPARE(summed.values.value(QStringLiteral("total")).toShortString(), QString::fromLatin1(c.total));
            QCOMPARE(read.values.value(QStringLiteral("total")).toShortString(), QString::fromLatin1(c.total));
            QCOMPARE(ds.RowCount(), c.rows);   // the fallback read the rows
        }
    }

    // A statement that fails: -1 and the database's text, as a retrieval gives;
    // on PostgreSQL the transaction's open work survives it.
    SqliteRowSource::setEnabled(true);
    auto broken = std::make_shared<Definition>(*def);
    broken->query.replace(QStringLiteral("from proch"), QStringLiteral("from proch_gone"));
    QVERIFY(db.tr().execute(QStringLiteral("update proch set memo = 'kept' where proch_id = 1")));
    DataStore ds;
    ds.setDefinition(broken);
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.RetrieveFigures({QStringLiteral("04-执模"), QDate(2004, 3, 1), QDate(2004, 3, 1)}, {QStringLiteral("total")}).rows, -1);
    QVERIFY2(db.tr().sqlErrText.contains(QStringLiteral("proch_gone")), qPrintable(db.tr().sqlErrText));
    QVERIFY2(db.tr().commit(), qPrintable(db.tr().sqlErrText));
    const auto memo = db.tr().selectInto(QStringLiteral("select memo from proch where proch_id = 1"));
    QVERIFY(memo);
    QCOMPARE(memo->value(0).toString(), QStringLiteral("kept"));
}

// Sums a query or a view makes are as exact on SQLite as on PostgreSQL: weights
// whose binary doubles add up to 933.4459999999999 sum to 933.446, as aggregates,
// as window functions whose frame moves on, and inside the views; SQLite's types
// stay (integers sum to an integer, no values give NULL, total() gives 0), so
// comparisons and sorting on sums work as before.
void TestSqliteReader::sumsInQueriesAndViewsAreExact_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("expected");   // the rows' values, as numbers read back
    QTest::addColumn<bool>("sqliteOnly");
    const auto row = [](const char *name, const char *sql, const QStringList &expected, bool sqliteOnly = false) {
        for (const char *engine : {"sqlite", "postgresql"})
            QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(engine), QLatin1String(name))))
                << QString::fromLatin1(engine) << QString::fromUtf8(sql) << expected << sqliteOnly;
    };
    row("sum", "select sum(weight) from proch_new", {"2200.439"});
    row("grouped", "select sum(weight) from proch_new group by changhao order by changhao", {"574.735", "1625.704"});
    row("having compares numbers", "select sum(weight) from proch_new group by changhao having sum(weight) > 1000",
        {"1625.704"});
    row("sorted by the sum", "select sum(weight) from proch_new group by changhao order by sum(weight) desc",
        {"1625.704", "574.735"});
    row("whole numbers", "select sum(qty) from proch_new", {"21"});
    row("no rows", "select sum(weight) from proch_new where scno = 'none'", {""});
    row("running total", "select sum(weight) over (order by qty rows between unbounded preceding and current row) "
                         "from proch_new order by qty",
        {"439.989", "933.446", "1150.623", "1625.704", "2089.393", "2200.439"});
    row("moving frame", "select sum(weight) over (order by qty rows between 1 preceding and current row) "
                        "from proch_new order by qty",
        {"439.989", "933.446", "710.634", "692.258", "938.77", "574.735"});
    row("view", "select wip_wt, isshand_wt, pending_wt from view_fil_wipp", {"1625.704", "574.735", "2200.439"});
    row("types kept", "select typeof(sum(qty)), typeof(sum(weight)) from proch_new", {"integer", "real"}, true);
    row("total", "select total(weight) from proch_new", {"2200.439"}, true);
    row("total of no rows", "select total(weight) from proch_new where scno = 'none'", {"0"}, true);
}

void TestSqliteReader::sumsInQueriesAndViewsAreExact()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, expected);
    QFETCH(bool, sqliteOnly);
    WIP_TEST_DATABASE(db);
    if (sqliteOnly && db.engine() != test::Engine::SQLite)
        QSKIP("a function of SQLite");
    const char *weights[] = {"439.989", "493.457", "217.177", "475.081", "463.689", "111.046"};
    for (int i = 0; i < 6; ++i) {
        // Four steps with a worker, the last two waiting at the desk.
        QVERIFY2(db.insert(QStringLiteral("proch_new"),
                           {{"scno", "KC1"}, {"gongxu_code", "04-执模"}, {"changhao", i < 4 ? "W01" : ""},
                            {"qty", i + 1}, {"weight", QString::fromLatin1(weights[i]).toDouble()}}),
                 qPrintable(db.error()));
    }
    QStringList got;
    for (const QVariantList &r : db.rows(sql)) {
        for (const QVariant &v : r) {
            // PostgreSQL's numeric comes as text; SQLite's sums as integers or doubles.
            const std::optional<Decimal> n = v.typeId() == QMetaType::QString ? values::parseNumber(v.toString())
                                                                               : Decimal::fromVariant(v);
            got << (v.isNull() ? QString() : n ? n->toShortString() : v.toString());
        }
    }
    QVERIFY2(db.error().isEmpty(), qPrintable(db.error()));
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestSqliteReader)
#include "tst_sqlitereader.moc"
