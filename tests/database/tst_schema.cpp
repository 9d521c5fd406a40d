// The schema on both engines: every table and view exists with its columns,
// init-db is idempotent on a Wip database and refuses any other database, and the
// department rows are there.

#include "database/initdatabase.h"
#include "database/metalledger.h"
#include "database/postgresadmin.h"
#include "database/referenceschema.h"
#include "database/schema.h"
#include "testdatabase.h"

#include <QSqlQuery>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QTest>

using namespace wip;
using namespace wip::test;

class tst_Schema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyTableAndViewHasItsColumns_data() { addEngineRows(); }
    void everyTableAndViewHasItsColumns();
    void listedViewColumnsAreThere_data() { addEngineRows(); }
    void listedViewColumnsAreThere();
    void dayWipHoldsTheSevenDepartments_data() { addEngineRows(); }
    void dayWipHoldsTheSevenDepartments();
    void initTwiceIsANoOp_data() { addEngineRows(); }
    void initTwiceIsANoOp();
    void initAddsTheViewsAndIndexesAnOlderBuildLacked_data() { addEngineRows(); }
    void initAddsTheViewsAndIndexesAnOlderBuildLacked();
    void foreignDatabaseIsRefused_data() { addEngineRows(); }
    void foreignDatabaseIsRefused();
    void sameVersionGainsWhatAnEarlierBuildLacked_data() { addEngineRows(); }
    void sameVersionGainsWhatAnEarlierBuildLacked();
    void olderVersionIsUpgradedNewerRefused_data() { addEngineRows(); }
    void olderVersionIsUpgradedNewerRefused();
    void version2GetsTheReferenceTablesAndItsCustomers_data() { addEngineRows(); }
    void version2GetsTheReferenceTablesAndItsCustomers();
    void version3GetsTheClosedDays_data() { addEngineRows(); }
    void version3GetsTheClosedDays();
    void otherSchemaVersionIsRefused_data() { addEngineRows(); }
    void otherSchemaVersionIsRefused();
    void datesCompareAsDatesOnBothEngines_data() { addEngineRows(); }
    void datesCompareAsDatesOnBothEngines();
    void codesOrderBytewise_data() { addEngineRows(); }
    void codesOrderBytewise();
    void identityKeysAreGiven_data() { addEngineRows(); }
    void identityKeysAreGiven();
    void postgresNamesAreChecked();
};

void tst_Schema::everyTableAndViewHasItsColumns()
{
    WIP_TEST_DATABASE(db);
    const QSqlDatabase sql = db.tr().database();
    for (const TableDef &t : Schema::tables()) {
        const QSqlRecord rec = sql.record(t.name);
        QVERIFY2(!rec.isEmpty(), qPrintable(t.name));
        QCOMPARE(rec.count(), t.columns.size());
        for (const ColumnDef &c : t.columns)
            QVERIFY2(rec.contains(c.name), qPrintable(t.name + u'.' + c.name));
    }
    for (const ViewDef &v : Schema::views()) {
        // A view that does not compile fails here with the driver's message.
        db.rows(QStringLiteral("select * from %1 where 1 = 0").arg(v.name));
        QVERIFY2(db.isValid(), qPrintable(v.name + u": " + db.error()));
    }
}

