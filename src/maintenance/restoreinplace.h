#pragma once

#include <QDateTime>
#include <QString>

namespace wip {

// A SQLite database file replaced by a backup, the file there kept aside
// rather than deleted: renamed to "wip-before-restore-2024-03-01-081500.sqlite"
// in its folder, together with what SQLite keeps beside it (-wal, -shm), then
// the backup restored in its place (DatabaseBackup::restore: checked, brought
// up to this schema version). When the restore fails, the file kept aside is
// put back, so the database is as it was. Nothing may have the file open
// meanwhile: the application closes its connections first, and a file that
// another connection still has open (a second Wip, a wip desk at work) is
// refused, since that program would go on writing into the file kept aside.
class RestoreInPlace
{
public:
    // False with *error; *keptAs names the file the old database is kept as
    // (empty when it was put back or there was none).
    static bool replace(const QString &database, const QString &backup, const QDateTime &now, QString *keptAs,
                        QString *error);

    // The name the database of file is kept under when replaced at now.
    static QString keptName(const QString &database, const QDateTime &now);

    // True when some connection has the SQLite file open (SQLite's exclusive
    // lock of it cannot be had at once).
    static bool inUse(const QString &database);
};

} // namespace wip
