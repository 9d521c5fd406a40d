#include "reports/catalogue.h"
#include "reports/crosstabpivot.h"
#include "reports/datastore.h"
#include "reports/reportoutput.h"
#include "reports/sqliterowsource.h"
#include "runtime/decimal.h"
#include "testdatabase.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// Crosstabs as the daily recomputation reads them: one row per process code with
// the day's quantity, a grand total per row, and the columns that appear when
// the range holds more than one day.
class TestCrosstab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void oneDayGivesOneQtyColumnPerProcess_data() { test::addEngineRows(); }
    void oneDayGivesOneQtyColumnPerProcess();
    void severalDaysGiveNumberedColumnsAndRowTotals_data() { test::addEngineRows(); }
    void severalDaysGiveNumberedColumnsAndRowTotals();
    void exportsNameValueColumnsByTheirKeys_data();
    void exportsNameValueColumnsByTheirKeys();
    void rowTotalsAskedOfTheDatabaseEqualThePivotRows_data() { test::addEngineRows(); }
    void rowTotalsAskedOfTheDatabaseEqualThePivotRows();
    void noRowsKeepsTheColumnNames();
    void severalValuesInterleavePerColumnKey();
    void cleanup() { SqliteRowSource::setEnabled(true); }
};

namespace {

QDateTime day(int d, QTime at = QTime(0, 0))
{
    return QDateTime(QDate(2004, 3, d), at);
}

bool fill(TestDatabase &db)
{
    const QList<QVariantList> steps = {
        // Steps finished at any time of a day share that day's column.
        {"04-执模", 5.0, day(1)}, {"06-镶石", 2.0, day(1, QTime(9, 5))}, {"04-执模", 3.0, day(1, QTime(14, 30))},
        {"03-倒模", 4.0, day(1, QTime(23, 59))}, {"07-执边", 1.0, day(2, QTime(16, 0))}, {QVariant(), 6.0, day(1)},
        {"04-执模", 0.5, day(2, QTime(8, 1))}, {"06-镶石", QVariant(), day(1, QTime(17, 45))},
    };
    for (const QVariantList &s : steps) {
        if (!db.insert(QStringLiteral("proch"), {{QStringLiteral("gongxu_code"), s[0]}, {QStringLiteral("qty"), s[1]},
                                                 {QStringLiteral("edtime"), s[2]}}))
            return false;
    }
    return true;
}

// A value with its type, so that a NULL, a text and a number read differently.
QString describe(const QVariant &v)
{
    return QStringLiteral("%1%2:%3").arg(QString::fromLatin1(v.typeName()), v.isNull() ? QStringLiteral("(null)") : QString(),
                                         v.toString());
}

QStringList names(const QVector<Column> &columns)
{
    QStringList result;
    for (const Column &c : columns)
        result.append(c.name);
    return result;
}

} // namespace

void TestCrosstab::initTestCase()
{
    QStringList errors;
    QVERIFY2(Catalogue::instance().addDirectory(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine"), &errors),
             qPrintable(errors.join(QLatin1Char('\n'))));
}

void TestCrosstab::oneDayGivesOneQtyColumnPerProcess()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_wip_today1"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QDate(2004, 3, 1), QDate(2004, 3, 1)}), 4);

    QCOMPARE(names(ds.columns()), (QStringList{"gongxu_code", "qty", "grand_sum_qty"}));
    // Rows in code order, a NULL code first; the quantity is the day's sum.
    QVERIFY(ds.IsNull(1, "gongxu_code"));
    QCOMPARE(ds.GetItemString(2, "gongxu_code"), QStringLiteral("03-倒模"));
    QCOMPARE(ds.GetItemString(3, "gongxu_code"), QStringLiteral("04-执模"));
    QCOMPARE(ds.GetItemString(4, "gongxu_code"), QStringLiteral("06-镶石"));
    QCOMPARE(ds.GetItemNumber(1, "qty"), 6.0);
    QCOMPARE(ds.GetItemNumber(2, "qty"), 4.0);
    QCOMPARE(ds.GetItemNumber(3, "qty"), 8.0);
    QCOMPARE(ds.GetItemNumber(4, "qty"), 2.0);   // the NULL quantity is skipped
    for (int row = 1; row <= 4; ++row)
        QCOMPARE(ds.GetItemNumber(row, "grand_sum_qty"), ds.GetItemNumber(row, "qty"));
    QCOMPARE(ds.GetItemNumber(4, "c_all"), 20.0);
    // The value column is captioned with the day.
    QCOMPARE(ds.columns().at(1).caption, QStringList{"2004-03-01"});
}

