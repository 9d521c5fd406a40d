// 用户与权限 Users and rights, the real window offscreen on both engines: an
// administrator adds a user with rights ticked in plain words, changes the
// rights, sets a new password and disables the user, each change stored as the
// rights texts the windows read and written to the audit trail; what is
// refused writes nothing; a user without the users right sees nothing to change.

#include "app/w_users.h"
#include "app/windowclasses.h"
#include "database/useraccounts.h"
#include "database/useradmin.h"
#include "desktopdriver.h"
#include "runtime/appglobals.h"
#include "runtime/widgets/checkbox.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/window.h"
#include "testdatabase.h"

#include <QPointer>
#include <QTableWidget>
#include <QtTest>

using wip::MessageBoxService;
using wip::Right;
using wip::w_users;
using namespace wip::test;

class TestUsersWindow : public QObject
{
    Q_OBJECT

private:
    QPointer<w_users> m_window;

    w_users &openWindow()
    {
        m_window = qobject_cast<w_users *>(wip::Window::Open(QStringLiteral("w_users")));
        if (m_window) {
            (void)QTest::qWaitForWindowExposed(m_window);
            QTest::qWait(30);   // the queued open event
        }
        return *m_window;
    }

    static void click(w_users &w, const char *name)
    {
        auto *b = w.findChild<wip::CommandButton *>(QString::fromLatin1(name));
        QVERIFY2(b && b->isEnabled(), name);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    static void tick(w_users &w, const QStringList &names)
    {
        for (wip::CheckBox *box : w.findChildren<wip::CheckBox *>())
            box->setChecked(names.contains(box->objectName().mid(4)));
    }

    static void select(w_users &w, const QString &code)
    {
        auto *table = w.findChild<QTableWidget *>(QStringLiteral("dw_users"));
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == code)
                table->selectRow(row);
        }
    }

    static QString rowText(w_users &w, const QString &code)
    {
        auto *table = w.findChild<QTableWidget *>(QStringLiteral("dw_users"));
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == code) {
                QStringList cells;
                for (int c = 1; c < table->columnCount(); ++c)
                    cells << table->item(row, c)->text();
                return cells.join(QLatin1Char('|'));
            }
        }
        return QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        wip::WindowClasses::registerAll();
    }

    void cleanup()
    {
        if (m_window)
            m_window->Close();
        QTRY_VERIFY(m_window.isNull());
        MessageBoxService::clear();
        wip::setQxpdFunction({});
    }

    void administratorManagesAUser_data() { addEngineRows(); }
    void administratorManagesAUser()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(db.useAsApplicationDatabase());
        wip::setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
            return wip::UserAccounts::rights(wip::Transaction::sqlca(), user, module, function);
        });
        wip::UserAdmin admin(db.tr(), {QStringLiteral("BOSS"), QStringLiteral("test")});
        QVERIFY(admin.addUser("BOSS", "主管", "boss-pass-1", wip::RightsCatalogue::every(), false));
        wip::user_code() = QStringLiteral("BOSS");

        w_users &w = openWindow();
        QVERIFY(w.mayManage());
        QCOMPARE(w.findChild<QTableWidget *>("dw_users")->rowCount(), 1);
        // A new user: the planner, who may add progress records and scan.
        typeInto(w, "sle_code", "PLAN");
        typeInto(w, "sle_name", "计划 Planner");
        typeInto(w, "sle_password", "plan-pass-1");
        tick(w, {"add", "scan"});
        click(w, "cb_add");
        QVERIFY2(MessageBoxService::shown().isEmpty(), qPrintable(MessageBoxService::shown().value(0).text));
        QCOMPARE(w.shownUser(), QStringLiteral("PLAN"));
        QCOMPARE(wip::UserAccounts::rights(db.tr(), "PLAN", "M05", "H06"), QStringLiteral("X02B"));
        QCOMPARE(wip::UserAccounts::rights(db.tr(), "PLAN", "M10", "H01"), QStringLiteral("X99A"));
        QCOMPARE(rowText(w, "PLAN"), QStringLiteral("计划 Planner|在用 active|须更改 to change|增加 扫描"));

        // Edit and delete instead of add: one text no old window wrote, read as both.
        tick(w, {"edit", "delete"});
        click(w, "cb_rights");
        QCOMPARE(wip::UserAccounts::rights(db.tr(), "PLAN", "M05", "H06"), QStringLiteral("X34B"));
        QVERIFY(wip::UserAccounts::rights(db.tr(), "PLAN", "M10", "H01").isNull());
        QVERIFY(w.status().contains("PLAN"));
        select(w, "BOSS");
        QVERIFY(w.tickedRights() == wip::RightsCatalogue::every());
        select(w, "PLAN");
        QCOMPARE(w.tickedRights().toInt(), (Right::ContractEdit | Right::ContractDelete).toInt());
        saveScreenshot(w, "w_users.png");

        // A short password is refused and nothing changes; a good one is set.
        typeInto(w, "sle_password", "short");
        click(w, "cb_reset");
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QVERIFY(MessageBoxService::shown().first().text.contains("8"));
        typeInto(w, "sle_password", "plan-reset-2");
        click(w, "cb_reset");
        QCOMPARE(wip::UserAccounts::checkLogin(db.tr(), "PLAN", "plan-reset-2"), wip::UserAccounts::Login::Ok);

        // Disabling asks first; No keeps the user.
        MessageBoxService::queueAnswer(2);
        click(w, "cb_active");
        QCOMPARE(wip::UserAccounts::checkLogin(db.tr(), "PLAN", "plan-reset-2"), wip::UserAccounts::Login::Ok);
        MessageBoxService::queueAnswer(1);
        click(w, "cb_active");
        QCOMPARE(wip::UserAccounts::checkLogin(db.tr(), "PLAN", "plan-reset-2"), wip::UserAccounts::Login::Disabled);
        QVERIFY(rowText(w, "PLAN").contains("停用"));
        QVERIFY(w.findChild<wip::CommandButton *>("cb_active")->text().startsWith(QStringLiteral("启用")));
        // The administrator cannot disable himself.
        select(w, "BOSS");
        MessageBoxService::queueAnswer(1);
        click(w, "cb_active");
        QVERIFY(MessageBoxService::shown().last().text.contains(QStringLiteral("自己")));

        // Every change in the trail, from this window, by the administrator.
        QCOMPARE(db.scalar("select count(*) from audit_log where source = 'w_users' and user_code = 'BOSS' "
                           "and field like '%:PLAN:%'").toInt(),
                 (4 + 2) + 2 + 1 + 1);   // added, rights, password (already to be changed), disabled
    }

    void withoutTheUsersRightNothingIsShown()
    {
        TestDatabase db;
        QVERIFY(db.useAsApplicationDatabase());
        wip::UserAdmin admin(db.tr(), {QStringLiteral("BOSS"), QStringLiteral("test")});
        QVERIFY(admin.addUser("BOSS", "主管", "boss-pass-1", wip::RightsCatalogue::every(), false));
        wip::setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
            return wip::UserAccounts::rights(wip::Transaction::sqlca(), user, module, function);
        });
        wip::user_code() = QStringLiteral("VIEW");
        w_users &w = openWindow();
        QVERIFY(!w.mayManage());
        QVERIFY(w.status().contains("VIEW"));
        QCOMPARE(w.findChild<QTableWidget *>("dw_users")->rowCount(), 0);
        for (const char *b : {"cb_new", "cb_add", "cb_active", "cb_reset", "cb_rights"})
            QVERIFY2(!w.findChild<wip::CommandButton *>(b)->isEnabled(), b);
        QVERIFY(w.findChild<wip::CommandButton *>("cb_close")->isEnabled());
    }
};

QTEST_MAIN(TestUsersWindow)
#include "tst_userswindow.moc"
