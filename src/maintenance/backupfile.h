#pragma once

#include <QString>
#include <QStringList>

namespace wip {

// A backup file as a restore finds it, read without changing anything: a copy
// of a SQLite database (wip backup of the embedded database) or a dump in
// pg_dump's custom format (wip backup of a PostgreSQL database), told apart by
// their first bytes; it is a Wip backup when it holds the table wip_schema with
// a version this program knows (1 to Schema::version). A SQLite copy is also
// checked page by page (pragma quick_check), so a damaged file is refused
// before anything is written.
class BackupFile
{
public:
    enum class Kind { None, Sqlite, PostgresDump };

    static BackupFile inspect(const QString &path);

    Kind kind() const { return m_kind; }
    int version() const { return m_version; }
    // Empty when it is a Wip backup this program restores; otherwise why not,
    // naming the file.
    QString problem() const { return m_problem; }
    bool restorable() const { return m_problem.isEmpty(); }

    // A dump's table of contents (pg_restore -l) without the entries a restore
    // into an empty database must leave out: the extensions the database had
    // (amcheck, for one), which only their server's superuser may create. The
    // lines as pg_restore -L reads them.
    QStringList restoreList() const { return m_restoreList; }

    // Why the table of contents pg_restore -l gives leaves an entry out (see
    // restoreList); the entry's line.
    static bool leftOutOfRestore(const QString &entry);
    // The highest version among the rows of wip_schema in a data-only dump of
    // that table (pg_restore -a -t wip_schema -f -); 0 when it has none.
    static int versionFromData(const QByteArray &script);

private:
    Kind m_kind = Kind::None;
    int m_version = 0;
    QString m_problem;
    QStringList m_restoreList;
};

} // namespace wip
