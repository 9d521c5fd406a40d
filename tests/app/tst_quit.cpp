// Quitting the application from its windows: Ctrl+Q in any window the
// application registers ends it as File > Exit of the main window does, and
// 取消 at a window's question about unsaved work keeps every window open, the
// main window too.

#include "app/launcherwindow.h"
#include "app/windowcatalogue.h"
#include "app/windowclasses.h"
#include "reports/datastore.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/appglobals.h"
#include "runtime/fileopener.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/window.h"
#include "testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

using wip::LauncherWindow;
using wip::MessageBoxService;
using wip::Window;

class TestQuit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<wip::test::TestDatabase> m_db;
    std::unique_ptr<LauncherWindow> m_launcher;
    QTemporaryDir m_folder;

    void showLauncher()
    {
        m_launcher = std::make_unique<LauncherWindow>(
            [](const QString &className) { return Window::isRegistered(className); },
            [](const QString &className) { Window::Open(className); });
        m_launcher->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_launcher.get()));
    }

    // Opens a window as the application does; the print preview on a saved
    // report, the bag tickets' preview on a contract.
    Window *openShown(const QString &className)
    {
        QPointer<Window> window;
        if (className == QLatin1String("w_preview")) {
            wip::reports::DataStore report(QStringLiteral("d_wip_today44"));
            report.SetTransObject(wip::Transaction::sqlca());
            report.Retrieve();
            wip::reports::s_preview s;
            s.dw_name = m_folder.filePath(QStringLiteral("temp.psr"));
            report.SaveAs(s.dw_name);
            window = Window::OpenWithParm(className, QVariant::fromValue(s));
        } else if (className == QLatin1String("w_bagticket_preview")) {
            window = Window::OpenWithParm(className, QStringList{QStringLiteral("KC1")});   // a contract with a line
        } else {
            window = Window::Open(className);
        }
        if (!window || !QTest::qWaitForWindowExposed(window))
            return nullptr;
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window);
        QTest::qWait(20);   // the queued open event
        return window;
    }

    // Ctrl+Q where the clerk's keys go in that window.
    static void pressCtrlQ(Window *window)
    {
        QWidget *focus = QApplication::focusWidget();
        if (!focus || focus->window() != window)
            focus = window;
        QTest::keyClick(focus, Qt::Key_Q, Qt::ControlModifier);
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        wip::SaveFileService::setScripted(true);
        wip::FileOpener::setScripted(true);
        m_db = std::make_unique<wip::test::TestDatabase>();
        QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
        // One contract with a line and a progress record, for the save question.
        QVERIFY(m_db->insert("sconh", {{"scno", "KC1"}, {"cust_no", "C01"}, {"cust_order", "PO-1"},
                                       {"issdate", QDateTime(QDate(2004, 5, 1), QTime(0, 0))},
                                       {"deldate", QDateTime(QDate(2004, 6, 1), QTime(0, 0))}}));
        QVERIFY(m_db->insert("scond", {{"scno", "KC1"}, {"design_no", "D100"}, {"article_code", "A-D100"},
                                       {"metal", "18KY"}, {"quantity", 5}}));
        QVERIFY(m_db->insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 0}}));
        QVERIFY2(m_db->useAsApplicationDatabase(), qPrintable(m_db->error()));
        wip::user_code() = QStringLiteral("ADMIN");
        wip::setQxpdFunction([](const QString &, const QString &, const QString &) { return QStringLiteral("X99A"); });
        wip::WindowClasses::registerAll();
        wip::WindowCatalogue::registerIcons();
    }

    void cleanup()
    {
        for (Window *w : Window::openWindows())
            w->Close();
        QTRY_VERIFY(Window::openWindows().isEmpty());
        m_launcher.reset();
        MessageBoxService::clear();
    }

    void cleanupTestCase() { m_db.reset(); }

    void ctrlQQuitsFromEveryWindow_data()
    {
        QTest::addColumn<QString>("className");
        for (const QString &name : Window::registeredClasses())
            QTest::newRow(qPrintable(name)) << name;
    }
    void ctrlQQuitsFromEveryWindow()
    {
        QFETCH(QString, className);
        showLauncher();
        QPointer<Window> window = openShown(className);
        QVERIFY(window);
        pressCtrlQ(window);
        QTRY_VERIFY2(!window || window->isClosed(), qPrintable(className));
        QTRY_VERIFY(!m_launcher->isVisible());
        QVERIFY2(MessageBoxService::shown().isEmpty(), qPrintable(MessageBoxService::shown().value(0).text));
    }

    // The sales-contract window asks about its unsaved progress; 取消 there keeps
    // it, the window opened before it and the main window. 否 then drops the
    // changes and everything closes.
    void cancelAtTheSaveQuestionKeepsEveryWindow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Ctrl+Q") << "key";
        QTest::newRow("File > Exit") << "menu";
    }
    void cancelAtTheSaveQuestionKeepsEveryWindow()
    {
        QFETCH(QString, how);
        showLauncher();
        QPointer<Window> today = openShown(QStringLiteral("w_wip_today"));
        QPointer<Window> contracts = openShown(QStringLiteral("w_scno_process"));
        QVERIFY(today && contracts);
        auto &process = contracts->control<wip::reports::ReportControl>(QStringLiteral("dw_process"));
        QTRY_COMPARE(process.RowCount(), 1);
        process.SetItem(1, QStringLiteral("wax_out"), 3);
        const auto quit = [&] {
            if (how == QLatin1String("key"))
                pressCtrlQ(contracts);
            else
                m_launcher->findChild<QAction *>(QStringLiteral("m_exit"))->trigger();
        };

        MessageBoxService::queueAnswer(3);   // 取消
        quit();
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QCOMPARE(MessageBoxService::shown().value(0).text, QStringLiteral("进度资料已修改, 要保存吗?"));
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QVERIFY(m_launcher->isVisible());
        QVERIFY(today && today->isVisible() && !today->isClosed());
        QVERIFY(contracts && contracts->isVisible() && !contracts->isClosed());
        QCOMPARE(process.GetItemNumber(1, QStringLiteral("wax_out")), 3.0);

        MessageBoxService::queueAnswer(2);   // 否: the changes are dropped
        quit();
        QTRY_VERIFY(!m_launcher->isVisible());
        QTRY_VERIFY(!today && !contracts);
        QCOMPARE(MessageBoxService::shown().size(), 2);
        QCOMPARE(m_db->scalar("select wax_out from process").toDouble(), 0.0);
    }

    // Close all windows of the Windows menu asks the same way and keeps them all.
    void closeAllAsksBeforeClosingAny()
    {
        showLauncher();
        QPointer<Window> today = openShown(QStringLiteral("w_wip_today"));
        QPointer<Window> contracts = openShown(QStringLiteral("w_scno_process"));
        auto &process = contracts->control<wip::reports::ReportControl>(QStringLiteral("dw_process"));
        QTRY_COMPARE(process.RowCount(), 1);
        process.SetItem(1, QStringLiteral("wax_out"), 4);
        auto *closeAll = m_launcher->findChild<QAction *>(QStringLiteral("m_close_all"));
        MessageBoxService::queueAnswer(3);
        closeAll->trigger();
        QTest::qWait(50);
        QVERIFY(today && contracts && m_launcher->isVisible());
        MessageBoxService::queueAnswer(1);   // 是: saved, then closed
        closeAll->trigger();
        QTRY_VERIFY(!today && !contracts);
        QVERIFY(m_launcher->isVisible());
        QCOMPARE(m_db->scalar("select wax_out from process").toDouble(), 4.0);
    }
};

QTEST_MAIN(TestQuit)
#include "tst_quit.moc"
