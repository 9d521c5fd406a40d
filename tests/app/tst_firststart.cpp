// The start of the desktop application on what a factory has on its first
// day, in this process and offscreen: a computer without a database asks what
// to make and makes nothing before the answer; a database without users opens
// the form that creates its administrator; a demo database's login names its
// users; a password someone else set is changed right after the login; a
// disabled user is refused; the main window offers 用户与权限 only to users
// with the users right and lets every user change his own password.

#include "app/administratordialog.h"
#include "app/apppaths.h"
#include "app/desktopapplication.h"
#include "app/firststartdialog.h"
#include "app/launcherwindow.h"
#include "app/logindialog.h"
#include "app/passworddialog.h"
#include "database/initdatabase.h"
#include "database/useraccounts.h"
#include "database/useradmin.h"
#include "desktopdriver.h"
#include "runtime/appglobals.h"
#include "runtime/transaction.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

using wip::AdministratorDialog;
using wip::DesktopApplication;
using wip::FirstStartDialog;
using wip::LoginDialog;
using wip::MessageBoxService;
using wip::PasswordDialog;
using namespace wip::test;

namespace {

QString messages()
{
    QStringList texts;
    for (const auto &m : MessageBoxService::shown())
        texts << m.text;
    return texts.join(QStringLiteral(" / "));
}

wip::CommandLine::Options options(const QString &database = {})
{
    wip::CommandLine::Options o;
    o.database = database;
    return o;
}

// Fills the administrator's form and presses 建立; the form's message after it.
QString createAdmin(AdministratorDialog &d, const QString &code, const QString &password, const QString &again)
{
    typeInto(d, "sle_code", code);
    typeInto(d, "sle_name", QStringLiteral("安娜 Anna"));
    typeInto(d, "sle_password", password);
    typeInto(d, "sle_password2", again);
    press(d, "cb_ok");
    return d.message();
}

} // namespace

class TestFirstStart : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_startFolder;

