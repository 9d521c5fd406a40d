#pragma once

#include "app/commandline.h"
#include "app/firststartdialog.h"
#include "app/launcherwindow.h"
#include "runtime/transaction.h"

#include <QString>
#include <memory>

class QThread;

namespace wip {

class LoginDialog;
class Settings;

// The start of the desktop application, step by step: settings, the data
// folder as working folder, the database, SQLCA and the application's
// connection settings, the rights look-up, the login, and the launcher. A
// database that cannot be used at start is told in the login, which can switch
// to another (the embedded file or the factory's server) and remembers the
// choice on this machine; cancelling the login then ends with a non-zero exit
// code.
//
// The first start on a computer without a database asks whether to try the
// demo factory, to start the factory's own database or to use the factory's
// server (FirstStartDialog); nothing is made before the answer. A database
// without any user opens the form that creates its administrator instead of a
// login that cannot succeed; a demo database's login lists the demo users; a
// login with a password someone else set goes on to change it.
//
// On the embedded database the application keeps a daily backup (DailyBackup),
// made after the login in a thread of its own and told in the launcher's
// status bar, and offers the administrator File › 恢复 Restore.
class DesktopApplication
{
public:
    explicit DesktopApplication(CommandLine::Options options);
    ~DesktopApplication();

    // Settings, working folder, database, SQLCA, qxpd; false after telling why.
    bool prepare();
    // Settings, trace log and working folder, and the database to start with
    // (the command line's, the settings', or the embedded one): false with why
    // when its URL does not read (the embedded one is then offered).
    bool prepareFolders(QString *error);
    // Connects SQLCA to a database and makes it the application's (db_connect,
    // qxpd); creates the embedded file of this computer when it is missing, as
    // the first start's answer says (asked now when it was not asked before).
    bool connectTo(const ConnectionSettings &settings, QString *error);
    // The login, or the form creating the administrator on a database without
    // users; then, for a password someone else set, its change. False when
    // cancelled. Sets user_code().
    bool enter(const QString &databaseProblem = QString());
    // The login dialog; false when it was cancelled. Sets user_code() and keeps
    // the database chosen in it. databaseProblem: why the start's database
    // cannot be used; the login opens at its database part with it.
    bool login(const QString &databaseProblem = QString());
    // "建立管理员": the first administrator of the connected database, logged in.
    bool createAdministrator();
    // The user's own password: with the old one (File › 更改密码), or forced
    // after a login with a password someone else set. False when cancelled.
    bool changePassword(const QString &forcedOld = QString());
    // True when nothing names a database and the embedded file is not there
    // (or holds no table): the first start.
    bool isFirstStart() const;
    // Registers the window classes and shows the launcher.
    LauncherWindow &showLauncher();
    // The day's backup of the embedded database in a thread of its own (none
    // on another database; none again on a day that has it); the launcher's
    // status bar tells how it went. run() asks for it after the login and then
    // every hour.
    void startDailyBackup();
    void waitForDailyBackup();
    // File › 恢复 Restore: asks for a backup (in the backups folder), checks
    // it, asks before anything is done, closes every window and the database,
    // keeps the database file aside under a dated name and restores the backup
    // in its place (RestoreInPlace), then opens it again. False when nothing
    // was restored (cancelled, refused or failed, each said).
    bool restoreEmbedded();
    // The database in use is this computer's embedded file.
    bool usesEmbeddedDatabase() const;

    int run();                               // all of it and the event loop

    // The database in use, as prepare() found it.
    const ConnectionSettings &connection() const { return m_connection; }
    bool createdDatabase() const { return m_created; }
    LauncherWindow *launcher() const { return m_launcher.get(); }

    // Creates the embedded database file with the schema and the fixed codes,
    // with demo the demo factory (and the demo pictures), showing progress when
    // it takes more than a moment. A failure removes the half-written file.
    static bool createEmbeddedDatabase(const QString &file, QString *error, bool demo = true);

    static QString messageTitle();

private:
    bool fail(const QString &text);
    FirstStartDialog::Choice askFirstStart(bool offerServer);
    void makeFolders();              // the default picture folder; a missing configured one is told
    // Shows the demo users of the connected database in the login once their
    // passwords are checked, in a thread of its own (the slow hash).
    void showDemoUsers(LoginDialog &dialog);
    void keepWindowPlaces();        // windows come back where they were left on this machine
    void offerRestore();            // File › 恢复 for the administrator on the embedded database
    // Keeps the login's database in the settings when it differs from the start's.
    void rememberDatabase(const ConnectionSettings &chosen, bool savePassword);

    CommandLine::Options m_options;
    std::unique_ptr<Settings> m_settings;
    ConnectionSettings m_connection;
    ConnectionSettings m_startConnection;     // as the command line or the settings named it
    bool m_created = false;
    FirstStartDialog::Choice m_firstChoice = FirstStartDialog::Choice::Cancel;   // asked, not yet used
    std::unique_ptr<LauncherWindow> m_launcher;
    std::unique_ptr<QThread> m_noteWorker;
    std::unique_ptr<QThread> m_backupWorker;
};

} // namespace wip
