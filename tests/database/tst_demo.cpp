// The demo factory: every table and view shows rows, today's and this month's
// reports have data in every department, it is the same on every run, and the
// style pictures are real bitmaps.

#include "database/demofactory.h"
#include "database/demopictures.h"
#include "database/initdatabase.h"
#include "database/passwordhash.h"
#include "database/schema.h"
#include "database/useraccounts.h"
#include "testdatabase.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QMap>
#include <QTest>

using namespace wip;
using namespace wip::test;

namespace {
const QDate kToday(2004, 5, 12);
}

class tst_Demo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyTableAndViewHasRows_data() { addEngineRows(); }
    void everyTableAndViewHasRows();
    void demoIsLikeRealData();
    void workerNumberKeepsOneName();
    void hallmarkIsTheMetalsFineness();
    void demoIsTheSameOnEveryRun();
    void initWithDemoOnExistingDemoDoesNotDuplicate();
    void demoUsersLogInWithTheirRights();
    void picturesAreBitmapsWithAFallback();
    void scaleMultipliesTheVolume();

private:
    // One SQLite demo factory shared by the tests that only read it.
    std::unique_ptr<TestDatabase> m_demo;
};

void tst_Demo::initTestCase()
{
    m_demo = std::make_unique<TestDatabase>(Engine::SQLite, false);
    QVERIFY2(m_demo->isValid(), qPrintable(m_demo->error()));
    const InitResult r = initDatabase(m_demo->tr(), InitOptions{true, 1, kToday});
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(r.created && r.demoAdded);
}

