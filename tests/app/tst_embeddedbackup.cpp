// The desktop application on its embedded database: the day's backup is made
// behind the launcher and told in its status bar; File › 恢复 is the
// administrator's, asks before it does anything, and puts a backup in the
// database's place with the database it replaces kept under a dated name.

#include "app/apppaths.h"
#include "app/desktopapplication.h"
#include "app/firststartdialog.h"
#include "app/launcherwindow.h"
#include "database/rightscatalogue.h"
#include "database/useraccounts.h"
#include "desktopdriver.h"
#include "maintenance/dailybackup.h"
#include "runtime/appglobals.h"
#include "runtime/transaction.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/openfileservice.h"
#include "runtime/widgets/window.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using wip::DesktopApplication;
using wip::MessageBoxService;
using wip::OpenFileService;

namespace {

class AnyWindow : public wip::Window
{
};

QStringList contracts()
{
    QStringList list;
    QSqlQuery q(wip::Transaction::sqlca().database());
    q.exec("select scno from sconh order by scno");
    while (q.next())
        list << q.value(0).toString();
    return list;
}

QStringList contractsOf(const QString &file)
{
    QStringList list;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "kept");
        db.setDatabaseName(file);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (db.open()) {
            QSqlQuery q(db);
            q.exec("select scno from sconh order by scno");
            while (q.next())
                list << q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase("kept");
    return list;
}

} // namespace

class TestEmbeddedBackup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        wip::test::useHome(m_home);
        OpenFileService::setScripted(true);
        wip::Window::registerClass<AnyWindow>("w_any");
    }

    void dailyBackupAndRestore()
    {
        DesktopApplication app{wip::CommandLine::Options()};
        wip::test::whenShows<wip::FirstStartDialog>([](wip::FirstStartDialog &d) { wip::test::press(d, "cb_own"); });
        QVERIFY(app.prepare());
        QVERIFY(app.usesEmbeddedDatabase());
        wip::Transaction &sqlca = wip::Transaction::sqlca();
        const auto &users = wip::RightsCatalogue::entry(wip::Right::Users);
        QVERIFY(wip::UserAccounts::setUser(sqlca, "ADMIN", "管理员", "admin-2024")
                && wip::UserAccounts::setRights(sqlca, "ADMIN", users.module, users.function,
                                                wip::RightsCatalogue::grantedText())
                && wip::UserAccounts::setUser(sqlca, "CLERK", "文员", "clerk-2024"));
        QVERIFY(sqlca.execute("insert into sconh (scno) values ('KC-BEFORE')") && sqlca.commit());

        // Only the administrator is offered 恢复.
        wip::user_code() = "CLERK";
        QVERIFY(!app.showLauncher().findChild<QAction *>("m_restore")->isVisible());
        wip::user_code() = "ADMIN";
        wip::LauncherWindow &launcher = app.showLauncher();
        QVERIFY(launcher.findChild<QAction *>("m_restore")->isVisible());

        // The day's backup, behind the launcher, told in its status bar.
        app.startDailyBackup();
        app.waitForDailyBackup();
        const QString today = wip::DailyBackup::fileName(QDate::currentDate());
        auto *status = launcher.findChild<QLabel *>("st_backup");
        QTRY_VERIFY2(status->text().contains(QDate::currentDate().toString("yyyy-MM-dd")), qPrintable(status->text()));
        QVERIFY2(status->text().contains("(1 份 kept)"), qPrintable(status->text()));
        QVERIFY(status->isVisible() && status->width() >= status->sizeHint().width());
        const QString backup = QDir(wip::AppPaths::backupFolder()).filePath(today);
        QVERIFY(QFile::exists(backup));
        QTest::qWait(50);
        wip::test::saveScreenshot(launcher, "launcher-backup.png");

        QVERIFY(sqlca.execute("insert into sconh (scno) values ('KC-AFTER')") && sqlca.commit());
        // Answered No: nothing changes.
        OpenFileService::queueAnswer(backup);
        MessageBoxService::queueAnswer(2);
        QVERIFY(!app.restoreEmbedded());
        QCOMPARE(contracts(), QStringList({"KC-AFTER", "KC-BEFORE"}));
        QCOMPARE(MessageBoxService::shown().last().buttons, wip::MessageButtons::YesNo);
        QVERIFY2(MessageBoxService::shown().last().text.contains("before-restore"), qPrintable(MessageBoxService::shown().last().text));

        // Yes: the windows close, the backup takes the database's place, and
        // the database before is kept.
        wip::Window::Open("w_any");
        OpenFileService::queueAnswer(backup);
        MessageBoxService::queueAnswer(1);
        QVERIFY2(app.restoreEmbedded(), qPrintable(MessageBoxService::shown().last().text));
        QVERIFY(wip::Window::findLatest("w_any") == nullptr);
        QVERIFY(sqlca.isConnected());
        QCOMPARE(contracts(), QStringList({"KC-BEFORE"}));
        const QStringList kept = QDir(wip::AppPaths::dataFolder()).entryList({"wip-before-restore-*.sqlite"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(contractsOf(QDir(wip::AppPaths::dataFolder()).filePath(kept.first())), QStringList({"KC-AFTER", "KC-BEFORE"}));
        QVERIFY2(MessageBoxService::shown().last().text.contains(kept.first()), qPrintable(MessageBoxService::shown().last().text));

        // A file that is no backup is refused before the question.
        const QString notes = m_home.filePath("notes.sqlite");
        QFile f(notes);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a database") > 0);
        f.close();
        MessageBoxService::clear();
        OpenFileService::queueAnswer(notes);
        QVERIFY(!app.restoreEmbedded());
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QVERIFY2(MessageBoxService::shown().first().text.contains("no Wip backup"), qPrintable(MessageBoxService::shown().first().text));
        QCOMPARE(contracts(), QStringList({"KC-BEFORE"}));
        launcher.close();
    }
};

QTEST_MAIN(TestEmbeddedBackup)
#include "tst_embeddedbackup.moc"
