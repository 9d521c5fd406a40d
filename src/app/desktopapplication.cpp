#include "app/desktopapplication.h"

#include "app/appicons.h"
#include "app/apppaths.h"
#include "app/administratordialog.h"
#include "app/databaseopener.h"
#include "app/demopictures.h"
#include "app/demousersnote.h"
#include "app/logindialog.h"
#include "app/passworddialog.h"
#include "app/windowcatalogue.h"
#include "app/windowclasses.h"
#include "database/initdatabase.h"
#include "database/newdatabasefile.h"
#include "database/schema.h"
#include "database/useraccounts.h"
#include "database/useradmin.h"
#include "maintenance/backupfile.h"
#include "maintenance/dailybackup.h"
#include "maintenance/restoreinplace.h"
#include "reports/widgets/argumentdialog.h"
#include "runtime/appglobals.h"
#include "runtime/drivemapping.h"
#include "runtime/hosterror.h"
#include "runtime/settings.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/openfileservice.h"
#include "runtime/widgets/window.h"

#include "runtime/widgets/longworkpresenter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QStatusBar>
#include <QSqlDatabase>
#include <QSqlError>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <utility>

namespace wip {

DesktopApplication::DesktopApplication(CommandLine::Options options)
    : m_options(std::move(options))
{
}

DesktopApplication::~DesktopApplication()
{
    if (m_noteWorker)
        m_noteWorker->wait();
    waitForDailyBackup();
    // The store reads this object's settings.
    Window::setGeometryStore({});
}

QString DesktopApplication::messageTitle()
{
    return QStringLiteral("Wip");
}

bool DesktopApplication::fail(const QString &text)
{
    Trace::write(text);
    MessageBoxService::show(messageTitle(), text, MessageIcon::StopSign);
    return false;
}

bool DesktopApplication::createEmbeddedDatabase(const QString &file, QString *error, bool demo)
{
    QDir().mkpath(QFileInfo(file).absolutePath());

    // The work runs in a thread of its own so that the progress box stays alive;
    // the box appears only when the work takes more than a moment.
    InitResult result;
    std::atomic<bool> done = false;
    std::unique_ptr<QThread> worker(QThread::create([&]() {
        InitOptions options;
        options.demo = demo;
        result = NewDatabaseFile::create(file, options);
        done = true;
    }));
    std::unique_ptr<QProgressDialog> progress;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        progress = std::make_unique<QProgressDialog>(
            (demo ? QStringLiteral("正在建立示范数据库…\nCreating the demo factory database:\n%1")
                  : QStringLiteral("正在建立数据库…\nCreating the database:\n%1"))
                .arg(QDir::toNativeSeparators(file)),
            QString(), 0, 0);
        progress->setWindowTitle(messageTitle());
        progress->setObjectName(QStringLiteral("w_first_start"));
        progress->setMinimumDuration(700);
        progress->setWindowModality(Qt::ApplicationModal);
        progress->setValue(0);
    }
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    if (!done)
        loop.exec();
    worker->wait();
    progress.reset();

    QString why = result.error;
    if (result.ok && !demo)
        return true;
    if (result.ok) {
        QString summary;
        if (DemoPictures::write(&summary, &why)) {
            Trace::write(summary);
            return true;
        }
    }
    QFile::remove(file);
    if (error)
        *error = QStringLiteral("The database %1 could not be created: %2").arg(file, why);
    return false;
}

bool DesktopApplication::prepareFolders(QString *error)
{
    m_settings = std::make_unique<Settings>();
    m_settings->apply();
    const QString dataFolder = AppPaths::dataFolder();
    if (Trace::logFile().isEmpty())
        Trace::setLogFile(dataFolder + QStringLiteral("/wip-trace.log"));

    // The URL is read before the working folder changes: a relative SQLite path
    // names a file of the folder the application was started in.
    QString url = m_options.database;
    if (url.isEmpty())
        url = m_settings->databaseUrl();
    if (url.isEmpty())
        url = AppPaths::defaultDatabaseUrl();
    const auto settings = DatabaseOpener::settingsFor(url, error);
    // A URL that does not read leaves the embedded database to choose in the login.
    m_connection = settings ? *settings : *DatabaseOpener::settingsFor(AppPaths::defaultDatabaseUrl(), nullptr);
    m_startConnection = m_connection;

    QDir::setCurrent(dataFolder);
    DriveMapping::instance().setWorkingFolder(dataFolder);
    return settings.has_value();
}

