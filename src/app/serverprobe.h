#pragma once

#include <QString>

#include <chrono>

namespace wip {

struct ConnectionSettings;

// Whether a database server answers on its host and port at all, asked before
// the database driver connects, so that a clerk reads which server did not
// answer and how: nothing listening there (refused), no answer in time (timed
// out), a host name nobody knows, a server that takes the connection but says
// nothing (it is sent the first bytes a PostgreSQL client sends, which a server
// answers at once, before any login). A server reached through a local socket
// (no host, or a socket folder) is not probed. Within the timeout either way.
class ServerProbe
{
public:
    enum class Outcome { Reachable, Refused, TimedOut, NoAnswer, Closed, HostNotFound, Unreachable, NotProbed };

    struct Result
    {
        Outcome outcome = Outcome::NotProbed;
        QString host;
        int port = 0;
        QString text;          // the message for the clerk; empty when reachable or not probed

        bool reachable() const { return outcome == Outcome::Reachable || outcome == Outcome::NotProbed; }
    };

    static constexpr std::chrono::milliseconds defaultTimeout{5000};
    static constexpr int defaultPort = 5432;

    // The PostgreSQL server of the settings; NotProbed for SQLite and local sockets.
    static Result probe(const ConnectionSettings &settings, std::chrono::milliseconds timeout = defaultTimeout);
    static Result probe(const QString &host, int port, std::chrono::milliseconds timeout = defaultTimeout);

    // The clerk's message for an outcome (detail: the network's own words, for
    // Unreachable).
    static QString describe(Outcome outcome, const QString &host, int port, std::chrono::milliseconds timeout,
                            const QString &detail = QString());
};

} // namespace wip
