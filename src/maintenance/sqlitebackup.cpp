#include "maintenance/sqlitebackup.h"

#include "maintenance/bufferedwritevfs.h"

#include <QFile>

#include <cerrno>
#include <sqlite3.h>

namespace wip {

namespace {

// A connection of the copy's own, closed when it goes.
struct Connection
{
    sqlite3 *db = nullptr;
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { close(); }
    void close()
    {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    QString message() const { return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory"); }
    // The errno behind SQLite's last failure on this connection, where a file
    // system is the cause.
    int systemError() const
    {
        if (!db)
            return 0;
        if ((sqlite3_errcode(db) & 0xff) == SQLITE_FULL)
            return ENOSPC;
        return sqlite3_system_errno(db);
    }
};

bool open(Connection &c, const QString &file, int flags, const char *vfs = nullptr)
{
    const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &c.db, flags, vfs);
    if (c.db)
        sqlite3_busy_timeout(c.db, 10000);
    return rc == SQLITE_OK;
}

bool fail(QString *error, int *systemError, const QString &text, int errorNumber)
{
    if (error)
        *error = text;
    if (systemError)
        *systemError = errorNumber;
    return false;
}

// Runs a statement and calls row for each row's first column as text.
template <typename Row>
bool eachRow(sqlite3 *db, const char *sql, Row row)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(stmt);
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

QString columnText(sqlite3_stmt *stmt, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)));
}

// The pages, in one step: a read transaction of the source from the first page
// to the last, so the copy is of one moment. A source whose lock cannot be had
// within the busy timeout is tried again, for a minute at most.
int copyPages(sqlite3 *target, sqlite3 *source)
{
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        return sqlite3_errcode(target);
    int rc = SQLITE_OK;
    for (int tries = 0; tries < 600; ++tries) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(100);
    }
    const int finished = sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? finished : rc;
}

// The copied pages carry the source's journal mode in the file's header
// (bytes 18 and 19, the versions to write and read: 2 for the write-ahead
// log); the copy is put in the rollback-journal mode (1), as `pragma
// journal_mode = delete` writes it, which needs nothing beside the file.
bool rollbackJournalMode(const QString &file, QString *error, int *systemError)
{
    QFile f(file);
    char versions[2] = {0, 0};
    const bool ok = f.open(QIODevice::ReadWrite) && f.seek(18) && f.read(versions, 2) == 2
        && (versions[0] != 2 || (f.seek(18) && f.write("\x01\x01", 2) == 2)) && f.flush();
    if (!ok)
        return fail(error, systemError, f.errorString(), errno);
    return true;
}

} // namespace

bool SqliteBackup::copy(const QString &source, const QString &target, QString *error, int *systemError)
{
    Connection from;
    if (!open(from, source, SQLITE_OPEN_READONLY))
        return fail(error, systemError, QStringLiteral("the database %1 cannot be read: %2").arg(source, from.message()), 0);
    // The pages are read through a map of the file where SQLite may, not
    // copied into its cache first.
    sqlite3_exec(from.db, "pragma mmap_size = 1099511627776", nullptr, nullptr, nullptr);
    Connection to;
    // A file nobody reads before it is complete needs no journal and no syncs
    // of its own: the caller makes it durable once, when it is whole. Its pages
    // go on to the file as they come (a small cache), in large writes
    // (BufferedWriteVfs).
    bool copied = open(to, target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, BufferedWriteVfs::name())
        && sqlite3_exec(to.db, "pragma journal_mode = off; pragma synchronous = off; pragma locking_mode = exclusive; "
                               "pragma cache_size = 64",
                        nullptr, nullptr, nullptr) == SQLITE_OK;
    const int rc = copied ? copyPages(to.db, from.db) : sqlite3_errcode(to.db);
    copied = copied && rc == SQLITE_OK;
    if (!copied) {
        // SQLite tells a failed copy on the target's connection; its errno is
        // the target's file system's (the source's own is the source's).
        const QString why = sqlite3_system_errno(from.db) != 0
            ? QStringLiteral("the database %1 cannot be read: %2").arg(source, from.message())
            : to.message();
        const int errorNumber = to.systemError();
        to.close();
        QFile::remove(target + QStringLiteral("-journal"));
        return fail(error, systemError, why, errorNumber);
    }
    from.close();
    to.close();
    return rollbackJournalMode(target, error, systemError);
}

SqliteBackup::Contents SqliteBackup::read(const QString &file)
{
    Contents contents;
    Connection c;
    if (!open(c, file, SQLITE_OPEN_READONLY)) {
        contents.error = c.message();
        return contents;
    }
    bool hasVersion = false;
    const bool listed = eachRow(c.db, "select name from sqlite_master where type = 'table' and name not like 'sqlite\\_%' "
                                      "escape '\\' order by name",
                                [&](sqlite3_stmt *s) {
                                    contents.tables << columnText(s, 0);
                                    hasVersion = hasVersion || contents.tables.last().compare(QLatin1String("wip_schema"),
                                                                                              Qt::CaseInsensitive) == 0;
                                });
    if (!listed) {
        contents.error = c.message();
        return contents;
    }
    contents.database = true;
    if (hasVersion) {
        eachRow(c.db, "select max(version) from wip_schema", [&](sqlite3_stmt *s) {
            if (sqlite3_column_type(s, 0) == SQLITE_INTEGER)
                contents.version = sqlite3_column_int(s, 0);
        });
    }
    return contents;
}

bool SqliteBackup::quickCheck(const QString &file, QString *problem)
{
    Connection c;
    QStringList lines;
    if (!open(c, file, SQLITE_OPEN_READONLY) || !eachRow(c.db, "pragma quick_check(10)", [&lines](sqlite3_stmt *s) {
            lines << columnText(s, 0);
        })) {
        *problem = c.message();
        return false;
    }
    if (lines == QStringList{QStringLiteral("ok")})
        return true;
    *problem = lines.join(QStringLiteral("; "));
    return false;
}

} // namespace wip