bool DesktopApplication::connectTo(const ConnectionSettings &settings, QString *error)
{
    // The embedded file of this computer is made when it is not there, with or
    // without the demo factory as the first start's answer says.
    const bool embedded = settings.kind() == DbKind::SQLite
                          && QDir::cleanPath(settings.database) == QDir::cleanPath(AppPaths::defaultDatabaseFile());
    // A file without tables (a first start that did not finish) is taken as new.
    if (embedded && (!QFileInfo::exists(settings.database) || DatabaseOpener::holdsNoTables(settings.database))) {
        using Choice = FirstStartDialog::Choice;
        const Choice choice = m_firstChoice != Choice::Cancel ? m_firstChoice : askFirstStart(false);
        m_firstChoice = Choice::Cancel;
        if (choice != Choice::Demo && choice != Choice::Own) {
            *error = QStringLiteral("本机的数据库没有建立。\nThe database of this computer was not created.");
            return false;
        }
        if (!createEmbeddedDatabase(settings.database, error, choice == Choice::Demo))
            return false;
        m_created = true;
    }

    Transaction &sqlca = Transaction::sqlca();
    if (!DatabaseOpener::connect(sqlca, settings, true, error))
        return false;
    // An older Wip database gets what this program adds; not a Wip database, or
    // one of a newer schema version: refused before any window writes.
    if (!DatabaseOpener::upgrade(sqlca, error) || !DatabaseOpener::checkSchema(sqlca, error)) {
        sqlca.disconnect();
        return false;
    }
    m_connection = settings;

    // The cn_ settings of the windows' own connections (db_connect).
    applicationConnection() = m_connection;
    setQxpdFunction([](const QString &userCode, const QString &module, const QString &function) {
        return UserAccounts::rights(Transaction::sqlca(), userCode, module, function);
    });
    return true;
}

bool DesktopApplication::prepare()
{
    QString error;
    if (!prepareFolders(&error) || !connectTo(m_connection, &error))
        return fail(error);
    makeFolders();
    return true;
}

bool DesktopApplication::isFirstStart() const
{
    if (!m_options.database.isEmpty() || (m_settings && !m_settings->databaseUrl().isEmpty()))
        return false;
    const QString file = AppPaths::defaultDatabaseFile();
    return !QFileInfo::exists(file) || DatabaseOpener::holdsNoTables(file);
}

FirstStartDialog::Choice DesktopApplication::askFirstStart(bool offerServer)
{
    FirstStartDialog dialog(offerServer);
    if (dialog.exec() != QDialog::Accepted)
        return FirstStartDialog::Choice::Cancel;
    return dialog.choice();
}

void DesktopApplication::rememberDatabase(const ConnectionSettings &chosen, bool savePassword)
{
    if (!m_settings)
        return;
    const bool sameAsStart = chosen.toUrl(true) == m_startConnection.toUrl(true);
    if (sameAsStart && savePassword == m_settings->savePassword())
        return;
    if (chosen.kind() == DbKind::SQLite
        && QDir::cleanPath(chosen.database) == QDir::cleanPath(AppPaths::defaultDatabaseFile()))
        m_settings->clearDatabaseUrl();
    else
        m_settings->setDatabaseUrl(chosen.toUrl(true), savePassword);
    m_settings->sync();
}

