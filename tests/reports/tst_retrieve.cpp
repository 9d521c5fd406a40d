#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/querytemplate.h"
#include "runtime/decimal.h"
#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "testdatabase.h"

#include <QDate>
#include <QDateTime>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// Retrieval: how :name arguments bind (lists, dates, repeated names, missing and
// extra values), how values come back typed, and what a failing query does. Every
// database case runs on SQLite and, when configured, on PostgreSQL.
class TestRetrieve : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void placeholdersBecomePositional_data();
    void placeholdersBecomePositional();
    void dayBoundsFollowTheComparison_data();
    void dayBoundsFollowTheComparison();

    void stringListMatchesEachOfItsValues_data() { test::addEngineRows(); }
    void stringListMatchesEachOfItsValues();
    void dateRangeTakesWholeDays_data() { test::addEngineRows(); }
    void dateRangeTakesWholeDays();
    void repeatedNameBindsTheSameValueEachTime_data() { test::addEngineRows(); }
    void repeatedNameBindsTheSameValueEachTime();
    void missingValuesAreAskedForAndCancelGivesMinusOne_data() { test::addEngineRows(); }
    void missingValuesAreAskedForAndCancelGivesMinusOne();
    void valuesComeBackTypedByColumn_data() { test::addEngineRows(); }
    void valuesComeBackTypedByColumn();
    void databaseErrorGivesMinusOneAndKeepsTheTransaction_data() { test::addEngineRows(); }
    void databaseErrorGivesMinusOneAndKeepsTheTransaction();
    void hostFailuresThrow_data() { test::addEngineRows(); }
    void hostFailuresThrow();
};

namespace {

QDateTime day(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, mi, s));
}

// Steps of four processes around March 2004 (all at midnight unless said).
bool fill(TestDatabase &db)
{
    struct Step
    {
        int id;
        const char *scno;
        const char *gongxu;
        const char *changhao;
        QVariant qty;
        QDateTime edtime;
    };
    const Step steps[] = {
        {1, "KC1", "04-执模", "w1", 5.0, day(2004, 3, 1)},
        {2, "KC2", "04-执模", "w2", 3.0, day(2004, 3, 31)},
        {3, "KC3", "06-镶石", "w1", 2.5, day(2004, 3, 15)},
        {4, "KC4", "07-执边", "w3", 7.0, day(2004, 2, 29)},
        {5, "KC5", "04-执模", "w1", 11.0, day(2004, 4, 1)},
        {6, "KC6", "08-打磨", "06-镶石", QVariant(), day(2004, 3, 10)},
        {7, "KC7", "04-执模", "w2", 1.0, day(2004, 3, 31, 10, 30)},
    };
    for (const Step &s : steps) {
        if (!db.insert(QStringLiteral("proch"),
                       {{QStringLiteral("proch_id"), s.id},
                        {QStringLiteral("scno"), QString::fromUtf8(s.scno)},
                        {QStringLiteral("gongxu_code"), QString::fromUtf8(s.gongxu)},
                        {QStringLiteral("changhao"), QString::fromUtf8(s.changhao)},
                        {QStringLiteral("xingming"), QStringLiteral("name")},
                        {QStringLiteral("qty"), s.qty},
                        {QStringLiteral("edtime"), s.edtime}}))
            return false;
    }
    return true;
}

QStringList column(const DataStore &ds, const QString &name)
{
    QStringList values;
    for (int row = 1; row <= ds.RowCount(); ++row)
        values.append(ds.GetItemString(row, name));
    return values;
}

} // namespace

