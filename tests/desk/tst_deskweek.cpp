// A week of one contract through the department desks, on a new factory of
// each engine: three bags (two metals) from 唧蜡 to 出货, two workers at 执模, a
// take-back with pieces left with the worker, a receipt off its weight, a gain
// at 镶石 a supervisor confirms, outside work and back. After each day the
// reports that read the desks' rows show the hand-worked figures.

#include "daily_output/recomputedaywip.h"
#include "deskfixture.h"

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

#define DONE(expr)                                                        \
    do {                                                                  \
        const DeskOutcome o_ = (expr);                                    \
        QVERIFY2(o_.done(), qPrintable(o_.message));                      \
    } while (false)

class DeskWeekTest : public QObject
{
    Q_OBJECT

    // day_wip of one department after recomputing date: fin tot set mset wip.
    static QString dayWip(TestDatabase &db, const QString &date, const QString &dept)
    {
        if (!recompute_day_wip(date, db.tr()))
            return QStringLiteral("recompute failed");
        return table(db, "nnnnn",
                     "select today_fin, today_tot, today_set, month_set, wip from day_wip where dep_c = ?", {dept})
            .value(0);
    }
    static QDateTime at(int day, int hour, int minute = 0) { return QDateTime(QDate(2004, 3, day), QTime(hour, minute)); }

    // Day 1 to 3: every bag received at 唧蜡 and passed on to 倒模 and 执模,
    // where two are issued to the two workers and the third waits at the desk.
    static void toFiling(DeskClerk &desk)
    {
        const QStringList bags{"KC1-1", "KC1-2", "KC1-3"};
        const QStringList wax{"12", "5", "7"}, metal{"31.25", "16", "18.75"};
        for (int i = 0; i < 3; ++i) {
            desk.now = at(1, 9);
            DONE(desk.act(A::Receive, bags[i], "唧蜡", wax[i]));
            desk.now = at(1, 10);
            DONE(desk.act(A::PassOn, bags[i], "唧蜡", wax[i]));
            desk.now = at(2, 9);
            DONE(desk.act(A::Receive, bags[i], "倒模", wax[i]));
            desk.now = at(2, 15);
            DONE(desk.act(A::PassOn, bags[i], "03-倒模", metal[i]));
        }
        desk.now = at(3, 8, 30);
        DONE(desk.act(A::Receive, "KC1-1", "执模", "31.25"));
        DONE(desk.act(A::Receive, "KC1-2", "执模", "16.004"));   // 0.004 g off: within the tolerance
        const DeskOutcome off = desk.act(A::Receive, "KC1-3", "执模", "18.7");
        QCOMPARE(off.result, R::WeightDifference);
        QVERIFY2(off.message.contains("-0.050"), qPrintable(off.message));
        DeskRequest confirmed;
        confirmed.code = "KC1-3";
        confirmed.department = "执模";
        confirmed.weight = "18.7";
        confirmed.confirmDifference = true;
        DONE(desk.desk.act(confirmed));
        desk.now = at(3, 9);
        DONE(desk.act(A::Issue, "KC1-1", "执模", "31.25", "", "0401"));
        DONE(desk.act(A::Issue, "KC1-2", "执模", "16.004", "", "0402"));
    }

    // Day 3: the WIP detail lists each open step under its own line's metal.
    static void checkFilingAtWork(TestDatabase &db)
    {
        Transaction &tr = db.tr();
        QCOMPARE(report(tr, "d_wip_xs_detail", {"04-执模"}, {"scno", "changhao", "xingming", "qty", "metal"}),
                 QStringList({"KC1|0401|张三|10|18KY", "KC1|0402|李四|4|PT950"}));
        QCOMPARE(report(tr, "d_wip_all_total", {"04-执模"},
                        {"proch_new_changhao", "proch_new_qty", "proch_new_weight", "scond_metal", "material_purate"}),
                 QStringList({"0401|10|31.25|18KY|0.75", "0402|4|16.004|PT950|0.95", "|6|18.7|18KY|0.75"}));
        QCOMPARE(report(tr, "d_w_wip_detail_fil_wipp_detail", {},
                        {"scond_metal", "view_fil_wipp_wip", "view_fil_wipp_wip_wt", "view_fil_wipp_isshand",
                         "view_fil_wipp_isshand_wt"}),
                 QStringList({"18KY|0|0|6|18.7", "18KY|10|31.25|0|0", "PT950|4|16.004|0|0"}));
        QCOMPARE(report(tr, "d_w_wipmat", {"04-执模"},
                        {"proch_changhao", "proch_qty", "matuse_mcode", "matuse_sqtycal", "matuse_sqtyref"}),
                 QStringList({"0401|10|18KY|31.25|10", "0402|4|PT950|16.004|4"}));
        QCOMPARE(dayWip(db, "2004-03-03", "04-执模"), QStringLiteral("0|0|0|0|14"));
    }

