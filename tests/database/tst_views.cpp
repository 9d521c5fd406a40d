// Each view of the factory database against a handful of rows whose result is
// worked out by hand, on SQLite and PostgreSQL.

#include "runtime/sqlvalue.h"
#include "testdatabase.h"

#include <QTest>

using namespace wip;
using namespace wip::test;

namespace {

double num(const QVariant &v) { return fromDbValue(v, ColumnKind::Number).toDouble(); }
QDateTime when(const QVariant &v) { return fromDbValue(v, ColumnKind::DateTime).toDateTime(); }

// Two contracts with lines, articles and a product type, used by most cases.
bool addContracts(TestDatabase &db)
{
    return db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}, {"cust_order", "PO-1"},
                               {"issdate", QDate(2004, 2, 1)}, {"deldate", QDate(2004, 3, 15)}})
        && db.insert("sconh", {{"scno", "KC2"}, {"cust_no", "TIF"}, {"cust_order", "PO-2"}, {"inv_no", ""},
                               {"issdate", QDate(2004, 2, 3)}, {"deldate", QDate(2004, 3, 20)}})
        && db.insert("sconh", {{"scno", "KC3"}, {"cust_no", "PAN"}, {"inv_no", "INV9"},
                               {"deldate", QDate(2004, 1, 20)}})
        // KC1 makes two articles; views that show one article per contract show the first.
        && db.insert("scond", {{"scno", "KC1"}, {"article_code", "R1"}, {"quantity", 10}})
        && db.insert("scond", {{"scno", "KC1"}, {"article_code", "P2"}, {"quantity", 4}})
        && db.insert("scond", {{"scno", "KC2"}, {"article_code", "R1"}, {"quantity", 6}})
        && db.insert("article", {{"article_code", "R1"}, {"arttype_code", "R"}, {"pic_name", "D1.BMP"}})
        && db.insert("article", {{"article_code", "P2"}, {"arttype_code", "P"}, {"pic_name", "D2.BMP"}})
        && db.insert("arttype", {{"arttype_code", "R"}, {"arttype_name", "戒指RING"}})
        && db.insert("arttype", {{"arttype_code", "P"}, {"arttype_name", "吊坠PENDANT"}})
        && db.insert("artsd", {{"article_code", "R1"}, {"stone_code", "DIA"}, {"settype_code", "包镶"}, {"qtycal", 3}})
        && db.insert("artsd", {{"article_code", "R1"}, {"stone_code", "RUBY"}, {"settype_code", "钉镶"}, {"qtycal", 2}})
        && db.insert("artsd", {{"article_code", "R1"}, {"stone_code", "INIST"}, {"settype_code", "初始镶法"}, {"qtycal", 0}})
        && db.insert("artsd", {{"article_code", "P2"}, {"stone_code", "SAP"}, {"settype_code", "爪镶"}, {"qtycal", 1}});
}

bool step(TestDatabase &db, int id, const QString &scno, const QString &gongxu, const QVariant &edtime,
          double qty, const QString &changhao = "0401", const QString &name = "李伟")
{
    return db.insert("proch", {{"proch_id", id}, {"scno", scno}, {"gongxu_code", gongxu}, {"changhao", changhao},
                               {"xingming", name}, {"sttime", QDateTime(QDate(2004, 2, 20), QTime(8, 30))},
                               {"edtime", edtime}, {"qty", qty}, {"wsheetno", QStringLiteral("WS%1").arg(id)}});
}

const QVariant kOpen = QVariant(QMetaType::fromType<QDateTime>());

} // namespace

