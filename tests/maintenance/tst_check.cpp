// The checks of wip check on both engines: each rule finds the one fault
// seeded for it, in its own words, and nothing else; a clean factory (rows
// that look like faults but are not among them), the demo factory and a desk's
// real work give no finding; a scan past the desk is found as progress that
// disagrees with the bags.

#include "database/initdatabase.h"
#include "desk/desk.h"
#include "desk/scanstation.h"
#include "maintenance/consistencycheck.h"
#include "maintenance/integritycheck.h"
#include "testdatabase.h"

#include <QtTest>

#include <functional>

using namespace wip;
using namespace wip::test;
using Values = TestDatabase::Values;

namespace {

const QDateTime kNow(QDate(2004, 3, 20), QTime(12, 0));

QDateTime daysAgo(int days, int hour = 9)
{
    return QDateTime(kNow.date().addDays(-days), QTime(hour, 0));
}

// Contract KC1 of one bag (KC1-1, 18KY, 10 pieces) and rows that look like
// faults and are none: a transfer of three days, a worker's sheet of a month
// (the worker's work, not a transfer), a finished transfer of a month, raw
// metal moved without a contract, a closed step below nothing.
bool cleanFactory(TestDatabase &db)
{
    const auto transfer = [&db](const char *no, const char *zt, const char *to, const QDateTime &when, const QVariant &scno) {
        return db.insert("jcjl_mattran", {{"mattran_no", no}, {"scno", scno}, {"zt", zt}, {"fcode", "04-执模收发"},
                                          {"tcode", QString::fromUtf8(to)}, {"ldate", when}, {"mcode", "18KY"},
                                          {"qtycal", 10}, {"qtyref", 31.25}});
    };
    return db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}, {"next_line_no", 2}})
        && db.insert("scond", {{"scno", "KC1"}, {"metal", "18KY"}, {"quantity", 10}})
        && db.insert("proch", {{"scno", "KC1"}, {"gongxu_code", "04-执模"}, {"changhao", "0401"}, {"qty", 10}})
        && db.insert("proch_new", {{"scno", "KC1"}, {"gongxu_code", "04-执模"}, {"changhao", ""}, {"qty", -5},
                                   {"weight", -3}, {"edtime", daysAgo(2)}})
        && transfer("MT-RECENT", "BEGIN", "05-镶石收发", daysAgo(3), "KC1")
        && transfer("MT-WORKER", "BEGIN", "11-工人在做仓", daysAgo(30), "KC1")
        && transfer("MT-OLD", "FINISH", "05-镶石收发", daysAgo(30), "KC1")
        && transfer("MT-RAW", "FINISH", "04-执模收发", daysAgo(30), QVariant());
}

QVariant lineOne(TestDatabase &db)
{
    return db.scalar("select scond_id from scond where scno = 'KC1'");
}

// The progress record of KC1 as the desk leaves it with its bag at 执模.
bool progressAtFiling(TestDatabase &db)
{
    return db.insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 10}, {"casting_in", 10},
                                 {"casting_out", 10}, {"filing_in", 10}});
}

bool bagAtFiling(TestDatabase &db, int pcs, double weight)
{
    return db.insert("bag_place", {{"scond_id", lineOne(db)}, {"scno", "KC1"}, {"place", "desk"},
                                   {"gongxu_code", "04-执模"}, {"pcs", pcs}, {"weight", weight}, {"moves", 5}});
}

struct Fault
{
    const char *name;
    bool sqliteOnly;
    std::function<bool(TestDatabase &)> seed;
};

