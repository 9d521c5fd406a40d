#pragma once

#include "runtime/connectionsettings.h"

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <list>
#include <memory>

class QSqlDatabase;

namespace wip {

// The prepared statements of one SQLite connection, kept by their text, so that an
// embedded statement run again is only bound and stepped, not parsed again: a desk
// action runs the same few dozen statements for every bag, and SQLite's parser
// would otherwise be a good part of its time. At most `capacity` are kept; the one
// used longest ago goes first.
//
// A statement is lent out while it runs (a Lease) and reset when given back, so a
// kept statement holds no read snapshot: a WAL reader with a stepped statement would
// not see what other connections commit, and would hold back their checkpoints. A
// statement lent out already (nested cursors of one text) is not lent twice: the
// second gets one prepared for it alone. A statement that failed is not kept.
//
// PostgreSQL connections keep none: Qt's driver prepares there as named statements
// of the server, which a reconnect loses.
//
// The cache of a connection must be dropped before the connection is closed or
// removed, while no statement of it runs: closing finalizes the statements under
// the kept queries, and Qt warns when queries outlive their connection.
class StatementCache
{
    struct Entry;

public:
    static constexpr qsizetype kDefaultCapacity = 64;

    // One statement while it runs: kept and given back, or prepared for this use
    // alone. Giving it back (release(), or the lease going away) resets it.
    class Lease
    {
    public:
        Lease() = default;
        Lease(Lease &&other) noexcept = default;
        Lease &operator=(Lease &&other) noexcept;
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        ~Lease();

        // A new query of its own on db, not prepared: what a statement that is not
        // kept runs on.
        static Lease single(const QSqlDatabase &db, bool forwardOnly);

        bool isHeld() const { return m_entry != nullptr; }
        // Whether the statement was prepared (false: the query's lastError() says why).
        bool prepared() const;
        // Whether the statement is one the cache keeps.
        bool isKept() const;
        QSqlQuery &query();
        // Binds the values, converted for kind, in order and runs the prepared
        // statement. After a failure the statement is not lent out again.
        bool exec(const QVariantList &values, DbKind kind);
        // The statement went wrong: it is not lent out again.
        void discard();
        void release();

    private:
        friend class StatementCache;
        explicit Lease(std::shared_ptr<Entry> entry);
        std::shared_ptr<Entry> m_entry;
    };

    explicit StatementCache(qsizetype capacity = kDefaultCapacity);
    ~StatementCache();
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    // The cache of the named Qt connection, made on first use.
    static StatementCache &of(const QString &connectionName);
    // Drops the named connection's cache with its statements (none when it has none).
    static void drop(const QString &connectionName);

    // sql prepared on db for valueCount values: the kept statement when it is free,
    // else one prepared now, kept when the text has none kept yet. A statement
    // whose prepare failed is not kept (the lease's query says why).
    // Not kept: a statement whose columns are "*", which a schema change can make
    // more or fewer (Qt's driver sizes a statement's row once, when it prepares it).
    Lease take(const QSqlDatabase &db, const QString &sql, qsizetype valueCount);
    static bool selectsAllColumns(const QString &sql);
    void clear();
    qsizetype size() const { return m_index.size(); }

private:
    using Order = std::list<std::shared_ptr<Entry>>;
    void forget(QHash<QString, Order::iterator>::iterator it);

    qsizetype m_capacity;
    Order m_order;                                  // most recently used first
    QHash<QString, Order::iterator> m_index;        // by statement text
};

} // namespace wip