void tst_Demo::everyTableAndViewHasRows()
{
    QFETCH(QString, engine);
    if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
        QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
    std::unique_ptr<TestDatabase> postgres;
    if (engineFromName(engine) == Engine::PostgreSQL) {
        postgres = std::make_unique<TestDatabase>(Engine::PostgreSQL, false);
        QVERIFY2(postgres->isValid(), qPrintable(postgres->error()));
        const InitResult r = initDatabase(postgres->tr(), InitOptions{true, 1, kToday});
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(r.created && r.demoAdded);
    }
    TestDatabase &db = postgres ? *postgres : *m_demo;

    if (postgres) {
        // The same demo reads the same through every table and view on both engines.
        const QList<QPair<QString, QString>> sums = {
            {"view_bm_wax", "all_total"}, {"view_bm_cast", "all_total"}, {"view_bm_dj", "all_total"},
            {"view_bm_qc", "all_total"}, {"view_bm_outside", "all_total"}, {"view_fil_wipp", "pending_wt"},
            {"view_set_wipp", "wip"}, {"view_fin_wipp", "isshand"}, {"view_pol_wipp", "pending"},
            {"view_gongxu_wip", "qty"}, {"view_work_notfinish", "qty"}, {"view_wip_waycode", "qty"},
            {"view_day_wip", "all_total"}, {"view_stone_need", "need_qty"}, {"view_stone_wip_inhand", "isshand"},
            {"proch", "qty"}, {"proch_new", "weight"}, {"jcjl_mattran", "qtyref"}, {"matuse", "sqtycal"},
            {"castind", "qtycal"}, {"process", "gold_in"}, {"work_report", "fin_weight"}};
        for (const QString &name : Schema::tableNames() + Schema::viewNames())
            QVERIFY2(db.scalar(QStringLiteral("select count(*) from %1").arg(name)).toInt()
                         == m_demo->scalar(QStringLiteral("select count(*) from %1").arg(name)).toInt(),
                     qPrintable(name));
        for (const auto &[name, column] : sums) {
            const QString sql = QStringLiteral("select sum(%1) from %2").arg(column, name);
            QVERIFY2(qAbs(db.scalar(sql).toDouble() - m_demo->scalar(sql).toDouble()) < 0.001,
                     qPrintable(sql));
        }
        // Generated keys go on after the demo's explicit ones.
        QVERIFY2(db.exec("insert into sconh (scno) values (?)", {"KC-NEW"}), qPrintable(db.error()));
        QVERIFY(db.exec("insert into proch (scno, qty) values (?, ?)", {"KC-NEW", 1}));
    }

    for (const QString &name : Schema::tableNames() + Schema::viewNames()) {
        const int n = db.scalar(QStringLiteral("select count(*) from %1").arg(name)).toInt();
        QVERIFY2(n > 0, qPrintable(name + u" is empty " + db.error()));
    }

    // Today's output exists for every department of the daily report (stamped in
    // the working hours of today), and open work in each but shipping, whose desk
    // takes in finished bags and gives nothing to workers.
    const QDateTime today(kToday, QTime(0, 0));
    const QDateTime tomorrow(kToday.addDays(1), QTime(0, 0));
    for (const QString gx : {"04-执模", "06-镶石", "07-执边", "08-打磨", "09-电金", "20-出货"}) {
        QVERIFY2(db.scalar("select count(*) from proch where gongxu_code = ? and edtime >= ? and edtime < ?",
                           {gx, today, tomorrow}).toInt() > 0, qPrintable(gx));
        QVERIFY2(db.scalar("select count(*) from proch where gongxu_code = ? and edtime is null", {gx}).toInt() > 0
                     || gx == u"20-出货", qPrintable(gx));
    }
    QVERIFY(db.scalar("select count(*) from castind where ldate >= ? and ldate < ?", {today, tomorrow}).toInt() > 0);
    QVERIFY(db.scalar("select count(*) from view_day_wip where edate >= ? and edate < ?", {today, tomorrow}).toInt() > 0);
    // Open contracts due within the last week, for the order analysis.
    QVERIFY(db.scalar("select count(*) from sconh where (inv_no is null or inv_no = '') and deldate between ? and ?",
                      {kToday.addDays(-7), kToday}).toInt() > 0);
    // The transfer report of the filing desk lists transfers this month.
    QVERIFY(db.scalar("select count(*) from jcjl_mattran where fcode = ? and ldate between ? and ? "
                      "and tcode > fcode and tcode <> '11-工人在做仓' and zmcode like '%原料WIP%' "
                      "and tcode <> '09-废金仓'",
                      {"04-执模收发", QDate(kToday.year(), kToday.month(), 1), kToday}).toInt() > 0);
    // Gold and platinum on open steps, for the WIP materials window.
    QVERIFY(db.scalar("select count(*) from matuse m join proch p on p.proch_id = m.proch_id "
                      "join material t on t.mcode = m.mcode where p.gongxu_code = ? and p.edtime is null "
                      "and t.mtype in ('GOLD', 'PT')", {"04-执模"}).toInt() > 0);
    // Placeholder finish dates of proch_new, which "NEW WIP" clears.
    QVERIFY(db.scalar("select count(*) from proch_new where edtime < '1900-01-02'").toInt() > 0);
    QVERIFY(db.scalar("select count(*) from jcjl_mattran where mcode like '%线%'").toInt() > 0);
    QVERIFY(db.scalar("select count(*) from jcjl_mattran where mcode like '%焊%'").toInt() > 0);
    QVERIFY(db.scalar("select count(*) from view_bm_cast where cust_no = 'QOR'").toInt() > 0);
    QVERIFY(db.scalar("select count(*) from view_bm_wax where scno not like 'S%'").toInt() > 0);
    QVERIFY(db.scalar("select count(*) from process where remark is not null").toInt() > 0);
    QCOMPARE(db.scalar("select count(distinct gongxu_code) from gongxu").toInt(), 17);
    QCOMPARE(db.scalar("select count(*) from stock").toInt(), 11);
    for (const QString way : {"包镶", "钉镶", "光圈镶", "虎爪镶", "迫镶", "田字镶", "无边镶", "闸镶", "爪镶"})
        QVERIFY2(db.scalar("select count(*) from view_wip_waycode where way_code = ?", {way}).toInt() > 0,
                 qPrintable(way));
}

