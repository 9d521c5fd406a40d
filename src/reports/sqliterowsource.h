#pragma once

#include "reports/rowsource.h"

#include <QByteArray>
#include <QSqlDatabase>

#include <array>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace wip::reports {

// The rows of a query read straight from the SQLite library behind a Qt SQLite
// connection. Qt's driver turns every value into a UTF-16 copy inside a QVariant
// through several virtual calls, which on a report of many rows costs more than
// SQLite's own work; here numbers and dates are read from SQLite's own values and
// bytes, and only texts become strings. A column's texts go through a small cache
// of the texts it held lately: a department code, a worker's code and name repeat
// down a report, and a repeated text shares one string instead of being converted
// again.
//
// The statement runs on the connection's own handle, so it sees the work the
// connection has not committed, like any other statement of the transaction. The
// build uses it only when Qt's SQLite driver is linked against the same SQLite
// library as Wip (checked when configuring; see src/reports/CMakeLists.txt).
class SqliteRowSource : public RowSource
{
public:
    ~SqliteRowSource() override;
    SqliteRowSource(const SqliteRowSource &) = delete;
    SqliteRowSource &operator=(const SqliteRowSource &) = delete;

    // True when retrievals on db may use this source: a SQLite connection, a build
    // that can reach its handle, and not switched off (setEnabled).
    static bool usable(const QSqlDatabase &db);

    // Prepares sql ("?" placeholders) on db and binds values (as Qt's driver binds
    // them). Null and error set when the statement does not prepare or bind.
    static std::unique_ptr<SqliteRowSource> open(const QSqlDatabase &db, const QString &sql,
                                                 const QVector<QVariant> &values, QString *error);

    QStringList columnNames() const override;
    bool next() override;
    QString error() const override { return m_error; }
    bool isNull(int column) override;
    Decimal decimal(int column) override;
    QString text(int column) override;
    std::optional<qint64> wallClock(int column) override;
    QVariant raw(int column) override;

    // Makes the aggregate SQL function wip_decimal_sum(x) known on db's connection
    // (once per connection). It adds up its values exactly as a report sums a
    // number column read from this source: each value taken as decimal() takes it
    // (integers as they are, doubles as the decimal they stand for, number texts),
    // NULL and values that are no number skipped. It gives the sum as the text of
    // its Decimal ("0" without values), NULL when it is beyond 18 digits. False
    // where this source is not usable on db.
    static bool installDecimalSum(const QSqlDatabase &db);
    static constexpr const char *kDecimalSum = "wip_decimal_sum";

    // Replaces SQLite's sum(x) and total(x) on db's connection, as aggregates and
    // as window functions, with sums as exact as the report's own: each value
    // taken as decimal() takes it and added as a Decimal. The result keeps SQLite's
    // types (an integer when every value is one, else a double: the one nearest
    // to the exact sum, which reads back as that decimal), so views, comparisons
    // and sorting on sums work as before, while 0.1 + 0.2 is 0.3. Beyond 18 digits
    // it is SQLite's double sum. Every SQLite connection a Transaction opens gets
    // them (Transaction::addConnectionSetup). False where the build cannot reach
    // the connection's handle.
    static bool installExactSums(const QSqlDatabase &db);

    // Off: every retrieval goes through Qt's driver (tests compare the two paths).
    static void setEnabled(bool enabled);
    static bool enabled();

private:
    SqliteRowSource() = default;
    QString cachedText(int column);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    int m_columns = 0;
    QString m_error;
    // Texts a column held lately, as bytes and as the string handed out; a slot
    // per hash of the bytes, the newest text taking the slot.
    struct CachedText
    {
        size_t hash = 0;
        QByteArray bytes;
        QString text;
    };
    static constexpr size_t kCacheSlots = 32;
    std::vector<std::array<CachedText, kCacheSlots>> m_cache;
};

} // namespace wip::reports