void DesktopApplication::makeFolders()
{
    // The picture folder of a fresh home is made; one the settings name (a
    // share of the factory) is not made here, only told when it is missing.
    DriveMapping &drives = DriveMapping::instance();
    const QString pictures = drives.folder(QLatin1Char('P'));
    if (QDir::cleanPath(pictures) == QDir::cleanPath(drives.defaultFolder(QLatin1Char('P'))))
        QDir().mkpath(pictures);
    if (QFileInfo(pictures).isDir())
        return;
    // Not fatal: the windows show the default picture instead of a style picture.
    const QString text = QStringLiteral("图片文件夹不存在。\nThe picture folder %1 (P:) does not exist; "
                                        "style pictures cannot be shown.")
                             .arg(QDir::toNativeSeparators(pictures));
    Trace::write(text);
    MessageBoxService::show(messageTitle(), text, MessageIcon::Exclamation);
}

bool DesktopApplication::enter(const QString &databaseProblem)
{
    Transaction &sqlca = Transaction::sqlca();
    if (sqlca.isConnected() && UserAdmin::hasUsers(sqlca) == std::optional<bool>(false))
        return createAdministrator();
    return login(databaseProblem);
}

bool DesktopApplication::createAdministrator()
{
    AdministratorDialog dialog([](const QString &code, const QString &name, const QString &password) {
        Transaction &sqlca = Transaction::sqlca();
        if (UserAdmin::hasUsers(sqlca) != std::optional<bool>(false))
            return QStringLiteral("这个数据库已经有用户了: 请取消, 再启动 Wip 登录。\n"
                                  "This database has users now: cancel, and start Wip again to log in.");
        UserAdmin admin(sqlca, {code, QStringLiteral("w_create_admin")});
        return admin.addUser(code, name, password, RightsCatalogue::every(), false) ? QString() : admin.error();
    });
    dialog.setDatabaseText(DatabaseOpener::displayUrl(m_connection));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    user_code() = dialog.userCode();
    if (m_settings) {
        m_settings->setLastUserCode(user_code());
        m_settings->sync();
    }
    return true;
}

bool DesktopApplication::changePassword(const QString &forcedOld)
{
    const QString code = user_code();
    PasswordDialog dialog(
        code,
        [code](const QString &oldPassword, const QString &newPassword) {
            UserAdmin admin(Transaction::sqlca(), AuditSource::window(QStringLiteral("w_password")));
            return admin.changeOwnPassword(code, oldPassword, newPassword) ? QString() : admin.error();
        },
        forcedOld, m_launcher.get());
    return dialog.exec() == QDialog::Accepted;
}

namespace {

// The login's check of a code and password against the users table.
LoginDialog::Check checkUser(const QString &code, const QString &password)
{
    Transaction &sqlca = Transaction::sqlca();
    QString stored;
    bool mustChange = false;
    switch (UserAccounts::checkLogin(sqlca, code, password, &stored, &mustChange)) {
    case UserAccounts::Login::Ok:
        return LoginDialog::Check{LoginDialog::Outcome::Accepted, {}, stored, mustChange, false};
    case UserAccounts::Login::UnknownUser:
    case UserAccounts::Login::WrongPassword:
        return LoginDialog::Check{LoginDialog::Outcome::Refused, {}, {}, false, false};
    case UserAccounts::Login::Disabled:
        return LoginDialog::Check{LoginDialog::Outcome::Disabled, {}, {}, false, false};
    case UserAccounts::Login::Error:
        break;
    }
    return LoginDialog::Check{LoginDialog::Outcome::Unavailable, sqlca.sqlErrText, {}, false, false};
}

} // namespace

void DesktopApplication::showDemoUsers(LoginDialog &dialog)
{
    // Only the latest request speaks: a note checked for a database left since is dropped.
    const int generation = dialog.property("demoNoteGeneration").toInt() + 1;
    dialog.setProperty("demoNoteGeneration", generation);
    dialog.setDemoUsers(QString());
    const QList<DemoUsersNote::Candidate> candidates = DemoUsersNote::candidates(Transaction::sqlca());
    if (candidates.isEmpty())
        return;
    if (m_noteWorker)
        m_noteWorker->wait();
    QPointer<LoginDialog> target(&dialog);
    m_noteWorker.reset(QThread::create([candidates, target, generation] {
        const QString text = DemoUsersNote::text(candidates);
        // Handed over in the dialog's thread, if it is still there and still asks.
        QMetaObject::invokeMethod(qApp, [target, text, generation] {
            if (target && target->property("demoNoteGeneration").toInt() == generation)
                target->setDemoUsers(text);
        });
    }));
    m_noteWorker->start();
}

