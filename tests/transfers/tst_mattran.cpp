#include "reports/widgets/reportcontrol.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/trace.h"
#include "testdatabase.h"
#include "transfers/transferwindows.h"
#include "transfers/w_wip_mattran.h"
#include "reports/widgets/w_preview.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

QVariant day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }

bool transfer(TestDatabase &db, const char *no, const char *from, const char *to, const char *zmcode,
              const QVariant &ldate, const char *mcode = "18KY")
{
    return db.insert("jcjl_mattran", {{"mattran_no", QString::fromUtf8(no)}, {"scno", "KC1"}, {"ldate", ldate},
                                      {"zt", "FINISH"}, {"fcode", QString::fromUtf8(from)}, {"tcode", QString::fromUtf8(to)},
                                      {"mcode", QString::fromUtf8(mcode)}, {"zmcode", QString::fromUtf8(zmcode)},
                                      {"qtycal", 2}, {"qtyref", 10.5}});
}

// Transfers of the filing desk in May 2004: three pass on, the rest do not.
void fillTransfers(TestDatabase &db)
{
    QVERIFY(transfer(db, "T1", "04-执模收发", "05-镶石收发", "18K原料WIP", day(2004, 5, 10)));
    QVERIFY(transfer(db, "T2", "04-执模收发", "11-工人在做仓", "18K原料WIP", day(2004, 5, 10)));
    QVERIFY(transfer(db, "T3", "04-执模收发", "09-废金仓", "18K原料WIP", day(2004, 5, 10)));
    QVERIFY(transfer(db, "T4", "04-执模收发", "03-Tarvel金仓", "18K原料WIP", day(2004, 5, 10)));
    QVERIFY(transfer(db, "T5", "04-执模收发", "06-执边收发", "成品", day(2004, 5, 10)));
    QVERIFY(transfer(db, "T6", "04-执模收发", "05-镶石收发", "PT原料WIP", day(2004, 5, 31), "PT950"));
    QVERIFY(transfer(db, "T7", "04-执模收发", "05-镶石收发", "18K原料WIP", day(2004, 6, 1)));
    QVERIFY(transfer(db, "T8", "05-镶石收发", "06-执边收发", "18K原料WIP", day(2004, 5, 10)));
    QVERIFY(transfer(db, "T9", "04-执模收发", "07-打磨收发", "18K原料WIP", day(2004, 5, 1)));
    // Wire and solder given to a worker and returned.
    QVERIFY(transfer(db, "W1", "04-执模收发", "11-工人在做仓", "线材原料WIP", day(2004, 5, 3), "18KY线"));
    QVERIFY(transfer(db, "W2", "11-工人在做仓", "04-执模收发", "焊药原料WIP", day(2004, 5, 4), "18KY焊"));
}

} // namespace

class MattranTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QTemporaryDir work;
    QPointer<w_wip_mattran> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw() { return c<ReportControl>("dw_wip_detail"); }

    void setRange(const char *from, const char *to, const char *stock)
    {
        c<EditMask>("em_stdate").setText(QString::fromLatin1(from));
        c<EditMask>("em_eddate").setText(QString::fromLatin1(to));
        if (stock)
            QVERIFY(c<DropDownListBox>("ddlb_pcode").SelectItem(QString::fromUtf8(stock)) > 0);
    }
    void enter()
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void initTestCase_data() { wip::test::addEngineRows(); }   // every test on each database
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        QVERIFY(work.isValid());
        QDir::setCurrent(work.path());
        registerTransferWindows();
        reports::registerPreviewWindow();
    }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        const auto kind = wip::test::engineFromName(engine);
        if (kind == wip::test::Engine::PostgreSQL && !wip::test::postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        db = std::make_unique<TestDatabase>(kind);
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        fillTransfers(*db);
        for (const char *code : {"04-执模收发", "05-镶石收发", "X'Y收发"})
            QVERIFY(db->insert("stock", {{"stock_code", QString::fromUtf8(code)}}));
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_wip_mattran *>(Window::Open(QStringLiteral("w_wip_mattran")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_COMPARE(w->focusTag(), QStringLiteral("stdate"));
    }

    void cleanup()
    {
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        db.reset();
    }

    void opensWithTodayAndTheStockList()
    {
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(c<EditMask>("em_stdate").text(), today);
        QCOMPARE(c<EditMask>("em_eddate").text(), today);
        auto &list = c<DropDownListBox>("ddlb_pcode");
        QCOMPARE(list.TotalItems(), db->scalar("select count(*) from stock").toInt());
        QVERIFY(list.FindItem(QStringLiteral("04-执模收发")) > 0);
        QCOMPARE(list.text(), QString());
        QCOMPARE(dw().RowCount(), 0);
    }

    void transferQueryTitlesAndRows()
    {
        setRange("2004-05-01", "2004-05-31", "04-执模收发");
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_protran"));
        QCOMPARE(dw().objectText("t_title"), QStringLiteral("04-执模收发过货统计报表"));
        QCOMPARE(dw().objectText("t_title_en"), QStringLiteral("Filing Stock Material Transfer Report"));
        QCOMPARE(dw().objectText("t_time"), QStringLiteral("2004-05-01 至 2004-05-31"));
        // T1, T6 and T9 pass on; grouped by material (18KY before PT950), in the
        // database's order within a material.
        QStringList listed;
        for (int r = 1; r <= dw().RowCount(); ++r)
            listed << dw().GetItemString(r, "mattran_no");
        listed.sort();
        QCOMPARE(listed, (QStringList{"T1", "T6", "T9"}));
        QCOMPARE(dw().GetItemString(3, "mcode"), QStringLiteral("PT950"));
        QCOMPARE(dw().GetItemNumber(1, "compute_3"), 6.0);
    }

    void equalDatesGiveOneDate()
    {
        setRange("2004-05-10", "2004-05-10", "04-执模收发");
        c<CommandButton>("cb_query").TriggerEvent();
        QCOMPARE(dw().objectText("t_time"), QStringLiteral("2004-05-10"));
        QCOMPARE(dw().RowCount(), 1);
    }

    void eachQuerySetsItsOwnReport()
    {
        setRange("2004-05-01", "2004-05-31", "04-执模收发");
        c<CommandButton>("cb_ws").TriggerEvent();
        QCOMPARE(dw().dataobject(), QStringLiteral("d_jcjl_mattran_ws"));
        QCOMPARE(dw().objectText("t_title"), QStringLiteral("04-执模收发线焊交收明细表"));
        QCOMPARE(dw().objectText("t_title_en"), QStringLiteral("Filing Stock Material Transfer Report"));
        QCOMPARE(dw().RowCount(), 2);
        c<CommandButton>("cb_query").TriggerEvent();
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_protran"));
        QCOMPARE(dw().RowCount(), 3);
    }

    void noStockChosenShowsNothingWithTheFallbackTitle()
    {
        setRange("2004-05-01", "2004-05-31", nullptr);
        c<CommandButton>("cb_ws").TriggerEvent();
        QCOMPARE(dw().objectText("t_title_en"),
                 QStringLiteral("Wire-Solder Iss-Rec Detail Report Material Transfer Report"));
        QCOMPARE(dw().RowCount(), 0);
        c<CommandButton>("cb_query").TriggerEvent();
        QCOMPARE(dw().objectText("t_title"), QStringLiteral("过货统计报表"));
        QCOMPARE(dw().objectText("t_title_en"), QStringLiteral("Material Transfer Report Material Transfer Report"));
    }

    void stockCodeWithQuoteKeepsItsTitle()
    {
        setRange("2004-05-01", "2004-05-31", "X'Y收发");
        Trace::clearCaptured();
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw().objectText("t_title"), QStringLiteral("X'Y收发过货统计报表"));
        QVERIFY(Trace::captured().isEmpty());
    }

    void enterWalksThroughTheFields()
    {
        setRange("2004-05-01", "2004-05-31", nullptr);
        c<EditMask>("em_stdate").SetFocus();
        QCOMPARE(w->focusTag(), QStringLiteral("stdate"));
        enter();
        QCOMPARE(QApplication::focusWidget(), &c<EditMask>("em_eddate"));
        enter();
        QVERIFY(c<DropDownListBox>("ddlb_pcode").hasFocus());
        // The clerk picks the first stock with the arrow key.
        QTest::keyClick(&c<DropDownListBox>("ddlb_pcode"), Qt::Key_Down);
        QCOMPARE(c<DropDownListBox>("ddlb_pcode").text(), QStringLiteral("04-执模收发"));
        QCOMPARE(w->focusTag(), QStringLiteral("pcode"));
        enter();
        QVERIFY(c<CommandButton>("cb_query").hasFocus());
        QCOMPARE(w->focusTag(), QStringLiteral("query"));
        enter();
        QCOMPARE(dw().RowCount(), 3);
        QVERIFY(c<CommandButton>("cb_print").hasFocus());
        QCOMPARE(w->focusTag(), QStringLiteral("print"));
        enter();
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_preview")));
        QVERIFY(QFile::exists(work.filePath("temp.psr")));
        Window::findLatest(QStringLiteral("w_preview"))->Close();
    }

    void enterOnTheWireButtonDoesNothing()
    {
        setRange("2004-05-01", "2004-05-31", "04-执模收发");
        c<CommandButton>("cb_ws").SetFocus();
        QCOMPARE(w->focusTag(), QStringLiteral("query2"));
        enter();
        QCOMPARE(dw().RowCount(), 0);
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_protran"));
        QVERIFY(c<CommandButton>("cb_ws").hasFocus());
    }

    void escapeCloses()
    {
        QTest::keyClick(w, Qt::Key_Escape);
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(MattranTest)
#include "tst_mattran.moc"
