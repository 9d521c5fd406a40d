#include "order_progress/date_str.h"
#include "order_progress/orderprogresswindows.h"
#include "order_progress/w_ordergress_detail.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/stringarray.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

const QString kStart = QStringLiteral("2026-03-01");
const QString kEnd = QStringLiteral("2026-03-07");

// Material used by the steps of KC1 and KC2 (and of KC9, which nobody chose).
// The department codes of matuse meet the step list by their number ("03-倒模"
// is the list's "03-倒磨"), shipping "20-出货" is the list's "10-出货"; outside
// work "11-外发" is no step of the list.
void fillMaterialUse(TestDatabase &db)
{
    for (const auto &[mcode, mtype] : {std::pair{"18KY", "GOLD"}, {"PT950", "PT"}, {"ST1", "STONE"}})
        QVERIFY(db.insert("material", {{"mcode", mcode}, {"mtype", mtype}}));
    struct { const char *scno, *gx, *mcode; double qty; } rows[] = {
        {"KC1", "04-执模", "18KY", 10.5}, {"KC1", "04-执模", "18KY", 2.0}, {"KC1", "03-倒模", "18KY", 20},
        {"KC1", "06-镶石", "ST1", 30},    {"KC1", "20-出货", "18KY", 1},   {"KC1", "11-外发", "18KY", 5},
        {"KC2", "04-执模", "PT950", 7},   {"KC9", "04-执模", "18KY", 100}};
    int id = 1;
    for (const auto &r : rows)
        QVERIFY(db.insert("matuse", {{"proch_id", id++}, {"scno", r.scno}, {"gongxu_code", QString::fromUtf8(r.gx)},
                                     {"mcode", r.mcode}, {"sqtycal", r.qty}, {"sqtyref", 1}}));
}

// Worker sheets: finished ones count, a pending one (no loss settled yet) and
// KC9 do not.
void fillWorkerSheets(TestDatabase &db)
{
    struct { const char *scno, *gx, *worker, *name, *mcode, *zt; double pcs, iss, fin, ret, loss; } rows[] = {
        {"KC1", "04-执模", "W01", "张三", "18KY", "FIN", 5, 10.0, 9.8, 0.05, 0.15},
        {"KC1", "04-执模", "W01", "张三", "18KY", "FIN", 3, 6.0, 5.9, 0.02, 0.08},
        {"KC1", "06-镶石", "W02", "李四", "18KY", "FIN", 8, 15.0, 14.9, 0.0, 0.1},
        {"KC2", "04-执模", "W01", "张三", "PT950", "FIN", 2, 4.0, 3.9, 0.0, 0.1},
        {"KC1", "04-执模", "W03", "王五", "18KY", "PEN", 4, 7.0, 0, 0, 0},
        {"KC9", "04-执模", "W01", "张三", "18KY", "FIN", 9, 50.0, 49, 0, 1.0}};
    int lsh = 1;
    for (const auto &r : rows)
        QVERIFY(db.insert("work_report",
                          {{"lsh", lsh++}, {"scno", r.scno}, {"gongxu", QString::fromUtf8(r.gx)}, {"changhao", r.worker},
                           {"xingming", QString::fromUtf8(r.name)}, {"mcode", r.mcode}, {"metal", r.mcode},
                           {"zt", r.zt}, {"iss_pcs", r.pcs}, {"iss_weight", r.iss}, {"fin_weight", r.fin},
                           {"ret_weight", r.ret}, {"loss", r.loss}}));
    QVERIFY(db.insert("sconh", {{"sconh_id", 1}, {"scno", "KC1"}, {"cust_no", "QOR"}}));
    QVERIFY(db.insert("sconh", {{"sconh_id", 2}, {"scno", "KC2"}, {"cust_no", "ABC"}}));
}

// Value of the crosstab cell under a step caption ("04-执模"); NULL when none.
QVariant cell(const ReportControl &dw, int row, const QString &step)
{
    for (const auto &col : dw.store().columns())
        if (col.caption.join(QString()).contains(step))
            return dw.GetItem(row, col.name);
    return QVariant();
}

QStringList stepCaptions(const ReportControl &dw)
{
    QStringList out;
    for (const auto &col : dw.store().columns())
        if (col.caption.size() == 1 && col.caption.first().size() > 3 && col.caption.first().at(2) == QLatin1Char('-'))
            out << col.caption.first();
    return out;
}

} // namespace

