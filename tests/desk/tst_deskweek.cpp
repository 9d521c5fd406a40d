// A week of one contract through the department desks, on a new factory of
// each engine: three bags (two metals) from 唧蜡 to 出货, casting batches at 倒模
// (one tree for bags of two contracts), two workers at 执模, a take-back with
// pieces left with the worker, a receipt off its weight, stones set at 镶石 with
// a broken stone and a gain a supervisor confirms, a setter keeping pieces with
// their stones, outside work and back. After each day the reports that read the
// desks' rows show the hand-worked figures.

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

    // Contract KC2, one bag of the same style and metal as KC1-1: it shares
    // KC1's tree at 倒模 and stays at 倒模's desk.
    static bool secondContract(TestDatabase &db)
    {
        return db.insert("sconh", {{"scno", "KC2"}, {"cust_no", "TIF"}, {"next_line_no", 2},
                                   {"deldate", QDateTime(QDate(2004, 4, 15), QTime(0, 0))}})
            && db.insert("scond", {{"scno", "KC2"}, {"design_no", "D2401"}, {"article_code", "R2401"},
                                   {"metal", "18KY"}, {"quantity", 5}, {"line_no", 1}});
    }

    // Day 1 and 2: every bag received at 唧蜡 and passed on to 倒模, cast there
    // (18KY on one tree for KC1 and KC2, PT950 on another), KC1's passed on;
    // casting's output of the day is what the batches cast.
    static void toCasting(DeskClerk &desk, TestDatabase &db)
    {
        const QStringList bags{"KC1-1", "KC1-2", "KC1-3", "KC2-1"};
        const QStringList wax{"12", "5", "7", "6"};
        for (int i = 0; i < bags.size(); ++i) {
            desk.now = at(1, 9);
            DONE(desk.act(A::Receive, bags[i], "唧蜡", wax[i]));
            desk.now = at(1, 10);
            DONE(desk.act(A::PassOn, bags[i], "唧蜡", wax[i]));
            desk.now = at(2, 9);
            DONE(desk.act(A::Receive, bags[i], "倒模", wax[i]));
        }
        // 70 g out, 4.2 g back, 65.5 g cast: 0.3 g lost, shared by the grams
        // cast for each bag (KC1-1 31.25/65.5 of it, 0.143 g; KC1-3 0.085 g;
        // KC2-1, the last, the rest: 0.072 g), KC1's 0.228 g.
        desk.now = at(2, 11);
        const auto tree = desk.cast("70", "4.2", {"KC2-1=15.5", "KC1-3=18.75", "KC1-1=31.25"});
        QVERIFY2(tree.done(), qPrintable(tree.message));
        QCOMPARE(tree.message, QStringLiteral("铸造批 CB000001: 18KY 3 袋 21 件 65.500 克 (KC1 16 件 50.000 克, "
                                              "KC2 5 件 15.500 克); 发出 70.000 克, 回收 4.200 克, 耗 0.300 克"));
        desk.now = at(2, 11, 30);
        const auto platinum = desk.cast("17", "0.95", {"KC1-2=16"});
        QVERIFY2(platinum.done() && platinum.batchNo == "CB000002", qPrintable(platinum.message));
        QCOMPARE(report(db.tr(), "d_wip_today2", {QDate(2004, 3, 2)},
                        {"castinh_no", "contractno", "mcode", "qtycal", "qtyref", "loss", "puwithloss"}),
                 QStringList({"CB000001|KC1|18KY|50|16|0.228|37.671", "CB000001|KC2|18KY|15.5|5|0.072|11.679",
                              "CB000002|KC1|PT950|16|4|0.05|15.248"}));
        QCOMPARE(dayWip(db, "2004-03-02", "03-倒模"), QStringLiteral("25|25|0|0|0"));
        QCOMPARE(table(db, "tnn", "select place || ':' || gongxu_code, pcs, weight from bag_place b "
                                  "join scond d on d.scond_id = b.scond_id where d.scno = 'KC1' and d.line_no = 1"),
                 QStringList({"desk:03-倒模|10|31.25"}));
        desk.now = at(2, 15);
        const QStringList metal{"31.25", "16", "18.75"};
        for (int i = 0; i < 3; ++i)
            DONE(desk.act(A::PassOn, bags[i], "03-倒模", metal[i]));
    }

    // Day 3: every KC1 bag received at 执模, where two are issued to the two
    // workers and the third waits at the desk.
    static void toFiling(DeskClerk &desk)
    {
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
                 QStringList({"KC1-1/7|0401|2|6.45|2|6.3|0.1|0.05", "KC1-1/7|0401|8|24.8|8|24.5|0.3|0",
                              "KC1-2/7|0402|4|16.004|4|15.8|0.15|0.054", "KC1-3/7|0402|6|18.7|6|18.6|0.05|0.05"}));
        QCOMPARE(db.scalar("select count(*) from work_report where zt = 'PEN'").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from work_wip").toInt(), 0);
        const QVariantList march{QDate(2004, 3, 1), QDate(2004, 3, 31)};
        QCOMPARE(report(db.tr(), "d_wip_fin_loss", march, {"changhao", "iss_weight", "fin_weight", "ret_weight", "loss"}),
                 QStringList({"0401|31.25|30.8|0.4|0.05", "0402|34.704|34.4|0.2|0.104"}));
        QCOMPARE(report(db.tr(), "d_w_losspaytow_sum", {QStringList{"KC1"}}, {"changhao", "iss_weight", "loss"}),
                 QStringList({"0401|31.25|0.05", "0402|34.704|0.104"}));
        QCOMPARE(report(db.tr(), "d_work_wip_g", march + QVariantList{"0401"},
                        {"mattran_no", "qtycal", "qtyref", "fpcs", "fweight", "freturn", "loss"}),
                 QStringList({"KC1-1/7|2|6.45|2|6.3|0.1|0.05", "KC1-1/7|8|24.8|8|24.5|0.3|0"}));
        QCOMPARE(report(db.tr(), "d_wip_fturn", {"KC1-1/7"}, {"changhao", "weight"}),
                 QStringList({"0401|0.1", "0401|0.3"}));
        QCOMPARE(report(db.tr(), "d_wip_protran", QVariantList{"04-执模收发"} + march,
                        {"scno", "mcode", "tcode", "qtycal", "qtyref"}),
                 QStringList({"KC1|18KY|05-镶石收发|10|30.8", "KC1|18KY|05-镶石收发|6|18.6",
                              "KC1|PT950|05-镶石收发|4|15.8"}));
    }

    // The setting-method list of the WIP detail: the setters' open steps with
    // the stones they carry, per setting method.
    static QStringList settingMethods(TestDatabase &db)
    {
        return report(db.tr(), "d_wip_waycode", {}, {"gonghao", "name", "qty", "scno", "article_code", "way_code", "stones"});
    }

    // Day 6: 镶石 issues KC1-1 with its stones and takes it back set, a stone
    // broken and heavier (a gain the supervisor confirms), and sends KC1-2 out.
    static void setting(DeskClerk &desk, TestDatabase &db)
    {
        desk.now = at(6, 9);
        DONE(desk.act(A::Receive, "KC1-1", "镶石", "30.8"));
        DONE(desk.act(A::Receive, "KC1-2", "镶石", "15.8"));
        DONE(desk.act(A::Receive, "KC1-3", "镶石", "18.6"));
        DONE(desk.act(A::Issue, "KC1-1", "镶石", "30.8", "", "0601"));
        QCOMPARE(settingMethods(db), QStringList({"0601|王五|10|KC1|R2401|钉镶|30"}));
        desk.now = at(6, 15);
        DeskRequest set;
        set.action = A::TakeBack;
        set.code = "KC1-1";
        set.department = "镶石";
        set.weight = "30.9";
        set.stonesBroken = {{"", "DIA-RD-1.0", "1"}};
        QCOMPARE(desk.desk.act(set).result, R::Gain);
        set.gainConfirmedBy = "BOSS";
        const DeskOutcome gained = desk.desk.act(set);
        QVERIFY2(gained.done() && gained.loss && *gained.loss == Decimal::fromUnits(-100, 3), qPrintable(gained.message));
        QVERIFY2(gained.message.endsWith("镶石 钉镶 DIA-RD-1.0 30 粒, 破损 DIA-RD-1.0 1 粒"), qPrintable(gained.message));
        QCOMPARE(settingMethods(db), QStringList());
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
    }

    // Day 7: KC1-2 back from outside, KC1-1 on through 执边, 打磨 and 电金 to
    // 出货; the setter takes KC1-3 and keeps two pieces with their stones.
    static void toShipping(DeskClerk &desk, TestDatabase &db)
    {
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

        desk.now = at(7, 9, 30);
        DONE(desk.act(A::Issue, "KC1-3", "镶石", "18.6", "", "0601"));
        desk.now = at(7, 11);
        DeskRequest part;
        part.action = A::TakeBack;
        part.code = "KC1-3";
        part.department = "镶石";
        part.pieces = "4";
        part.weight = "12.5";
        part.returned = "0.05";
        const DeskOutcome kept = desk.desk.act(part);
        QVERIFY2(kept.done() && kept.message.contains("2 件 (6.050 克) 仍在工人手中; 镶石 钉镶 DIA-RD-1.0 12 粒"),
                 qPrintable(kept.message));
        QCOMPARE(settingMethods(db), QStringList({"0601|王五|2|KC1|R2401|钉镶|6"}));
        QCOMPARE(report(db.tr(), "d_w_posetting", {QStringList{"KC1", "KC2"}},
                        {"scno", "gongxu_code", "changhao", "mcode", "waycode", "sqtycal"}),
                 QStringList({"KC1|06-镶石|0601|DIA-RD-1.0|钉镶|6"}));
        // 4 pieces set today, 12 stones (3 a piece), 2 pieces still with the setter.
        QCOMPARE(dayWip(db, "2004-03-07", "06-镶石"), QStringLiteral("4|14|12|42|2"));
    }

    // What the week used, per contract and process step, and what each worker
    // owes, as the reports of the order analysis read them: casting's metal
    // with its loss, the setters' metal and stones (set, broken, and those the
    // pieces still with the setter carry).
    static void checkMaterialUse(TestDatabase &db)
    {
        const QStringList contracts{"KC1", "KC2"};
        // Per contract and material, casting (03-倒磨) and setting (06-镶石):
        // KC1 18KY cast 50 g and lost 0.228 g; set 30.8 + 12.55 g and 6.05 g
        // with the setter; stones 30 + 1 broken + 12 + 6 with the setter.
        QCOMPARE(report(db.tr(), "d_w_scmatuse", {contracts, QStringList{"03-倒磨", "06-镶石"}},
                        {"scno", "mcode", "mtype", "sqtycal_1", "sqtycal_2", "grand_sum_sqtycal"}),
                 QStringList({"KC1|18KY|GOLD|50.228|49.4|99.628", "KC1|DIA-RD-1.0|STONE|-|49|49",
                              "KC1|PT950|PT|16.05|-|16.05", "KC2|18KY|GOLD|15.572|-|15.572"}));
        // The stones of the setters' sheets: issued ones give way to those set,
        // a stone broken is a row without a setting method.
        QCOMPARE(table(db, "ttttn", "select p.wsheetno, case when p.edtime is null then 'open' else 'done' end, "
                                    "m.mcode, coalesce(m.waycode, '-'), m.sqtycal from matuse m "
                                    "join proch p on p.proch_id = m.proch_id join material t on t.mcode = m.mcode "
                                    "where t.mtype = 'STONE'"),
                 QStringList({"KC1-1/12|done|DIA-RD-1.0|-|1", "KC1-1/12|done|DIA-RD-1.0|钉镶|30",
                              "KC1-3/11|done|DIA-RD-1.0|钉镶|12", "KC1-3/11|open|DIA-RD-1.0|钉镶|6"}));
        QCOMPARE(report(db.tr(), "d_w_losspaytow_sum", {contracts}, {"changhao", "iss_pcs", "iss_weight", "loss"}),
                 QStringList({"0401|10|31.25|0.05", "0402|10|34.704|0.104", "0601|14|43.35|-0.1"}));
        QCOMPARE(report(db.tr(), "d_w_alwloss", {contracts}, {"scno", "gongxu", "mcode", "iss_weight", "loss"}),
                 QStringList({"KC1|04-执模|18KY|49.95|0.1", "KC1|04-执模|PT950|16.004|0.054",
                              "KC1|06-镶石|18KY|43.35|-0.1"}));
    }