bool DesktopApplication::login(const QString &databaseProblem)
{
    LoginDialog dialog(checkUser, [](const QString &title, const QString &text) {
        MessageBoxService::show(title, text, MessageIcon::Exclamation);
    });
    QString code = m_options.user;
    if (code.isEmpty() && m_settings)
        code = m_settings->lastUserCode();
    dialog.setUserCode(code);
    Transaction &sqlca = Transaction::sqlca();
    dialog.setDatabase(m_connection, sqlca.isConnected(), m_settings && m_settings->savePassword(),
                       AppPaths::defaultDatabaseFile());
    if (sqlca.isConnected())
        showDemoUsers(dialog);
    dialog.setConnector([this, &dialog](const ConnectionSettings &settings, bool) {
        QString error;
        if (!connectTo(settings, &error)) {
            Trace::write(error);
            return LoginDialog::Check{LoginDialog::Outcome::Unavailable, error, {}, false, false};
        }
        Transaction &connected = Transaction::sqlca();
        showDemoUsers(dialog);
        const bool noUsers = UserAdmin::hasUsers(connected) == std::optional<bool>(false);
        return LoginDialog::Check{LoginDialog::Outcome::Accepted, {}, {}, false, noUsers};
    });
    if (!databaseProblem.isEmpty())
        dialog.showDatabaseProblem(databaseProblem);
    if (m_settings) {
        // The count of failed logins outlives the run: quitting and starting again
        // does not buy more guesses.
        dialog.restoreThrottle(m_settings->loginFailures(), m_settings->lastLoginFailure());
        dialog.setThrottleStore([this](const LoginThrottle &throttle) {
            m_settings->setLoginFailures(throttle.failures(), throttle.lastFailure());
            m_settings->sync();
        });
    }
    const int result = dialog.exec();
    if (result == LoginDialog::NoUsers) {
        // The database chosen has nobody to log in: its administrator is made now.
        rememberDatabase(dialog.database(), dialog.savePassword());
        return createAdministrator();
    }
    if (result != QDialog::Accepted)
        return false;

    user_code() = dialog.userCode();
    rememberDatabase(dialog.database(), dialog.savePassword());
    if (m_settings) {
        m_settings->setLastUserCode(user_code());
        m_settings->sync();
    }
    // A password someone else set is changed before anything else is done.
    return !dialog.mustChange() || changePassword(dialog.password());
}

LauncherWindow &DesktopApplication::showLauncher()
{
    // Retrieve asks the user for an argument a window did not give.
    reports::installArgumentPrompter();
    // Long retrievals, exports and prints show a busy cursor, then how far they got, with Cancel.
    static LongWorkPresenter longWork;
    LongWork::setPresenter(&longWork);
    WindowClasses::registerAll();
    WindowCatalogue::registerIcons();
    keepWindowPlaces();
    m_launcher = std::make_unique<LauncherWindow>(
        [](const QString &className) { return Window::isRegistered(className); },
        [](const QString &target) {
            // "w_x" opens a window; "w_x.cb_n" opens it and clicks that button once
            // the window's open() has run.
            const QString className = target.section(QLatin1Char('.'), 0, 0);
            const QString button = target.section(QLatin1Char('.'), 1);
            try {
                Window *window = Window::Open(className);
                if (window && !button.isEmpty()) {
                    QPointer<Window> guard(window);
                    QTimer::singleShot(0, window, [guard, button] {
                        if (auto *b = guard ? guard->findChild<CommandButton *>(button) : nullptr)
                            b->TriggerEvent();
                    });
                }
            } catch (const HostError &e) {
                Trace::problem(e.code(), e.detail());
                MessageBoxService::show(messageTitle(),
                                        QStringLiteral("The window %1 cannot be opened.").arg(target),
                                        MessageIcon::StopSign);
            }
        });
    m_launcher->setMayUse([](Rights needs) {
        return bool(needs & RightsCatalogue::rightsOf([](const QString &module, const QString &function) {
                        return qxpd(user_code(), module, function);
                    }));
    });
    QObject::connect(m_launcher.get(), &LauncherWindow::passwordChangeRequested, m_launcher.get(), [this] {
        if (changePassword())
            m_launcher->statusBar()->showMessage(QStringLiteral("密码已更改。 The password is changed."), 8000);
    });
    QObject::connect(m_launcher.get(), &LauncherWindow::restoreRequested, m_launcher.get(), [this] { restoreEmbedded(); });
    offerRestore();
    m_launcher->setDatabaseText(DatabaseOpener::displayUrl(m_connection));
    m_launcher->setUserText(user_code());
    if (m_settings)
        m_launcher->restoreGeometry(m_settings->windowGeometry(m_launcher->objectName()));
    m_launcher->show();
    return *m_launcher;
}

