#pragma once

#include "runtime/connectionsettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace wip {

// PostgreSQL's own client programs (pg_dump, pg_restore) run for the database
// of a URL. The server, port, user, database and options of the URL go on the
// command line as a connection string; the password never does, where every
// user of the machine could read it: it is written into a password file of
// mode 0600 that only the child's environment names (PGPASSFILE), removed when
// the program ends. Without a password in the URL the child finds its own, as
// psql would (~/.pgpass, PGPASSWORD). Whatever a program says is passed on with
// the URL's password, should it ever appear, shown as ***.
//
//   PostgresClient client(settings);
//   const auto r = client.run("pg_dump", {"-Fc", "-f", file}, PostgresClient::Target::Database);
//   if (!r.ok) complain(r.error);
class PostgresClient
{
public:
    explicit PostgresClient(ConnectionSettings settings = {});

    enum class Target { None, Database };   // Database: the connection string as the last argument (-d)
    struct Result
    {
        bool ok = false;
        QByteArray output;     // what it wrote to standard output
        QString error;         // why it failed: its own words, or that it is not installed
    };
    Result run(const QString &program, const QStringList &arguments, Target target) const;

    // "host=... port=... user=... dbname=..." and the URL's options, each value
    // quoted as libpq reads it; never the password.
    QString connectionString() const;

    // The password the URL gives (in its user part or as the option
    // "password"); empty when none.
    QString password() const;

    // A password file's line for any server, database and user: "*:*:*:*:"
    // and the password with ':' and '\' escaped.
    static QByteArray passwordFileLine(const QString &password);

private:
    ConnectionSettings m_settings;
};

} // namespace wip