// The demo is as real data is where that matters to the figures: times of day in
// working hours, dates in order, contracts in several metals.
void tst_Demo::demoIsLikeRealData()
{
    TestDatabase &db = *m_demo;
    // Finished steps, transfers, castings and progress stamps carry times of day,
    // afternoons among them, and none outside 08:00 to 18:00.
    const QList<QPair<QString, QString>> stamped = {{"proch", "edtime"}, {"proch_new", "edtime"},
                                                    {"jcjl_mattran", "ldate"}, {"castind", "ldate"},
                                                    {"process", "casting_date"}, {"work_report", "fin_date"}};
    for (const auto &[table, column] : stamped) {
        QMap<int, int> hours;
        for (const QVariantList &r : db.rows(QStringLiteral("select %1 from %2 where %1 is not null").arg(column, table))) {
            const QVariant v = r.at(0);
            const QDateTime dt = v.typeId() == QMetaType::QDateTime
                ? v.toDateTime()
                : QDateTime::fromString(v.toString().left(19).replace(u'T', u' '), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (dt.date().year() > 1900)
                ++hours[dt.time().hour()];
        }
        const QString what = table + u'.' + column;
        QVERIFY2(!hours.isEmpty() && hours.firstKey() >= 8 && hours.lastKey() < 18, qPrintable(what));
        QVERIFY2(hours.lastKey() >= 13, qPrintable(what + u" has no afternoon"));
    }
    // Ordered before due; each department starts after the one before finished.
    QCOMPARE(db.scalar("select count(*) from sconh where deldate <= issdate").toInt(), 0);
    QCOMPARE(db.scalar("select count(*) from proch where edtime is not null and edtime < sttime").toInt(), 0);
    QCOMPARE(db.scalar("select count(*) from proch a join proch b on b.scno = a.scno "
                       "where a.gongxu_code = '01-唧腊' and b.gongxu_code = '03-倒模' and b.sttime < a.edtime")
                 .toInt(), 0);
    QCOMPARE(db.scalar("select count(*) from castind c join proch p on p.scno = c.contractno "
                       "where p.gongxu_code = '01-唧腊' and c.ldate < p.edtime").toInt(), 0);
    QCOMPARE(db.scalar("select count(*) from process where casting_date < wax_date").toInt(), 0);
    // Contracts with lines in more than one metal, and their steps and sheets in each.
    QVERIFY(db.scalar("select count(*) from (select scno from scond group by scno having count(distinct metal) > 1) m")
                .toInt() > 100);
    QVERIFY(db.scalar("select count(*) from (select scno from work_report group by scno "
                      "having count(distinct mcode) > 1) m").toInt() > 50);
}

// A worker number names one worker in every table that names workers: the
// steps, the worker sheets, the work in hand and the transfers.
void tst_Demo::workerNumberKeepsOneName()
{
    TestDatabase &db = *m_demo;
    const QString named = QStringLiteral(
        "select changhao as no, xingming as name from proch union all "
        "select changhao, xingming from proch_new union all "
        "select changhao, xingming from work_report union all "
        "select changhao, xingming from work_wip union all "
        "select gonghao, name from jcjl_mattran");
    const auto rows = db.rows(QStringLiteral("select no, count(distinct name) from (%1) w "
                                             "where coalesce(no, '') <> '' and coalesce(name, '') <> '' "
                                             "group by no having count(distinct name) > 1").arg(named));
    QStringList faults;
    for (const QVariantList &r : rows)
        faults << QStringLiteral("%1: %2 names").arg(r.at(0).toString(), r.at(1).toString());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral(", "))));
    QVERIFY(db.scalar(QStringLiteral("select count(distinct gonghao) from jcjl_mattran where gonghao <> ''")).toInt() >= 8);
}

// A line is stamped with its metal's fineness: 585 for 14K, 375 for 9K, PT900
// for PT900, as the material table gives each metal's purity.
void tst_Demo::hallmarkIsTheMetalsFineness()
{
    TestDatabase &db = *m_demo;
    const auto rows = db.rows(QStringLiteral(
        "select distinct s.metal, m.mtype, m.purate, s.hallmark from scond s join material m on m.mcode = s.metal"));
    QVERIFY(rows.size() >= 6);
    for (const QVariantList &r : rows) {
        const QString fineness = QString::number(qRound(r.at(2).toDouble() * 1000));
        const QString expected = (r.at(1).toString() == QLatin1String("PT") ? QStringLiteral("PT") : QString()) + fineness;
        QVERIFY2(r.at(3).toString().section(QLatin1Char(' '), 0, 0) == expected,
                 qPrintable(QStringLiteral("%1 stamped \"%2\"").arg(r.at(0).toString(), r.at(3).toString())));
    }
}

void tst_Demo::demoIsTheSameOnEveryRun()
{
    TestDatabase &a = *m_demo;
    TestDatabase b(Engine::SQLite, false);
    QVERIFY(initDatabase(b.tr(), InitOptions{true, 1, kToday}).ok);
    const QStringList checks = {
        "select count(*), sum(qty) from proch",
        "select count(*), sum(qtycal), sum(qtyref) from jcjl_mattran",
        "select group_concat(scno || ':' || cust_no || ':' || deldate, ',') from sconh",
        "select count(*), sum(weight) from proch_new",
        "select count(*), sum(sqtycal) from matuse",
    };
    for (const QString &sql : checks) {
        const auto ra = a.rows(sql), rb = b.rows(sql);
        QCOMPARE(ra, rb);
    }
    QVERIFY(a.scalar("select count(*) from proch").toInt() > 5000);
}