const QList<Fault> &faults()
{
    static const QList<Fault> list = {
        {"step of an unknown contract", false,
         [](TestDatabase &db) { return db.insert("proch", {{"scno", "KC9"}, {"gongxu_code", "04-执模"}, {"qty", 3}}); }},
        {"weighed steps of an unknown contract", false,
         [](TestDatabase &db) {
             return db.insert("proch_new", {{"scno", "KC9"}, {"gongxu_code", "04-执模"}, {"qty", 3}, {"edtime", daysAgo(1)}})
                 && db.insert("proch_new", {{"scno", "KC9"}, {"gongxu_code", "06-镶石"}, {"qty", 3}, {"edtime", daysAgo(1)}});
         }},
        {"sheet line of an unknown contract", false,
         [](TestDatabase &db) { return db.insert("work_report", {{"scno", "KC8"}, {"zt", "FIN"}, {"fin_pcs", 2}}); }},
        {"transfer of an unknown contract", false,
         [](TestDatabase &db) {
             return db.insert("jcjl_mattran", {{"mattran_no", "MT7"}, {"scno", "KC7"}, {"zt", "FINISH"}, {"ldate", daysAgo(1)}});
         }},
        {"desk below nothing", false,
         [](TestDatabase &db) {
             return db.insert("proch_new", {{"scno", "KC1"}, {"scond_id", lineOne(db)}, {"gongxu_code", "04-执模"},
                                            {"changhao", ""}, {"qty", -2}, {"weight", -1.5}});
         }},
        {"worker below nothing in grams", false,
         [](TestDatabase &db) {
             const Values step{{"scno", "KC1"}, {"scond_id", lineOne(db)}, {"gongxu_code", "04-执模"}, {"changhao", "0401"}};
             return db.insert("proch_new", step + Values{{"qty", 3}, {"weight", 5}})
                 && db.insert("proch_new", step + Values{{"qty", 0}, {"weight", -6}, {"edtime", QDateTime(QDate(1899, 12, 30), QTime(0, 0))}});
         }},
        {"pending sheet below nothing", false,
         [](TestDatabase &db) {
             return db.insert("work_report", {{"scno", "KC1"}, {"scond_id", lineOne(db)}, {"gongxu", "04-执模"},
                                              {"changhao", "0402"}, {"mcode", "18KY"}, {"zt", "PEN"}, {"pen_pcs", 2},
                                              {"pen_weight", -0.5}});
         }},
        {"open sheet below nothing", false,
         [](TestDatabase &db) {
             return db.insert("work_wip", {{"worksheet", "KC1-1/6"}, {"scno", "KC1"}, {"gongxu_code", "04-执模"},
                                           {"changhao", "0401"}, {"pcs", -1}, {"weight", 2}});
         }},
        {"bag below nothing", false,
         [](TestDatabase &db) { return progressAtFiling(db) && bagAtFiling(db, 10, -3); }},
        {"transfer not received", false,
         [](TestDatabase &db) {
             return db.insert("jcjl_mattran", {{"mattran_no", "MT1"}, {"scno", "KC1"}, {"scond_id", lineOne(db)},
                                               {"zt", "BEGIN"}, {"fcode", "04-执模收发"}, {"tcode", "05-镶石收发"},
                                               {"ldate", daysAgo(10)}, {"qtycal", 10}, {"qtyref", 31.25}});
         }},
        {"progress scanned past the bag", false,
         [](TestDatabase &db) {
             return bagAtFiling(db, 10, 31.25)
                 && db.insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 10}, {"casting_in", 10},
                                          {"casting_out", 10}, {"filing_in", 10}, {"filing_out", 10}, {"setting_in", 10}});
         }},
        {"bags without a progress record", false, [](TestDatabase &db) { return bagAtFiling(db, 10, 31.25); }},
        {"index that disagrees with its table", true,
         [](TestDatabase &db) {
             const bool made = db.exec("create table t (a integer, b integer)") && db.exec("create index ti on t (a)")
                 && db.exec("insert into t values (1, 10), (2, 20), (3, 30)") && db.exec("pragma writable_schema = 1")
                 && db.exec("update sqlite_master set sql = 'CREATE INDEX ti ON t (b)' where name = 'ti'")
                 && db.exec("pragma writable_schema = 0");
             // The connection reads the schema again, as the next program would.
             db.tr().disconnect();
             return made && db.tr().connect();
         }},
        {"row without its parent", true,
         [](TestDatabase &db) {
             return db.exec("create table parent (id integer primary key)")
                 && db.exec("create table child (id integer, pid integer references parent (id))")
                 && db.exec("insert into child values (1, 99)");
         }},
    };
    return list;
}

