#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace wip::reports {

// Reads the rows of a query straight from the SQLite library behind a Qt SQLite
// connection, for the DataStore's retrieval. Qt's driver turns every value into a
// UTF-16 copy inside a QVariant through several virtual calls, which on a report
// of many rows costs more than SQLite's own work. The values come out as that
// driver gives them (integer qlonglong, real double, text QString, blob
// QByteArray, NULL a null QString), so the DataStore converts them the same way
// on both paths. A column's texts go through a small cache of the texts it held
// lately: a department code, a worker's code and name, a start time repeat down a
// report, and a repeated text shares one string instead of being converted again.
//
// The statement runs on the connection's own handle, so it sees the work the
// connection has not committed, like any other statement of the transaction. The
// build uses it only when Qt's SQLite driver is linked against the same SQLite
// library as Wip (checked when configuring; see src/reports/CMakeLists.txt).
class SqliteRowReader
{
public:
    ~SqliteRowReader();
    SqliteRowReader(const SqliteRowReader &) = delete;
    SqliteRowReader &operator=(const SqliteRowReader &) = delete;

    // True when retrievals on db may use this reader: a SQLite connection, a build
    // that can reach its handle, and not switched off (setEnabled).
    static bool usable(const QSqlDatabase &db);

    // Prepares sql ("?" placeholders) on db and binds values (as Qt's driver binds
    // them). Null and error set when the statement does not prepare or bind.
    static std::unique_ptr<SqliteRowReader> prepare(const QSqlDatabase &db, const QString &sql,
                                                    const QVector<QVariant> &values, QString *error);

    int columnCount() const { return m_columns; }
    int columnIndex(const QString &name) const;        // -1 when the query has no such column
    QStringList columnNames() const;

    // The next row; false at the end and on an error (error() then says which).
    bool next();
    QVariant value(int column);

    // How the current row holds a column, and the two common values read without
    // the detour through a QVariant of the raw value.
    enum class Storage { Integer, Real, Text, Blob, Null };
    Storage storage(int column) const;
    double number(int column) const;                  // Integer or Real
    qint64 integer(int column) const;                 // Integer
    QString text(int column);                         // Text, shared with the row before when equal
    QString error() const { return m_error; }

    // Off: every retrieval goes through Qt's driver (tests compare the two paths).
    static void setEnabled(bool enabled);
    static bool enabled();

private:
    SqliteRowReader() = default;

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
