// The bulk writer of the demo factory: every row arrives, whatever the batch
// boundaries, with its dates, decimals and NULLs; a bad row is reported.

#include "database/batchinserter.h"
#include "runtime/sqlvalue.h"
#include "testdatabase.h"

#include <QTest>

using namespace wip;
using namespace wip::test;

class tst_BatchInserter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyRowArrivesAcrossBatchBoundaries_data();
    void everyRowArrivesAcrossBatchBoundaries();
    void aRowOfTheWrongWidthIsRefused();
    void columnNamesInAnyCase_data() { addEngineRows(); }
    void columnNamesInAnyCase();
};

void tst_BatchInserter::columnNamesInAnyCase()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.tr().begin());
    BatchInserter ins(db.tr().database(), db.kind(), "stock", {"Stock_Code", "STOCK_NAME"});
    QVERIFY(ins.add({"01-金仓收发", "Gold Stock"}));
    QVERIFY2(ins.flush(), qPrintable(ins.error()));
    QVERIFY(db.tr().commit());
    QCOMPARE(db.scalar("select stock_name from stock where stock_code = ?", {"01-金仓收发"}).toString(),
             QString("Gold Stock"));
}

void tst_BatchInserter::everyRowArrivesAcrossBatchBoundaries_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("batchRows");
    QTest::addColumn<int>("rows");
    for (const char *engine : {"sqlite", "postgresql"}) {
        const QByteArray e(engine);
        QTest::newRow(QByteArray(e + " one row per statement").constData()) << QString(engine) << 1 << 5;
        QTest::newRow(QByteArray(e + " exact batches").constData()) << QString(engine) << 7 << 21;
        QTest::newRow(QByteArray(e + " last batch partial").constData()) << QString(engine) << 7 << 23;
        QTest::newRow(QByteArray(e + " fewer rows than a batch").constData()) << QString(engine) << 50 << 3;
        QTest::newRow(QByteArray(e + " engine's own batch size").constData()) << QString(engine) << 0 << 1234;
        QTest::newRow(QByteArray(e + " nothing").constData()) << QString(engine) << 7 << 0;
    }
}

void tst_BatchInserter::everyRowArrivesAcrossBatchBoundaries()
{
    WIP_TEST_DATABASE(db);
    QFETCH(int, batchRows);
    QFETCH(int, rows);
    QVERIFY(db.tr().begin());
    BatchInserter ins(db.tr().database(), db.kind(), "castind",
                      {"castind_id", "contractno", "ldate", "qtycal", "hcode"}, batchRows);
    for (int i = 1; i <= rows; ++i) {
        const QVariant hcode = i % 3 == 0 ? QVariant() : QVariant(QStringLiteral("H'%1").arg(i));
        QVERIFY2(ins.add({i, QStringLiteral("KC%1").arg(i), QDate(2004, 3, 1).addDays(i % 30), i * 0.125, hcode}),
                 qPrintable(ins.error()));
    }
    QVERIFY2(ins.flush(), qPrintable(ins.error()));
    QCOMPARE(ins.written(), (long long)rows);
    QVERIFY(db.tr().commit());

    QCOMPARE(db.scalar("select count(*) from castind").toInt(), rows);
    if (rows == 0)
        return;
    QCOMPARE(fromDbValue(db.scalar("select sum(qtycal) from castind"), ColumnKind::Number).toDouble(),
             0.125 * rows * (rows + 1) / 2);
    QCOMPARE(db.scalar("select count(*) from castind where hcode is null").toInt(), rows / 3);
    // Quotes in values are data, not statement text.
    QCOMPARE(db.scalar("select hcode from castind where castind_id = 1").toString(), QString("H'1"));
    // Dates went in as dates: "between" finds the day's rows.
    int expected = 0;
    for (int i = 1; i <= rows; ++i)
        expected += i % 30 == 2;
    QCOMPARE(db.scalar("select count(*) from castind where ldate between ? and ?",
                       {QDate(2004, 3, 3), QDate(2004, 3, 3)}).toInt(), expected);
}

void tst_BatchInserter::aRowOfTheWrongWidthIsRefused()
{
    TestDatabase db;
    QVERIFY(db.isValid());
    QVERIFY(db.tr().begin());
    BatchInserter ins(db.tr().database(), db.kind(), "stock", {"stock_code", "stock_name"}, 10);
    QVERIFY(ins.add({"01-金仓收发", "Gold Stock"}));
    QVERIFY(!ins.add({"02-石仓收发"}));
    QVERIFY(ins.error().contains("stock"));
    QVERIFY(!ins.add({"03-Tarvel金仓", "Tarvel Stock"}));   // stays failed
    QVERIFY(!ins.flush());
    QVERIFY(db.tr().rollback());
    QCOMPARE(db.scalar("select count(*) from stock").toInt(), 0);

    // A batch the database rejects (duplicate key) is reported, not lost silently.
    QVERIFY(db.tr().begin());
    BatchInserter dup(db.tr().database(), db.kind(), "stock", {"stock_code", "stock_name"}, 2);
    QVERIFY(dup.add({"01-金仓收发", "Gold Stock"}));
    QVERIFY(!dup.add({"01-金仓收发", "Gold Stock again"}));
    QVERIFY(!dup.error().isEmpty());
    QVERIFY(db.tr().rollback());
}

QTEST_GUILESS_MAIN(tst_BatchInserter)
#include "tst_batchinserter.moc"