void TestCrosstab::severalDaysGiveNumberedColumnsAndRowTotals()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_wip_today1"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QDate(2004, 3, 1), QDate(2004, 3, 2)}), 5);

    QCOMPARE(names(ds.columns()), (QStringList{"gongxu_code", "qty_1", "qty_2", "grand_sum_qty"}));
    QCOMPARE(ds.columns().at(2).caption, QStringList{"2004-03-02"});
    const int filing = ds.Find(QStringLiteral("gongxu_code = '04-执模'"), 1, 5);
    const int finishing = ds.Find(QStringLiteral("gongxu_code = '07-执边'"), 1, 5);
    QCOMPARE(ds.GetItemNumber(filing, "qty_1"), 8.0);
    QCOMPARE(ds.GetItemNumber(filing, "qty_2"), 0.5);
    QCOMPARE(ds.GetItemNumber(filing, "grand_sum_qty"), 8.5);
    QVERIFY(ds.IsNull(finishing, "qty_1"));   // no step that day
    QCOMPARE(ds.GetItemNumber(finishing, "grand_sum_qty"), 1.0);
    QCOMPARE(ds.GetItemNumber(1, "c_all"), 21.5);
    QVERIFY(!static_cast<const ReportData &>(ds).hasName("qty"));
}

// JSON and CSV name a value column by its column key, the day, as the printed
// caption does, not by the value's name ("qty", "qty_2"); row keys and totals
// keep their names in JSON.
void TestCrosstab::exportsNameValueColumnsByTheirKeys_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<QStringList>("json");
    QTest::addColumn<QString>("csv");   // the header line
    for (const char *engine : {"sqlite", "postgresql"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1/one day").arg(QLatin1String(engine))))
            << QString::fromLatin1(engine) << QDate(2004, 3, 1)
            << QStringList{"gongxu_code", "2004-03-01", "grand_sum_qty"} << "Gongxu Code,2004-03-01,Grand Sum Qty";
        QTest::newRow(qPrintable(QStringLiteral("%1/two days").arg(QLatin1String(engine))))
            << QString::fromLatin1(engine) << QDate(2004, 3, 2)
            << QStringList{"gongxu_code", "2004-03-01", "2004-03-02", "grand_sum_qty"}
            << "Gongxu Code,2004-03-01,2004-03-02,Grand Sum Qty";
    }
}

void TestCrosstab::exportsNameValueColumnsByTheirKeys()
{
    QFETCH(QDate, last);
    QFETCH(QStringList, json);
    QFETCH(QString, csv);
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_wip_today1"));
    ds.SetTransObject(db.tr());
    QVERIFY(ds.Retrieve({QDate(2004, 3, 1), last}) > 0);
    QStringList named;
    for (const QJsonValue &name : ReportOutput::toJsonObject(ds)[QStringLiteral("columns")].toArray())
        named << name.toString();
    QCOMPARE(named, json);
    const QString text = QString::fromUtf8(ReportOutput::toCsv(ds)).remove(QChar(0xFEFF));
    QCOMPARE(text.section(QStringLiteral("\r\n"), 0, 0), csv);
}

