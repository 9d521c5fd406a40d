#pragma once

#include <QString>

namespace wip {

// Where the application keeps its own files. The data folder is the user's
// application data folder (QStandardPaths::AppDataLocation); the desktop
// application makes it its working folder, so relative names of the windows
// ("temp.psr", the fallback picture "ZAN.BMP") live there. The embedded
// database is wip.sqlite in the same folder, its daily backups in backups/.
class AppPaths
{
public:
    static void setApplicationNames();          // organisation and application name for QSettings/QStandardPaths
    static QString dataFolder();                // created when missing
    static QString defaultDatabaseFile();
    static QString defaultDatabaseUrl();        // "sqlite:" + defaultDatabaseFile()
    static QString backupFolder();              // the daily backups of the embedded database
    static QString fallbackPictureName();       // "ZAN.BMP", relative to the working folder
};

} // namespace wip
