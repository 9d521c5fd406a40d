#include "reports/datastore.h"
#include "reports/definitionloader.h"
#include "reports/sqliterowreader.h"
#include "testdatabase.h"

#include <QDate>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// Retrieval on SQLite reads rows through SQLite's own library when the build can;
// the rows must be the same, value for value and type for type, as through Qt's
// driver, and what a statement sees and how it fails must not change either.
class TestSqliteReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { SqliteRowReader::setEnabled(true); }
    void bothPathsGiveTheSameRows();
    void failuresAndUncommittedWork();
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
    QVERIFY(SqliteRowReader::usable(db.tr().database()));

    auto read = [&](bool direct, QList<QStringList> &cells, double &total, int expected) {
        SqliteRowReader::setEnabled(direct);
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
    SqliteRowReader::setEnabled(true);
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

void TestSqliteReader::failuresAndUncommittedWork()
{
    TestDatabase db(test::Engine::SQLite, false);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY2(fill(db), qPrintable(db.error()));
    const auto def = definition();
    QVERIFY(def);

    for (const bool direct : {false, true}) {
        SqliteRowReader::setEnabled(direct);
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

QTEST_GUILESS_MAIN(TestSqliteReader)
#include "tst_sqlitereader.moc"
