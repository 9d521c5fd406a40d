#include "daily_output/recomputedaywip.h"
#include "runtime/longwork.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "testdatabase.h"

#include <QTest>

using namespace wip;
using wip::test::TestDatabase;

namespace {

struct Figures
{
    double todayFin, todayTot, todaySet, monthSet, wip;
};

Figures figures(TestDatabase &db, const QString &dep)
{
    const auto rows = db.rows(QStringLiteral("select today_fin, today_tot, today_set, month_set, wip "
                                             "from day_wip where dep_c = ?"),
                              {dep});
    if (rows.size() != 1)
        return {-1, -1, -1, -1, -1};
    const QVariantList &r = rows.first();
    return {r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble(), r[4].toDouble()};
}

#define CHECK_FIGURES(db, dep, fin, tot, set, mset, wipQty)                                        \
    do {                                                                                           \
        const Figures f = figures(db, QStringLiteral(dep));                                        \
        QCOMPARE(f.todayFin, double(fin));                                                         \
        QCOMPARE(f.todayTot, double(tot));                                                         \
        QCOMPARE(f.todaySet, double(set));                                                         \
        QCOMPARE(f.monthSet, double(mset));                                                        \
        QCOMPARE(f.wip, double(wipQty));                                                           \
    } while (false)

bool step(TestDatabase &db, const char *scno, const char *code, const QVariant &edtime, const QVariant &qty)
{
    return db.insert(QStringLiteral("proch"),
                     {{"scno", QString::fromUtf8(scno)}, {"gongxu_code", QString::fromUtf8(code)},
                      {"changhao", "W01"}, {"xingming", "张三"}, {"sttime", QDateTime(QDate(2004, 2, 1), QTime(8, 0))},
                      {"edtime", edtime}, {"qty", qty}});
}

QVariant day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }

// The factory of the worked example: steps, castings and a set stone line.
void fillFactory(TestDatabase &db)
{
    QVERIFY(step(db, "KC1", "04-执模", day(2004, 3, 1), 5));
    QVERIFY(step(db, "KC1", "04-执模", day(2004, 3, 1), 3));
    QVERIFY(step(db, "KC2", "06-镶石", day(2004, 3, 1), 2));
    QVERIFY(step(db, "KC2", "03-倒模", day(2004, 3, 1), 7));     // casting counts from castind only
    QVERIFY(step(db, "KC3", "99-其他", day(2004, 3, 1), 100));   // no department of day_wip
    QVERIFY(step(db, "KC3", "04-执模", day(2004, 2, 29), 50));   // the month before
    QVERIFY(step(db, "KC4", "04-执模", QVariant(), 4));          // open
    QVERIFY(step(db, "KC4", "07-执边", QVariant(), 6));          // open
    // Finished at 12:30: it counts on its day (a date is a whole day).
    QVERIFY(step(db, "KC5", "20-出货", QDateTime(QDate(2004, 3, 1), QTime(12, 30)), 9));
    QVERIFY(db.insert("castind", {{"castinh_no", "C1"}, {"contractno", "KC2"}, {"ldate", day(2004, 3, 1)},
                                  {"qtycal", 3}, {"qtyref", 11.5}}));
    QVERIFY(db.insert("castind", {{"castinh_no", "C0"}, {"contractno", "KC9"}, {"ldate", day(2004, 2, 28)},
                                  {"qtycal", 1}, {"qtyref", 99}}));
    // KC2's article has 4 stones a piece (and an initial stone that does not count).
    QVERIFY(db.insert("scond", {{"scno", "KC2"}, {"article_code", "A1"}, {"design_no", "D1"}, {"quantity", 2}}));
    QVERIFY(db.insert("artsd", {{"article_code", "A1"}, {"stone_code", "S1"}, {"settype_code", "钉镶"}, {"qtycal", 4}}));
    QVERIFY(db.insert("artsd", {{"article_code", "A1"}, {"stone_code", "INIST"}, {"settype_code", "钉镶"}, {"qtycal", 10}}));
}

} // namespace

class RecomputeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstOfMonth_data() { wip::test::addEngineRows(); }
    void firstOfMonth()
    {
        WIP_TEST_DATABASE(db);
        fillFactory(db);
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));

        // The month range is the one day, so month figures equal the day's.
        CHECK_FIGURES(db, "03-倒模", 11.5, 11.5, 0, 0, 0);
        CHECK_FIGURES(db, "04-执模", 8, 8, 0, 0, 4);
        CHECK_FIGURES(db, "06-镶石", 2, 2, 8, 8, 0);
        CHECK_FIGURES(db, "07-执边", 0, 0, 0, 0, 6);
        CHECK_FIGURES(db, "08-打磨", 0, 0, 0, 0, 0);
        CHECK_FIGURES(db, "09-电金", 0, 0, 0, 0, 0);
        CHECK_FIGURES(db, "20-出货", 9, 9, 0, 0, 0);
    }

    // Work stamped with a time of day counts on its day, in the day's figures and
    // in the month's; the next day's midnight does not. Worked by hand for
    // 2004-03-15 (the month runs from 2004-03-01 00:00:00 up to 2004-03-16 00:00:00):
    //   04-执模  day: 1000 at 14:30 + 2 at 23:59:59 = 1002; month: + 1 on the 1st = 1003
    //            (40 at midnight on the 16th and 30 at 23:59:59 on 29 February are out)
    //   06-镶石  day: 2 pieces at 23:59 = 2; month: + 1 on the 2nd at 10:00 = 3;
    //            stones 4 a piece: day 8, month 12
    //   03-倒模  castings day: 11.5 at 16:00 + 0.5 at 23:59:59 = 12; month: + 3 on the 1st = 15
    //            (99 at midnight on the 16th is out)
    void timesOfDayCountOnTheirDay_data() { wip::test::addEngineRows(); }
    void timesOfDayCountOnTheirDay()
    {
        WIP_TEST_DATABASE(db);
        const auto at = [](int d, int h, int m, int s = 0) { return QDateTime(QDate(2004, 3, d), QTime(h, m, s)); };
        QVERIFY(step(db, "KC1", "04-执模", at(1, 0, 0), 1));
        QVERIFY(step(db, "KC1", "04-执模", at(15, 14, 30), 1000));
        QVERIFY(step(db, "KC1", "04-执模", at(15, 23, 59, 59), 2));
        QVERIFY(step(db, "KC1", "04-执模", at(16, 0, 0), 40));
        QVERIFY(step(db, "KC1", "04-执模", QDateTime(QDate(2004, 2, 29), QTime(23, 59, 59)), 30));
        QVERIFY(step(db, "KC2", "06-镶石", at(15, 23, 59), 2));
        QVERIFY(step(db, "KC2", "06-镶石", at(2, 10, 0), 1));
        QVERIFY(db.insert("scond", {{"scno", "KC2"}, {"article_code", "A1"}, {"design_no", "D1"}, {"quantity", 3}}));
        QVERIFY(db.insert("artsd", {{"article_code", "A1"}, {"stone_code", "S1"}, {"settype_code", "钉镶"}, {"qtycal", 4}}));
        const std::pair<QDateTime, double> castings[] = {
            {at(15, 16, 0), 11.5}, {at(15, 23, 59, 59), 0.5}, {at(1, 8, 0), 3}, {at(16, 0, 0), 99}};
        for (const auto &[ldate, qtyref] : castings)
            QVERIFY(db.insert("castind", {{"castinh_no", "C1"}, {"contractno", "KC2"}, {"ldate", ldate},
                                          {"qtycal", 1}, {"qtyref", qtyref}}));
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-15"), db.tr()));

        CHECK_FIGURES(db, "03-倒模", 12, 15, 0, 0, 0);
        CHECK_FIGURES(db, "04-执模", 1002, 1003, 0, 0, 0);
        CHECK_FIGURES(db, "06-镶石", 2, 3, 8, 12, 0);
    }

    void secondRunLeavesNothingOfTheFirst_data() { wip::test::addEngineRows(); }
    void secondRunLeavesNothingOfTheFirst()
    {
        WIP_TEST_DATABASE(db);
        fillFactory(db);
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));
        QVERIFY(recompute_day_wip(QStringLiteral("2004-02-29"), db.tr()));

        // February: castind of the 28th is the month's casting; nothing cast on the 29th.
        CHECK_FIGURES(db, "03-倒模", 0, 99, 0, 0, 0);
        CHECK_FIGURES(db, "04-执模", 50, 50, 0, 0, 4);
        CHECK_FIGURES(db, "06-镶石", 0, 0, 0, 0, 0);
        CHECK_FIGURES(db, "07-执边", 0, 0, 0, 0, 6);

        // The same date twice gives the same figures.
        QVERIFY(recompute_day_wip(QStringLiteral("2004-02-29"), db.tr()));
        CHECK_FIGURES(db, "04-执模", 50, 50, 0, 0, 4);
        // Every row says the day of its figures, the last run's.
        const auto dates = db.rows(QStringLiteral("select distinct ldate from day_wip"));
        QCOMPARE(dates.size(), 1);
        QCOMPARE(dates.first().first().toDateTime(), QDateTime(QDate(2004, 2, 29), QTime(0, 0)));
    }

    // The day's output is the sum of the day's steps of each process of day_wip,
    // exact: ten tenths make 1, a process whose steps of the day carry no
    // quantity gets 0 (not NULL), and a code with a trailing space is another
    // process that counts nowhere.
    void dayOutputSumsEachProcessExactly_data() { wip::test::addEngineRows(); }
    void dayOutputSumsEachProcessExactly()
    {
        WIP_TEST_DATABASE(db);
        for (int i = 0; i < 10; ++i)
            QVERIFY(step(db, "KC1", "04-执模", QDateTime(QDate(2004, 3, 1), QTime(9, i)), 0.1));
        QVERIFY(step(db, "KC1", "04-执模 ", day(2004, 3, 1), 100));
        QVERIFY(step(db, "KC2", "07-执边", day(2004, 3, 1), QVariant()));
        QVERIFY(step(db, "KC2", "07-执边", QDateTime(QDate(2004, 3, 1), QTime(18, 0)), QVariant()));
        QVERIFY(step(db, "KC3", "09-电金", day(2004, 3, 2), 5));   // the next day
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));

        CHECK_FIGURES(db, "04-执模", 1, 1, 0, 0, 0);
        CHECK_FIGURES(db, "07-执边", 0, 0, 0, 0, 0);
        CHECK_FIGURES(db, "09-电金", 0, 0, 0, 0, 0);
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from day_wip where today_fin is null or today_tot is null"))
                     .toInt(),
                 0);
    }

    void castingMonthFromProchWithoutCastind_data() { wip::test::addEngineRows(); }
    void castingMonthFromProchWithoutCastind()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(step(db, "KC2", "03-倒模", day(2004, 3, 10), 7));
        QVERIFY(step(db, "KC2", "03-倒模", day(2004, 3, 12), 1));
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-12"), db.tr()));
        // Step 3 never writes casting; step 6's proch figure stands without castind lines.
        CHECK_FIGURES(db, "03-倒模", 0, 8, 0, 0, 0);
    }

    void missingDepartmentRowChangesNothing_data() { wip::test::addEngineRows(); }
    void missingDepartmentRowChangesNothing()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(db.exec(QStringLiteral("delete from day_wip where dep_c = '07-执边'")));
        QVERIFY(step(db, "KC4", "07-执边", QVariant(), 6));
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from day_wip")).toInt(), 6);
    }

    // A run that fails half-way leaves day_wip as the last complete run left it.
    void failedRunKeepsLastCompleteFigures_data() { wip::test::addEngineRows(); }
    void failedRunKeepsLastCompleteFigures()
    {
        WIP_TEST_DATABASE(db);
        fillFactory(db);
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));
        // The stone view is gone: step 9 fails after steps 1 to 8 have written.
        QVERIFY(db.exec(QStringLiteral("drop view view_day_wip")));
        Trace::clearCaptured();
        QVERIFY(!recompute_day_wip(QStringLiteral("2004-02-29"), db.tr()));
        QVERIFY(Trace::captured().join('\n').contains(QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = ")));

        CHECK_FIGURES(db, "03-倒模", 11.5, 11.5, 0, 0, 0);
        CHECK_FIGURES(db, "04-执模", 8, 8, 0, 0, 4);
        CHECK_FIGURES(db, "06-镶石", 2, 2, 8, 8, 0);
        QCOMPARE(db.scalar(QStringLiteral("select max(ldate) from day_wip")).toDateTime().date(), QDate(2004, 3, 1));
        // The connection is usable again afterwards.
        QVERIFY(db.tr().execute(QStringLiteral("update day_wip set wip = wip where 1 = 0")));
    }

    // Cancelled at the start of any step, or at the end, the run leaves day_wip
    // as the last complete run left it, and says no fault.
    void cancelledRunKeepsLastCompleteFigures_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("cancelAt");
        for (const char *engine : {"sqlite", "postgresql"})
            for (int at = 1; at <= 9; ++at)   // the nine steps that report progress
                QTest::addRow("%s, at progress report %d", engine, at) << QString::fromLatin1(engine) << at;
    }
    void cancelledRunKeepsLastCompleteFigures()
    {
        QFETCH(int, cancelAt);
        WIP_TEST_DATABASE(db);
        fillFactory(db);
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));

        class CancelAt : public LongWork::Presenter
        {
        public:
            explicit CancelAt(int at) : m_at(at) {}
            void begin(const QString &) override {}
            bool update(const QString &, qint64, qint64) override { return ++updates < m_at; }
            void end() override {}
            int updates = 0;

        private:
            int m_at;
        } presenter(cancelAt);
        LongWork::setUpdateInterval(0);
        LongWork::setPresenter(&presenter);
        Trace::clearCaptured();
        bool done = true;
        {
            LongWork work(QStringLiteral("recomputing"));
            done = recompute_day_wip(QStringLiteral("2004-02-29"), db.tr(), [](int step, int steps) {
                LongWork::progress(step, steps);
            });
        }
        LongWork::setPresenter(nullptr);
        QVERIFY(presenter.updates >= cancelAt);
        QVERIFY(!done);
        QVERIFY2(!Trace::captured().join('\n').contains(QStringLiteral("PROBLEM")), qPrintable(Trace::captured().join('\n')));
        CHECK_FIGURES(db, "03-倒模", 11.5, 11.5, 0, 0, 0);
        CHECK_FIGURES(db, "04-执模", 8, 8, 0, 0, 4);
        CHECK_FIGURES(db, "06-镶石", 2, 2, 8, 8, 0);
        QCOMPARE(db.scalar(QStringLiteral("select max(ldate) from day_wip")).toDateTime().date(), QDate(2004, 3, 1));
        QVERIFY(db.tr().execute(QStringLiteral("update day_wip set wip = wip where 1 = 0")));
    }

    // Inside the caller's open work the run uses a savepoint: its failure undoes only itself.
    void failureInsideCallersWorkKeepsCallersWork_data() { wip::test::addEngineRows(); }
    void failureInsideCallersWorkKeepsCallersWork()
    {
        WIP_TEST_DATABASE(db);
        fillFactory(db);
        QVERIFY(db.exec(QStringLiteral("drop view view_day_wip")));
        QVERIFY(db.tr().execute(QStringLiteral("update day_wip set dep_e = 'changed' where dep_c = '04-执模'")));
        QVERIFY(!recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));
        QVERIFY(db.tr().commit());
        QCOMPARE(db.scalar(QStringLiteral("select dep_e from day_wip where dep_c = '04-执模'")).toString(),
                 QStringLiteral("changed"));
        CHECK_FIGURES(db, "04-执模", 0, 0, 0, 0, 0);
    }
};

QTEST_GUILESS_MAIN(RecomputeTest)
#include "tst_recompute.moc"
