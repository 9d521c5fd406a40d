// The tables of loss against allowance: a new factory database starts with the
// factory's allowances, and a database of version 3 gets both tables, the
// family view and those allowances from the upgrade and from init-db alike,
// keeping its rows; an allowance a factory wrote itself is never replaced.

#include "database/initdatabase.h"
#include "database/lossschema.h"
#include "database/schema.h"
#include "testdatabase.h"

#include <QTest>

using namespace wip;
using namespace wip::test;

class tst_LossSchema : public QObject
{
    Q_OBJECT

    static bool makeVersion3(TestDatabase &db)
    {
        return db.exec("drop view view_metal_family") && db.exec("drop table loss_allowance")
            && db.exec("drop table metal_recovery") && db.exec("update wip_schema set version = 3");
    }

    static void checkStartingAllowances(TestDatabase &db)
    {
        QCOMPARE(db.scalar("select count(*) from loss_allowance").toInt(), int(LossSchema::startingAllowances().size()));
        QCOMPARE(db.scalar("select rate from loss_allowance where allowance_key = '04-执模/18K'").toDouble(), 1.2);
        QCOMPARE(db.scalar("select rate from loss_allowance where allowance_key = '04-执模/PT950'").toDouble(), 0.8);
        QVERIFY(db.scalar("select metal from loss_allowance where allowance_key = '04-执模/*'").isNull());
        QCOMPARE(db.scalar("select count(*) from loss_allowance where metal is null").toInt(), 6);
    }

private Q_SLOTS:
    void newDatabaseStartsWithTheFactorysAllowances_data() { addEngineRows(); }
    void newDatabaseStartsWithTheFactorysAllowances()
    {
        WIP_TEST_DATABASE(db);
        QCOMPARE(db.scalar("select count(*) from loss_allowance").toInt(), 0);   // the tests' databases hold none
        QVERIFY2(db.exec("drop table loss_allowance"), qPrintable(db.error()));
        // As init-db writes a factory's own database: the codes and the allowances.
        QVERIFY2(db.exec(Schema::createTableSql(*Schema::table("loss_allowance"), db.tr().kind())), qPrintable(db.error()));
        QString error;
        QVERIFY2(LossSchema::writeStartingAllowances(db.tr().database(), db.tr().kind(), &error), qPrintable(error));
        checkStartingAllowances(db);
        // A second run keeps what is there.
        QVERIFY(db.exec("update loss_allowance set rate = 1.1 where allowance_key = '04-执模/18K'"));
        QVERIFY2(LossSchema::writeStartingAllowances(db.tr().database(), db.tr().kind(), &error), qPrintable(error));
        QCOMPARE(db.scalar("select rate from loss_allowance where allowance_key = '04-执模/18K'").toDouble(), 1.1);
    }

    void version3IsUpgradedWithTheAllowances_data() { addEngineRows(); }
    void version3IsUpgradedWithTheAllowances()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
        QVERIFY(db.insert("material", {{"mcode", "14KY"}, {"mtype", "GOLD"}, {"purate", 0.585}}));
        QVERIFY(db.insert("material", {{"mcode", "9KR"}, {"mtype", "GOLD"}, {"purate", 0.375}}));
        QVERIFY(db.insert("material", {{"mcode", "PT950"}, {"mtype", "PT"}, {"purate", 0.95}}));
        QVERIFY(db.insert("material", {{"mcode", "DIA"}, {"mtype", "STONE"}}));
        QVERIFY(db.insert("work_report", {{"scno", "KC1"}, {"zt", "FIN"}, {"loss", 0.1}}));
        QVERIFY2(makeVersion3(db), qPrintable(db.error()));

        const UpgradeResult up = upgradeDatabase(db.tr());
        QVERIFY2(up.ok && up.upgraded() && up.fromVersion == 3, qPrintable(up.error));
        QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), Schema::version);
        checkStartingAllowances(db);
        QCOMPARE(db.scalar("select count(*) from metal_recovery").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from work_report").toInt(), 1);
        // Each metal's family, as an allowance names it.
        QStringList families;
        for (const QVariantList &r : db.rows("select mcode, family from view_metal_family order by mcode"))
            families << r[0].toString() + u'=' + r[1].toString();
        QCOMPARE(families, QStringList({"14KY=14K", "18KY=18K", "9KR=9K", "PT950=PT950"}));

        // init-db does the same; the allowances a factory keeps stay as they are.
        QVERIFY2(makeVersion3(db), qPrintable(db.error()));
        const InitResult init = initDatabase(db.tr(), InitOptions{});
        QVERIFY2(init.ok && !init.created, qPrintable(init.error));
        QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), Schema::version);
        checkStartingAllowances(db);
        QVERIFY(db.exec("delete from loss_allowance where metal is not null"));
        QVERIFY2(initDatabase(db.tr(), InitOptions{}).ok, qPrintable(db.error()));
        QCOMPARE(db.scalar("select count(*) from loss_allowance").toInt(), 6);
    }
};

QTEST_MAIN(tst_LossSchema)
#include "tst_lossschema.moc"
