#include "maintenance/restoreinplace.h"

#include "maintenance/databasebackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace wip {

namespace {

const char *const kBeside[] = {"", "-wal", "-shm"};

// Renames the file and what SQLite keeps beside it; false (with the files as
// they were) when one cannot be renamed.
bool move(const QString &from, const QString &to, QString *why)
{
    QStringList done;
    for (const char *suffix : kBeside) {
        const QString source = from + QLatin1String(suffix);
        if (!QFile::exists(source))
            continue;
        QFile file(source);
        if (!file.rename(to + QLatin1String(suffix))) {
            *why = QStringLiteral("%1 cannot be renamed: %2").arg(QDir::toNativeSeparators(source), file.errorString());
            for (const QString &s : std::as_const(done))
                QFile::rename(to + s, from + s);
            return false;
        }
        done << QLatin1String(suffix);
    }
    return true;
}

} // namespace

bool RestoreInPlace::inUse(const QString &database)
{
    if (!QFileInfo(database).isFile())
        return false;
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // In the exclusive locking mode the first transaction takes the file's
    // exclusive lock, which any other connection's lock refuses; no wait.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "pragma locking_mode = exclusive; begin exclusive; commit", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

QString RestoreInPlace::keptName(const QString &database, const QDateTime &now)
{
    const QFileInfo info(database);
    return info.absoluteDir().filePath(QStringLiteral("%1-before-restore-%2.%3")
                                           .arg(info.completeBaseName(), now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")),
                                                info.suffix().isEmpty() ? QStringLiteral("sqlite") : info.suffix()));
}

bool RestoreInPlace::replace(const QString &database, const QString &backup, const QDateTime &now, QString *keptAs,
                             QString *error)
{
    keptAs->clear();
    const QString kept = keptName(database, now);
    if (QFile::exists(kept)) {
        *error = QStringLiteral("%1 is there already; nothing was changed.").arg(QDir::toNativeSeparators(kept));
        return false;
    }
    if (inUse(database)) {
        *error = QStringLiteral("%1 is open in another program (another Wip, a wip desk or wip scan at work), which "
                                "would go on writing into it; close that first. Nothing was changed.")
                     .arg(QDir::toNativeSeparators(database));
        return false;
    }
    QString why;
    if (QFile::exists(database) && !move(database, kept, &why)) {
        *error = why + QStringLiteral("; nothing was changed.");
        return false;
    }
    ConnectionSettings settings;
    settings.dbms = QStringLiteral("SQLITE");
    settings.database = database;
    if (DatabaseBackup::restore(settings, backup, error)) {
        if (QFile::exists(kept))
            *keptAs = kept;
        return true;
    }
    // Whatever the restore left goes, and the database comes back.
    for (const char *suffix : kBeside)
        QFile::remove(database + QLatin1String(suffix));
    if (QFile::exists(kept) && !move(kept, database, &why))
        *error += QStringLiteral(" The database is kept as %1 (%2).").arg(QDir::toNativeSeparators(kept), why);
    return false;
}

} // namespace wip
