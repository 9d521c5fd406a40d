#include "contractfixture.h"
#include "contracts/contractwindows.h"
#include "contracts/findorderdialog.h"
#include "contracts/w_scno_process.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"

#include <QApplication>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

// The two find-order dialogs over the contract lists of w_scno_process and
// w_scprogress.
class FindDialogsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QPointer<Window> target;
    QPointer<FindOrderDialog> dialog;

    ReportControl &list() { return target->control<ReportControl>("dw_sconh"); }
    SingleLineEdit &value() { return dialog->control<SingleLineEdit>("search_value"); }
    DropDownListBox &criterion() { return dialog->control<DropDownListBox>("search_criterial"); }

    void openTarget(const char *name)
    {
        QVERIFY(db->useAsApplicationDatabase());
        target = Window::Open(QString::fromLatin1(name));
        QVERIFY(target);
        QVERIFY(QTest::qWaitForWindowExposed(target));
    }

    void openDialog(const char *findButton, const char *name)
    {
        QTest::mouseClick(&target->control<CommandButton>(findButton), Qt::LeftButton);
        QTRY_VERIFY(Window::findLatest(QString::fromLatin1(name)));
        dialog = qobject_cast<FindOrderDialog *>(Window::findLatest(QString::fromLatin1(name)));
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QTRY_VERIFY(value().hasFocus());
    }

    void search(const QString &text)
    {
        value().setText(text);
        QTest::mouseClick(&dialog->control<CommandButton>("cb_confirm"), Qt::LeftButton);
    }

    int firstRowOf(const QString &column, const QString &v)
    {
        for (int r = 1; r <= list().RowCount(); ++r)
            if (list().GetItemString(r, column) == v)
                return r;
        return 0;
    }

    void expectNotFound()
    {
        const auto boxes = MessageBoxService::shown();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QString());
        QCOMPARE(boxes[0].text, QStringLiteral("找不到记录!"));
        QVERIFY(dialog && dialog->isVisible());
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerContractWindows();
        setQxpdFunction({});
    }

    void init()
    {
        MessageBoxService::clear();
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addContract(*db, "KC2", "PO-A"));
        QVERIFY(wip::test::addContract(*db, "KC2", "PO-B"));
        QVERIFY(wip::test::addContract(*db, "KC'3", "O'NEIL-7"));
        QVERIFY(wip::test::addContract(*db, "KC4", "po-low"));
        QVERIFY(wip::test::addLine(*db, "KC2", "D2", "QOR", "second"));
    }

    void cleanup()
    {
        if (dialog)
            dialog->Close();
        if (target)
            target->Close();
        QTRY_VERIFY(dialog.isNull() && target.isNull());
        db.reset();
    }

    void findsTheFirstMatchingContract()
    {
        openTarget("w_scno_process");
        QTRY_COMPARE(list().RowCount(), 5);
        openDialog("cb_sconh_find", "w_scno_process_search");
        QCOMPARE(dialog->title(), QStringLiteral("查找订单"));
        QCOMPARE(criterion().text(), QStringLiteral("KCNO"));
        // Typed lower case, converted to upper case.
        QTest::keyClicks(&value(), "kc2");
        QCOMPARE(value().text(), QStringLiteral("KC2"));
        QTest::mouseClick(&dialog->control<CommandButton>("cb_confirm"), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(list().GetRow(), firstRowOf("scno", "KC2"));
        QCOMPARE(list().GetItemString(list().GetRow(), "cust_order"), QStringLiteral("PO-A"));
        // The move ran the window's own handler: its lines are shown.
        auto *w = qobject_cast<w_scno_process *>(target.data());
        QCOMPARE(w->scno(), QStringLiteral("KC2"));
        QCOMPARE(w->designNo(), QStringLiteral("D2"));
        QVERIFY(MessageBoxService::shown().isEmpty());
    }

    void customerOrderAndQuotesAreSearchedLiterally()
    {
        openTarget("w_scno_process");
        QTRY_COMPARE(list().RowCount(), 5);
        openDialog("cb_sconh_find", "w_scno_process_search");
        // Arrow keys move between value and criterion.
        QTest::keyClick(&value(), Qt::Key_Left);
        QVERIFY(criterion().hasFocus());
        QTest::keyClick(&criterion(), Qt::Key_Down);
        QCOMPARE(criterion().text(), QStringLiteral("客单编号"));
        QTest::keyClick(&criterion(), Qt::Key_Right);
        QVERIFY(value().hasFocus());
        Trace::clearCaptured();
        search(QStringLiteral("O'NEIL-7"));
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(list().GetItemString(list().GetRow(), "scno"), QStringLiteral("KC'3"));
        QVERIFY(Trace::captured().isEmpty());
    }

    void enterSearchesAndEmptyValueFindsNothing()
    {
        openTarget("w_scno_process");
        QTRY_COMPARE(list().RowCount(), 5);
        const int before = list().GetRow();
        openDialog("cb_sconh_find", "w_scno_process_search");
        // Empty value: scno = '' matches no contract.
        QTest::keyClick(&value(), Qt::Key_Return);
        expectNotFound();
        QCOMPARE(list().GetRow(), before);
        // A quote in the value is a character to find, not the end of the text.
        MessageBoxService::clear();
        QTest::keyClicks(&value(), "kc'3");
        QTest::keyClick(&value(), Qt::Key_Return);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(list().GetItemString(list().GetRow(), "scno"), QStringLiteral("KC'3"));
        QVERIFY(MessageBoxService::shown().isEmpty());
    }

    void twinKeepsCaseAndIgnoresTypedCriterion()
    {
        openTarget("w_scprogress");
        auto &from = target->control<EditMask>("em_date1");
        auto &to = target->control<EditMask>("em_date2");
        QVERIFY(from.setText("2004-05-01") == 1 && to.setText("2004-06-30") == 1);
        target->control<SingleLineEdit>("sle_custno").setText("C01");
        QTest::mouseClick(&target->control<CommandButton>("cb_query"), Qt::LeftButton);
        QCOMPARE(list().RowCount(), 5);
        QCOMPARE(list().objectText("t_head"), QStringLiteral("2004-05-01 - 2004-06-30"));
        openDialog("cb_find", "w_scprogress_search");
        QVERIFY(criterion().allowEdit());
        // Not converted: "po-low" is found as typed.
        QTest::keyClick(&criterion(), Qt::Key_Down);
        QCOMPARE(criterion().text(), QStringLiteral("客单编号"));
        value().setFocus();
        QTest::keyClicks(&value(), "po-low");
        QCOMPARE(value().text(), QStringLiteral("po-low"));
        // A criterion typed by the user does nothing at all.
        criterion().setText(QStringLiteral("客户"));
        QTest::keyClick(&value(), Qt::Key_Return);
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(MessageBoxService::shown().isEmpty());
        criterion().setText(QStringLiteral("客单编号"));
        QTest::keyClick(&value(), Qt::Key_Return);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(list().GetItemString(list().GetRow(), "scno"), QStringLiteral("KC4"));
    }

    // Far down a long list, the found row is scrolled to the middle of the view and drawn in the
    // selection colours, though w_scprogress selects no row itself.
    void theFoundRowIsInViewInSelectionColours()
    {
        for (int i = 10; i < 70; ++i)
            QVERIFY(wip::test::addContract(*db, QStringLiteral("KL%1").arg(i), QStringLiteral("PO-%1").arg(i)));
        openTarget("w_scprogress");
        target->resize(900, 400);
        QVERIFY(target->control<EditMask>("em_date1").setText("2004-05-01") == 1);
        QVERIFY(target->control<EditMask>("em_date2").setText("2004-06-30") == 1);
        target->control<SingleLineEdit>("sle_custno").setText("C01");
        QTest::mouseClick(&target->control<CommandButton>("cb_query"), Qt::LeftButton);
        QCOMPARE(list().RowCount(), 65);
        openDialog("cb_find", "w_scprogress_search");
        search(QStringLiteral("KL40"));
        QTRY_VERIFY(dialog.isNull());
        const int found = list().GetRow();
        QCOMPARE(list().GetItemString(found, "scno"), QStringLiteral("KL40"));

        const QImage shot = list().viewport()->grab().toImage();
        const QColor highlight = list().palette().color(QPalette::Active, QPalette::Highlight);
        auto share = [&](int row) {
            const QRect r = list().rowRectInViewport(row).intersected(shot.rect());
            int same = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    same += shot.pixelColor(x, y) == highlight;
            return r.isEmpty() ? 0.0 : double(same) / (r.width() * r.height());
        };
        const QRect at = list().rowRectInViewport(found);
        QVERIFY2(list().viewport()->rect().contains(at), "the found row is in view");
        QVERIFY(std::abs(at.center().y() - list().viewport()->height() / 2) <= at.height());
        QVERIFY2(share(found) > 0.6, qPrintable(QString::number(share(found))));
        QVERIFY(share(found - 1) < 0.1);   // at most the line the two rows share
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            target->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_scprogress_found.png"));
    }

    // "订单进度" says why it found nothing where the choices tell.
    void orderProgressSaysWhyItFoundNothing()
    {
        openTarget("w_scprogress");
        QVERIFY(target->control<EditMask>("em_date1").setText("2004-05-01") == 1);
        QVERIFY(target->control<EditMask>("em_date2").setText("2004-06-30") == 1);
        auto &customer = target->control<SingleLineEdit>("sle_custno");
        customer.setText(QString());
        QTest::mouseClick(&target->control<CommandButton>("cb_query"), Qt::LeftButton);
        QCOMPARE(list().RowCount(), 0);
        QCOMPARE(list().note(), QStringLiteral("没有找到合约: 客户编号是空的, 请输入客户编号。"));
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            target->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_scprogress-nothing.png"));
        customer.setText(QStringLiteral("C99"));
        QTest::mouseClick(&target->control<CommandButton>("cb_query"), Qt::LeftButton);
        QCOMPARE(list().note(),
                 QStringLiteral("没有找到合约: 客户 C99 没有货期在 2004-05-01 至 2004-06-30 之间的未出货合约。"));
        customer.setText(QStringLiteral("C01"));
        QTest::mouseClick(&target->control<CommandButton>("cb_query"), Qt::LeftButton);
        QCOMPARE(list().RowCount(), 5);
        QCOMPARE(list().note(), QString());
        QVERIFY(MessageBoxService::shown().isEmpty());
    }

    void withoutItsWindowTheSearchEndsOnTheNullObject()
    {
        QVERIFY(db->useAsApplicationDatabase());
        dialog = qobject_cast<FindOrderDialog *>(Window::Open(QStringLiteral("w_scprogress_search")));
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        Trace::clearCaptured();
        search(QStringLiteral("KC1"));
        QVERIFY(Trace::captured().join('\n').contains(QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 4 ***")));
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(MessageBoxService::shown().isEmpty());
        QTest::mouseClick(&dialog->control<CommandButton>("cb_cancel"), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
    }
};

QTEST_MAIN(FindDialogsTest)
#include "tst_finddialogs.moc"