    // Day 4 and 5: take-backs (one leaving two pieces with the worker), the third
    // bag issued and taken back, every bag passed on to 镶石.
    static void finishFiling(DeskClerk &desk, TestDatabase &db)
    {
        desk.now = at(4, 16);
        DeskRequest partial;
        partial.action = A::TakeBack;
        partial.code = "KC1-1";
        partial.department = "执模";
        partial.pieces = "8";
        partial.weight = "24.5";
        partial.returned = "0.3";
        const DeskOutcome left = desk.desk.act(partial);
        QVERIFY2(left.done() && left.message.contains("2 件 (6.450 克) 仍在工人手中"), qPrintable(left.message));
        QVERIFY(!left.loss);
        DeskRequest whole = partial;
        whole.code = "KC1-2";
        whole.pieces.clear();
        whole.weight = "15.8";
        whole.returned = "0.15";
        const DeskOutcome back = desk.desk.act(whole);
        QVERIFY2(back.done() && back.loss && *back.loss == Decimal::fromUnits(54, 3), qPrintable(back.message));
        QCOMPARE(dayWip(db, "2004-03-04", "04-执模"), QStringLiteral("12|12|0|0|2"));
        QCOMPARE(report(db.tr(), "d_w_wipmat", {"04-执模"},
                        {"proch_changhao", "proch_qty", "matuse_mcode", "matuse_sqtycal", "matuse_sqtyref"}),
                 QStringList({"0401|2|18KY|6.45|2"}));

        desk.now = at(5, 9);
        whole.code = "KC1-1";
        whole.weight = "6.3";
        whole.returned = "0.1";
        DONE(desk.desk.act(whole));
        DONE(desk.act(A::Issue, "KC1-3", "执模", "18.7", "", "0402"));
        desk.now = at(5, 14);
        whole.code = "KC1-3";
        whole.weight = "18.6";
        whole.returned = "0.05";
        DONE(desk.desk.act(whole));
        desk.now = at(5, 16);
        DONE(desk.act(A::PassOn, "KC1-1", "执模", "30.8"));
        DONE(desk.act(A::PassOn, "KC1-2", "执模", "15.8"));
        DONE(desk.act(A::PassOn, "KC1-3", "执模", "18.6"));
        QCOMPARE(dayWip(db, "2004-03-05", "04-执模"), QStringLiteral("8|20|0|0|0"));
    }