// The daily recomputation needs a crosstab's row totals, not its cells
// (DataStore::RetrieveCrosstabFigures): the database groups the rows by the row
// key and sums them. The totals must be the pivot's, row for row and in its
// order, on every path: keys that differ only in case or by a trailing space
// kept apart, a NULL key, a process whose quantities are all NULL (0, as the
// pivot totals it), tenths that doubles do not add up exactly, a range without
// rows. A total that is no such sum takes the pivot's rows.
void TestCrosstab::rowTotalsAskedOfTheDatabaseEqualThePivotRows()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    QList<QVariantList> steps = {
        {"a", 1.0, day(3)}, {"A", 2.0, day(3, QTime(10, 0))}, {"04-执模 ", 7.0, day(3)},
        {"08-打磨", QVariant(), day(3)}, {"08-打磨", QVariant(), day(3, QTime(12, 0))},
    };
    for (int i = 0; i < 10; ++i)
        steps.append({"07-执边", 0.1, day(3, QTime(15, i))});
    for (const QVariantList &s : steps) {
        QVERIFY2(db.insert(QStringLiteral("proch"), {{QStringLiteral("gongxu_code"), s[0]}, {QStringLiteral("qty"), s[1]},
                                                     {QStringLiteral("edtime"), s[2]}}),
                 qPrintable(db.error()));
    }
    auto byHand = std::make_shared<Definition>(*Catalogue::instance().find(QStringLiteral("d_test_wip_today1")));
    byHand->crosstab->totals[0].expression = QStringLiteral("crosstabsum(1) + 0");

    const struct
    {
        QDate from, to;
        const char *totals;   // the pivot's rows, worked by hand: key=total
    } cases[] = {
        {QDate(2004, 3, 1), QDate(2004, 3, 1), "=6 03-倒模=4 04-执模=8 06-镶石=2"},
        {QDate(2004, 3, 3), QDate(2004, 3, 3), "04-执模 =7 07-执边=1 08-打磨=0 A=2 a=1"},
        {QDate(2004, 3, 1), QDate(2004, 3, 3), "=6 03-倒模=4 04-执模=8.5 04-执模 =7 06-镶石=2 07-执边=2 08-打磨=0 A=2 a=1"},
        {QDate(2005, 1, 1), QDate(2005, 1, 1), ""},
    };
    const bool sqlite = db.engine() == test::Engine::SQLite;
    for (const bool direct : sqlite ? QList<bool>{true, false} : QList<bool>{false}) {
        SqliteRowSource::setEnabled(direct);
        for (const auto &c : cases) {
            const QVariantList args = {c.from, c.to};
            const QString label = QStringLiteral("%1..%2 direct=%3").arg(c.from.toString(Qt::ISODate), c.to.toString(Qt::ISODate)).arg(direct);
            DataStore pivot(QStringLiteral("d_test_wip_today1"));
            pivot.SetTransObject(db.tr());
            const int rows = pivot.Retrieve(args);
            for (const bool grouped : {true, false}) {
                DataStore ds;
                if (grouped)
                    ds.setDataObject(QStringLiteral("d_test_wip_today1"));
                else
                    ds.setDefinition(byHand);
                ds.SetTransObject(db.tr());
                const DataStore::CrosstabFigures figures = ds.RetrieveCrosstabFigures(args, {QStringLiteral("grand_sum_qty")});
                QVERIFY2(figures.rows == rows && figures.pivotRows.size() == rows, qPrintable(label));
                QCOMPARE(ds.RowCount(), grouped && (direct || !sqlite) ? 0 : rows);   // no row read where the database sums
                QStringList totals;
                for (int r = 1; r <= rows; ++r) {
                    const DataStore::PivotRowFigures &row = figures.pivotRows.at(r - 1);
                    QCOMPARE(describe(row.keys.value(0)), describe(pivot.GetItem(r, QStringLiteral("gongxu_code"))));
                    const Decimal total = row.values.value(QStringLiteral("grand_sum_qty"));
                    QVERIFY2(total == pivot.GetItemDecimal(r, QStringLiteral("grand_sum_qty")), qPrintable(label));
                    totals << row.keys.value(0).toString() + QLatin1Char('=') + total.toShortString();
                }
                QCOMPARE(totals.join(QLatin1Char(' ')), QString::fromUtf8(c.totals));
            }
        }
    }

    // A statement that fails: -1 and the database's text, as a retrieval gives.
    auto broken = std::make_shared<Definition>(*Catalogue::instance().find(QStringLiteral("d_test_wip_today1")));
    broken->query.replace(QStringLiteral("from proch"), QStringLiteral("from proch_gone"));
    DataStore ds;
    ds.setDefinition(broken);
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.RetrieveCrosstabFigures({QDate(2004, 3, 1), QDate(2004, 3, 1)}, {QStringLiteral("grand_sum_qty")}).rows, -1);
    QVERIFY2(db.tr().sqlErrText.contains(QStringLiteral("proch_gone")), qPrintable(db.tr().sqlErrText));
}