class tst_Views : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unfinishedContractsAreTheNotInvoiced_data() { addEngineRows(); }
    void unfinishedContractsAreTheNotInvoiced();
    void departmentStockShowsWhatIsStillThere_data() { addEngineRows(); }
    void departmentStockShowsWhatIsStillThere();
    void outsideWorkCountsStepsGivenOut_data() { addEngineRows(); }
    void outsideWorkCountsStepsGivenOut();
    void workInHandSplitsWorkersAndDesk_data() { addEngineRows(); }
    void workInHandSplitsWorkersAndDesk();
    void openStepsViews_data() { addEngineRows(); }
    void openStepsViews();
    void settingMethodsOfOpenSteps_data() { addEngineRows(); }
    void settingMethodsOfOpenSteps();
    void stonesSetPerDay_data() { addEngineRows(); }
    void stonesSetPerDay();
    void stonesNeededPerLine_data() { addEngineRows(); }
    void stonesNeededPerLine();
    void stonesInTheStoneStore_data() { addEngineRows(); }
    void stonesInTheStoneStore();
};

void tst_Views::unfinishedContractsAreTheNotInvoiced()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    const auto rows = db.rows("select scno from view_no_finish_product order by scno");
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QStringList got;
    for (const auto &r : rows)
        got << r[0].toString();
    // NULL and '' invoice numbers both count as not invoiced; each contract once.
    QCOMPARE(got, (QStringList{"KC1", "KC2"}));
}

void tst_Views::departmentStockShowsWhatIsStillThere()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    QVERIFY(db.insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 4}, {"casting_in", 4},
                                  {"casting_out", 1.5}, {"rhodium_in", 2}, {"rhodium_out", 2},
                                  {"qc_in", 30}, {"qc_out", 12}}));
    QVERIFY(db.insert("process", {{"scno", "KC2"}, {"wax_in", 5}, {"wax_out", 5}, {"rhodium_in", 6}}));

    const auto wax = db.rows("select scno, cust_order, cust_no, wax_in, wax_out, all_total, issdate, deldate, "
                             "article_code, pic_name from view_bm_wax order by scno");
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(wax.size(), 1);   // KC2 passed on all it received
    QCOMPARE(wax[0][0].toString(), QString("KC1"));
    QCOMPARE(wax[0][1].toString(), QString("PO-1"));
    QCOMPARE(wax[0][2].toString(), QString("QOR"));
    QCOMPARE(num(wax[0][3]), 10.0);
    QCOMPARE(num(wax[0][4]), 4.0);
    QCOMPARE(num(wax[0][5]), 6.0);
    QCOMPARE(when(wax[0][6]), QDateTime(QDate(2004, 2, 1), QTime(0, 0)));
    QCOMPARE(when(wax[0][7]), QDateTime(QDate(2004, 3, 15), QTime(0, 0)));
    QCOMPARE(wax[0][8].toString(), QString("P2"));      // the contract's first article, once
    QCOMPARE(wax[0][9].toString(), QString("D2.BMP"));

    QCOMPARE(num(db.scalar("select all_total from view_bm_cast where scno = 'KC1'")), 2.5);
    QCOMPARE(db.scalar("select count(*) from view_bm_cast").toInt(), 1);
    // KC1's plating is done; KC2 has 6 in plating with nothing passed on (NULL counts as 0).
    const auto dj = db.rows("select scno, all_total from view_bm_dj");
    QCOMPARE(dj.size(), 1);
    QCOMPARE(dj[0][0].toString(), QString("KC2"));
    QCOMPARE(num(dj[0][1]), 6.0);
    QCOMPARE(num(db.scalar("select all_total from view_bm_qc where scno = 'KC1'")), 18.0);
}

void tst_Views::outsideWorkCountsStepsGivenOut()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    const QDateTime done(QDate(2004, 3, 1), QTime(0, 0));
    QVERIFY(step(db, 1, "KC1", "11-外发", kOpen, 4));
    QVERIFY(step(db, 2, "KC1", "11-外发", done, 3));
    QVERIFY(step(db, 3, "KC1", "04-执模", kOpen, 9));   // not outside work
    QVERIFY(step(db, 4, "KC2", "11-外发", done, 2));    // all back
    const auto rows = db.rows("select scno, outside_in, outside_out, all_total, article_code from view_bm_outside");
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0].toString(), QString("KC1"));
    QCOMPARE(num(rows[0][1]), 7.0);
    QCOMPARE(num(rows[0][2]), 3.0);
    QCOMPARE(num(rows[0][3]), 4.0);
    QCOMPARE(rows[0][4].toString(), QString("P2"));
}

