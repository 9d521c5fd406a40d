#include "runtime/statementcache.h"

#include "runtime/sqlvalue.h"

#include <QRegularExpression>
#include <QSqlDatabase>

#include <mutex>
#include <unordered_map>

namespace wip {

struct StatementCache::Entry
{
    explicit Entry(const QSqlDatabase &db)
        : query(db)
    {
    }

    QSqlQuery query;
    QString sql;
    qsizetype valueCount = 0;
    bool prepared = false;
    bool kept = false;
    bool inUse = false;
    bool broken = false;        // failed once: prepared anew at its next use
};

namespace {

struct Registry
{
    std::mutex mutex;
    std::unordered_map<QString, std::unique_ptr<StatementCache>> caches;
};

Registry &registry()
{
    static Registry r;
    return r;
}

} // namespace

bool StatementCache::selectsAllColumns(const QString &sql)
{
    // "*" or "t.*" in a list of columns; not count(*), a product or a comment.
    static const QRegularExpression star(QStringLiteral("(?:\\bselect|\\bdistinct|,|\\.)\\s*\\*"),
                                         QRegularExpression::CaseInsensitiveOption);
    return sql.contains(QLatin1Char('*')) && star.match(sql).hasMatch();
}

// ---------------------------------------------------------------------------

StatementCache::Lease::Lease(std::shared_ptr<Entry> entry)
    : m_entry(std::move(entry))
{
}

StatementCache::Lease &StatementCache::Lease::operator=(Lease &&other) noexcept
{
    if (this != &other) {
        release();
        m_entry = std::move(other.m_entry);
    }
    return *this;
}

StatementCache::Lease::~Lease()
{
    release();
}

StatementCache::Lease StatementCache::Lease::single(const QSqlDatabase &db, bool forwardOnly)
{
    auto entry = std::make_shared<Entry>(db);
    entry->query.setForwardOnly(forwardOnly);
    entry->inUse = true;
    return Lease(std::move(entry));
}

bool StatementCache::Lease::prepared() const
{
    return m_entry && m_entry->prepared;
}

bool StatementCache::Lease::isKept() const
{
    return m_entry && m_entry->kept;
}

QSqlQuery &StatementCache::Lease::query()
{
    Q_ASSERT(m_entry);
    return m_entry->query;
}

bool StatementCache::Lease::exec(const QVariantList &values, DbKind kind)
{
    Q_ASSERT(m_entry && m_entry->prepared && values.size() == m_entry->valueCount);
    QSqlQuery &q = m_entry->query;
    // By position: every place is bound anew, nothing of the last run stays.
    for (qsizetype i = 0; i < values.size(); ++i)
        q.bindValue(int(i), toDbValue(values.at(i), kind));
    if (q.exec())
        return true;
    m_entry->broken = true;
    return false;
}

void StatementCache::Lease::discard()
{
    if (m_entry)
        m_entry->broken = true;
    release();
}

void StatementCache::Lease::release()
{
    if (!m_entry)
        return;
    // Reset: SQLite's statement ends its read, so the connection holds no
    // snapshot and no lock until the statement runs again.
    m_entry->query.finish();
    m_entry->inUse = false;
    m_entry.reset();
}

// ---------------------------------------------------------------------------

StatementCache::StatementCache(qsizetype capacity)
    : m_capacity(capacity < 1 ? 1 : capacity)
{
}

StatementCache::~StatementCache()
{
    clear();
}

StatementCache &StatementCache::of(const QString &connectionName)
{
    Registry &r = registry();
    const std::lock_guard lock(r.mutex);
    std::unique_ptr<StatementCache> &cache = r.caches[connectionName];
    if (!cache)
        cache = std::make_unique<StatementCache>();
    return *cache;
}

void StatementCache::drop(const QString &connectionName)
{
    std::unique_ptr<StatementCache> cache;
    {
        Registry &r = registry();
        const std::lock_guard lock(r.mutex);
        const auto it = r.caches.find(connectionName);
        if (it == r.caches.end())
            return;
        cache = std::move(it->second);
        r.caches.erase(it);
    }
    // Its queries go outside the lock: another thread's connections need not wait.
    cache.reset();
}

StatementCache::Lease StatementCache::take(const QSqlDatabase &db, const QString &sql, qsizetype valueCount)
{
    const auto found = m_index.find(sql);
    bool keep = found == m_index.end() && !selectsAllColumns(sql);
    if (found != m_index.end()) {
        const std::shared_ptr<Entry> &entry = *found.value();
        if (entry->broken) {
            forget(found);
            keep = true;
        } else if (!entry->inUse && entry->valueCount == valueCount) {
            m_order.splice(m_order.begin(), m_order, found.value());
            entry->inUse = true;
            return Lease(entry);
        }
        // Lent out already, or asked for with another number of values (which its
        // run then reports): one of its own for this use.
    }

    auto entry = std::make_shared<Entry>(db);
    entry->query.setForwardOnly(true);
    entry->sql = sql;
    entry->valueCount = valueCount;
    entry->inUse = true;
    entry->prepared = entry->query.prepare(sql);
    if (keep && entry->prepared) {
        entry->kept = true;
        m_order.push_front(entry);
        m_index.insert(sql, m_order.begin());
        while (m_index.size() > m_capacity) {
            // The one used longest ago; when it is lent out, its lease keeps it until given back.
            forget(m_index.find(m_order.back()->sql));
        }
    }
    return Lease(std::move(entry));
}

void StatementCache::forget(QHash<QString, Order::iterator>::iterator it)
{
    (*it.value())->kept = false;
    m_order.erase(it.value());
    m_index.erase(it);
}

void StatementCache::clear()
{
    for (const std::shared_ptr<Entry> &entry : m_order)
        entry->kept = false;
    m_index.clear();
    m_order.clear();
}

} // namespace wip