void tst_Schema::listedViewColumnsAreThere()
{
    WIP_TEST_DATABASE(db);
    const QSqlDatabase sql = db.tr().database();
    const QList<QPair<QString, QStringList>> expected = {
        {"view_no_finish_product", {"scno"}},
        {"view_bm_wax", {"scno", "cust_order", "cust_no", "wax_in", "wax_out", "all_total", "issdate",
                         "deldate", "article_code", "pic_name"}},
        {"view_bm_cast", {"casting_in", "casting_out", "all_total"}},
        {"view_bm_dj", {"rhodium_in", "rhodium_out", "all_total"}},
        {"view_bm_qc", {"qc_in", "qc_out", "all_total"}},
        {"view_bm_outside", {"scno", "outside_in", "outside_out", "all_total", "pic_name"}},
        {"view_fil_wipp", {"scno", "wip", "isshand", "pending", "wip_wt", "isshand_wt", "pending_wt"}},
        {"view_fin_wipp", {"scno", "wip", "isshand", "pending"}},
        {"view_pol_wipp", {"scno", "wip", "isshand", "pending"}},
        {"view_set_wipp", {"scno", "wip", "isshand", "pending"}},
        {"view_gongxu_wip", {"gongxu_code", "scno", "changhao", "qty"}},
        {"view_work_notfinish", {"gongxu_cod", "deldate", "scno"}},
        {"view_wip_waycode", {"gonghao", "name", "qty", "scno", "article_code", "way_code", "stones"}},
        {"view_day_wip", {"scno", "article_code", "settype_code", "qtycal", "quantity", "all_total", "edate"}},
        {"view_stone_need", {"scno", "article_code"}},
        {"view_stone_wip_inhand", {"scno", "client", "article_code", "mcode", "zmcode", "recpcs", "isspcs",
                                   "isshand", "arttype_name", "pic_name"}},
    };
    for (const auto &[view, columns] : expected) {
        const QSqlRecord rec = sql.record(view);
        QVERIFY2(!rec.isEmpty(), qPrintable(view));
        for (const QString &c : columns)
            QVERIFY2(rec.contains(c), qPrintable(view + u'.' + c));
    }
}

void tst_Schema::dayWipHoldsTheSevenDepartments()
{
    WIP_TEST_DATABASE(db);
    const auto rows = db.rows(QStringLiteral(
        "select dep_c, dep_e, today_fin, today_tot, today_set, month_set, wip, ldate from day_wip order by dep_c"));
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    const QStringList codes = {"03-倒模", "04-执模", "06-镶石", "07-执边", "08-打磨", "09-电金", "20-出货"};
    const QStringList english = {"CASTING", "FILING", "SETTING", "FINISHING", "POLISHING", "PLATING", "SHIPPING"};
    QCOMPARE(rows.size(), 7);
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(rows[i][0].toString(), codes[i]);
        QCOMPARE(rows[i][1].toString(), english[i]);
        for (int f = 2; f <= 6; ++f)
            QCOMPARE(rows[i][f].toDouble(), 0.0);
        QVERIFY(rows[i][7].isNull());   // no day computed yet
    }
}

void tst_Schema::initTwiceIsANoOp()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}}));
    // A view as an older program made it: made again, the tables and rows untouched.
    QVERIFY(db.exec("drop view view_wip_waycode"));
    QVERIFY(db.exec("create view view_wip_waycode as select scno as gonghao from sconh"));
    const InitResult again = initDatabase(db.tr(), InitOptions{true, 1, QDate(2004, 5, 10)});
    QVERIFY2(again.ok, qPrintable(again.error));
    QVERIFY(!again.created);
    QVERIFY(!again.demoAdded);   // the database holds a contract: no demo into it
    QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 1);
    QCOMPARE(db.scalar("select count(*) from day_wip").toInt(), 7);
    QCOMPARE(db.scalar("select count(*) from wip_schema").toInt(), 1);
    QCOMPARE(db.scalar("select version from wip_schema").toInt(), Schema::version);
    QCOMPARE(db.scalar("select count(stones) from view_wip_waycode").toInt(), 0);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
}

// A database of this schema version made before the follow-up view and an index
// existed gets them from init-db; its rows stay.
void tst_Schema::initAddsTheViewsAndIndexesAnOlderBuildLacked()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}}));
    QVERIFY(db.exec("drop view view_order_standing"));
    QVERIFY(db.exec("drop index ix_process_scno"));
    const InitResult again = initDatabase(db.tr(), InitOptions{false, 1, QDate(2004, 5, 10)});
    QVERIFY2(again.ok, qPrintable(again.error));
    QVERIFY(!again.created);
    QCOMPARE(again.viewsAdded, QStringList{"view_order_standing"});
    QCOMPARE(db.scalar("select count(*) from view_order_standing where is_open = 1").toInt(), 1);
    // The index is there again: dropping it works once more.
    QVERIFY2(db.exec("drop index ix_process_scno"), qPrintable(db.error()));
    QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 1);
}

