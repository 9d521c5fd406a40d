#pragma once

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QMap>
#include <QString>

#include <memory>

class QSettings;

namespace wip {

// The application's own settings (organisation "Wip", application "wip", an ini
// file in the user's configuration folder): the database URL, the folder of each
// drive letter, the last user code, the trace log file, and the size and place
// of each window on this machine. The database password
// is kept only when asked (savePassword); the file is then readable by its owner
// only. Tests point the class at a file of their own with setFile().
class Settings
{
public:
    Settings();
    ~Settings();
    Settings(const Settings &) = delete;
    Settings &operator=(const Settings &) = delete;

    // Every Settings created afterwards uses this ini file; empty: the default file.
    static void setFile(const QString &iniPath);
    QString fileName() const;

    QString databaseUrl() const;
    // Stores the URL; its password only when savePassword is true. False (nothing
    // stored) when the URL cannot be read.
    bool setDatabaseUrl(const QString &url, bool savePassword = false);
    bool savePassword() const;
    void clearDatabaseUrl();                          // back to the embedded database

    QMap<QChar, QString> driveFolders() const;         // letters upper case
    void setDriveFolder(QChar letter, const QString &folder); // empty removes it

    QString lastUserCode() const;
    void setLastUserCode(const QString &code);

    // Failed logins in a row on this machine and the time of the last one (UTC),
    // so that the login's wait survives a restart. Zero clears both.
    int loginFailures() const;
    QDateTime lastLoginFailure() const;
    void setLoginFailures(int failures, const QDateTime &lastFailure);

    // The size and place of a window (saveGeometry), by class name, on this machine.
    QByteArray windowGeometry(const QString &className) const;
    void setWindowGeometry(const QString &className, const QByteArray &geometry);

    QString traceLogFile() const;
    void setTraceLogFile(const QString &path);

    // The grams a bag received at a department's desk may differ from the grams
    // sent before the clerk must confirm it, as typed ("0.010" unless set).
    QString deskTolerance() const;
    void setDeskTolerance(const QString &grams);
    // The department a user last chose at the desk window on this machine
    // (its caption, "执模"); empty when none yet.
    QString deskDepartment(const QString &user) const;
    void setDeskDepartment(const QString &user, const QString &caption);

    // The serial port of the desk's scale ("/dev/ttyUSB0"; empty: weights are
    // typed), its speed in bits per second ("9600" unless set) and its frame
    // ("8N1" unless set), as typed; ScalePort reads them.
    QString scalePort() const;
    void setScalePort(const QString &port);
    QString scaleSpeed() const;
    void setScaleSpeed(const QString &speed);
    QString scaleFrame() const;
    void setScaleFrame(const QString &frame);

    // Gives the drive folders to DriveMapping and the log file to Trace.
    void apply() const;

    // Writes the settings to their file; false when it cannot be written.
    bool sync();

private:
    void restrictFileWhenHoldingPassword();

    std::unique_ptr<QSettings> m_settings;
};

} // namespace wip