void TestCrosstab::noRowsKeepsTheColumnNames()
{
    TestDatabase db;
    QVERIFY2(db.isValid() && fill(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_wip_today1"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QDate(2005, 1, 1), QDate(2005, 1, 1)}), 0);
    QCOMPARE(names(ds.columns()), (QStringList{"gongxu_code", "qty", "grand_sum_qty"}));
    const ReportData &data = ds;
    QVERIFY(data.hasName("qty"));
    QVERIFY(data.item(1, "qty").isNull());
}

void TestCrosstab::severalValuesInterleavePerColumnKey()
{
    Definition def;
    def.name = QStringLiteral("d_pivot");
    def.layout = LayoutKind::Crosstab;
    for (const char *name : {"dep", "month", "qty"}) {
        Column c;
        c.name = QString::fromLatin1(name);
        c.type = c.name == QLatin1String("qty") ? ValueType::Number : ValueType::String;
        def.columns.append(c);
    }
    Crosstab x;
    x.rows = {QStringLiteral("dep")};
    x.columns = {QStringLiteral("month")};
    x.values = {{QStringLiteral("total"), QStringLiteral("sum(qty for crosstab)")},
                {QStringLiteral("lines"), QStringLiteral("count(qty for crosstab)")}};
    def.crosstab = x;
    const auto sum = Expression::parse(x.values[0].expression);
    const auto count = Expression::parse(x.values[1].expression);
    QVERIFY(sum && count);

    std::vector<QVector<QVariant>> source = {
        {"B", "02", 1.0}, {"A", "01", 2.0}, {"B", "01", 3.0}, {"A", "01", 4.0}, {"B", "02", 5.0},
    };
    const CrosstabPivot::Result pivot = CrosstabPivot::build(def, source, {sum.get(), count.get()});
    QCOMPARE(names(pivot.columns), (QStringList{"dep", "total_1", "lines_1", "total_2", "lines_2"}));
    QCOMPARE(pivot.columns.at(3).caption, (QStringList{"02", "total"}));
    QCOMPARE(pivot.valueColumns, (QVector<QVector<int>>{{1, 3}, {2, 4}}));
    QCOMPARE(int(pivot.rows.size()), 2);
    QCOMPARE(pivot.rows[0], (QVector<QVariant>{"A", Decimal::fromInt(6).toVariant(), Decimal::fromInt(2).toVariant(),
                                                QVariant(), QVariant()}));
    QCOMPARE(pivot.rows[1].at(0), QVariant("B"));
    QCOMPARE(pivot.rows[1].at(1).toDouble(), 3.0);
    QCOMPARE(pivot.rows[1].at(3).toDouble(), 6.0);
    QCOMPARE(pivot.rows[1].at(4).toDouble(), 2.0);
}

QTEST_GUILESS_MAIN(TestCrosstab)
#include "tst_crosstab.moc"
