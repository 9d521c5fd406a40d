#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace wip::reports {

// Reads the rows of a query straight from the SQLite library behind a Qt SQLite
// connection, for the DataStore's retrieval. Qt's driver turns every value into a
// UTF-16 copy inside a QVariant through several virtual calls, which on a report
// of many rows costs more than SQLite's own work. The values come out as that
// driver gives them (integer qlonglong, real double, text QString, blob
// QByteArray, NULL a null QString), so the DataStore converts them the same way
// on both paths. A text equal to the same column's text in the row before shares
// that row's string (a department code, a worker's name repeat row after row).
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
    // The last text of each column, as bytes and as the string handed out.
    QVector<QByteArray> m_lastBytes;
    QVector<QString> m_lastText;
};

} // namespace wip::reports
