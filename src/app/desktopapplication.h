#pragma once

#include "app/commandline.h"
#include "app/launcherwindow.h"
#include "runtime/transaction.h"

#include <QString>
#include <memory>

namespace wip {

class Settings;

// The start of the desktop application, step by step: settings, the data
// folder as working folder, the database (the embedded one created with the
// demo factory on first start), SQLCA and the application's connection
// settings, the rights look-up, the login, and the launcher. Every failure is
// told through the MessageBox service with what failed, and run() returns a
// non-zero exit code instead of going on.
class DesktopApplication
{
public:
    explicit DesktopApplication(CommandLine::Options options);
    ~DesktopApplication();

    // Settings, working folder, database, SQLCA, qxpd; false after telling why.
    bool prepare();
    // The login dialog; false when it was cancelled. Sets user_code().
    bool login();
    // Registers the window classes and shows the launcher.
    LauncherWindow &showLauncher();

    int run();                               // all of it and the event loop

    // The database in use, as prepare() found it.
    const ConnectionSettings &connection() const { return m_connection; }
    bool createdDatabase() const { return m_created; }
    LauncherWindow *launcher() const { return m_launcher.get(); }

    // Creates the embedded database file with the schema and the demo factory
    // (and the demo pictures), showing progress when it takes more than a moment.
    // A failure removes the half-written file.
    static bool createEmbeddedDatabase(const QString &file, QString *error);

    static QString messageTitle();

private:
    bool fail(const QString &text);
    void checkPictureFolder();
    void keepWindowPlaces();        // windows come back where they were left on this machine

    CommandLine::Options m_options;
    std::unique_ptr<Settings> m_settings;
    ConnectionSettings m_connection;
    bool m_created = false;
    std::unique_ptr<LauncherWindow> m_launcher;
};

} // namespace wip