// A database of this version made by an earlier build of it, before the desk's
// table and the bag's line on the steps: the upgrade at the start and init-db
// add them; the rows stay, the new column NULL in them.
void tst_Schema::sameVersionGainsWhatAnEarlierBuildLacked()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.insert("proch", {{"scno", "KC1"}, {"qty", 5}}));
    const auto makeEarlier = [&db] {
        // That build had no metal ledger either, whose triggers read the column.
        return MetalLedger::remove(db.tr().database(), db.kind(), nullptr)
            && db.exec("drop table bag_place") && db.exec("drop index ix_proch_scond")
            && db.exec("drop index ix_proch_castbatch")
            && db.exec("alter table proch drop column scond_id");
    };
    const auto hasDeskParts = [&db] {
        return db.exec("insert into bag_place (scond_id, place) values (1, 'desk')")
            && db.scalar("select count(*) from proch where scond_id is null").toInt() == 1
            && db.exec("delete from bag_place");
    };
    QVERIFY2(makeEarlier(), qPrintable(db.error()));
    const UpgradeResult up = upgradeDatabase(db.tr());
    QVERIFY2(up.ok && !up.upgraded(), qPrintable(up.error));
    QVERIFY2(hasDeskParts(), qPrintable(db.error()));
    // The index came back with the column.
    QVERIFY2(db.exec("drop index ix_proch_scond"), qPrintable(db.error()));
    QVERIFY(db.exec("create index ix_proch_scond on proch (scond_id, edtime)"));
    // Without only an index (the desk's lookup of a worker's sheet came later): the upgrade at the start adds it.
    QVERIFY2(db.exec("drop index ix_work_wip_worksheet"), qPrintable(db.error()));
    QVERIFY2(upgradeDatabase(db.tr()).ok, qPrintable(db.error()));
    QVERIFY2(db.exec("drop index ix_work_wip_worksheet"), qPrintable(db.error()));
    QVERIFY(db.exec("create index ix_work_wip_worksheet on work_wip (worksheet)"));
    // An index an earlier build made on the transfers' state alone is dropped
    // at the start, and the desk finishes a transfer through its number.
    QVERIFY2(db.exec("create index ix_jcjl_mattran_zt on jcjl_mattran (zt)"), qPrintable(db.error()));
    QVERIFY2(upgradeDatabase(db.tr()).ok, qPrintable(db.error()));
    const QString retired = db.kind() == DbKind::PostgreSQL
        ? QStringLiteral("select count(*) from pg_indexes where indexname = 'ix_jcjl_mattran_zt'")
        : QStringLiteral("select count(*) from sqlite_master where name = 'ix_jcjl_mattran_zt'");
    QCOMPARE(db.scalar(retired).toInt(), 0);
    if (db.kind() == DbKind::SQLite) {
        QSqlQuery q(db.tr().database());
        QVERIFY(q.exec("explain query plan update jcjl_mattran set zt = 'FINISH' "
                       "where mattran_no = 'KC1-1/2' and zt = 'BEGIN'"));
        QString plan;
        while (q.next())
            plan += q.value(3).toString() + QLatin1Char(';');
        QVERIFY2(plan.contains("mattran_no=?"), qPrintable(plan));
    }

    QVERIFY2(makeEarlier(), qPrintable(db.error()));
    const InitResult init = initDatabase(db.tr(), InitOptions{});
    QVERIFY2(init.ok && !init.created, qPrintable(init.error));
    QVERIFY2(hasDeskParts(), qPrintable(db.error()));
    QCOMPARE(db.scalar("select sum(qty) from proch").toInt(), 5);

    // Made before lines kept their number: the column comes with the numbers.
    QVERIFY(db.insert("sconh", {{"scno", "KC1"}}));
    QVERIFY(db.insert("scond", {{"scno", "KC1"}, {"design_no", "D1"}}));
    QVERIFY(db.insert("scond", {{"scno", "KC1"}, {"design_no", "D2"}}));
    QVERIFY2(db.exec("alter table scond drop column line_no"), qPrintable(db.error()));
    QVERIFY2(upgradeDatabase(db.tr()).ok, qPrintable(db.error()));
    QCOMPARE(db.scalar("select count(*) from scond where line_no is not null").toInt(), 2);
    QCOMPARE(db.scalar("select max(line_no) from scond").toInt(), 2);
}