private Q_SLOTS:
    void aWeekOfOneContract_data() { addEngineRows(); }
    void aWeekOfOneContract()
    {
        WIP_DESK_FACTORY(db);
        QVERIFY2(secondContract(db), qPrintable(db.error()));
        DeskClerk desk(db.tr());
        toCasting(desk, db);
        toFiling(desk);
        checkFilingAtWork(db);
        finishFiling(desk, db);
        checkFilingSheets(db);
        setting(desk, db);
        toShipping(desk, db);
        checkMaterialUse(db);

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
                 QStringList({"1|finished:20-出货|10|30.9", "2|desk:06-镶石|4|15.79", "3|worker:06-镶石|4|12.5",
                              "4|desk:03-倒模|5|15.5"}));
        // Each step carries its bag; the confirmations and the casting are in
        // the audit trail.
        QCOMPARE(db.scalar("select count(*) from proch where scond_id is null").toInt(), 0);
        QCOMPARE(table(db, "tt", "select scno, new_value from audit_log where field = 'desk:cast'"),
                 QStringList({"KC1|袋卡 KC1-1: 倒模铸造批 CB000001 18KY 10 件 31.250 克",
                              "KC1|袋卡 KC1-2: 倒模铸造批 CB000002 PT950 4 件 16.000 克",
                              "KC1|袋卡 KC1-3: 倒模铸造批 CB000001 18KY 6 件 18.750 克",
                              "KC2|袋卡 KC2-1: 倒模铸造批 CB000001 18KY 5 件 15.500 克"}));
        QCOMPARE(table(db, "ttt", "select field, old_value, new_value from audit_log where field in "
                                  "('desk:weight_difference', 'desk:gain')"),
                 QStringList({"desk:gain|30.800|30.900 (主管 BOSS)", "desk:weight_difference|18.750|18.700"}));
    }
};

QTEST_GUILESS_MAIN(DeskWeekTest)
#include "tst_deskweek.moc"
