#pragma once

#include "runtime/transaction.h"

#include <QString>
#include <optional>

namespace wip {

// Opens the factory database for the application and its commands, with a
// message that names what failed: a URL that does not read, a SQLite file that
// does not exist, a server that does not answer (ServerProbe: host and port,
// refused or timed out) or refuses the login, a database that is not a Wip
// database.
class DatabaseOpener
{
public:
    // The settings of a URL; a relative SQLite path is made absolute against the
    // current folder (the application later moves to its data folder).
    static std::optional<ConnectionSettings> settingsFor(const QString &url, QString *error);

    // Gives tr the settings and connects it. mustExist: a SQLite file that is not
    // there is refused instead of being created empty, and one that is not a Wip
    // database of this or an older schema version is refused before it is
    // opened for writing, so the refusal leaves the file as it was. Without
    // mustExist an existing file may also be a database without tables.
    static bool connect(Transaction &tr, const ConnectionSettings &settings, bool mustExist,
                        QString *error);

    // The checks connect makes of a SQLite file before opening it: a file that
    // must exist and does not, a missing folder, a folder named as the file, a
    // file that is no database or not Wip's. False with the message.
    static bool checkSqliteFile(const ConnectionSettings &settings, bool mustExist, QString *error);

    // True for a SQLite file that is empty or holds no table (as a run of init-db
    // that did not finish leaves it): it is taken as new. Opened read-only.
    static bool holdsNoTables(const QString &file);

    // True when the connected database holds the Wip schema (its version table).
    static bool holdsWipSchema(Transaction &tr);

    // True when the connected database holds the Wip schema in the version this
    // program works with. Otherwise false, with a message naming the database and
    // what it holds instead (no Wip tables, no version row, an older or newer
    // version). Reads only; nothing in the database is changed.
    static bool checkSchema(Transaction &tr, QString *error);

    // Brings a Wip database of an older schema version up to this one in one
    // transaction (upgradeDatabase); true when it is of this version now, or is
    // no Wip database at all (checkSchema then says so). False, with the reason,
    // for a newer version or a failed upgrade, which leaves the database as it was.
    static bool upgrade(Transaction &tr, QString *error);

    // The URL without the password, for titles and messages.
    static QString displayUrl(const ConnectionSettings &settings);

    // True when output names the SQLite database file of settings, or one of the
    // files SQLite keeps beside it: writing a file there would destroy the data.
    static bool isDatabaseFile(const QString &output, const ConnectionSettings &settings);
};

} // namespace wip
