#pragma once

#include "runtime/transaction.h"

#include <QString>

namespace wip {

// Creates and drops whole databases on a PostgreSQL server. A new database is
// made from template0 with C collation and UTF8, so that code comparisons
// (tcode > fcode) order bytewise, as in SQLite. The connection for the work is
// made to the maintenance database named in `server` (usually "postgres").
class PostgresAdmin
{
public:
    // A database name we accept: lower-case letters, digits and '_', not starting
    // with a digit, at most 63 characters (it is written into the statement).
    static bool isValidName(const QString &name);

    static bool createDatabase(const ConnectionSettings &server, const QString &name,
                               QString *error = nullptr);
    // A new database `name` made as a copy of `from` (CREATE DATABASE ... TEMPLATE):
    // nobody may be connected to `from` meanwhile.
    static bool copyDatabase(const ConnectionSettings &server, const QString &from, const QString &name,
                             QString *error = nullptr);
    static bool dropDatabase(const ConnectionSettings &server, const QString &name,
                             QString *error = nullptr);
    static bool databaseExists(const ConnectionSettings &server, const QString &name,
                               bool *exists, QString *error = nullptr);

    // Creates the database named in `target` when it does not exist, connecting
    // to the maintenance database "postgres" of the same server.
    static bool ensureDatabase(const ConnectionSettings &target, QString *error = nullptr);
};

} // namespace wip