void TestRetrieve::initTestCase()
{
    QStringList errors;
    QVERIFY2(Catalogue::instance().addDirectory(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine"), &errors),
             qPrintable(errors.join(QLatin1Char('\n'))));
    QVERIFY2(Catalogue::instance().find(QStringLiteral("d_test_steps")), qPrintable(Catalogue::instance().names().join(' ')));
}

void TestRetrieve::cleanup()
{
    setArgumentPrompter({});
}

void TestRetrieve::placeholdersBecomePositional_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("bound");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("plain") << "select a from t where b = :x" << "select a from t where b = ?" << QStringList{"x"};
    QTest::newRow("repeated, any case") << "where b = :X or c = :x" << "where b = ? or c = ?" << QStringList{"x", "x"};
    QTest::newRow("quoted text left alone") << "where b = ':x' and c = :y" << "where b = ':x' and c = ?" << QStringList{"y"};
    QTest::newRow("doubled quote inside text") << "where b = 'it''s :x' and c = :y" << "where b = 'it''s :x' and c = ?"
                                                << QStringList{"y"};
    QTest::newRow("quoted identifier") << "select \":x\" from t where c = :y" << "select \":x\" from t where c = ?"
                                        << QStringList{"y"};
    QTest::newRow("cast") << "where b::text = :y::text" << "where b::text = ?::text" << QStringList{"y"};
    QTest::newRow("line comment") << "where c = :y -- :x\nand d = 1" << "where c = ? -- :x\nand d = 1" << QStringList{"y"};
    QTest::newRow("block comment") << "where /* :x */ c = :y" << "where /* :x */ c = ?" << QStringList{"y"};
    QTest::newRow("list") << "where c in (:l)" << "where c in (?, ?, ?)" << QStringList{"l"};
    QTest::newRow("empty list") << "where c in (:e)" << "where c in (NULL)" << QStringList{"e"};
    QTest::newRow("unterminated quote") << "where c = :y and d = 'x" << "where c = ? and d = 'x" << QStringList{"y"};
}

void TestRetrieve::placeholdersBecomePositional()
{
    QFETCH(QString, sql);
    QFETCH(QString, bound);
    QFETCH(QStringList, names);
    const QueryTemplate query(sql);
    QCOMPARE(query.names(), names);
    const QueryTemplate::Bound b = query.bind([](const QString &name) -> QVariant {
        if (name == QLatin1String("l"))
            return QStringList{"p", "q", "r"};
        if (name == QLatin1String("e"))
            return QVariantList{};
        return name;
    });
    QCOMPARE(b.sql, bound);
    QVariantList expected;
    for (const QString &name : names) {
        if (name == QLatin1String("l"))
            expected << "p" << "q" << "r";
        else if (name != QLatin1String("e"))
            expected << name;
    }
    QCOMPARE(b.values, expected);
}

// Which end of its day each placeholder stands for: S start, E end, Q equality, N none.
void TestRetrieve::dayBoundsFollowTheComparison_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("bounds");
    auto row = [](const char *sql, const char *bounds) { QTest::newRow(sql) << QString::fromUtf8(sql) << QString::fromLatin1(bounds); };
    row("where edtime between :stime and :etime", "SE");
    row("where edtime between :etime and :etime", "SE");
    row("where edtime BETWEEN :a AND :b and scno = :s", "SEQ");
    row("where ldate between :a and :b and (mcode like '%线%')", "SE");
    row("where edtime not between :a and :b", "SE");
    row("where x >= :a and x <= :b", "SE");
    row("where x > :a or x < :b", "ES");
    row("where :a <= x and :b >= x", "SE");
    row("where :a < x and :b > x", "ES");
    row("where x = :d", "Q");
    row("where x <> :d or x != :e", "QQ");
    row("where :d = x", "Q");
    row("where scno in (:list)", "N");
    row("select :d as day", "N");
    row("where edtime between :a and coalesce(:b, x)", "SN");
}

void TestRetrieve::dayBoundsFollowTheComparison()
{
    QFETCH(QString, sql);
    QFETCH(QString, bounds);
    const QueryTemplate query(sql);
    QString found;
    for (int i = 0; i < query.names().size(); ++i) {
        switch (query.dayBound(i)) {
        case QueryTemplate::DayBound::None: found += u'N'; break;
        case QueryTemplate::DayBound::Start: found += u'S'; break;
        case QueryTemplate::DayBound::End: found += u'E'; break;
        case QueryTemplate::DayBound::Equality: found += u'Q'; break;
        }
    }
    QCOMPARE(found, bounds);
}

