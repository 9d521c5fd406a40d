#include "reports/widgets/reportcontrol.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"
#include "transfers/transferwindows.h"
#include "transfers/w_wipmat.h"

#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

class WipmatTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QPointer<w_wipmat> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw() { return c<ReportControl>("dw_wip_detail"); }

    bool step(int id, const char *code, const char *worker, const char *name, const char *scno, double qty, bool open)
    {
        return db->insert("proch", {{"proch_id", id}, {"scno", QString::fromUtf8(scno)}, {"gongxu_code", QString::fromUtf8(code)},
                                    {"changhao", QString::fromUtf8(worker)}, {"xingming", QString::fromUtf8(name)},
                                    {"sttime", QDateTime(QDate(2004, 5, 3), QTime(0, 0))},
                                    {"edtime", open ? QVariant() : QDateTime(QDate(2004, 5, 4), QTime(0, 0))},
                                    {"qty", qty}});
    }
    bool use(int id, const char *mcode, double grams)
    {
        return db->insert("matuse", {{"proch_id", id}, {"mcode", QString::fromUtf8(mcode)}, {"sqtycal", grams}, {"sqtyref", 1}});
    }
    void openWindow()
    {
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_wipmat *>(Window::Open(QStringLiteral("w_wipmat")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void initTestCase_data() { wip::test::addEngineRows(); }   // every test on each database
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerTransferWindows();
    }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        const auto kind = wip::test::engineFromName(engine);
        if (kind == wip::test::Engine::PostgreSQL && !wip::test::postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        db = std::make_unique<TestDatabase>(kind);
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        for (const char *m : {"T18KY", "TPT950"})
            db->exec(QStringLiteral("delete from material where mcode = ?"), {QString::fromLatin1(m)});
        QVERIFY(db->insert("material", {{"mcode", "T18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
        QVERIFY(db->insert("material", {{"mcode", "TPT950"}, {"mtype", "PT"}, {"purate", 0.95}}));
        QVERIFY(db->insert("material", {{"mcode", "TSTONE"}, {"mtype", "STONE"}, {"purate", 0}}));
        QVERIFY(step(901, "04-执模", "W02", "李四", "KC1", 3, true));
        QVERIFY(step(902, "04-执模", "W01", "张三", "KC2", 5, true));
        QVERIFY(step(903, "04-执模", "W01", "张三", "KC3", 9, false));   // finished
        QVERIFY(step(904, "06-镶石", "W03", "王五", "KC4", 7, true));    // another process
        QVERIFY(use(901, "T18KY", 1.5));
        QVERIFY(use(901, "TPT950", 2.0));
        QVERIFY(use(902, "T18KY", 2.5));
        QVERIFY(use(902, "TSTONE", 10));
        QVERIFY(use(903, "T18KY", 9));
        QVERIFY(use(904, "T18KY", 7));
        for (const char *code : {"04-执模", "04-执模", "06-镶石"})   // a code may be listed twice
            QVERIFY(db->insert("gongxu", {{"gongxu_code", QString::fromUtf8(code)}}));
    }

    void cleanup()
    {
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        db.reset();
    }

    void listsEachProcessOnce()
    {
        openWindow();
        auto &list = c<DropDownListBox>("ddlb_pcode");
        QCOMPARE(list.TotalItems(), 2);
        QCOMPARE(list.text(), QString());
        QCOMPARE(dw().RowCount(), 0);
    }

    void emptyProcessTableGivesEmptyList()
    {
        QVERIFY(db->exec("delete from gongxu"));
        openWindow();
        QCOMPARE(c<DropDownListBox>("ddlb_pcode").TotalItems(), 0);
    }

    void openGoldAndPlatinumByMaterialAndWorker()
    {
        openWindow();
        QVERIFY(c<DropDownListBox>("ddlb_pcode").SelectItem(QStringLiteral("04-执模")) > 0);
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw().objectText("t_head"), QStringLiteral("04-执模工序在做单物料报表"));
        // Only open steps, only GOLD and PT, in material, worker order; the step with
        // two metals is listed under each.
        QCOMPARE(dw().RowCount(), 3);
        const QStringList expected = {"T18KY W01 KC2", "T18KY W02 KC1", "TPT950 W02 KC1"};
        for (int r = 1; r <= 3; ++r)
            QCOMPARE(dw().GetItemString(r, "matuse_mcode") + ' ' + dw().GetItemString(r, "proch_changhao") + ' '
                         + dw().GetItemString(r, "proch_scno"),
                     expected[r - 1]);
        QCOMPARE(dw().GetItemNumber(1, "compute_1"), 8.0);    // 18KY group: 5 + 3 pieces
        QCOMPARE(dw().GetItemNumber(3, "compute_1"), 3.0);    // PT950 group counts the step again
        QCOMPARE(dw().GetItemNumber(1, "compute_4"), 11.0);
        QCOMPARE(dw().GetItemNumber(1, "compute_5"), 6.0);
    }

    void noProcessChosenShowsNothing()
    {
        openWindow();
        c<CommandButton>("cb_query").TriggerEvent();
        QCOMPARE(dw().objectText("t_head"), QStringLiteral("工序在做单物料报表"));
        QCOMPARE(dw().RowCount(), 0);
    }
};

QTEST_MAIN(WipmatTest)
#include "tst_wipmat.moc"