    // The sheets, the losses and the transfers of 执模, as the loss and
    // transfer reports read them.
    static void checkFilingSheets(TestDatabase &db)
    {
        QCOMPARE(table(db, "ttnnnnnn",
                       "select wsheetno, changhao, iss_pcs, iss_weight, fin_pcs, fin_weight, ret_weight, loss "
                       "from work_report where gongxu = '04-执模' and zt = 'FIN'"),
                 QStringList({"KC1-1/6|0401|2|6.45|2|6.3|0.1|0.05", "KC1-1/6|0401|8|24.8|8|24.5|0.3|0",
                              "KC1-2/6|0402|4|16.004|4|15.8|0.15|0.054", "KC1-3/6|0402|6|18.7|6|18.6|0.05|0.05"}));
        QCOMPARE(db.scalar("select count(*) from work_report where zt = 'PEN'").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from work_wip").toInt(), 0);
        const QVariantList march{QDate(2004, 3, 1), QDate(2004, 3, 31)};
        QCOMPARE(report(db.tr(), "d_wip_fin_loss", march, {"changhao", "iss_weight", "fin_weight", "ret_weight", "loss"}),
                 QStringList({"0401|31.25|30.8|0.4|0.05", "0402|34.704|34.4|0.2|0.104"}));
        QCOMPARE(report(db.tr(), "d_w_losspaytow_sum", {QStringList{"KC1"}}, {"changhao", "iss_weight", "loss"}),
                 QStringList({"0401|31.25|0.05", "0402|34.704|0.104"}));
        QCOMPARE(report(db.tr(), "d_work_wip_g", march + QVariantList{"0401"},
                        {"mattran_no", "qtycal", "qtyref", "fpcs", "fweight", "freturn", "loss"}),
                 QStringList({"KC1-1/6|2|6.45|2|6.3|0.1|0.05", "KC1-1/6|8|24.8|8|24.5|0.3|0"}));
        QCOMPARE(report(db.tr(), "d_wip_fturn", {"KC1-1/6"}, {"changhao", "weight"}),
                 QStringList({"0401|0.1", "0401|0.3"}));
        QCOMPARE(report(db.tr(), "d_wip_protran", QVariantList{"04-执模收发"} + march,
                        {"scno", "mcode", "tcode", "qtycal", "qtyref"}),
                 QStringList({"KC1|18KY|05-镶石收发|10|30.8", "KC1|18KY|05-镶石收发|6|18.6",
                              "KC1|PT950|05-镶石收发|4|15.8"}));
    }

    // Day 6 and 7: 镶石 sets the stones (heavier: a gain the supervisor
    // confirms), sends one bag out and takes it back, and the first bag goes
    // on through 执边, 打磨 and 电金 to 出货.
    static void settingToShipping(DeskClerk &desk, TestDatabase &db)
    {
        desk.now = at(6, 9);
        DONE(desk.act(A::Receive, "KC1-1", "镶石", "30.8"));
        DONE(desk.act(A::Receive, "KC1-2", "镶石", "15.8"));
        DONE(desk.act(A::Receive, "KC1-3", "镶石", "18.6"));
        DONE(desk.act(A::Issue, "KC1-1", "镶石", "30.8", "", "0601"));
        desk.now = at(6, 15);
        DeskRequest set;
        set.action = A::TakeBack;
        set.code = "KC1-1";
        set.department = "镶石";
        set.weight = "30.9";
        QCOMPARE(desk.desk.act(set).result, R::Gain);
        set.gainConfirmedBy = "BOSS";
        const DeskOutcome gained = desk.desk.act(set);
        QVERIFY2(gained.done() && gained.loss && *gained.loss == Decimal::fromUnits(-100, 3), qPrintable(gained.message));
        DeskRequest out;
        out.action = A::PassOn;
        out.code = "KC1-2";
        out.department = "镶石";
        out.weight = "15.8";
        out.toOutside = true;
        out.worker = "1101";
        DONE(desk.desk.act(out));
        QCOMPARE(table(db, "tnnn", "select scno, outside_in, outside_out, all_total from view_bm_outside"),
                 QStringList({"KC1|4|0|4"}));
        QCOMPARE(dayWip(db, "2004-03-06", "06-镶石"), QStringLiteral("10|10|30|30|0"));

        desk.now = at(7, 9);
        DONE(desk.act(A::Receive, "KC1-2", "镶石", "15.79"));   // 0.010 g off: the tolerance itself
        QCOMPARE(table(db, "t", "select scno from view_bm_outside"), QStringList());
        DONE(desk.act(A::PassOn, "KC1-1", "镶石", "30.9"));
        for (const char *dept : {"执边", "打磨", "电金"}) {
            DONE(desk.act(A::Receive, "KC1-1", QString::fromUtf8(dept), "30.9"));
            DONE(desk.act(A::PassOn, "KC1-1", QString::fromUtf8(dept), "30.9"));
        }
        DONE(desk.act(A::Receive, "KC1-1", "出货", "30.9"));
        QCOMPARE(dayWip(db, "2004-03-07", "20-出货"), QStringLiteral("10|10|0|0|0"));
    }

private Q_SLOTS:
    void aWeekOfOneContract_data() { addEngineRows(); }
    void aWeekOfOneContract()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk desk(db.tr());
        toFiling(desk);
        checkFilingAtWork(db);
        finishFiling(desk, db);
        checkFilingSheets(db);
        settingToShipping(desk, db);

        // The progress record tells what the bags did: all three through 执模,
        // one on to the end; the follow-up board finds the contract at 镶石.
        QCOMPARE(table(db, "nnnnnnnnnnnnnn",
                       "select wax_in, wax_out, casting_in, casting_out, filing_in, filing_out, setting_in, "
                       "setting_out, finishing_in, finishing_out, polishing_in, polishing_out, rhodium_in, "
                       "rhodium_out from process where scno = 'KC1'"),
                 QStringList({"20|20|20|20|20|20|20|10|10|10|10|10|10|10"}));
        QCOMPARE(table(db, "tn", "select dept, in_work from view_order_standing where scno = 'KC1'"),
                 QStringList({"镶石|10"}));
        QCOMPARE(table(db, "ntnn",
                       "select b.scond_id - (select min(scond_id) from scond) + 1, place || ':' || gongxu_code, "
                       "pcs, weight from bag_place b"),
                 QStringList({"1|finished:20-出货|10|30.9", "2|desk:06-镶石|4|15.79", "3|desk:06-镶石|6|18.6"}));
        // Each step carries its bag; the confirmations are in the audit trail.
        QCOMPARE(db.scalar("select count(*) from proch where scond_id is null").toInt(), 0);
        QCOMPARE(table(db, "ttt", "select field, old_value, new_value from audit_log where field in "
                                  "('desk:weight_difference', 'desk:gain')"),
                 QStringList({"desk:gain|30.800|30.900 (主管 BOSS)", "desk:weight_difference|18.750|18.700"}));
    }
};

QTEST_GUILESS_MAIN(DeskWeekTest)
#include "tst_deskweek.moc"