// A database of version 1 (before the audit trail) gets the audit_log table
// and its index in one transaction, from upgradeDatabase as from init-db; its
// rows stay. A newer one is refused by both and keeps its version.
void tst_Schema::olderVersionIsUpgradedNewerRefused()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}}));
    const auto makeVersion1 = [&db] {
        return db.exec("drop table audit_log") && db.exec("update wip_schema set version = 1");
    };
    const auto hasAuditLog = [&db] {
        return db.exec("insert into audit_log (scno, field) values ('KC1', 'wax_out')")
            && db.exec("drop index ix_audit_log_scno") && db.exec("delete from audit_log");
    };
    QVERIFY(makeVersion1());
    const UpgradeResult up = upgradeDatabase(db.tr());
    QVERIFY2(up.ok && up.upgraded() && up.fromVersion == 1, qPrintable(up.error));
    QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), Schema::version);
    QCOMPARE(db.scalar("select count(*) from wip_schema").toInt(), 1);
    QVERIFY2(hasAuditLog(), qPrintable(db.error()));
    const UpgradeResult again = upgradeDatabase(db.tr());
    QVERIFY(again.ok && !again.upgraded());

    QVERIFY2(makeVersion1(), qPrintable(db.error()));
    const InitResult init = initDatabase(db.tr(), InitOptions{});
    QVERIFY2(init.ok && !init.created, qPrintable(init.error));
    QVERIFY2(hasAuditLog(), qPrintable(db.error()));
    QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 1);

    QVERIFY(db.exec("update wip_schema set version = ?", {Schema::version + 1}));
    const UpgradeResult newer = upgradeDatabase(db.tr());
    QVERIFY(!newer.ok);
    QVERIFY2(newer.error.contains(QStringLiteral("version %1").arg(Schema::version + 1)), qPrintable(newer.error));
    QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), Schema::version + 1);
}

// A database of version 2 (before the reference data) gets the customer and
// worker tables and the new columns in one step, from upgradeDatabase as from
// init-db; the customer codes its contracts use become customers, once each;
// every row it had stays as it was.
void tst_Schema::version2GetsTheReferenceTablesAndItsCustomers()
{
    WIP_TEST_DATABASE(db);
    const auto hasColumn = [&db](const QString &table, const QString &column) {
        return db.tr().database().record(table).indexOf(column) >= 0;
    };
    const auto makeVersion2 = [&db] {
        QStringList statements{"drop table customer", "drop table worker", "drop index ix_audit_log_record"};
        for (const ReferenceSchema::AddedColumn &c : ReferenceSchema::addedColumns())
            statements << QStringLiteral("alter table %1 drop column %2").arg(c.table, c.column.name);
        statements << "update wip_schema set version = 2";
        for (const QString &sql : statements) {
            if (!db.exec(sql))
                return false;
        }
        return true;
    };
    for (const char *customer : {"QOR", "TIF", "QOR", "", "  "})
        QVERIFY(db.insert("sconh", {{"scno", QStringLiteral("KC-%1").arg(db.scalar("select count(*) from sconh").toInt())},
                                    {"cust_no", QString::fromUtf8(customer)}}));
    QVERIFY(db.insert("sconh", {{"scno", "KC-NULL"}}));
    QVERIFY(db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
    QVERIFY2(makeVersion2(), qPrintable(db.error()));
    QVERIFY(!hasColumn("material", "hallmark"));

    const UpgradeResult up = upgradeDatabase(db.tr());
    QVERIFY2(up.ok && up.upgraded() && up.fromVersion == 2, qPrintable(up.error));
    QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), Schema::version);
    const auto customers = [&db] {
        QStringList list;
        for (const QVariantList &r : db.rows("select cust_no, active, cust_name from customer order by cust_no"))
            list << r[0].toString() + u'|' + r[1].toString() + u'|' + (r[2].isNull() ? "NULL" : r[2].toString());
        return list;
    };
    QCOMPARE(customers(), (QStringList{"QOR|1|NULL", "TIF|1|NULL"}));
    QCOMPARE(db.scalar("select count(*) from worker").toInt(), 0);
    for (const ReferenceSchema::AddedColumn &c : ReferenceSchema::addedColumns())
        QVERIFY2(hasColumn(c.table, c.column.name), qPrintable(c.table + u'.' + c.column.name));
    QCOMPARE(db.scalar("select count(*) from material where mcode = '18KY' and hallmark is null and active is null")
                 .toInt(), 1);
    QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 6);

    // The same from init-db, and never twice.
    QVERIFY2(makeVersion2(), qPrintable(db.error()));
    QVERIFY(db.exec("insert into sconh (scno, cust_no) values ('KC-9', 'AUR')"));
    const InitResult init = initDatabase(db.tr(), InitOptions{});
    QVERIFY2(init.ok && !init.created, qPrintable(init.error));
    QCOMPARE(customers(), (QStringList{"AUR|1|NULL", "QOR|1|NULL", "TIF|1|NULL"}));
    QVERIFY(initDatabase(db.tr(), InitOptions{}).ok);
    QCOMPARE(customers().size(), 3);
}

