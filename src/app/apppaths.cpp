#include "app/apppaths.h"

#include "app/buildinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace wip {

void AppPaths::setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Wip"));
    QCoreApplication::setApplicationName(QStringLiteral("wip"));
    QCoreApplication::setApplicationVersion(BuildInfo::version());
}

QString AppPaths::dataFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.wip");
    QDir().mkpath(folder);
    return folder;
}

QString AppPaths::defaultDatabaseFile()
{
    return dataFolder() + QStringLiteral("/wip.sqlite");
}

QString AppPaths::defaultDatabaseUrl()
{
    return QStringLiteral("sqlite:") + defaultDatabaseFile();
}

QString AppPaths::backupFolder()
{
    return dataFolder() + QStringLiteral("/backups");
}

QString AppPaths::fallbackPictureName()
{
    return QStringLiteral("ZAN.BMP");
}

} // namespace wip