void tst_Views::workInHandSplitsWorkersAndDesk()
{
    WIP_TEST_DATABASE(db);
    const QVariant placeholder = QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    const QVariant done = QDateTime(QDate(2004, 3, 1), QTime(0, 0));
    auto add = [&](const QString &scno, const QString &gx, const QVariant &changhao, const QVariant &ed,
                   double qty, double weight) {
        return db.insert("proch_new", {{"scno", scno}, {"gongxu_code", gx}, {"changhao", changhao},
                                       {"edtime", ed}, {"qty", qty}, {"weight", weight}});
    };
    QVERIFY(add("KC1", "04-执模", "0401", kOpen, 5, 10));
    QVERIFY(add("KC1", "04-执模", "", kOpen, 2, 3));                    // at the desk
    QVERIFY(add("KC1", "04-执模", QVariant(), placeholder, 1, 1.5));   // at the desk, placeholder date
    QVERIFY(add("KC1", "04-执模", "0402", done, 7, 14));               // finished
    QVERIFY(add("KC1", "06-镶石", "0601", kOpen, 4, 8.25));
    QVERIFY(add("KC2", "04-执模", "0403", kOpen, 1, 2));

    const auto fil = db.rows("select scno, wip, isshand, pending, wip_wt, isshand_wt, pending_wt "
                             "from view_fil_wipp order by scno");
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(fil.size(), 2);
    QCOMPARE(fil[0][0].toString(), QString("KC1"));
    const QList<double> expected{5, 3, 8, 10, 4.5, 14.5};
    for (int c = 0; c < expected.size(); ++c)
        QCOMPARE(num(fil[0][c + 1]), expected[c]);
    QCOMPARE(num(fil[1][3]), 1.0);

    const auto set = db.rows("select scno, wip, isshand, pending, wip_wt from view_set_wipp");
    QCOMPARE(set.size(), 1);
    QCOMPARE(num(set[0][1]), 4.0);
    QCOMPARE(num(set[0][2]), 0.0);
    QCOMPARE(num(set[0][4]), 8.25);
    QCOMPARE(db.scalar("select count(*) from view_fin_wipp").toInt(), 0);
    QCOMPARE(db.scalar("select count(*) from view_pol_wipp").toInt(), 0);
}

void tst_Views::openStepsViews()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    QVERIFY(step(db, 1, "KC1", "04-执模", kOpen, 5, "0401", "李伟"));
    QVERIFY(step(db, 2, "KC1", "04-执模", QDateTime(QDate(2004, 3, 1), QTime(0, 0)), 3));
    QVERIFY(step(db, 3, "KC2", "06-镶石", kOpen, 2, "0601", "张丽"));
    QVERIFY(step(db, 4, "KX9", "04-执模", kOpen, 1));   // a step of a contract without header

    const auto wip = db.rows("select proch_id, scno, gongxu_code, changhao, qty, cust_no, deldate, article_code "
                             "from view_gongxu_wip order by proch_id");
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(wip.size(), 3);
    QCOMPARE(wip[0][0].toInt(), 1);
    QCOMPARE(wip[0][5].toString(), QString("QOR"));
    QCOMPARE(wip[0][7].toString(), QString("P2"));
    QCOMPARE(wip[1][0].toInt(), 3);
    QCOMPARE(wip[1][7].toString(), QString("R1"));
    QCOMPARE(wip[2][0].toInt(), 4);          // still listed, without customer
    QVERIFY(wip[2][5].isNull());
    QCOMPARE(num(db.scalar("select sum(qty) from view_gongxu_wip where gongxu_code = ?", {"04-执模"})), 6.0);

    // Workers' unfinished steps with the delivery date (steps of unknown contracts left out).
    const auto nf = db.rows("select scno, gongxu_cod, xingming, qty, deldate from view_work_notfinish "
                            "where gongxu_cod = ? and deldate between ? and ?",
                            {"04-执模", QDate(2004, 3, 1), QDate(2004, 3, 31)});
    QCOMPARE(nf.size(), 1);
    QCOMPARE(nf[0][0].toString(), QString("KC1"));
    QCOMPARE(nf[0][2].toString(), QString("李伟"));
    QCOMPARE(num(nf[0][3]), 5.0);
    QCOMPARE(when(nf[0][4]).date(), QDate(2004, 3, 15));
}