bool DesktopApplication::usesEmbeddedDatabase() const
{
    return m_connection.kind() == DbKind::SQLite
        && QDir::cleanPath(m_connection.database) == QDir::cleanPath(AppPaths::defaultDatabaseFile());
}

namespace {

QString dailyBackupText(const DailyBackup::Outcome &o)
{
    if (!o.ok)
        return QStringLiteral("每日备份失败 Daily backup failed: %1").arg(o.error);
    return QStringLiteral("每日备份 Daily backup: %1 (%2 份 kept)")
        .arg(o.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
        .arg(o.count);
}

} // namespace

void DesktopApplication::offerRestore()
{
    if (!m_launcher)
        return;
    const bool administrator = RightsCatalogue::has(Right::Users, [](const QString &module, const QString &function) {
        return qxpd(user_code(), module, function);
    });
    m_launcher->setRestoreOffered(administrator && usesEmbeddedDatabase());
}

void DesktopApplication::startDailyBackup()
{
    if (!m_launcher || !usesEmbeddedDatabase())
        return;
    waitForDailyBackup();
    m_launcher->setBackupText(QStringLiteral("每日备份中… Daily backup running…"));
    QPointer<LauncherWindow> launcher(m_launcher.get());
    const QString database = m_connection.database;
    const QString folder = AppPaths::backupFolder();
    m_backupWorker.reset(QThread::create([launcher, database, folder] {
        const DailyBackup::Outcome o = DailyBackup(database, folder).run(QDate::currentDate());
        // Told in the launcher's thread, if the launcher is still there.
        QMetaObject::invokeMethod(qApp, [launcher, o] {
            if (!o.ok)
                Trace::write(QStringLiteral("The daily backup of the database was not made: ") + o.error);
            if (launcher)
                launcher->setBackupText(dailyBackupText(o), !o.ok);
        });
    }));
    m_backupWorker->start();
}

void DesktopApplication::waitForDailyBackup()
{
    if (m_backupWorker)
        m_backupWorker->wait();
}

bool DesktopApplication::restoreEmbedded()
{
    if (!usesEmbeddedDatabase())
        return false;
    const QString file = OpenFileService::ask(m_launcher.get(), QStringLiteral("恢复 Restore"), AppPaths::backupFolder(),
                                              QStringLiteral("Wip 备份 Backups (*.sqlite);;所有文件 All files (*)"));
    if (file.isEmpty())
        return false;
    const BackupFile backup = BackupFile::inspect(file);
    if (!backup.restorable() || backup.kind() != BackupFile::Kind::Sqlite)
        return fail(QStringLiteral("这个文件不能恢复。\n%1")
                        .arg(backup.restorable() ? QStringLiteral("%1 is a backup of a PostgreSQL database; this "
                                                                  "computer's database is restored from a backup of "
                                                                  "its own kind (SQLite).")
                                                       .arg(QDir::toNativeSeparators(file))
                                                 : backup.problem()));
    const QString database = m_connection.database;
    const QDateTime now = QDateTime::currentDateTime();
    const QString kept = QDir::toNativeSeparators(RestoreInPlace::keptName(database, now));
    const QString question =
        QStringLiteral("用备份 %1 代替本机的数据库吗? 所有窗口会关闭; 现在的数据库另存为 %2, 不删除。\n\n"
                       "Put the backup %1 (Wip schema version %3) in the place of this computer's database? Every "
                       "window closes; the database in use now is kept as %2, not deleted.")
            .arg(QDir::toNativeSeparators(file), kept)
            .arg(backup.version());
    if (MessageBoxService::show(QStringLiteral("恢复 Restore"), question, MessageIcon::Question, MessageButtons::YesNo, 2) != 1
        || !Window::CloseAll())
        return false;
    waitForDailyBackup();
    if (m_noteWorker)
        m_noteWorker->wait();
    Transaction::sqlca().disconnect();
    QString keptAs, error, reopenError;
    const bool replaced = RestoreInPlace::replace(database, file, now, &keptAs, &error);
    const bool reopened = connectTo(m_connection, &reopenError);
    if (!replaced || !reopened) {
        Trace::write(error + QLatin1Char(' ') + reopenError);
        return fail(replaced ? QStringLiteral("数据库打不开。\n%1").arg(reopenError)
                             : QStringLiteral("恢复未成功, 数据库没有改变。\nNothing was restored: %1").arg(error));
    }
    if (m_launcher)
        m_launcher->refreshEntries();
    offerRestore();
    const QString done = QStringLiteral("已恢复 Restored %1; the database before is kept as %2.")
                             .arg(QFileInfo(file).fileName(), QDir::toNativeSeparators(keptAs));
    Trace::write(done);
    if (m_launcher)
        m_launcher->statusBar()->showMessage(done, 15000);
    MessageBoxService::show(QStringLiteral("恢复 Restore"), done, MessageIcon::Information);
    return true;
}

void DesktopApplication::keepWindowPlaces()
{
    if (!m_settings)
        return;
    Settings *settings = m_settings.get();
    Window::setGeometryStore({[settings](const QString &className) { return settings->windowGeometry(className); },
                              [settings](const QString &className, const QByteArray &geometry) {
                                  settings->setWindowGeometry(className, geometry);
                                  settings->sync();
                              }});
}

int DesktopApplication::run()
{
    // A database that cannot be used at start is told in the login, where
    // another can be chosen.
    QString problem;
    bool ready = prepareFolders(&problem);
    if (ready && isFirstStart()) {
        using Choice = FirstStartDialog::Choice;
        m_firstChoice = askFirstStart(true);
        if (m_firstChoice == Choice::Cancel)
            return 0;
        if (m_firstChoice == Choice::Server) {
            m_firstChoice = Choice::Cancel;
            m_connection = ConnectionSettings();
            m_connection.dbms = QStringLiteral("POSTGRESQL");
            ready = false;
            problem = QStringLiteral("请在下面填写工厂的数据库服务器。\nFill in the factory's database server below.");
        }
    }
    if (ready && connectTo(m_connection, &problem))
        makeFolders();
    else
        Trace::write(problem);
    if (!enter(problem))
        return Transaction::sqlca().isConnected() ? 0 : 1;
    showLauncher();
    startDailyBackup();
    // An application left open overnight makes the next day's backup too.
    auto *daily = new QTimer(m_launcher.get());
    daily->setInterval(std::chrono::hours(1));
    QObject::connect(daily, &QTimer::timeout, m_launcher.get(), [this] { startDailyBackup(); });
    daily->start();
    const int code = QApplication::exec();
    if (m_settings) {
        m_settings->setWindowGeometry(m_launcher->objectName(), m_launcher->saveGeometry());
        m_settings->sync();
    }
    m_launcher.reset();
    Transaction::sqlca().disconnect();
    return code;
}

} // namespace wip
