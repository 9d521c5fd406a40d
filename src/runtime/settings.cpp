#include "runtime/settings.h"

#include "runtime/drivemapping.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>

namespace wip {

namespace {

QString &explicitFile()
{
    static QString path;
    return path;
}

const QString kUrl = QStringLiteral("database/url");
const QString kSavePassword = QStringLiteral("database/savePassword");
const QString kDrives = QStringLiteral("drives");
const QString kLastUser = QStringLiteral("user/lastCode");
const QString kTraceLog = QStringLiteral("trace/logFile");
const QString kDeskTolerance = QStringLiteral("desk/tolerance");
const QString kScalePort = QStringLiteral("scale/port");
const QString kScaleSpeed = QStringLiteral("scale/speed");
const QString kScaleFrame = QStringLiteral("scale/frame");
const QString kLoginFailures = QStringLiteral("login/failures");
const QString kLoginLastFailure = QStringLiteral("login/lastFailure");

// Window places are kept per machine: a settings file shared between machines
// (a home folder on the server) keeps each screen's own.
QString windowKey(const QString &className)
{
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = QStringLiteral("this-machine");
    return QStringLiteral("windows/") + host + QLatin1Char('/') + className.trimmed().toLower();
}

} // namespace

Settings::Settings()
{
    if (explicitFile().isEmpty())
        m_settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                 QStringLiteral("Wip"), QStringLiteral("wip"));
    else
        m_settings = std::make_unique<QSettings>(explicitFile(), QSettings::IniFormat);
}

Settings::~Settings()
{
    sync();
}

void Settings::setFile(const QString &iniPath)
{
    explicitFile() = iniPath;
}

QString Settings::fileName() const
{
    return m_settings->fileName();
}

QString Settings::databaseUrl() const
{
    return m_settings->value(kUrl).toString();
}

bool Settings::setDatabaseUrl(const QString &url, bool savePassword)
{
    const auto parsed = ConnectionSettings::fromUrl(url);
    if (!parsed)
        return false;
    m_settings->setValue(kUrl, parsed->toUrl(savePassword));
    m_settings->setValue(kSavePassword, savePassword);
    restrictFileWhenHoldingPassword();
    return true;
}

void Settings::clearDatabaseUrl()
{
    m_settings->remove(kUrl);
    m_settings->remove(kSavePassword);
}

bool Settings::savePassword() const
{
    return m_settings->value(kSavePassword, false).toBool();
}

QMap<QChar, QString> Settings::driveFolders() const
{
    QMap<QChar, QString> folders;
    m_settings->beginGroup(kDrives);
    const QStringList keys = m_settings->childKeys();
    for (const QString &key : keys) {
        if (key.size() == 1 && key.at(0).isLetter() && key.at(0).unicode() < 128)
            folders.insert(key.at(0).toUpper(), m_settings->value(key).toString());
    }
    m_settings->endGroup();
    return folders;
}

void Settings::setDriveFolder(QChar letter, const QString &folder)
{
    const QString key = kDrives + QLatin1Char('/') + letter.toUpper();
    if (folder.isEmpty())
        m_settings->remove(key);
    else
        m_settings->setValue(key, folder);
}

QString Settings::lastUserCode() const
{
    return m_settings->value(kLastUser).toString();
}

void Settings::setLastUserCode(const QString &code)
{
    m_settings->setValue(kLastUser, code);
}

int Settings::loginFailures() const
{
    bool ok = false;
    const int n = m_settings->value(kLoginFailures).toInt(&ok);
    return ok && n > 0 ? n : 0;
}

QDateTime Settings::lastLoginFailure() const
{
    return QDateTime::fromString(m_settings->value(kLoginLastFailure).toString(), Qt::ISODateWithMs);
}

void Settings::setLoginFailures(int failures, const QDateTime &lastFailure)
{
    if (failures <= 0) {
        m_settings->remove(kLoginFailures);
        m_settings->remove(kLoginLastFailure);
        return;
    }
    m_settings->setValue(kLoginFailures, failures);
    m_settings->setValue(kLoginLastFailure, lastFailure.toUTC().toString(Qt::ISODateWithMs));
}

QByteArray Settings::windowGeometry(const QString &className) const
{
    return QByteArray::fromBase64(m_settings->value(windowKey(className)).toByteArray());
}

void Settings::setWindowGeometry(const QString &className, const QByteArray &geometry)
{
    m_settings->setValue(windowKey(className), QString::fromLatin1(geometry.toBase64()));
}

QString Settings::traceLogFile() const
{
    return m_settings->value(kTraceLog).toString();
}

void Settings::setTraceLogFile(const QString &path)
{
    m_settings->setValue(kTraceLog, path);
}

QString Settings::deskTolerance() const
{
    return m_settings->value(kDeskTolerance, QStringLiteral("0.010")).toString();
}

void Settings::setDeskTolerance(const QString &grams)
{
    m_settings->setValue(kDeskTolerance, grams);
}

QString Settings::scalePort() const
{
    return m_settings->value(kScalePort).toString();
}

void Settings::setScalePort(const QString &port)
{
    m_settings->setValue(kScalePort, port);
}

QString Settings::scaleSpeed() const
{
    return m_settings->value(kScaleSpeed, QStringLiteral("9600")).toString();
}

void Settings::setScaleSpeed(const QString &speed)
{
    m_settings->setValue(kScaleSpeed, speed);
}

QString Settings::scaleFrame() const
{
    return m_settings->value(kScaleFrame, QStringLiteral("8N1")).toString();
}

void Settings::setScaleFrame(const QString &frame)
{
    m_settings->setValue(kScaleFrame, frame);
}

QString Settings::deskDepartment(const QString &user) const
{
    return m_settings->value(QStringLiteral("desk/department/") + user.trimmed().toUpper()).toString();
}

void Settings::setDeskDepartment(const QString &user, const QString &caption)
{
    m_settings->setValue(QStringLiteral("desk/department/") + user.trimmed().toUpper(), caption);
}

void Settings::apply() const
{
    DriveMapping &mapping = DriveMapping::instance();
    mapping.resetFolders();
    const auto folders = driveFolders();
    for (auto it = folders.cbegin(); it != folders.cend(); ++it)
        mapping.setFolder(it.key(), it.value());
    Trace::setLogFile(traceLogFile());
}

bool Settings::sync()
{
    m_settings->sync();
    restrictFileWhenHoldingPassword();
    return m_settings->status() == QSettings::NoError;
}

void Settings::restrictFileWhenHoldingPassword()
{
    if (!savePassword())
        return;
    // Before the password reaches the file, and again after QSettings rewrote it.
    const QString file = m_settings->fileName();
    if (!QFile::exists(file)) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile create(file);
        if (!create.open(QIODevice::WriteOnly))
            return;
    }
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace wip
