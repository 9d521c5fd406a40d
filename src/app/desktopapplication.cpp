#include "app/desktopapplication.h"

#include "app/appicons.h"
#include "app/apppaths.h"
#include "app/databaseopener.h"
#include "app/demopictures.h"
#include "app/logindialog.h"
#include "app/windowcatalogue.h"
#include "app/windowclasses.h"
#include "database/initdatabase.h"
#include "database/newdatabasefile.h"
#include "database/schema.h"
#include "database/useraccounts.h"
#include "reports/widgets/argumentdialog.h"
#include "runtime/appglobals.h"
#include "runtime/drivemapping.h"
#include "runtime/hosterror.h"
#include "runtime/settings.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QSqlError>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <utility>

namespace wip {

DesktopApplication::DesktopApplication(CommandLine::Options options)
    : m_options(std::move(options))
{
}

DesktopApplication::~DesktopApplication()
{
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

bool DesktopApplication::createEmbeddedDatabase(const QString &file, QString *error)
{
    QDir().mkpath(QFileInfo(file).absolutePath());

    // The work runs in a thread of its own so that the progress box stays alive;
    // the box appears only when the work takes more than a moment.
    InitResult result;
    std::atomic<bool> done = false;
    std::unique_ptr<QThread> worker(QThread::create([&]() {
        InitOptions options;
        options.demo = true;
        result = NewDatabaseFile::create(file, options);
        done = true;
    }));
    std::unique_ptr<QProgressDialog> progress;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        progress = std::make_unique<QProgressDialog>(
            QStringLiteral("正在建立示范数据库…\nCreating the demo factory database:\n%1")
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
    // The embedded file of this computer is made, with the demo factory, when it is not there.
    const bool embedded = settings.kind() == DbKind::SQLite
                          && QDir::cleanPath(settings.database) == QDir::cleanPath(AppPaths::defaultDatabaseFile());
    // A file without tables (a first start that did not finish) is taken as new.
    if (embedded && (!QFileInfo::exists(settings.database) || DatabaseOpener::holdsNoTables(settings.database))) {
        if (!createEmbeddedDatabase(settings.database, error))
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
    checkPictureFolder();
    return true;
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

void DesktopApplication::checkPictureFolder()
{
    const QString pictures = DriveMapping::instance().folder(QLatin1Char('P'));
    if (QFileInfo(pictures).isDir())
        return;
    // Not fatal: the windows show the default picture instead of a style picture.
    const QString text = QStringLiteral("图片文件夹不存在。\nThe picture folder %1 (P:) does not exist; "
                                        "style pictures cannot be shown.")
                             .arg(QDir::toNativeSeparators(pictures));
    Trace::write(text);
    MessageBoxService::show(messageTitle(), text, MessageIcon::Exclamation);
}

bool DesktopApplication::login(const QString &databaseProblem)
{
    LoginDialog dialog(
        [](const QString &code, const QString &password) {
            Transaction &sqlca = Transaction::sqlca();
            QString stored;
            switch (UserAccounts::checkLogin(sqlca, code, password, &stored)) {
            case UserAccounts::Login::Ok:
                return LoginDialog::Check{LoginDialog::Outcome::Accepted, {}, stored};
            case UserAccounts::Login::UnknownUser:
            case UserAccounts::Login::WrongPassword:
                return LoginDialog::Check{LoginDialog::Outcome::Refused, {}};
            case UserAccounts::Login::Error:
                break;
            }
            return LoginDialog::Check{LoginDialog::Outcome::Unavailable, sqlca.sqlErrText};
        },
        [](const QString &title, const QString &text) {
            MessageBoxService::show(title, text, MessageIcon::Exclamation);
        });
    QString code = m_options.user;
    if (code.isEmpty() && m_settings)
        code = m_settings->lastUserCode();
    dialog.setUserCode(code);
    dialog.setDatabase(m_connection, Transaction::sqlca().isConnected(), m_settings && m_settings->savePassword(),
                       AppPaths::defaultDatabaseFile());
    dialog.setConnector([this](const ConnectionSettings &settings, bool) {
        QString error;
        if (!connectTo(settings, &error)) {
            Trace::write(error);
            return LoginDialog::Check{LoginDialog::Outcome::Unavailable, error, {}};
        }
        return LoginDialog::Check{LoginDialog::Outcome::Accepted, {}, {}};
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
    if (dialog.exec() != QDialog::Accepted)
        return false;

    user_code() = dialog.userCode();
    rememberDatabase(dialog.database(), dialog.savePassword());
    if (m_settings) {
        m_settings->setLastUserCode(user_code());
        m_settings->sync();
    }
    return true;
}

LauncherWindow &DesktopApplication::showLauncher()
{
    // Retrieve asks the user for an argument a window did not give.
    reports::installArgumentPrompter();
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
    m_launcher->setDatabaseText(DatabaseOpener::displayUrl(m_connection));
    m_launcher->setUserText(user_code());
    if (m_settings)
        m_launcher->restoreGeometry(m_settings->windowGeometry(m_launcher->objectName()));
    m_launcher->show();
    return *m_launcher;
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
    if (prepareFolders(&problem) && connectTo(m_connection, &problem))
        checkPictureFolder();
    else
        Trace::write(problem);
    if (!login(problem))
        return Transaction::sqlca().isConnected() ? 0 : 1;
    showLauncher();
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