// A database of version 3 (before closed days) gets closed_day and its index,
// from upgradeDatabase as from init-db; its rows stay, and no day is closed.
void tst_Schema::version3GetsTheClosedDays()
{
    WIP_TEST_DATABASE(db);
    const auto makeVersion3 = [&db] {
        return db.exec("drop index ix_closed_day_dept_day") && db.exec("drop table closed_day")
            && db.exec("update wip_schema set version = 3");
    };
    const auto closedDays = [&db] {
        return db.exec("insert into closed_day (dept, day, closed_by) values ('执模', ?, 'BOSS')",
                       {QDateTime(QDate(2004, 3, 1), QTime(0, 0))})
            && db.scalar("select count(*) from closed_day where dept = '执模' and day = ?",
                         {QDateTime(QDate(2004, 3, 1), QTime(0, 0))}).toInt() == 1
            && db.exec("drop index ix_closed_day_dept_day")
            && db.exec("create index ix_closed_day_dept_day on closed_day (dept, day)")
            && db.exec("delete from closed_day");
    };
    QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}}));
    QVERIFY2(makeVersion3(), qPrintable(db.error()));
    const UpgradeResult up = upgradeDatabase(db.tr());
    QVERIFY2(up.ok && up.upgraded() && up.fromVersion == 3, qPrintable(up.error));
    QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), Schema::version);
    QVERIFY2(closedDays(), qPrintable(db.error()));

    QVERIFY2(makeVersion3(), qPrintable(db.error()));
    const InitResult init = initDatabase(db.tr(), InitOptions{});
    QVERIFY2(init.ok && !init.created, qPrintable(init.error));
    QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), Schema::version);
    QVERIFY2(closedDays(), qPrintable(db.error()));
    QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 1);
}

void tst_Schema::foreignDatabaseIsRefused()
{
    QFETCH(QString, engine);
    if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
        QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
    TestDatabase db(engineFromName(engine), false);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY(db.exec("create table customers (code text, name text)"));
    QVERIFY(db.exec("insert into customers (code, name) values (?, ?)", {"C1", "Mr. Chan"}));

    const InitResult r = initDatabase(db.tr(), InitOptions{true, 1, QDate(2004, 5, 10)});
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains("customers"), qPrintable(r.error));
    QVERIFY(r.error.contains("not a Wip database"));
    // Nothing was touched: no table of ours, the foreign row still there.
    const QStringList tables = db.tr().database().tables();
    QVERIFY2(!tables.contains("sconh") && !tables.contains("wip_schema"), qPrintable(tables.join(',')));
    QCOMPARE(db.scalar("select count(*) from customers").toInt(), 1);
}

void tst_Schema::otherSchemaVersionIsRefused()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.exec("update wip_schema set version = ?", {Schema::version + 1}));
    const InitResult r = initDatabase(db.tr(), InitOptions{});
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(QStringLiteral("version %1").arg(Schema::version + 1)), qPrintable(r.error));

    QVERIFY(db.exec("delete from wip_schema"));
    const InitResult r2 = initDatabase(db.tr(), InitOptions{});
    QVERIFY(!r2.ok);
    QVERIFY2(r2.error.contains("without a version"), qPrintable(r2.error));
}