void TestRetrieve::stringListMatchesEachOfItsValues()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(db.tr());
    const QDate from(2004, 1, 1), to(2004, 12, 31);

    QCOMPARE(ds.Retrieve({QStringList{}, from, to}), 0);
    QCOMPARE(ds.Retrieve({QStringList{"06-镶石"}, from, to}), 1);
    QCOMPARE(ds.GetItemString(1, "scno"), QStringLiteral("KC3"));
    // Three values; sorted by process, then id descending.
    QCOMPARE(ds.Retrieve({QStringList{"04-执模", "07-执边", "08-打磨"}, from, to}), 6);
    QCOMPARE(column(ds, "scno"), (QStringList{"KC7", "KC5", "KC2", "KC1", "KC4", "KC6"}));
    // A QVariantList of texts and a single text serve as well.
    QCOMPARE(ds.Retrieve({QVariantList{"07-执边", "06-镶石"}, from, to}), 2);
    QCOMPARE(ds.Retrieve({QStringLiteral("07-执边"), from, to}), 1);
}

// "edtime between :stime and :etime" over whole days. Worked by hand: in March
// 2004 the fixture's steps finish at midnight on the 1st (KC1), 10th (KC6), 15th
// (KC3) and 31st (KC2), and at 10:30 on the 31st (KC7); added here are one at
// 23:59:59 on the 31st (KC8, in), one at 23:59:59 on 29 February (KC9, before)
// and KC5 finishes at midnight on 1 April (after).
void TestRetrieve::dateRangeTakesWholeDays()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    QVERIFY(db.insert("proch", {{"proch_id", 8}, {"scno", "KC8"}, {"gongxu_code", "04-执模"}, {"changhao", "w3"},
                                {"qty", 4}, {"edtime", day(2004, 3, 31, 23, 59, 59)}}));
    QVERIFY(db.insert("proch", {{"proch_id", 9}, {"scno", "KC9"}, {"gongxu_code", "07-执边"}, {"changhao", "w3"},
                                {"qty", 4}, {"edtime", day(2004, 2, 29, 23, 59, 59)}}));
    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(db.tr());
    const QStringList all{"04-执模", "06-镶石", "07-执边", "08-打磨"};

    // Sorted by process, then id descending.
    QCOMPARE(ds.Retrieve({all, QDate(2004, 3, 1), QDate(2004, 3, 31)}), 6);
    QCOMPARE(column(ds, "scno"), (QStringList{"KC8", "KC7", "KC2", "KC1", "KC3", "KC6"}));
    // A date text, and a date-time (its day), are the same whole days.
    QCOMPARE(ds.Retrieve({all, QStringLiteral("2004-03-01"), QDateTime(QDate(2004, 3, 31), QTime(17, 0))}), 6);
    // A single day: its midnight, its morning and its last second.
    QCOMPARE(ds.Retrieve({all, QDate(2004, 3, 31), QDate(2004, 3, 31)}), 3);
    QCOMPARE(column(ds, "scno"), (QStringList{"KC8", "KC7", "KC2"}));
    QCOMPARE(ds.Retrieve({all, QDate(2004, 3, 15), QDate(2004, 3, 15)}), 1);
    QCOMPARE(ds.Retrieve({all, QDate(2004, 2, 29), QDate(2004, 2, 29)}), 2);   // KC4 at midnight, KC9 at 23:59:59
    QCOMPARE(ds.Retrieve({all, QDate(2004, 4, 1), QDate(2004, 4, 1)}), 1);     // KC5
    // Start after end: nothing.
    QCOMPARE(ds.Retrieve({all, QDate(2004, 3, 31), QDate(2004, 3, 1)}), 0);
    // Values beyond the declared arguments are ignored.
    QCOMPARE(ds.Retrieve({all, QDate(2004, 3, 1), QDate(2004, 3, 31), 42, QStringLiteral("extra")}), 6);
    // A text that is no date matches nothing rather than failing.
    QCOMPARE(ds.Retrieve({all, QStringLiteral("not a date"), QDate(2004, 3, 31)}), 0);
}

