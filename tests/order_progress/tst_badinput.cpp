// The order analysis window with customer and contract numbers that hold
// quotes and the wildcards of LIKE patterns and globs: the customer box lists
// only the customer typed, and the contracts ticked reach the worker-loss
// reports through scno_sel as they are, matching nothing else.

#include "order_progress/date_str.h"
#include "order_progress/orderprogresswindows.h"
#include "order_progress/w_ordergress.h"
#include "order_progress/w_ordergress_detail.h"
#include "reports/widgets/argumentdialog.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/drivemapping.h"
#include "runtime/stringarray.h"
#include "runtime/trace.h"
#include "runtime/widgets/checkbox.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/inputpromptservice.h"
#include "runtime/widgets/listbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "testdatabase.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

QVariant daysAgo(int n) { return QDateTime(QDate::currentDate().addDays(-n), QTime(0, 0)); }

// Contracts, each of its own customer, with progress remark 1 and one finished
// worker sheet. A contract that a pattern would match is listed before the one
// whose number is that pattern.
struct Contract
{
    const char *scno;
    const char *cust;
};
const Contract kContracts[] = {{"KCA1", "QAR"},       {"KC_1", "Q_R"},   {"KC1", "QOR"},  {"KC%", "Q%"},
                               {"KC*", "Q*"},         {"KC'1", "Q'R"},   {"KC~'", "Q~'"}, {"KC\"1", "Q\"R"},
                               {"KC' OR '1'='1", "Q' OR '1'='1"}};

void fill(TestDatabase &db)
{
    int id = 1;
    for (const Contract &c : kContracts) {
        QVERIFY(db.insert("sconh", {{"sconh_id", id}, {"scno", c.scno}, {"cust_no", c.cust},
                                    {"cust_order", QStringLiteral("PO-%1").arg(id)}, {"issdate", daysAgo(30)},
                                    {"deldate", daysAgo(1)}, {"inv_no", QVariant()}, {"take", 0}}));
        QVERIFY(db.insert("process", {{"scno", c.scno}, {"remark", "1"}}));
        QVERIFY(db.insert("work_report", {{"lsh", id}, {"scno", c.scno}, {"gongxu", QStringLiteral("04-执模")},
                                          {"changhao", QStringLiteral("W%1").arg(id)}, {"xingming", "X"},
                                          {"mcode", "18KY"}, {"metal", "18KY"}, {"zt", "FIN"}, {"iss_pcs", 1},
                                          {"iss_weight", 10.0}, {"fin_weight", 9.9}, {"ret_weight", 0.0},
                                          {"loss", 0.1}}));
        ++id;
    }
}

} // namespace