// What the check finds on tr, as lines.
QStringList check(Transaction &tr, QStringList *notes = nullptr)
{
    QList<Finding> findings;
    QStringList ignored;
    QString error;
    if (!IntegrityCheck::run(tr, &findings, notes ? notes : &ignored, &error))
        return {QStringLiteral("integrity check failed: ") + error};
    ConsistencyCheck rules(tr, {7, kNow});
    if (!rules.run(&findings))
        return {QStringLiteral("rules failed: ") + rules.error()};
    QStringList lines;
    for (const Finding &f : std::as_const(findings))
        lines << f.line();
    return lines;
}

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanFactoryHasNoFinding_data() { addEngineRows(); }
    void cleanFactoryHasNoFinding()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(cleanFactory(db), qPrintable(db.error()));
        QCOMPARE(check(db.tr()), QStringList());
    }

    void findsEachSeededFault_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("expected");
        const QList<QStringList> expected = {
            {"unknown-contract: proch: 1 row names contract KC9, which the sales contracts (sconh) do not hold"},
            {"unknown-contract: proch_new: 2 rows name contract KC9, which the sales contracts (sconh) do not hold"},
            {"unknown-contract: work_report: 1 row names contract KC8, which the sales contracts (sconh) do not hold"},
            {"unknown-contract: jcjl_mattran: 1 row names contract KC7, which the sales contracts (sconh) do not hold"},
            {"negative-holding: the desk of 04-执模 holds -2 pieces and -1.500 g of bag KC1-1 (18KY) (open proch_new rows)"},
            {"negative-holding: worker 0401 of 04-执模 holds 3 pieces and -1.000 g of bag KC1-1 (18KY) (open proch_new rows)"},
            {"negative-holding: worker 0402 of 04-执模 holds 2 pieces and -0.500 g of bag KC1-1 (18KY) (pending "
             "work_report lines)"},
            {"negative-holding: worker 0401 of 04-执模 holds -1 pieces and 2.000 g of contract KC1 on open sheet KC1-1/6 "
             "(work_wip)"},
            {"negative-holding: the desk of 04-执模 holds 10 pieces and -3.000 g of bag KC1-1 (18KY) (bag_place, the bag "
             "at: desk)"},
            {"transfer-not-received: MT1 of bag KC1-1 from 04-执模收发 to 05-镶石收发, sent 2004-03-10 09:00 (10 pieces "
             "and 31.250 g), not received for 10 days"},
            {"progress-disagrees: KC1 at 执模: 0 pieces in the progress record (filing_in 10 - filing_out 10), 10 in its "
             "bags there (at the desk, with its workers, out, or passed on to it)",
             "progress-disagrees: KC1 at 镶石: 10 pieces in the progress record (setting_in 10 - setting_out 0), 0 in its "
             "bags there (at the desk, with its workers, out, or passed on to it)"},
            {"progress-disagrees: KC1 at 执模: 0 pieces in the progress record (filing_in 0 - filing_out 0), 10 in its "
             "bags there (at the desk, with its workers, out, or passed on to it)"},
            {"integrity: row 1 missing from index ti", "integrity: row 2 missing from index ti",
             "integrity: row 3 missing from index ti"},
            {"integrity: child row 1 refers to a row of parent that is not there (foreign key 0)"},
        };
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < faults().size(); ++i) {
                if (faults()[i].sqliteOnly && QByteArray(engine) != "sqlite")
                    continue;
                QTest::addRow("%s: %s", engine, faults()[i].name) << QString::fromLatin1(engine) << i << expected.value(i);
            }
        }
    }
    void findsEachSeededFault()
    {
        QFETCH(int, fault);
        QFETCH(QStringList, expected);
        WIP_TEST_DATABASE(db);
        QVERIFY2(cleanFactory(db), qPrintable(db.error()));
        QVERIFY2(faults()[fault].seed(db), qPrintable(db.error()));
        QStringList found = check(db.tr());
        // The database's own check may say more about one fault than the line we look for.
        if (expected.first().startsWith("integrity: "))
            found.removeIf([&expected](const QString &line) { return !expected.contains(line); });
        QCOMPARE(found, expected);
    }

    void daysSayWhenATransferIsLate()
    {
        TestDatabase db;
        QVERIFY(db.isValid() && cleanFactory(db));
        QList<Finding> findings;
        ConsistencyCheck(db.tr(), {2, kNow}).transfersNotReceived(&findings);
        QCOMPARE(findings.size(), 1);
        QVERIFY2(findings[0].text.startsWith("MT-RECENT of bag KC1 from 04-执模收发 to 05-镶石收发"), qPrintable(findings[0].text));
    }

    void demoFactoryHasNoFinding_data() { addEngineRows(); }
    void demoFactoryHasNoFinding()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES");
        TestDatabase db(engineFromName(engine), false);
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        const InitResult init = initDatabase(db.tr(), InitOptions{true, 1, kNow.date()});
        QVERIFY2(init.ok, qPrintable(init.error));
        QVERIFY(db.scalar("select count(*) from bag_place").toInt() > 0);
        const QStringList findings = check(db.tr());
        QVERIFY2(findings.isEmpty(), qPrintable(findings.join(u'\n')));
    }

    // The desk's own work agrees with every rule; a scan at the old scan
    // station past the desk does not.
    void deskWorkAgreesAndAScanPastItDoesNot_data() { addEngineRows(); }
    void deskWorkAgreesAndAScanPastItDoesNot()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}, {"next_line_no", 3}})
                && db.insert("scond", {{"scno", "KC1"}, {"metal", "18KY"}, {"quantity", 10}})
                && db.insert("scond", {{"scno", "KC1"}, {"metal", "18KY"}, {"quantity", 6}})
                && db.insert("worker", {{"changhao", "0401"}, {"xingming", "张三"}, {"gongxu_code", "04-执模"}, {"active", 1}}));
        Desk desk(db.tr(), {QStringLiteral("CLERK"), QStringLiteral("test")}, Right::Scan, Desk::Options{});
        const auto act = [&desk](DeskAction action, const char *code, const char *dept, const char *weight,
                                 const char *pieces = "", const char *worker = "") {
            DeskRequest r;
            r.action = action;
            r.code = QString::fromLatin1(code);
            r.department = QString::fromUtf8(dept);
            r.weight = QString::fromLatin1(weight);
            r.pieces = QString::fromLatin1(pieces);
            r.worker = QString::fromLatin1(worker);
            return desk.act(r);
        };
        using A = DeskAction;
        for (const char *bag : {"KC1-1", "KC1-2"}) {
            for (const auto &[action, dept] : {std::pair{A::Receive, "唧蜡"}, {A::PassOn, "唧蜡"}, {A::Receive, "倒模"}, {A::PassOn, "倒模"}}) {
                const DeskOutcome o = act(action, bag, dept, "20");
                QVERIFY2(o.done(), qPrintable(o.message));
            }
        }
        for (const DeskOutcome &o : {act(A::Receive, "KC1-1", "执模", "20"), act(A::Issue, "KC1-1", "执模", "20", "10", "0401"),
                                     act(A::TakeBack, "KC1-1", "执模", "11.5", "6")})
            QVERIFY2(o.done(), qPrintable(o.message));
        QCOMPARE(check(db.tr()), QStringList());

        ScanStation station(db.tr(), {QStringLiteral("CLERK"), QStringLiteral("test")}, QString(), true);
        const ScanOutcome scan = station.scan("KC1-1", *ScanDepartment::find("执模"), ScanAction::Out);
        QVERIFY2(scan.done(), qPrintable(scan.message));
        const QStringList found = check(db.tr());
        QCOMPARE(found.size(), 2);
        QVERIFY2(found[0].startsWith("progress-disagrees: KC1 at 执模: 6 pieces in the progress record (filing_in 16 - "
                                     "filing_out 10), 16 in its bags"),
                 qPrintable(found.join('\n')));
        QVERIFY2(found[1].startsWith("progress-disagrees: KC1 at 镶石: 10 pieces"), qPrintable(found.join('\n')));
    }

    // PostgreSQL's own check runs where the database has amcheck, and says so
    // where it has not.
    void postgresChecksWithAmcheckWhereItIs()
    {
        if (!postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES");
        TestDatabase db(Engine::PostgreSQL);
        QVERIFY2(db.isValid() && cleanFactory(db), qPrintable(db.error()));
        QStringList notes;
        QCOMPARE(check(db.tr(), &notes), QStringList());
        QVERIFY2(notes.size() == 1 && notes[0].contains("amcheck") && notes[0].contains("not"), qPrintable(notes.join('\n')));
        if (!db.exec("create extension if not exists amcheck"))
            QSKIP("amcheck cannot be added on this server");
        notes.clear();
        QCOMPARE(check(db.tr(), &notes), QStringList());
        QVERIFY2(notes.isEmpty(), qPrintable(notes.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestCheck)
#include "tst_check.moc"
