#include "reports/datastore.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "testdatabase.h"
#include "wip_detail/settingmethods.h"
#include "wip_detail/w_wip_detail.h"
#include "wip_detail/wipdetailwindows.h"
#include "workbookreader.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

QVariant day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }

// A small factory: three contracts, department records, open steps and setting methods.
void fillFactory(TestDatabase &db)
{
    for (const char *code : {"01-唧腊", "03-倒模", "04-执模", "04-执模", "06-镶石", "13-金仓", "99-新工序"})
        QVERIFY(db.insert("gongxu", {{"gongxu_code", QString::fromUtf8(code)}}));
    QVERIFY(db.insert("arttype", {{"arttype_code", "R"}, {"arttype_name", "戒指"}}));
    QVERIFY(db.insert("article", {{"article_code", "A1"}, {"arttype_code", "R"}, {"pic_name", "A1.bmp"}}));
    QVERIFY(db.insert("material", {{"mcode", "18K"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
    struct { const char *scno, *cust; } contracts[] = {{"KC1", "QOR"}, {"KC2", "ABC"}, {"S001", "QOR"}};
    int line = 1;
    for (const auto &c : contracts) {
        QVERIFY(db.insert("sconh", {{"scno", c.scno}, {"cust_no", c.cust}, {"cust_order", QString(QString("PO-") + QString::fromLatin1(c.scno))},
                                    {"issdate", day(2004, 5, 1)}, {"deldate", day(2004, 6, 1)}}));
        for (int k = 0; k < 2; ++k)   // two lines each: a contract must still be counted once
            QVERIFY(db.insert("scond", {{"scond_id", line++}, {"scno", c.scno}, {"article_code", "A1"},
                                        {"design_no", "D1"}, {"metal", "18K"}, {"quantity", 5}}));
    }
    QVERIFY(db.insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 4}, {"casting_in", 5},
                                  {"casting_out", 3}, {"gold_in", 20}, {"gold_out", 20}}));
    QVERIFY(db.insert("process", {{"scno", "KC2"}, {"casting_in", 8}, {"casting_out", 2}, {"gold_in", 30},
                                  {"gold_out", 10}}));
    QVERIFY(db.insert("process", {{"scno", "S001"}, {"wax_in", 5}, {"wax_out", 1}}));
    auto step = [&](int id, const char *scno, const char *who, const char *name, double qty, const QVariant &end) {
        return db.insert("proch", {{"proch_id", id}, {"scno", scno}, {"gongxu_code", "06-镶石"}, {"changhao", who},
                                   {"xingming", QString::fromUtf8(name)}, {"sttime", day(2004, 5, 2)},
                                   {"edtime", end}, {"qty", qty}});
    };
    QVERIFY(step(1, "KC1", "W01", "张三", 2, QVariant()));
    QVERIFY(step(2, "KC1", "W02", "", 3, QVariant()));            // no worker name
    QVERIFY(step(3, "KC2", "W01", "张三", 9, day(2004, 5, 3)));   // finished
    QVERIFY(db.insert("matuse", {{"proch_id", 1}, {"mcode", "S1"}, {"waycode", " 钉镶 "}, {"sqtycal", 6}}));
    QVERIFY(db.insert("matuse", {{"proch_id", 1}, {"mcode", "S2"}, {"waycode", "闸镶"}, {"sqtycal", 4}}));
    QVERIFY(db.insert("matuse", {{"proch_id", 2}, {"mcode", "S1"}, {"waycode", "包镶"}, {"sqtycal", 9}}));
    auto newStep = [&](const char *scno, const char *who, double qty, double weight, const QVariant &end) {
        return db.insert("proch_new", {{"scno", scno}, {"gongxu_code", "04-执模"}, {"changhao", who},
                                       {"xingming", "李四"}, {"sttime", day(2004, 5, 2)}, {"edtime", end},
                                       {"qty", qty}, {"weight", weight}});
    };
    QVERIFY(newStep("KC1", "W03", 4, 10, QVariant()));
    QVERIFY(newStep("KC1", "", 0, 5, QVariant()));                 // weight at the desk, no pieces
    QVERIFY(newStep("KC2", "", 6, 20, day(1899, 12, 30)));         // stored as "open" the old way
}

} // namespace

class WipDetailTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QTemporaryDir work;
    QPointer<w_wip_detail> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw() { return c<ReportControl>("dw_wip_detail"); }
    reports::DataStore &nested(int i) { return *dw().store().nestedStore(i); }
    void choose(const char *process)
    {
        if (c<DropDownListBox>("ddlb_pcode").SelectItem(QString::fromUtf8(process)) <= 0)
            QFAIL(qPrintable(QStringLiteral("no process %1 in the list").arg(QString::fromUtf8(process))));
    }
#define CHOOSE(p)                                                                                  \
    do {                                                                                           \
        choose(p);                                                                                 \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)
    void click(const char *button) { QCOMPARE(c<CommandButton>(button).TriggerEvent(), 1); }
    int oldOpenSteps() { return db->scalar("select count(*) from proch_new where edtime < '1900-01-02'").toInt(); }
    void openWindow()
    {
        w = qobject_cast<w_wip_detail *>(Window::Open(QStringLiteral("w_wip_detail")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void initTestCase_data() { wip::test::addEngineRows(); }   // every test on each database
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        FileOpener::setScripted(true);
        QVERIFY(work.isValid());
        DriveMapping::instance().setFolder(QLatin1Char('D'), work.filePath("exports"));
        QDir().mkpath(work.filePath("exports"));
        DriveMapping::instance().setWorkingFolder(work.path());
        registerWipDetailWindows();
    }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        const auto kind = wip::test::engineFromName(engine);
        if (kind == wip::test::Engine::PostgreSQL && !wip::test::postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        db = std::make_unique<TestDatabase>(kind);
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        fillFactory(*db);
        QVERIFY(db->useAsApplicationDatabase());
        MessageBoxService::clear();
        openWindow();
        QTRY_COMPARE(c<DropDownListBox>("ddlb_pcode").TotalItems(), 6);   // open() has run
    }

    void cleanup()
    {
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        db.reset();
    }

    void opensWithEachProcessOnceAndHiddenSettingButtons()
    {
        QCOMPARE(c<DropDownListBox>("ddlb_pcode").TotalItems(), 6);
        QCOMPARE(c<DropDownListBox>("ddlb_pcode").text(), QString());
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_all_detail"));
        QCOMPARE(dw().RowCount(), 0);
        QVERIFY(!c<CommandButton>("cb_1").isVisible());
        QVERIFY(!c<CommandButton>("cb_2").isVisible());
    }

    void queryLoadsTheDepartmentReport()
    {
        click("cb_query");   // nothing chosen: the open steps of process ""
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_xs"));
        QCOMPARE(nested(0).RowCount() + nested(1).RowCount(), 0);

        CHOOSE("01-唧腊");
        click("cb_query");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_wax"));
        QCOMPARE(dw().RowCount(), 1);                        // S001 is never listed
        QCOMPARE(dw().GetItemString(1, "scno"), QStringLiteral("KC1"));
        QCOMPARE(dw().GetItemNumber(1, "all_total"), 6.0);

        CHOOSE("03-倒模");
        click("cb_query");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_diaom"));
        QCOMPARE(dw().RowCount(), 1);                        // QOR's contracts only
        QCOMPARE(dw().GetItemString(1, "scno"), QStringLiteral("KC1"));

        CHOOSE("06-镶石");
        click("cb_query");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_xs"));
        QCOMPARE(nested(0).objectText("t_head"), QStringLiteral("06-镶石工序WIP报表"));
        QCOMPARE(nested(0).RowCount(), 1);                   // the step without a worker name is left out
        QCOMPARE(nested(1).RowCount(), 2);                   // but counted in the totals
        QCOMPARE(nested(1).GetItemNumber(1, "compute_2"), 5.0);

        CHOOSE("99-新工序");
        click("cb_query");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_xs"));
    }

    void newWipMakesOldOpenStepsOpenBeforeRetrieving()
    {
        QCOMPARE(oldOpenSteps(), 1);
        CHOOSE("04-执模");
        click("cb_3");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_all"));
        QCOMPARE(oldOpenSteps(), 0);
        QCOMPARE(nested(0).RowCount(), 3);                   // KC2's step counts as open already
        QCOMPARE(nested(1).GetItemNumber(1, "compute_4"), 10.0);
        QCOMPARE(nested(1).GetItemNumber(1, "compute_6"), 35 * 0.75);
    }

    void inHandFollowsTheProcessTable()
    {
        CHOOSE("04-执模");
        click("cb_4");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_w_wip_detail_fil_wipp"));
        // The view was read before the old open step was made open, which happens after.
        QCOMPARE(oldOpenSteps(), 0);
        reports::DataStore &detail = nested(0);
        QCOMPARE(detail.RowCount(), 2);
        const int kc1 = detail.Find(QStringLiteral("view_fil_wipp_scno = 'KC1'"), 1, 2);
        QVERIFY(kc1 > 0);
        QCOMPARE(detail.GetItemNumber(kc1, "view_fil_wipp_isshand_wt"), 5.0);
        QCOMPARE(detail.GetItemNumber(kc1, "c_isshand_wt"), 0.0);   // no pieces in hand, no weight

        c<SingleLineEdit>("sle_clientno").setText(QStringLiteral("   "));
        click("cb_4");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_w_wip_detail_fil_wipp"));

        c<SingleLineEdit>("sle_clientno").setText(QStringLiteral("ABC"));
        click("cb_4");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_pending_kc"));
        QCOMPARE(dw().RowCount(), 1);
        QCOMPARE(dw().GetItemString(1, "scno"), QStringLiteral("KC2"));

        CHOOSE("13-金仓");
        click("cb_4");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_goldstock_inhand"));
        QCOMPARE(dw().RowCount(), 1);                        // equal gold in and out is not listed
        QCOMPARE(dw().GetItemString(1, "scno"), QStringLiteral("KC2"));
    }

    // A process IN HAND has no report for: the previous report does not stay on
    // screen under the new process name; the window says why it shows nothing.
    void inHandClearsTheReportForOtherProcessesButNormalises()
    {
        CHOOSE("01-唧腊");
        click("cb_query");
        QCOMPARE(dw().RowCount(), 1);
        CHOOSE("99-新工序");
        click("cb_4");
        QCOMPARE(dw().dataobject(), QString());
        QCOMPARE(dw().RowCount(), 0);
        QVERIFY2(dw().note().startsWith(QStringLiteral("99-新工序 没有 IN HAND 报表。IN HAND 的工序: 01-唧腊, 03-倒模")),
                 qPrintable(dw().note()));
        QCOMPARE(oldOpenSteps(), 0);
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_wip_detail-inhand-other.png"));
        // An IN HAND report without rows says so; a new report drops the note.
        QVERIFY(db->exec("delete from process where scno in ('KC1', 'S001')"));   // no casting in hand for QOR
        CHOOSE("03-倒模");
        click("cb_4");
        QCOMPARE(dw().RowCount(), 0);
        QCOMPARE(dw().note(), QStringLiteral("没有找到记录: 03-倒模 没有在手的货。"));
        CHOOSE("13-金仓");
        click("cb_4");
        QCOMPARE(dw().RowCount(), 1);
        QCOMPARE(dw().note(), QString());
    }

    void failedConnectionEndsSilently()
    {
        CHOOSE("01-唧腊");
        click("cb_query");
        // A server that is not there: every own connection fails.
        applicationConnection() = *ConnectionSettings::fromUrl(QStringLiteral("postgresql://nobody@127.0.0.1:1/none"));
        CHOOSE("03-倒模");
        click("cb_query");                                   // the definition is switched, nothing read
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_diaom"));
        QCOMPARE(dw().RowCount(), 0);
        click("cb_5");                                       // left as it was
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_diaom"));
        QVERIFY(MessageBoxService::shown().isEmpty());
        w->Close();
        QTRY_VERIFY(w.isNull());
        openWindow();
        QTest::qWait(300);
        QCOMPARE(c<DropDownListBox>("ddlb_pcode").TotalItems(), 0);
    }

    // A step with two setting methods shows on two rows: its pieces count once,
    // the stones of each method on its own row.
    void settingMethodsByWorker()
    {
        click("cb_1");
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_waycode"));
        QCOMPARE(dw().RowCount(), 3);
        QCOMPARE(dw().GetItemNumber(1, "compute_2"), 5.0);     // 2 + 3 pieces in work
        QCOMPARE(dw().GetItemNumber(1, "compute_4"), 19.0);    // 6 + 4 + 9 stones
        const int w01 = dw().Find(QStringLiteral("gonghao = 'W01'"), 1, 3);
        QCOMPARE(dw().GetItemNumber(w01, "compute_1"), 2.0);
        QCOMPARE(dw().GetItemNumber(w01, "compute_3"), 10.0);
        const int nail = dw().Find(QStringLiteral("way_code = '闸镶'"), 1, 3);
        QVERIFY(dw().store().IsNull(nail, "qty"));
        QCOMPARE(dw().GetItemNumber(nail, "stones"), 4.0);
    }

    void exportWritesTheSheet()
    {
        if (!wip::test::canReadWorkbooks())
            QSKIP("python3 is needed to read the workbook back");
        FileOpener::clear();
        click("cb_2");
        QVERIFY(MessageBoxService::shown().isEmpty());
        const QString file = work.filePath("exports/LAsb.xls");
        QVERIFY(QFile::exists(file));
        // The spreadsheet application was visible: the clerk sees the saved workbook.
        QCOMPARE(FileOpener::opened(), QStringList{file});
        QString error;
        const QJsonObject cells = wip::test::readWorkbook(file, &error);
        QVERIFY2(!cells.isEmpty(), qPrintable(error));
        auto cell = [&](const char *ref) { return cells.value(QLatin1String(ref)).toArray(); };
        QVERIFY(cell("A1")[1].toString().endsWith(QStringLiteral("----WIP WAYCODE---")));
        QCOMPARE(cell("A2")[1].toString(), QStringLiteral("工号"));
        QCOMPARE(cell("C2")[1].toString(), QStringLiteral("件数QTY"));
        QCOMPARE(cell("F2")[1].toString(), QStringLiteral("镶法"));
        QCOMPARE(cell("G2")[1].toString(), QStringLiteral("粒数Stones"));
        QStringList methods;
        double pieces = 0, stones = 0;
        for (int r = 3; r <= 5; ++r) {
            // Numbers stay numbers; a step's second method leaves its pieces blank.
            const QJsonArray qty = cells.value(QStringLiteral("C%1").arg(r)).toArray();
            const QString method = cells.value(QStringLiteral("F%1").arg(r)).toArray()[1].toString();
            QCOMPARE(qty.isEmpty(), method == QStringLiteral("闸镶 pave prong"));
            if (!qty.isEmpty()) {
                QCOMPARE(qty[0].toString(), QStringLiteral("n"));
                pieces += qty[1].toString().toDouble();
            }
            stones += cells.value(QStringLiteral("G%1").arg(r)).toArray()[1].toString().toDouble();
            methods << method;
        }
        QCOMPARE(pieces, 5.0);
        QCOMPARE(stones, 19.0);
        methods.sort();
        QCOMPARE(methods, (QStringList{"包镶bazel", "钉镶pave", "闸镶 pave prong"}));
        QVERIFY(!cells.contains(QStringLiteral("A6")));
    }

    void exportWithoutRowsSavesAnEmptySheet()
    {
        if (!wip::test::canReadWorkbooks())
            QSKIP("python3 is needed to read the workbook back");
        QVERIFY(db->exec("delete from matuse"));
        click("cb_2");
        const QJsonObject cells = wip::test::readWorkbook(work.filePath("exports/LAsb.xls"));
        QVERIFY(cells.isEmpty());
    }

    void exportToAMissingFolderSaysSo()
    {
        DriveMapping::instance().setFolder(QLatin1Char('D'), work.filePath("gone"));
        Trace::clearCaptured();
        c<CommandButton>("cb_2").TriggerEvent();
        DriveMapping::instance().setFolder(QLatin1Char('D'), work.filePath("exports"));
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QVERIFY(MessageBoxService::shown().first().text.contains(QStringLiteral("d:\\LAsb.xls")));
        QVERIFY(Trace::captured().join('\n').contains(QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 20 ***")));
    }

    void settingMethodNames()
    {
        QCOMPARE(settingMethodCellText(QStringLiteral(" 钉镶 ")), QStringLiteral("钉镶pave"));
        QCOMPARE(settingMethodCellText(QStringLiteral("闸镶")), QStringLiteral("闸镶 pave prong"));
        QCOMPARE(settingMethodCellText(QStringLiteral("虎爪镶")), QStringLiteral("虎爪镶hammer prong"));
        QCOMPARE(settingMethodCellText(QStringLiteral("爪镶")), QStringLiteral("爪镶prong"));
        QCOMPARE(settingMethodCellText(QStringLiteral("  ")), QString());
        QCOMPARE(settingMethodCellText(QStringLiteral("其他镶")), QStringLiteral("其他镶"));
    }
};

QTEST_MAIN(WipDetailTest)
#include "tst_wipdetail.moc"