void tst_Demo::initWithDemoOnExistingDemoDoesNotDuplicate()
{
    TestDatabase db(Engine::SQLite);   // schema, no demo
    QVERIFY(db.isValid());
    // A Wip database without contracts takes the demo when asked ...
    InitResult r = initDatabase(db.tr(), InitOptions{true, 1, kToday});
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(!r.created);
    QVERIFY(r.demoAdded);
    const int contracts = db.scalar("select count(*) from sconh").toInt();
    const int steps = db.scalar("select count(*) from proch").toInt();
    QVERIFY(contracts > 0);
    // ... and only once.
    r = initDatabase(db.tr(), InitOptions{true, 1, kToday});
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(!r.demoAdded);
    QCOMPARE(db.scalar("select count(*) from sconh").toInt(), contracts);
    QCOMPARE(db.scalar("select count(*) from proch").toInt(), steps);
    QCOMPARE(db.scalar("select count(*) from day_wip").toInt(), 7);
}

void tst_Demo::demoUsersLogInWithTheirRights()
{
    TestDatabase &db = *m_demo;
    QSet<QString> rightsSeen;
    for (const DemoFactory::DemoUser &u : DemoFactory::demoUsers()) {
        QCOMPARE(UserAccounts::checkLogin(db.tr(), u.code, u.password), UserAccounts::Login::Ok);
        QCOMPARE(UserAccounts::checkLogin(db.tr(), u.code, u.password + u'x'), UserAccounts::Login::WrongPassword);
        const QString rights = UserAccounts::rights(db.tr(), u.code, "M05", "H06");
        QCOMPARE(rights, u.rights.isEmpty() ? QString() : u.rights);
        if (!rights.isEmpty())
            rightsSeen << (rights.right(1) == u"A" ? QStringLiteral("A") : rights.mid(1, 2) + rights.right(1));
    }
    QCOMPARE(rightsSeen, (QSet<QString>{"A", "02B", "03B", "04B", "08B"}));
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "NOBODY", "x"), UserAccounts::Login::UnknownUser);
    // Passwords are never stored as they are typed.
    QCOMPARE(db.scalar("select count(*) from users where password_hash like 'pbkdf2-sha256$%'").toInt(),
             DemoFactory::demoUsers().size());
}

void tst_Demo::picturesAreBitmapsWithAFallback()
{
    QTemporaryDir dir;
    QString error;
    const QString pics = dir.filePath("P"), data = dir.filePath("data");
    const int n = writeDemoPictures(pics, data, &error);
    QVERIFY2(n > 0, qPrintable(error));
    const QStringList designs = DemoFactory::designNumbers();
    int found = 0;
    for (const QString &d : designs) {
        const QString path = QDir(pics).filePath(d + ".bmp");
        if (!QFile::exists(path))
            continue;
        ++found;
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(2), QByteArray("BM"));
        const QImage image(path);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 100);
    }
    QVERIFY(found >= designs.size() * 3 / 4);
    QVERIFY(found < designs.size());   // some designs use the fallback
    QCOMPARE(n, found + 1);
    QVERIFY(!QImage(QDir(data).filePath("ZAN.BMP")).isNull());
    // Pictures of different designs differ (they carry the number).
    QFile a(QDir(pics).filePath(designs[0] + ".bmp")), b(QDir(pics).filePath(designs[3] + ".bmp"));
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QVERIFY(a.readAll() != b.readAll());
}

void tst_Demo::scaleMultipliesTheVolume()
{
    TestDatabase two(Engine::SQLite, false);
    QElapsedTimer timer;
    timer.start();
    const InitResult r = initDatabase(two.tr(), InitOptions{true, 2, kToday});
    QVERIFY2(r.ok, qPrintable(r.error));
    qInfo("scale 2 on SQLite: %lld ms", timer.elapsed());
    const int p1 = m_demo->scalar("select count(*) from proch").toInt();
    const int p2 = two.scalar("select count(*) from proch").toInt();
    QVERIFY2(p2 > p1 * 3 / 2 && p2 < p1 * 5 / 2, qPrintable(QStringLiteral("%1 %2").arg(p1).arg(p2)));
    // Contract numbers stay unique however large the factory.
    QCOMPARE(two.scalar("select count(distinct scno) from sconh").toInt(),
             two.scalar("select count(*) from sconh").toInt());
}

QTEST_GUILESS_MAIN(tst_Demo)
#include "tst_demo.moc"