void tst_Views::settingMethodsOfOpenSteps()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    QVERIFY(step(db, 1, "KC2", "06-镶石", kOpen, 6, "0601", "张丽"));
    QVERIFY(step(db, 2, "KC2", "06-镶石", QDateTime(QDate(2004, 3, 1), QTime(0, 0)), 2, "0602", "王芳"));
    auto use = [&](int proch, const QString &mcode, const QVariant &way) {
        return db.insert("matuse", {{"proch_id", proch}, {"scno", "KC2"}, {"gongxu_code", "06-镶石"},
                                    {"mcode", mcode}, {"waycode", way}, {"sqtycal", 18}});
    };
    QVERIFY(use(1, "DIA", "包镶"));
    QVERIFY(use(1, "DIA2", "包镶"));   // the same method twice: one row
    QVERIFY(use(1, "RUBY", "钉镶"));
    QVERIFY(use(1, "18KW", QVariant()));   // metal: no setting method
    QVERIFY(use(1, "18KY", ""));
    QVERIFY(use(2, "DIA", "爪镶"));        // finished step
    const auto rows = db.rows("select gonghao, name, qty, scno, article_code, way_code, stones from view_wip_waycode "
                              "order by way_code");
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(rows.size(), 2);
    QMap<QString, QPair<QVariant, double>> byWay;   // pieces (NULL but once per step) and stones per method
    for (const auto &r : rows) {
        QCOMPARE(r[0].toString(), QString("0601"));
        QCOMPARE(r[1].toString(), QString("张丽"));
        QCOMPARE(r[3].toString(), QString("KC2"));
        QCOMPARE(r[4].toString(), QString("R1"));
        byWay[r[5].toString()] = {r[2], num(r[6])};
    }
    QCOMPARE(byWay.keys(), (QStringList{"包镶", "钉镶"}));
    // The step's 6 pieces stand once, on its first method; the stones per method.
    QCOMPARE(num(byWay.value("包镶").first), 6.0);
    QVERIFY(byWay.value("钉镶").first.isNull());
    QCOMPARE(byWay.value("包镶").second, 36.0);
    QCOMPARE(byWay.value("钉镶").second, 18.0);
}

void tst_Views::stonesSetPerDay()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    const QDateTime march1(QDate(2004, 3, 1), QTime(0, 0));
    QVERIFY(step(db, 1, "KC2", "06-镶石", march1, 10));                       // R1: 3 + 2 stones a piece
    QVERIFY(step(db, 2, "KC2", "06-镶石", kOpen, 5));                        // not set yet
    QVERIFY(step(db, 3, "KC2", "04-执模", march1, 10));                      // not setting
    QVERIFY(step(db, 4, "KC1", "06-镶石", march1.addDays(1), 4));           // first article P2: 1 a piece
    const auto rows = db.rows("select scno, article_code, settype_code, qtycal, quantity, all_total, edate "
                              "from view_day_wip where edate between ? and ? order by settype_code",
                              {QDate(2004, 3, 1), QDate(2004, 3, 1)});
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(rows.size(), 2);   // the INIST placeholder is no stone
    double total = 0;
    for (const auto &r : rows) {
        QCOMPARE(r[0].toString(), QString("KC2"));
        QCOMPARE(r[1].toString(), QString("R1"));
        QCOMPARE(num(r[4]), 10.0);
        QCOMPARE(num(r[5]), num(r[3]) * 10);
        QCOMPARE(when(r[6]), march1);
        total += num(r[5]);
    }
    QCOMPARE(total, 50.0);
    QCOMPARE(num(db.scalar("select sum(all_total) from view_day_wip where edate between ? and ?",
                           {QDate(2004, 3, 1), QDate(2004, 3, 31)})), 54.0);
}

