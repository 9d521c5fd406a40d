#pragma once

#include "runtime/connectionsettings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace wip {

// A whole factory database written into one backup file while the clerks go on
// working, and such a file restored into an empty database.
//
// SQLite: the database is copied with SQLite's online backup (SqliteBackup);
// PostgreSQL: pg_dump -Fc writes it (PostgresClient, the password in a file of
// its own). Either way the file is written under a temporary name beside the
// target and renamed when complete (OutputFile), so a backup that fails leaves
// no part of a file, and says why (a full disk, a folder that may not be
// written to).
//
// A restore first makes sure of the file (BackupFile: a Wip backup of a schema
// version this program knows, a SQLite copy undamaged) and of the target (a
// database without any table, or none yet: a PostgreSQL database is created,
// a SQLite file made), and refuses before anything is written. Then SQLite: the
// copy is made the other way, into a temporary file that is brought up to this
// schema version as init-db does and put in place only then; PostgreSQL:
// pg_restore in one transaction into the empty database, which is brought up
// to this version afterwards.
class DatabaseBackup
{
public:
    // Writes the backup of the database of settings into the file output. The
    // caller has made sure that the database is a Wip database and that output
    // is not one of its files. False with *error naming the file and why.
    static bool backup(const ConnectionSettings &settings, const QString &output, QString *error);

    struct Restored
    {
        int fromVersion = 0;    // the schema version the backup holds
        bool upgraded = false;  // brought up to this program's version afterwards
    };
    // Restores file into the database of settings; nullopt with *error when it
    // is refused (nothing written) or fails.
    static std::optional<Restored> restore(const ConnectionSettings &settings, const QString &file, QString *error);

    // The tables (and views) the database of settings holds, by name; empty for
    // a SQLite file or PostgreSQL database that is not there yet. nullopt with
    // *error when it cannot be read.
    static std::optional<QStringList> tablesOf(const ConnectionSettings &settings, QString *error);

    // "a, b, c and 12 more" for messages.
    static QString someOf(const QStringList &names, int shown = 5);
};

} // namespace wip