class OrderProgressBadInputTest : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QPointer<w_ordergress> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &sconh() { return c<ReportControl>("dw_sconh"); }

    static QStringList column(const ReportControl &dw, const char *name)
    {
        QStringList out;
        for (int r = 1; r <= dw.RowCount(); ++r)
            out << dw.GetItemString(r, QString::fromLatin1(name));
        return out;
    }

    void openWindow(TestDatabase &db)
    {
        fill(db);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(db.useAsApplicationDatabase());
        w = qobject_cast<w_ordergress *>(Window::Open(QStringLiteral("w_ordergress")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_VERIFY(c<EditMask>("em_deldate1").hasFocus());
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        InputPromptService::setScripted(true);
        reports::installArgumentPrompter();
        QVERIFY(work.isValid());
        QDir::setCurrent(work.path());
        QVERIFY(QDir(work.path()).mkpath(QStringLiteral("pics")));
        DriveMapping::instance().setFolder(QLatin1Char('P'), work.filePath(QStringLiteral("pics")));
        DriveMapping::instance().setWorkingFolder(work.path());
        registerOrderProgressWindows();
    }

    void init()
    {
        InputPromptService::clear();
        MessageBoxService::clear();
        Trace::clearCaptured();
        scno_sel().clear();
    }

    void cleanup()
    {
        if (auto *d = Window::findLatest(QStringLiteral("w_ordergress_detail")))
            d->Close();
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        QTRY_VERIFY(!Window::findLatest(QStringLiteral("w_ordergress_detail")));
    }

    void customerBoxListsOnlyTheCustomerTyped_data() { test::addEngineRows(); }
    void customerBoxListsOnlyTheCustomerTyped()
    {
        WIP_TEST_DATABASE(db);
        openWindow(db);
        if (QTest::currentTestFailed())
            return;
        auto &box = c<CheckBox>("cbx_cust");
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
        QVERIFY(box.checked());
        auto &custno = c<SingleLineEdit>("sle_custno");
        for (const Contract &contract : kContracts) {
            custno.setText(QString::fromUtf8(contract.cust));
            InputPromptService::queueAnswer(QStringLiteral("1"));
            c<CommandButton>("cb_2").TriggerEvent();
            QCOMPARE(column(sconh(), "scno"), QStringList{QString::fromUtf8(contract.scno)});
            QCOMPARE(c<ListBox>("lb_scnoitem").TotalItems(), 1);
        }
        for (const QString &pattern : QStringList{"%", "Q_", "Q?", "*", "'", "Q' OR 'A'='A", "Q%' --"}) {
            custno.setText(pattern);
            InputPromptService::queueAnswer(QStringLiteral("1"));
            c<CommandButton>("cb_3").TriggerEvent();
            QVERIFY2(sconh().RowCount() == 0, qPrintable(pattern));
            QCOMPARE(c<ListBox>("lb_scnoitem").TotalItems(), 0);
        }
        // A remark answered with a quote or a wildcard is a value like any other.
        custno.setText(QStringLiteral("QOR"));
        for (const QString &remark : QStringList{"%", "1' OR '1'='1", "_"}) {
            InputPromptService::queueAnswer(remark);
            c<CommandButton>("cb_2").TriggerEvent();
            QVERIFY2(sconh().RowCount() == 0, qPrintable(remark));
        }
        QVERIFY2(Trace::captured().isEmpty(), qPrintable(Trace::captured().join('\n')));
    }

    void tickedQuotedContractsReachTheReportsAsTheyAre_data() { test::addEngineRows(); }
    void tickedQuotedContractsReachTheReportsAsTheyAre()
    {
        WIP_TEST_DATABASE(db);
        openWindow(db);
        if (QTest::currentTestFailed())
            return;
        c<CommandButton>("cb_3").TriggerEvent();
        auto &lb = c<ListBox>("lb_scnoitem");
        QCOMPARE(lb.TotalItems(), int(std::size(kContracts)));
        const QStringList chosen{"KC%", "KC_1", "KC'1", "KC' OR '1'='1"};
        for (int i = 1; i <= lb.TotalItems(); ++i)
            lb.SetState(i, chosen.contains(lb.Text(i)));
        c<CommandButton>("cb_1").TriggerEvent();
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_ordergress_detail")));
        auto *detail = qobject_cast<w_ordergress_detail *>(Window::findLatest(QStringLiteral("w_ordergress_detail")));
        QVERIFY(detail);
        QStringList sel = scno_sel().values();
        sel.sort();
        QStringList wanted = chosen;
        wanted.sort();
        QCOMPARE(sel, wanted);

        // Worker sheets per order: exactly the four ticked, none that a pattern would add.
        QCOMPARE(detail->control<CommandButton>(QStringLiteral("cb_3")).TriggerEvent(), 1);
        const auto &report = detail->control<ReportControl>(QStringLiteral("dw_ordergress"));
        QStringList listed = column(report, "scno");
        listed.sort();
        QCOMPARE(listed, wanted);
        QVERIFY2(Trace::captured().isEmpty(), qPrintable(Trace::captured().join('\n')));
    }

    void quotedDateTextsStayTheHeading()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        fill(db);
        QVERIFY(db.useAsApplicationDatabase());
        scno_sel()[1] = QStringLiteral("KC1");
        // A caller that passes texts with quotes: they are the heading's text, not Modify syntax.
        const date_str range{QStringLiteral("2026-03-01' t_head.visible='0"), QStringLiteral("~'x")};
        auto *detail = qobject_cast<w_ordergress_detail *>(
            Window::OpenWithParm(QStringLiteral("w_ordergress_detail"), QVariant::fromValue(range)));
        QVERIFY(detail);
        QVERIFY(QTest::qWaitForWindowExposed(detail));
        QTRY_COMPARE(detail->dateRange().startdate, range.startdate);
        QCOMPARE(detail->control<CommandButton>(QStringLiteral("cb_3")).TriggerEvent(), 1);
        const auto &report = detail->control<ReportControl>(QStringLiteral("dw_ordergress"));
        QCOMPARE(report.objectText(QStringLiteral("t_head")), range.startdate + "----" + range.enddate + "订单付工人耗");
        QCOMPARE(column(report, "scno"), QStringList{"KC1"});
        detail->Close();
    }
};

QTEST_MAIN(OrderProgressBadInputTest)
#include "tst_badinput.moc"
