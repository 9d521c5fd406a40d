#pragma once

class QSqlDatabase;

namespace wip {

// Whether the PostgreSQL server has dropped a connection that Qt's driver still
// holds open (the server stopped or restarted, the network gone). Qt's driver
// learns it only when a statement fails; these ask without waiting for that.
// An SQLite connection is never dropped: both answer false for it.
class LostConnectionProbe
{
public:
    // Before a statement: libpq reads what the server sent meanwhile (its shutdown
    // notice, the end of the stream) without waiting, and then knows. No round trip.
    static bool droppedWhileIdle(const QSqlDatabase &db);

    // After a statement failed: whether it failed because the connection is gone.
    // Qt's driver closes the connection when libpq reports it broken, but not on
    // every path (a failed fetch): one trivial statement tells for sure. An error
    // of the server itself (inside aborted work) leaves the connection open.
    static bool droppedAfterFailure(QSqlDatabase &db);
};

} // namespace wip