class OrdergressDetailTest : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QPointer<w_ordergress_detail> w;

    ReportControl &dw() { return w->control<ReportControl>(QStringLiteral("dw_ordergress")); }
    void press(const char *button) { QCOMPARE(w->control<CommandButton>(QString::fromLatin1(button)).TriggerEvent(), 1); }
    QStringList column(const char *name)
    {
        QStringList out;
        for (int r = 1; r <= dw().RowCount(); ++r)
            out << dw().GetItemString(r, QString::fromLatin1(name));
        return out;
    }
    double num(int row, const char *name) { return dw().GetItemNumber(row, QString::fromLatin1(name)); }

    void openWindow(TestDatabase &db)
    {
        QVERIFY(db.useAsApplicationDatabase());
        w = qobject_cast<w_ordergress_detail *>(
            Window::OpenWithParm(QStringLiteral("w_ordergress_detail"), QVariant::fromValue(date_str{kStart, kEnd})));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_COMPARE(w->dateRange().startdate, kStart);
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        QVERIFY(work.isValid());
        QDir::setCurrent(work.path());
        DriveMapping::instance().setWorkingFolder(work.path());
        registerOrderProgressWindows();
        reports::registerPreviewWindow();
    }

    void init()
    {
        scno_sel().clear();
        scno_sel()[1] = QStringLiteral("KC1");
        scno_sel()[2] = QStringLiteral("KC2");
        scno_sel()[3] = QString();   // blank entries of an earlier, longer choice
    }

    void cleanup()
    {
        if (auto *p = Window::findLatest(QStringLiteral("w_preview")))
            p->Close();
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        QTRY_VERIFY(!Window::findLatest(QStringLiteral("w_preview")));
    }

    void materialUsePerOrderAndStep_data() { test::addEngineRows(); }
    void materialUsePerOrderAndStep()
    {
        WIP_TEST_DATABASE(db);
        fillMaterialUse(db);
        openWindow(db);
        // Before a report is chosen: its own title, and what to press for which contracts.
        QVERIFY2(w->windowTitle().contains(QStringLiteral("付工人耗")), qPrintable(w->windowTitle()));
        QCOMPARE(dw().dataobject(), QString());
        for (const char *says : {"KC1, KC2", "2026-03-01 至 2026-03-07", "「物料使用(订单)」", "「付工人耗(汇总)」"})
            QVERIFY2(dw().note().contains(QString::fromUtf8(says)), qPrintable(dw().note()));
        QVERIFY(!w->control<CommandButton>(QStringLiteral("cb_print")).isEnabled());
        if (const QByteArray shots = qgetenv("WIP_TEST_SCREENSHOTS"); !shots.isEmpty())
            w->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/w_ordergress_detail-open.png"));
        QCOMPARE(w->processSteps().size(), 10);
        QCOMPARE(w->processSteps().at(2), QStringLiteral("03-倒磨"));

        // Enter runs "物料使用(订单)".
        QTest::keyClick(w, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(dw().dataobject(), QStringLiteral("d_w_scmatuse"));
        QVERIFY(w->control<CommandButton>(QStringLiteral("cb_print")).isEnabled());
        QCOMPARE(dw().objectText(QStringLiteral("t_head")), kStart + "----" + kEnd + "出货订单工序实耗表");
        QCOMPARE(stepCaptions(dw()), (QStringList{"03-倒磨", "04-执模", "06-镶石", "10-出货"}));
        QCOMPARE(column("scno"), (QStringList{"KC1", "KC1", "KC2"}));
        QCOMPARE(column("mcode"), (QStringList{"18KY", "ST1", "PT950"}));
        QCOMPARE(cell(dw(), 1, "03-倒磨").toDouble(), 20.0);
        QCOMPARE(cell(dw(), 1, "04-执模").toDouble(), 12.5);
        QCOMPARE(cell(dw(), 1, "10-出货").toDouble(), 1.0);
        QVERIFY(cell(dw(), 1, "06-镶石").isNull());
        QCOMPARE(num(1, "grand_sum_sqtycal"), 33.5);      // 11-外发 is no step of the list
        QCOMPARE(cell(dw(), 2, "06-镶石").toDouble(), 30.0);
        QCOMPARE(num(3, "grand_sum_sqtycal"), 7.0);

        // The list chooses the steps: with the filing step alone only it is shown.
        dw().Retrieve({scno_sel().values(), QStringList{QStringLiteral("04-执模")}});
        QCOMPARE(stepCaptions(dw()), QStringList{"04-执模"});
        QCOMPARE(column("mcode"), (QStringList{"18KY", "PT950"}));
    }

    void workerLossReports_data() { test::addEngineRows(); }
    void workerLossReports()
    {
        WIP_TEST_DATABASE(db);
        fillWorkerSheets(db);
        openWindow(db);

        // Long paper: one line per order, step and worker, finished sheets only.
        press("cb_3");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_w_ordergress"));
        QCOMPARE(dw().objectText(QStringLiteral("t_head")), kStart + "----" + kEnd + "订单付工人耗");
        QCOMPARE(column("scno"), (QStringList{"KC1", "KC1", "KC2"}));
        QCOMPARE(column("changhao"), (QStringList{"W01", "W02", "W01"}));
        QCOMPARE(num(1, "sheets"), 2.0);
        QCOMPARE(num(1, "iss_pcs"), 8.0);
        QCOMPARE(num(1, "iss_weight"), 16.0);
        QCOMPARE(num(1, "fin_weight"), 15.7);
        QCOMPARE(num(1, "ret_weight"), 0.07);
        QCOMPARE(num(1, "loss"), 0.23);
        QCOMPARE(num(1, "c_loss_rate"), 0.23 / 16 * 100);
        QCOMPARE(num(1, "c_sum_loss"), 0.43);
        QCOMPARE(num(1, "c_sum_iss_weight"), 35.0);
        QCOMPARE(num(1, "c_sum_rate"), 0.43 / 35 * 100);

        // Per order with order subtotals.
        press("cb_4");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_w_losspaytow_sortbyscno"));
        QCOMPARE(dw().objectText(QStringLiteral("t_head")), kStart + "----" + kEnd + "出货订单付工人耗");
        QCOMPARE(column("scno"), (QStringList{"KC1", "KC1", "KC2"}));
        QCOMPARE(num(1, "c_g1_loss"), 0.33);
        QCOMPARE(num(2, "c_g1_iss_weight"), 31.0);
        QCOMPARE(num(3, "c_g1_loss"), 0.1);
        QCOMPARE(num(3, "c_g1_rate"), 0.1 / 4 * 100);
        QCOMPARE(num(3, "c_sum_loss"), 0.43);

        // Summary per worker over the chosen orders.
        press("cb_5");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_w_losspaytow_sum"));
        QCOMPARE(dw().objectText(QStringLiteral("t_head")), kStart + "----" + kEnd + "出货订单付工人耗汇总表");
        QCOMPARE(column("changhao"), (QStringList{"W01", "W02"}));
        QCOMPARE(column("xingming"), (QStringList{"张三", "李四"}));
        QCOMPARE(num(1, "orders"), 2.0);
        QCOMPARE(num(1, "iss_weight"), 20.0);
        QCOMPARE(num(1, "loss"), 0.33);
        QCOMPARE(num(2, "orders"), 1.0);
        QCOMPARE(num(2, "loss"), 0.1);

        // Allowed loss per order and step: 2% of the metal issued to the step
        // against the step's loss; pieces per step, never added across steps.
        press("cb_2");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_w_alwloss"));
        QCOMPARE(dw().objectText(QStringLiteral("t_head")), kStart + "----" + kEnd + "出货订单工序实耗表");
        QCOMPARE(column("scno"), (QStringList{"KC1", "KC1", "KC2"}));
        QCOMPARE(column("gongxu"), (QStringList{"04-执模", "06-镶石", "04-执模"}));
        QCOMPARE(column("cust_no"), (QStringList{"QOR", "QOR", "ABC"}));
        QCOMPARE(column("mcode"), (QStringList{"18KY", "18KY", "PT950"}));
        QCOMPARE(num(1, "iss_pcs"), 8.0);                // the same 8 pieces at each step
        QCOMPARE(num(2, "iss_pcs"), 8.0);
        QCOMPARE(num(1, "iss_weight"), 16.0);
        QCOMPARE(num(1, "c_alw_loss"), 0.32);
        QCOMPARE(num(1, "c_over"), 0.23 - 0.32);         // within the allowance
        QCOMPARE(num(2, "c_over"), 0.1 - 0.3);
        QCOMPARE(num(3, "c_alw_loss"), 0.08);
        QCOMPARE(num(3, "c_over"), 0.1 - 0.08);          // over it
        QCOMPARE(num(1, "c_g1_loss"), 0.33);
        QCOMPARE(num(1, "c_g1_alw_loss"), 0.62);
        QCOMPARE(num(3, "c_g1_over"), 0.1 - 0.08);
        QCOMPARE(num(1, "c_sum_over"), 0.43 - 0.7);
        QVERIFY(!dw().store().definition().computedField(QStringLiteral("c_sum_iss_pcs")));
    }

    // The reports read scno_sel at each press: blanks match nothing, and a list
    // never filled gives empty reports rather than a failure.
    void reportsFollowScnoSelAtEachPress()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        fillWorkerSheets(db);
        fillMaterialUse(db);
        openWindow(db);
        scno_sel().clear();
        scno_sel()[1] = QStringLiteral("KC2");
        press("cb_3");
        QCOMPARE(column("scno"), QStringList{"KC2"});

        for (bool neverFilled : {false, true}) {
            scno_sel().clear();
            if (!neverFilled)
                scno_sel()[3] = QString();
            for (const char *b : {"cb_1", "cb_3", "cb_4", "cb_5", "cb_2"}) {
                press(b);
                QCOMPARE(dw().RowCount(), 0);
                QVERIFY(dw().objectText(QStringLiteral("t_head")).startsWith(kStart + "----" + kEnd));
                QCOMPARE(dw().note(), QStringLiteral("没有选取合约: 请在订单分析中选取合约, 再按「付工人耗」。"));
            }
        }

        // A contract whose work is still pending has no loss and no material to report, and the window says so.
        QVERIFY(db.insert("work_report", {{"lsh", 99}, {"scno", "KC3"}, {"gongxu", "04-执模"}, {"changhao", "W01"},
                                          {"mcode", "18KY"}, {"zt", "PEN"}, {"iss_pcs", 4}, {"iss_weight", 7.0}}));
        scno_sel().clear();
        scno_sel()[1] = QStringLiteral("KC3");
        scno_sel()[2] = QString();
        for (const char *b : {"cb_3", "cb_4", "cb_5", "cb_2"}) {
            press(b);
            QCOMPARE(dw().RowCount(), 0);
            QCOMPARE(dw().note(), QStringLiteral("所选合约 KC3 没有完成(FIN)的工序, 没有耗料可报。"));
        }
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_ordergress_detail-nothing.png"));
        press("cb_1");
        QCOMPARE(dw().note(), QStringLiteral("所选合约 KC3 没有物料使用记录。"));
        scno_sel()[1] = QStringLiteral("KC1");
        press("cb_3");
        QVERIFY(dw().RowCount() > 0);
        QCOMPARE(dw().note(), QString());
    }

    void printSavesTheReportAndOpensThePreview()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        fillWorkerSheets(db);
        openWindow(db);
        press("cb_5");
        QFile::remove(work.filePath(QStringLiteral("temp.psr")));
        press("cb_print");
        QVERIFY(QFileInfo(work.filePath(QStringLiteral("temp.psr"))).size() > 0);
        Window *preview = Window::findLatest(QStringLiteral("w_preview"));
        QVERIFY(preview);
        QCOMPARE(preview->message().powerObjectParm.value<reports::s_preview>().dw_name, QStringLiteral("temp.psr"));
        preview->Close();
        QTRY_VERIFY(!Window::findLatest(QStringLiteral("w_preview")));

        // When the file cannot be written no preview opens and the trace says why.
        QFile::remove(work.filePath(QStringLiteral("temp.psr")));
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("temp.psr")));
        Trace::clearCaptured();
        QCOMPARE(w->control<CommandButton>(QStringLiteral("cb_print")).TriggerEvent(), -1);
        QVERIFY(Trace::captured().join('\n').contains(QStringLiteral("WE HAVE A PROBLEM HERE")));
        QVERIFY(!Window::findLatest(QStringLiteral("w_preview")));
        QVERIFY(QDir(work.path()).rmdir(QStringLiteral("temp.psr")));
    }

    // Opened with nothing ticked it says so at once; 返回 closes it.
    void returnClosesTheWindow()
    {
        TestDatabase db;
        scno_sel().clear();
        openWindow(db);
        QCOMPARE(dw().note(), QStringLiteral("没有选取合约: 请在订单分析中选取合约, 再按「付工人耗」。"));
        press("cb_close");
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(OrdergressDetailTest)
#include "tst_ordergressdetail.moc"
