// Every window class the application registers, opened offscreen one after the
// other on a small database: its icon and launcher line, its Tab chain in reading
// order, the focus mark of each button however the focus came to it, and Esc
// closing the window that has a cancel or close button. A window added to the
// application is checked here without a line of its own.

#include "app/appicons.h"
#include "app/windowcatalogue.h"
#include "app/windowclasses.h"
#include "reports/datastore.h"
#include "reports/widgets/s_preview.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/window.h"
#include "testdatabase.h"

#include <QApplication>
#include <QSet>
#include <QtTest>

using wip::Window;

namespace {

// Captions of buttons that close or cancel a window.
bool closesTheWindow(const wip::CommandButton *b)
{
    const QString name = b->objectName();
    const QString text = b->text().section(QLatin1Char('&'), 0, 0).trimmed();
    return name == QLatin1String("cb_close") || name == QLatin1String("cb_cancel")
           || text == QStringLiteral("返回") || text == QStringLiteral("取消") || text == QStringLiteral("关闭");
}

bool isTabStop(const QWidget *w, const QWidget *window)
{
    return w != window && w->window() == window && (w->focusPolicy() & Qt::TabFocus) && w->isVisible()
           && w->isEnabled() && !w->focusProxy();
}

// The widgets Tab visits, in order, from the first of the window's chain.
QList<QWidget *> tabStops(QWidget *window)
{
    QList<QWidget *> stops;
    QWidget *w = window;
    for (int guard = 0; guard < 2000; ++guard) {
        w = w->nextInFocusChain();
        if (w == window)
            break;
        if (isTabStop(w, window))
            stops.append(w);
    }
    return stops;
}

QRect rectIn(const QWidget *w, const QWidget *window)
{
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

// Why going from a to b reads backwards, or an empty text: b may be below a, or
// to the right of a (on its row, or in a column further right), never to the
// left on the same row nor higher up without moving right.
QString backwards(const QRect &a, const QRect &b)
{
    const int tolerance = 4;
    const bool sameRow = b.center().y() >= a.top() && b.center().y() <= a.bottom()
                         && a.center().y() >= b.top() && a.center().y() <= b.bottom();
    if (sameRow && b.right() <= a.left() + tolerance)
        return QStringLiteral("goes left on the same row");
    if (!sameRow && b.center().y() < a.top() - tolerance && b.center().x() <= a.center().x())
        return QStringLiteral("goes up without moving right");
    return QString();
}

QString describe(const QWidget *w)
{
    return QStringLiteral("%1 (%2)").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()));
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<wip::test::TestDatabase> m_db;
    QTemporaryDir m_folder;

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
            // The bag tickets of a contract with a line.
            if (!m_db->exec("insert into sconh (scno, cust_no) select 'KC-T', 'C1' where not exists "
                            "(select 1 from sconh where scno = 'KC-T')")
                || !m_db->exec("insert into scond (scno, line_no, design_no, quantity) select 'KC-T', 1, 'D1', 2 "
                               "where not exists (select 1 from scond where scno = 'KC-T')"))
                return nullptr;
            window = Window::OpenWithParm(className, QStringList{QStringLiteral("KC-T")});
        } else {
            window = Window::Open(className);
        }
        if (!window || !QTest::qWaitForWindowExposed(window))
            return nullptr;
        window->activateWindow();
        // Offscreen, a window may never report itself active; the keys below go
        // to it all the same.
        (void)QTest::qWaitForWindowActive(window);
        QTest::qWait(20);   // the queued open event
        return window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        wip::MessageBoxService::setScripted(true);
        m_db = std::make_unique<wip::test::TestDatabase>();
        QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
        QVERIFY2(m_db->useAsApplicationDatabase(), qPrintable(m_db->error()));
        wip::WindowClasses::registerAll();
        wip::WindowCatalogue::registerIcons();
        QVERIFY(Window::registeredClasses().size() >= 10);
    }

    void cleanupTestCase() { m_db.reset(); }

    void launcherEntriesHaveDistinctIconsAndNames()
    {
        QSet<QString> icons;
        QSet<QString> captions;
        for (const auto &entry : wip::WindowCatalogue::launcherEntries()) {
            QVERIFY2(wip::AppIcons::exists(entry.icon), qPrintable(entry.className));
            QVERIFY2(!icons.contains(entry.icon), qPrintable(entry.icon));
            QVERIFY2(!captions.contains(entry.caption), qPrintable(entry.caption));
            icons.insert(entry.icon);
            captions.insert(entry.caption);
            // The spoken name starts with the window's name, never with its class.
            QVERIFY2(!entry.hint.contains(QLatin1String("w_")), qPrintable(entry.hint));
        }
        QVERIFY(!icons.contains(QStringLiteral("wip")));
    }

    void everyWindow_data()
    {
        QTest::addColumn<QString>("className");
        for (const QString &name : Window::registeredClasses())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyWindow()
    {
        QFETCH(QString, className);
        const wip::WindowInfo *info = wip::WindowCatalogue::find(className);
        QVERIFY2(info, "the window has no line in WindowCatalogue");

        Window *window = openShown(className);
        QVERIFY(window);
        QPointer<Window> guard(window);
        if (const QString folder = qEnvironmentVariable("WIP_SCREENSHOTS"); !folder.isEmpty())
            window->grab().save(folder + QStringLiteral("/registry-") + className + QStringLiteral(".png"));

        // Its own icon in the title bar.
        const QImage expected = wip::AppIcons::icon(info->icon).pixmap(32).toImage();
        QVERIFY(!expected.isNull());
        QCOMPARE(window->windowIcon().pixmap(32).toImage(), expected);

        // Tab reads the window as it is laid out: round the ring of its stops it
        // goes back only once, from the last control to the first.
        const QList<QWidget *> stops = tabStops(window);
        QVERIFY(!stops.isEmpty());
        QStringList wrongWays;
        for (qsizetype i = 0; i < stops.size(); ++i) {
            QWidget *from = stops.at(i);
            QWidget *to = stops.at((i + 1) % stops.size());
            const QString why = backwards(rectIn(from, window), rectIn(to, window));
            if (!why.isEmpty())
                wrongWays << QStringLiteral("Tab from %1 to %2 %3").arg(describe(from), describe(to), why);
        }
        QVERIFY2(wrongWays.size() <= 1, qPrintable(wrongWays.join(QLatin1String("; "))));

        // Each button shows that it has the focus, also when a handler put it there.
        for (wip::CommandButton *b : window->findChildren<wip::CommandButton *>()) {
            if (!isTabStop(b, window))
                continue;
            stops.first() == b ? stops.last()->setFocus(Qt::OtherFocusReason)
                               : stops.first()->setFocus(Qt::OtherFocusReason);
            const QImage without = b->grab().toImage();
            b->setFocus(Qt::OtherFocusReason);
            QVERIFY2(b->hasFocus(), qPrintable(b->objectName()));
            const QImage with = b->grab().toImage();
            QVERIFY2(with != without, qPrintable(b->objectName() + QStringLiteral(" shows no focus mark")));
        }

        // Esc closes a window that has a button to close or cancel it.
        wip::CommandButton *closer = nullptr;
        for (wip::CommandButton *b : window->findChildren<wip::CommandButton *>()) {
            if (b->window() == window && closesTheWindow(b))
                closer = b;
        }
        if (!closer) {
            window->Close();
            return;
        }
        QCOMPARE(window->cancelButton(), closer);
        QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(focus, Qt::Key_Escape);
        QTRY_VERIFY2(!guard || guard->isClosed(), qPrintable(describe(focus)));
        QVERIFY(Window::findLatest(className) == nullptr);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