void TestRetrieve::repeatedNameBindsTheSameValueEachTime()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_repeat"));
    ds.SetTransObject(db.tr());
    // KC3 has the process 06-镶石, KC6 has it as its worker number.
    QCOMPARE(ds.Retrieve({QStringLiteral("06-镶石")}), 2);
    QCOMPARE(column(ds, "scno"), (QStringList{"KC3", "KC6"}));
    // Placeholder-like texts inside quotes and comments stayed text.
    QCOMPARE(ds.GetItemString(1, "note"), QStringLiteral(":notarg"));
}

void TestRetrieve::missingValuesAreAskedForAndCancelGivesMinusOne()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(db.tr());

    // Without a prompter a missing value fails the retrieval.
    QCOMPARE(ds.Retrieve({QStringList{"04-执模"}}), -1);

    QStringList asked;
    setArgumentPrompter([&asked](const Argument &argument, const Definition &definition) -> std::optional<QVariant> {
        asked.append(definition.name + QLatin1Char('.') + argument.name);
        return argument.name == QLatin1String("stime") ? QVariant(QDate(2004, 3, 1)) : QVariant(QDate(2004, 3, 31));
    });
    QCOMPARE(ds.Retrieve({QStringList{"04-执模"}}), 3);   // KC1, KC2 and KC7 of 10:30 on the 31st
    QCOMPARE(asked, (QStringList{"d_test_steps.stime", "d_test_steps.etime"}));

    setArgumentPrompter([](const Argument &, const Definition &) -> std::optional<QVariant> { return std::nullopt; });
    QCOMPARE(ds.Retrieve({QStringList{"04-执模"}, QDate(2004, 3, 1)}), -1);
}

void TestRetrieve::valuesComeBackTypedByColumn()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QStringList{"06-镶石", "08-打磨"}, QDate(2004, 3, 1), QDate(2004, 3, 31)}), 2);

    QVERIFY(Decimal::isDecimal(ds.GetItem(1, "qty")));
    QCOMPARE(ds.GetItemNumber(1, "qty"), 2.5);
    QVERIFY(Decimal::isDecimal(ds.GetItem(1, "proch_id")));
    QCOMPARE(ds.GetItem(1, "edtime").metaType().id(), int(QMetaType::QDateTime));
    QCOMPARE(ds.GetItemDateTime(1, "EDTIME"), day(2004, 3, 15));
    QCOMPARE(ds.GetItemDate(1, "edtime"), QDate(2004, 3, 15));
    QCOMPARE(ds.GetItem(1, "scno").metaType().id(), int(QMetaType::QString));
    QCOMPARE(ds.GetItemString(1, "gongxu_code"), QStringLiteral("06-镶石"));
    QCOMPARE(ds.GetItemString(1, "edtime"), QStringLiteral("2004-03-15 00:00:00"));

    // NULL stays NULL; read as a number it is 0.
    QVERIFY(ds.IsNull(2, "qty"));
    QVERIFY(ds.GetItem(2, "qty").isNull());
    QCOMPARE(ds.GetItemNumber(2, "qty"), 0.0);
    QVERIFY(ds.GetItemString(2, "qty").isNull());

    // Sorting by a date column orders by time (texts of SQLite included).
    auto byDate = std::make_shared<Definition>(*ds.definitionPtr());
    byDate->sort = {QStringLiteral("edtime D")};
    byDate->groups.clear();
    ds.setDefinition(byDate);
    QVERIFY(db.exec(QStringLiteral("update proch set edtime = null where proch_id = 3")));
    QCOMPARE(ds.Retrieve({QStringList{"04-执模", "06-镶石"}, QDate(2004, 1, 1), QDate(2004, 12, 31)}), 4);
    QCOMPARE(column(ds, "scno"), (QStringList{"KC5", "KC7", "KC2", "KC1"}));
    QCOMPARE(ds.GetItem(1, "edtime").metaType().id(), int(QMetaType::QDateTime));
    QCOMPARE(ds.Find(QStringLiteral("edtime > edtime_limit"), 1, 4), -1);   // a name the rows lack
    QCOMPARE(ds.Find(QStringLiteral("string(edtime, 'yyyy-mm-dd') = '2004-03-31'"), 1, 4), 2);
}

