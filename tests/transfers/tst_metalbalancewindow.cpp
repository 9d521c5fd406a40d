// 金属结存 Metal balance: the window retrieves d_metal_balance for the days
// typed and narrows it to the department chosen, with that department's totals.

#include "reports/widgets/reportcontrol.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"
#include "transfers/transferwindows.h"
#include "transfers/w_metal_balance.h"

#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

class MetalBalanceWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QPointer<w_metal_balance> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw() { return c<ReportControl>("dw_balance"); }
    static QDateTime at(int day, int hour) { return QDateTime(QDate(2004, 5, day), QTime(hour, 0)); }

    // Bag 7 (18KY) at 执模: the desk holds 20 g since May 2; worker 0401 was
    // given 10.5 g on May 3; 12.25 g went on to 镶石 on May 3, not received.
    bool rows()
    {
        return db->insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}})
            && db->insert("scond", {{"scond_id", 7}, {"scno", "KC7"}, {"metal", "18KY"}, {"quantity", 5}})
            && db->insert("proch_new", {{"scno", "KC7"}, {"gongxu_code", "04-执模"}, {"changhao", ""}, {"sttime", at(2, 9)},
                                        {"qty", 3}, {"weight", 20}, {"scond_id", 7}})
            && db->insert("work_report", {{"scno", "KC7"}, {"gongxu", "04-执模"}, {"changhao", "0401"}, {"xingming", "张三"},
                                          {"wsheetno", "KC7-1/2"}, {"mcode", "18KY"}, {"zt", "PEN"}, {"sdata", at(3, 9)},
                                          {"ldate", at(3, 9)}, {"iss_pcs", 2}, {"iss_weight", 10.5}, {"scond_id", 7}})
            && db->insert("jcjl_mattran", {{"mattran_no", "KC7-1/3"}, {"scno", "KC7"}, {"ldate", at(3, 15)}, {"zt", "BEGIN"},
                                           {"fcode", "04-执模收发"}, {"tcode", "05-镶石收发"}, {"mcode", "18KY"},
                                           {"qtycal", 2}, {"qtyref", 12.25}, {"scond_id", 7}});
    }
    QStringList shown()
    {
        QStringList list;
        for (int r = 1; r <= dw().RowCount(); ++r)
            list << dw().GetItemString(r, "gongxu_code") + '|' + dw().GetItemString(r, "kind") + '|'
                    + dw().GetItemString(r, "closing");
        return list;
    }

private Q_SLOTS:
    void initTestCase_data() { wip::test::addEngineRows(); }
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
        QVERIFY2(rows(), qPrintable(db->error()));
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_metal_balance *>(Window::Open(QStringLiteral("w_metal_balance")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    void cleanup()
    {
        if (w)
            w->Close();
        db.reset();
    }

    void opensOnThisMonthForTheFactory()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("金属结存 Metal balance"));
        QCOMPARE(c<DropDownListBox>("ddlb_dept").text(), w_metal_balance::allDepartments());
        QCOMPARE(c<DropDownListBox>("ddlb_dept").TotalItems(), 8);   // all and the seven desks of day_wip
        QVERIFY(c<EditMask>("em_stdate").text().endsWith(QStringLiteral("-01")));
    }

    void narrowsToTheDepartmentChosen_data()
    {
        QTest::addColumn<QString>("dept");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("closing");
        QTest::newRow("all") << w_metal_balance::allDepartments()
                             << QStringList{"04-执模|收发|20", "04-执模|工人|10.5", "04-执模|在途|12.25"} << "42.75";
        QTest::newRow("执模") << "04-执模" << QStringList{"04-执模|收发|20", "04-执模|工人|10.5", "04-执模|在途|12.25"}
                            << "42.75";
        QTest::newRow("镶石, nothing held") << "06-镶石" << QStringList{} << "0";
    }
    void narrowsToTheDepartmentChosen()
    {
        QFETCH(QString, dept);
        QFETCH(QStringList, rows);
        QFETCH(QString, closing);
        c<EditMask>("em_stdate").setText("2004-05-01");
        c<EditMask>("em_eddate").setText("2004-05-31");
        QVERIFY(c<DropDownListBox>("ddlb_dept").SelectItem(dept) > 0);
        QTest::mouseClick(&c<CommandButton>("cb_query"), Qt::LeftButton);
        QCOMPARE(shown(), rows);
        QCOMPARE(dw().RowCount() ? dw().GetItemDecimal(1, "s_closing").normalized().toString() : QStringLiteral("0"), closing);
        if (!rows.isEmpty() && dept == QStringLiteral("04-执模")) {
            const QString png = QDir::temp().filePath(QStringLiteral("w_metal_balance.png"));
            QVERIFY(w->grab().save(png));
        }
    }
};

QTEST_MAIN(MetalBalanceWindowTest)
#include "tst_metalbalancewindow.moc"