private Q_SLOTS:
    void initTestCase() { m_startFolder = QDir::currentPath(); }

    // Each test is a user who never ran Wip.
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        useHome(*m_home);
        MessageBoxService::clear();
        wip::user_code().clear();
    }

    void cleanup()
    {
        wip::Transaction::sqlca().disconnect();
        QDir::setCurrent(m_startFolder);
    }

    // The factory's own database: empty but for its codes, its administrator
    // made in the form, no warning on the way (the picture folder is made).
    void ownDatabaseStartsWithItsAdministrator()
    {
        DesktopApplication app(options());
        QString firstText;
        whenShows<FirstStartDialog>([&](FirstStartDialog &d) {
            QVERIFY(!QFileInfo::exists(wip::AppPaths::defaultDatabaseFile()));   // nothing made before the answer
            firstText = d.findChild<QLabel *>("st_text")->text();
            saveScreenshot(d, "first-start.png");
            press(d, "cb_own");
        });
        QStringList refusals;
        whenShows<AdministratorDialog>([&](AdministratorDialog &d) {
            refusals << createAdmin(d, "ANNA", "short", "short");
            refusals << createAdmin(d, "ANNA", "anna-pass-1", "anna-pass-2");
            refusals << createAdmin(d, "AN NA", "anna-pass-1", "anna-pass-1");
            saveScreenshot(d, "create-admin.png");
            createAdmin(d, "ANNA", "anna-pass-1", "anna-pass-1");
        });
        QVERIFY2(app.prepare(), qPrintable(messages()));
        QVERIFY(app.createdDatabase());
        QVERIFY(firstText.contains("no Wip database"));
        QVERIFY(app.enter());
        QCOMPARE(wip::user_code(), QStringLiteral("ANNA"));
        QCOMPARE(refusals.size(), 3);
        QVERIFY2(refusals[0].contains("8"), qPrintable(refusals[0]));
        QVERIFY2(refusals[1].contains("differ"), qPrintable(refusals[1]));
        QVERIFY2(refusals[2].contains("user code"), qPrintable(refusals[2]));
        QVERIFY2(MessageBoxService::shown().isEmpty(), qPrintable(messages()));
        QVERIFY(QFileInfo(wip::AppPaths::dataFolder() + "/pictures").isDir());

        wip::Transaction &sqlca = wip::Transaction::sqlca();
        QCOMPARE(sqlca.selectInto("select count(*) from users")->at(0).toInt(), 1);
        QCOMPARE(sqlca.selectInto("select count(*) from sconh")->at(0).toInt(), 0);
        QCOMPARE(sqlca.selectInto("select count(*) from gongxu")->at(0).toInt(), 18);
        QCOMPARE(wip::qxpd("ANNA", "M05", "H06"), QStringLiteral("X99A"));
        QCOMPARE(wip::qxpd("ANNA", "M10", "H04"), QStringLiteral("X99A"));
        QCOMPARE(sqlca.selectInto("select count(*) from audit_log where source = 'w_create_admin' and user_code = 'ANNA'")
                     ->at(0).toInt(),
                 4 + 6);

        // The administrator's main window offers the users window.
        wip::LauncherWindow &launcher = app.showLauncher();
        QVERIFY(launcher.entryAction("w_users")->isVisible());
        launcher.close();
        QTest::qWait(50);   // closing the main window closes every window, queued
    }

    // The demo: made at once, and its login names the demo users and their
    // passwords while they are the public ones.
    void demoLoginNamesTheDemoUsers()
    {
        DesktopApplication app(options());
        whenShows<FirstStartDialog>([](FirstStartDialog &d) { press(d, "cb_demo"); });
        QVERIFY2(app.prepare(), qPrintable(messages()));
        QString note;
        whenLoginShows([&](LoginDialog &d) {
            // The passwords are checked while the login is already there; PBKDF2
            // on a machine busy with other tests can take longer than QTRY's 5 s.
            QTRY_VERIFY_WITH_TIMEOUT(!d.demoUsers().isEmpty(), 60000);
            note = d.demoUsers();
            saveScreenshot(d, "login-demo.png");
            typeLogin(d, "PLAN", "plan-2004");
        });
        QVERIFY(app.login());
        QCOMPARE(wip::user_code(), QStringLiteral("PLAN"));
        for (const char *shown : {"ADMIN", "admin-2004", "PLAN", "plan-2004", "VIEW", "view-2004"})
            QVERIFY2(note.contains(QLatin1String(shown)), qPrintable(note));
        QVERIFY2(MessageBoxService::shown().isEmpty(), qPrintable(messages()));

        // A demo password changed is no longer shown; the planner may not manage users.
        wip::UserAdmin self(wip::Transaction::sqlca(), {QStringLiteral("PLAN"), QStringLiteral("w_password")});
        QVERIFY(self.changeOwnPassword("PLAN", "plan-2004", "my-own-pass"));
        whenLoginShows([&](LoginDialog &d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d.demoUsers().isEmpty(), 60000);
            note = d.demoUsers();
        });
        QVERIFY(!app.login());
        QVERIFY(note.contains("admin-2004") && !note.contains("plan-2004"));
        wip::LauncherWindow &launcher = app.showLauncher();
        QVERIFY(!launcher.entryAction("w_users")->isVisible());
        launcher.close();
        QTest::qWait(50);   // closing the main window closes every window, queued
    }

    // Cancelling the question makes nothing; the server's answer opens the
    // login at the server's fields.
    void cancelledOrServerMakesNoFile()
    {
        whenShows<FirstStartDialog>([](FirstStartDialog &d) { press(d, "cb_cancel"); });
        QCOMPARE(DesktopApplication(options()).run(), 0);
        QVERIFY(!QFileInfo::exists(wip::AppPaths::defaultDatabaseFile()));

        bool serverShown = false;
        whenShows<FirstStartDialog>([](FirstStartDialog &d) { press(d, "cb_server"); });
        whenLoginShows([&](LoginDialog &d) {
            serverShown = d.databaseShown() && d.findChild<QRadioButton *>("rb_server")->isChecked();
            d.reject();
        });
        QCOMPARE(DesktopApplication(options()).run(), 1);
        QVERIFY(serverShown);
        QVERIFY(!QFileInfo::exists(wip::AppPaths::defaultDatabaseFile()));
    }

    // A factory database made by init-db without an administrator.
    void databaseWithoutUsersOpensTheAdministratorsForm_data() { addEngineRows(); }
    void databaseWithoutUsersOpensTheAdministratorsForm()
    {
        WIP_TEST_DATABASE(db);
        QPointer<QTimer> login = whenShows<LoginDialog>([](LoginDialog &) {});
        whenShows<AdministratorDialog>([](AdministratorDialog &d) { createAdmin(d, "boss", "boss-pass-1", "boss-pass-1"); });
        DesktopApplication app(options(db.url()));
        QVERIFY2(app.prepare(), qPrintable(messages()));
        QVERIFY(app.enter());
        QVERIFY2(login, "the login was shown");   // still waiting for it
        delete login;
        QCOMPARE(wip::user_code(), QStringLiteral("boss"));
        QCOMPARE(wip::UserAccounts::checkLogin(db.tr(), "BOSS", "boss-pass-1"), wip::UserAccounts::Login::Ok);
    }

    // Reset by the administrator: the next login goes on to the user's own
    // password, and only then into Wip; a disabled user gets no further.
    void resetPasswordIsChangedAtTheNextLogin_data() { addEngineRows(); }
    void resetPasswordIsChangedAtTheNextLogin()
    {
        WIP_TEST_DATABASE(db);
        wip::UserAdmin admin(db.tr(), {QStringLiteral("BOSS"), QStringLiteral("w_users")});
        QVERIFY(admin.addUser("BOSS", "主管", "boss-pass-1", wip::RightsCatalogue::every(), false));
        QVERIFY(admin.addUser("CLERK", "收发", "first-pass-1", wip::Right::ContractEdit));
        QVERIFY(admin.addUser("GONE", "离职", "gone-pass-1", {}, false));
        QVERIFY(admin.setActive("GONE", false));

        DesktopApplication app(options(db.url()));
        QVERIFY(app.prepare());
        QString disabled;
        whenLoginShows([&](LoginDialog &d) {
            typeLogin(d, "GONE", "gone-pass-1");
            disabled = d.findChild<QLabel *>("st_message")->text();
            typeLogin(d, "CLERK", "first-pass-1");
        });
        QStringList said;
        bool oldAsked = true;
        whenShows<PasswordDialog>([&](PasswordDialog &d) {
            oldAsked = d.findChild<QLineEdit *>("sle_old")->isVisible();
            typeInto(d, "sle_new", "first-pass-1");
            typeInto(d, "sle_new2", "first-pass-1");
            press(d, "cb_ok");
            said << d.message();
            saveScreenshot(d, "password-forced.png");
            typeInto(d, "sle_new", "clerk-own-pass");
            typeInto(d, "sle_new2", "clerk-own-pass");
            press(d, "cb_ok");
        });
        QVERIFY(app.login());
        QVERIFY2(disabled.contains("disabled"), qPrintable(disabled));
        QVERIFY(!oldAsked);
        QVERIFY2(said.value(0).contains("differ"), qPrintable(said.join('|')));
        QCOMPARE(wip::user_code(), QStringLiteral("CLERK"));
        bool mustChange = true;
        QCOMPARE(wip::UserAccounts::checkLogin(db.tr(), "CLERK", "clerk-own-pass", nullptr, &mustChange),
                 wip::UserAccounts::Login::Ok);
        QVERIFY(!mustChange);

        // Refusing to choose a password ends the start.
        QVERIFY(admin.resetPassword("CLERK", "reset-pass-9"));
        whenLoginShows([](LoginDialog &d) { typeLogin(d, "CLERK", "reset-pass-9"); });
        whenShows<PasswordDialog>([](PasswordDialog &d) { press(d, "cb_cancel"); });
        QVERIFY(!app.login());
    }

    // File › 更改密码 of the main window: the old password first.
    void ownPasswordFromTheMainWindow()
    {
        wip::test::TestDatabase db;
        wip::UserAdmin admin(db.tr(), {QStringLiteral("BOSS"), QStringLiteral("w_users")});
        QVERIFY(admin.addUser("PLAN", "计划", "plan-pass-1", wip::Right::ContractAdd, false));
        DesktopApplication app(options(db.url()));
        QVERIFY(app.prepare());
        wip::user_code() = QStringLiteral("PLAN");
        wip::LauncherWindow &launcher = app.showLauncher();
        QString wrongOld;
        whenShows<PasswordDialog>([&](PasswordDialog &d) {
            typeInto(d, "sle_old", "not-my-pass");
            typeInto(d, "sle_new", "plan-new-pass");
            typeInto(d, "sle_new2", "plan-new-pass");
            press(d, "cb_ok");
            wrongOld = d.message();
            saveScreenshot(d, "password.png");
            typeInto(d, "sle_old", "plan-pass-1");
            press(d, "cb_ok");
        });
        launcher.findChild<QAction *>("m_password")->trigger();
        QVERIFY2(wrongOld.contains("old password"), qPrintable(wrongOld));
        QVERIFY(launcher.statusBar()->currentMessage().contains("changed"));
        QCOMPARE(wip::UserAccounts::checkLogin(db.tr(), "PLAN", "plan-new-pass"), wip::UserAccounts::Login::Ok);
        QCOMPARE(db.scalar("select new_value from audit_log where field = 'user:PLAN:password' and source = 'w_password'")
                     .toString(),
                 QStringLiteral("(changed)"));
        launcher.close();
        QTest::qWait(50);   // closing the main window closes every window, queued
    }
};

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
