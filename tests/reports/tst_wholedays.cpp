// A date argument is a whole calendar day: the factory's own reports over a range
// take what was stamped at any time of its days, on both databases.
//
// Worked by hand, the same for every report: the range is 2004-03-01 to
// 2004-03-31 and five records are stamped
//
//   before      2004-02-29 23:59:59   out (the day before the range)
//   first       2004-03-01 00:00:00   in
//   afternoon   2004-03-31 14:30:00   in  (left out while the last day meant its midnight)
//   lastminute  2004-03-31 23:59:59   in
//   after       2004-04-01 00:00:00   out (the day after the range)
//
// so each report lists first, afternoon and lastminute, and a one-day range of the
// 31st lists afternoon and lastminute.

#include "reports/datastore.h"
#include "testdatabase.h"

#include <QDateTime>
#include <QTest>

#include <functional>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

namespace {

struct Stamp
{
    const char *key;
    QDateTime at;
};

const Stamp kStamps[] = {
    {"before", QDateTime(QDate(2004, 2, 29), QTime(23, 59, 59))},
    {"first", QDateTime(QDate(2004, 3, 1), QTime(0, 0))},
    {"afternoon", QDateTime(QDate(2004, 3, 31), QTime(14, 30))},
    {"lastminute", QDateTime(QDate(2004, 3, 31), QTime(23, 59, 59))},
    {"after", QDateTime(QDate(2004, 4, 1), QTime(0, 0))},
};

// How a report's record is written: its key in the column the report lists, stamped at a time.
using Insert = std::function<bool(TestDatabase &db, const QString &key, const QDateTime &at)>;

struct Report
{
    const char *definition;
    const char *keyColumn;
    Insert insert;
    // The retrieval arguments around the two dates.
    std::function<QVariantList(const QDate &from, const QDate &to)> arguments;
};

bool transfer(TestDatabase &db, const QString &key, const QDateTime &at)
{
    return db.insert("jcjl_mattran", {{"mattran_no", key}, {"scno", "KC1"}, {"ldate", at}, {"zt", "FINISH"},
                                      {"fcode", "04-执模收发"}, {"tcode", "06-镶石收发"}, {"mcode", "18KY线"},
                                      {"zmcode", "18KY原料WIP"}, {"qtycal", 1}, {"qtyref", 2.5}, {"gonghao", "W01"}});
}

const Report kReports[] = {
    {"d_wip_protran", "mattran_no", transfer,
     [](const QDate &a, const QDate &b) { return QVariantList{"04-执模收发", a, b}; }},
    {"d_jcjl_mattran_ws", "mattran_no", transfer,
     [](const QDate &a, const QDate &b) { return QVariantList{"04-执模收发", a, b}; }},
    {"d_work_wip_g", "mattran_no", transfer, [](const QDate &a, const QDate &b) { return QVariantList{a, b, "W01"}; }},
    {"d_wip_fin", "wsheetno",
     [](TestDatabase &db, const QString &key, const QDateTime &at) {
         return db.insert("work_report", {{"scno", "KC1"}, {"wsheetno", key}, {"zt", "FIN"}, {"ldate", at},
                                          {"fin_pcs", 1}, {"fin_weight", 2.5}});
     },
     [](const QDate &a, const QDate &b) { return QVariantList{a, b}; }},
    {"d_w_scprogress", "scno",
     [](TestDatabase &db, const QString &key, const QDateTime &at) {
         return db.insert("sconh", {{"scno", key}, {"cust_no", "QOR"}, {"issdate", at.addDays(-30)}, {"deldate", at}});
     },
     [](const QDate &a, const QDate &b) { return QVariantList{a, b}; }},
    {"d_w_scprogress4", "scno",
     [](TestDatabase &db, const QString &key, const QDateTime &at) {
         return db.insert("sconh", {{"scno", key}, {"cust_no", "QOR"}, {"issdate", at}, {"deldate", at.addDays(30)}});
     },
     [](const QDate &a, const QDate &b) { return QVariantList{a, b, "QOR"}; }},
};

QStringList keys(const DataStore &ds, const QString &column)
{
    QStringList found;
    for (int row = 1; row <= ds.RowCount(); ++row)
        found.append(ds.GetItemString(row, column));
    found.sort();
    return found;
}

} // namespace

class TestWholeDays : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rangesTakeEveryTimeOfTheirDays_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("report");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < int(std::size(kReports)); ++i)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kReports[i].definition, engine)))
                    << QString::fromLatin1(engine) << i;
        }
    }

    void rangesTakeEveryTimeOfTheirDays()
    {
        QFETCH(int, report);
        WIP_TEST_DATABASE(db);
        const Report &r = kReports[report];
        for (const Stamp &s : kStamps)
            QVERIFY2(r.insert(db, QString::fromLatin1(s.key), s.at), qPrintable(db.error()));

        DataStore ds(QString::fromLatin1(r.definition));
        ds.SetTransObject(db.tr());
        const QString column = QString::fromLatin1(r.keyColumn);
        QCOMPARE(ds.Retrieve(r.arguments(QDate(2004, 3, 1), QDate(2004, 3, 31))), 3);
        QCOMPARE(keys(ds, column), (QStringList{"afternoon", "first", "lastminute"}));
        QCOMPARE(ds.Retrieve(r.arguments(QDate(2004, 3, 31), QDate(2004, 3, 31))), 2);
        QCOMPARE(keys(ds, column), (QStringList{"afternoon", "lastminute"}));
        QCOMPARE(ds.Retrieve(r.arguments(QDate(2004, 2, 29), QDate(2004, 2, 29))), 1);
        QCOMPARE(keys(ds, column), (QStringList{"before"}));
    }
};

QTEST_GUILESS_MAIN(TestWholeDays)
#include "tst_wholedays.moc"