void tst_Views::stonesNeededPerLine()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    const auto rows = db.rows("select article_code, stone_code, qtycal, quantity, need_qty from view_stone_need "
                              "where scno = ? order by article_code, stone_code", {"KC1"});
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0][0].toString(), QString("P2"));
    QCOMPARE(num(rows[0][4]), 4.0);          // 1 sapphire x 4 pieces
    QCOMPARE(rows[1][1].toString(), QString("DIA"));
    QCOMPARE(num(rows[1][4]), 30.0);         // 3 x 10
    QCOMPARE(rows[2][1].toString(), QString("RUBY"));
    QCOMPARE(num(rows[2][4]), 20.0);         // 2 x 10
    QCOMPARE(num(db.scalar("select sum(need_qty) from view_stone_need where scno = ?", {"KC2"})), 30.0);
}

void tst_Views::stonesInTheStoneStore()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(addContracts(db));
    QVERIFY(db.insert("material", {{"mcode", "DIA"}, {"mtype", "STONE"}}));
    QVERIFY(db.insert("material", {{"mcode", "18KW"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
    auto move = [&](const QString &scno, const QString &mcode, const QString &from, const QString &to, double qty) {
        return db.insert("jcjl_mattran", {{"scno", scno}, {"mcode", mcode}, {"zmcode", "石料"}, {"fcode", from},
                                          {"tcode", to}, {"qtycal", qty}, {"ldate", QDate(2004, 3, 1)}});
    };
    QVERIFY(move("KC1", "DIA", "12-外工收发", "02-石仓收发", 100));
    QVERIFY(move("KC1", "DIA", "02-石仓收发", "05-镶石收发", 60));
    QVERIFY(move("KC1", "18KW", "01-金仓收发", "02-石仓收发", 5));   // metal, not a stone
    QVERIFY(move("KC1", "DIA", "04-执模收发", "05-镶石收发", 7));   // does not touch the stone store
    QVERIFY(move("KC2", "DIA", "12-外工收发", "02-石仓收发", 10));
    QVERIFY(move("KC2", "DIA", "02-石仓收发", "05-镶石收发", 10));   // all issued
    const auto rows = db.rows("select scno, client, article_code, mcode, zmcode, recpcs, isspcs, isshand, "
                              "arttype_name, pic_name from view_stone_wip_inhand");
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(rows.size(), 1);
    const auto &r = rows[0];
    QCOMPARE(r[0].toString(), QString("KC1"));
    QCOMPARE(r[1].toString(), QString("QOR"));
    QCOMPARE(r[2].toString(), QString("P2"));
    QCOMPARE(r[3].toString(), QString("DIA"));
    QCOMPARE(r[4].toString(), QString("石料"));
    QCOMPARE(num(r[5]), 100.0);
    QCOMPARE(num(r[6]), 60.0);
    QCOMPARE(num(r[7]), 40.0);
    QCOMPARE(r[8].toString(), QString("吊坠PENDANT"));
    QCOMPARE(r[9].toString(), QString("D2.BMP"));
}

QTEST_GUILESS_MAIN(tst_Views)
#include "tst_views.moc"