void TestRetrieve::databaseErrorGivesMinusOneAndKeepsTheTransaction()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_repeat"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QStringLiteral("04-执模")}), 4);

    auto broken = std::make_shared<Definition>(*ds.definitionPtr());
    broken->name = QStringLiteral("d_test_broken");
    broken->query = QStringLiteral("select proch_id, scno, qty, note from no_such_table where scno = :code");
    DataStore bad;
    bad.setDefinition(broken);
    bad.SetTransObject(db.tr());

    // Open work of the caller on the same transaction survives the failed query.
    QVERIFY(db.tr().execute(QStringLiteral("update proch set qty = 99 where proch_id = 1")));
    Trace::clearCaptured();
    QCOMPARE(bad.Retrieve({QStringLiteral("x")}), -1);
    QCOMPARE(bad.RowCount(), 0);
    QCOMPARE(db.tr().sqlCode, -1);
    const QString trace = Trace::captured().join(QLatin1Char('\n'));
    QVERIFY2(trace.contains(QLatin1String("d_test_broken")) && trace.contains(QLatin1String("no_such_table")), qPrintable(trace));

    QCOMPARE(ds.Retrieve({QStringLiteral("04-执模")}), 4);
    QCOMPARE(ds.GetItemNumber(1, "qty"), 99.0);
    QVERIFY(db.tr().commit());
    QCOMPARE(db.scalar(QStringLiteral("select qty from proch where proch_id = 1")).toDouble(), 99.0);

    // A failed retrieval drops the rows it had.
    bad.setDefinition(ds.definitionPtr());
    QCOMPARE(bad.Retrieve({QStringLiteral("04-执模")}), 4);
    db.tr().disconnect();
    QCOMPARE(bad.Retrieve({QStringLiteral("04-执模")}), -1);
    QCOMPARE(bad.RowCount(), 0);
}

void TestRetrieve::hostFailuresThrow()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));

    try {
        DataStore ds(QStringLiteral("d_no_such_report"));
        QFAIL("an unknown dataobject was accepted");
    } catch (const HostError &e) {
        QCOMPARE(e.code(), int(ErrUnknownDefinition));
    }

    DataStore ds(QStringLiteral("D_TEST_REPEAT"));   // any case
    QCOMPARE(ds.dataObject(), QStringLiteral("d_test_repeat"));
    try {
        ds.Retrieve({QStringLiteral("x")});
        QFAIL("Retrieve ran without a transaction");
    } catch (const HostError &e) {
        QCOMPARE(e.code(), int(ErrNoTransaction));
    }

    // A definition column the query does not return is named in the failure.
    auto missing = std::make_shared<Definition>(*ds.definitionPtr());
    missing->query = QStringLiteral("select proch_id, scno, qty from proch where gongxu_code = :code");
    ds.setDefinition(missing);
    ds.SetTransObject(db.tr());
    try {
        ds.Retrieve({QStringLiteral("04-执模")});
        QFAIL("a missing column was not noticed");
    } catch (const HostError &e) {
        QCOMPARE(e.code(), int(ErrUnknownColumn));
        QVERIFY2(e.detail().contains(QLatin1String("note")), qPrintable(e.detail()));
    }

    // A number argument refuses a text that is no number.
    auto numeric = std::make_shared<Definition>(*ds.definitionPtr());
    numeric->arguments = {{QStringLiteral("code"), ArgumentType::Number, {}, {}, {}}};
    ds.setDefinition(numeric);
    try {
        ds.Retrieve({QStringLiteral("abc")});
        QFAIL("a bad number argument was bound");
    } catch (const HostError &e) {
        QCOMPARE(e.code(), int(ErrBadArgument));
    }
}

QTEST_GUILESS_MAIN(TestRetrieve)
#include "tst_retrieve.moc"