// A day's rows stored at different times of that day are all "between" the day's
// first and last second, and a row at midnight is caught by "between day and day".
void tst_Schema::datesCompareAsDatesOnBothEngines()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.insert("castind", {{"contractno", "KC1"}, {"ldate", QDate(2004, 3, 1)}, {"qtyref", 5}}));
    QVERIFY(db.insert("castind", {{"contractno", "KC2"}, {"ldate", QDateTime(QDate(2004, 3, 1), QTime(15, 20))}, {"qtyref", 7}}));
    QVERIFY(db.insert("castind", {{"contractno", "KC3"}, {"ldate", QDate(2004, 3, 2)}, {"qtyref", 11}}));
    QCOMPARE(db.scalar("select sum(qtyref) from castind where ldate between ? and ?",
                       {QDate(2004, 3, 1), QDate(2004, 3, 1)}).toDouble(), 5.0);
    QCOMPARE(db.scalar("select sum(qtyref) from castind where ldate between ? and ?",
                       {QDate(2004, 3, 1), QDate(2004, 3, 2)}).toDouble(), 23.0);
    QVERIFY(db.scalar("select sum(qtyref) from castind where ldate between ? and ?",
                      {QDate(2004, 3, 2), QDate(2004, 3, 1)}).isNull());
    // numeric(18,3) keeps grams to three places on both engines
    QVERIFY(db.insert("castind", {{"contractno", "KC4"}, {"qtycal", 12.345}}));
    QCOMPARE(db.scalar("select qtycal from castind where contractno = ?", {"KC4"}).toDouble(), 12.345);
}

// Stock codes compare bytewise ("tcode > fcode"), with Chinese text after the digits.
void tst_Schema::codesOrderBytewise()
{
    WIP_TEST_DATABASE(db);
    for (const char *code : {"05-镶石收发", "04-执模收发", "20-成品PRODUCT", "03-Tarvel金仓", "11-工人在做仓"})
        QVERIFY(db.insert("stock", {{"stock_code", QString::fromUtf8(code)}}));
    const auto rows = db.rows("select stock_code from stock where stock_code > ? order by stock_code",
                              {QStringLiteral("04-执模收发")});
    QStringList got;
    for (const auto &r : rows)
        got << r[0].toString();
    QCOMPARE(got, (QStringList{"05-镶石收发", "11-工人在做仓", "20-成品PRODUCT"}));
    // Upper case sorts before lower case bytewise; a language collation would put
    // "03-Tarvel金仓" after "03-tarvel" (longer, same letters).
    QCOMPARE(db.scalar("select count(*) from stock where stock_code > ?", {"03-tarvel"}).toInt(), 4);
}

void tst_Schema::identityKeysAreGiven()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.insert("sconh", {{"sconh_id", 41}, {"scno", "KC41"}}));
    // After an explicit key the next generated one does not collide.
    QVERIFY(db.insert("sconh", {{"scno", "KC42"}}));
    QVERIFY(db.insert("sconh", {{"scno", "KC43"}}));
    const auto rows = db.rows("select sconh_id from sconh order by sconh_id");
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0][0].toInt(), 41);
    QVERIFY(rows[1][0].toInt() > 41);
    QVERIFY(rows[2][0].toInt() > rows[1][0].toInt());
}

void tst_Schema::postgresNamesAreChecked()
{
    QVERIFY(PostgresAdmin::isValidName("wip_test_1"));
    QVERIFY(!PostgresAdmin::isValidName("1wip"));
    QVERIFY(!PostgresAdmin::isValidName("wip; drop database postgres"));
    QVERIFY(!PostgresAdmin::isValidName("Wip"));
    QVERIFY(!PostgresAdmin::isValidName(QString(64, u'a')));
    QString error;
    QVERIFY(!PostgresAdmin::createDatabase(ConnectionSettings(), "bad name", &error));
    QVERIFY(error.contains("bad name"));
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
