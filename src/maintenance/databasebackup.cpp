#include "maintenance/databasebackup.h"

#include "database/initdatabase.h"
#include "database/postgresadmin.h"
#include "database/schema.h"
#include "maintenance/backupfile.h"
#include "maintenance/postgresclient.h"
#include "maintenance/sqlitebackup.h"
#include "runtime/outputfile.h"
#include "runtime/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <atomic>
#include <cerrno>

namespace wip {

namespace {

QString shownUrl(const ConnectionSettings &settings)
{
    return settings.toUrl(false);
}

QString shownFile(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// The restored copy brought up to this program's schema version, as init-db
// does it, and put in the write-ahead log mode the program's connections use.
bool upgradeFile(const QString &file, QString *why)
{
    static std::atomic<int> connections{0};
    const QString name = QStringLiteral("wip_restore_%1").arg(++connections);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (!db.open()) {
            *why = db.lastError().text();
        } else {
            InitOptions options;
            const InitResult result = initDatabase(db, options);
            ok = result.ok && QSqlQuery(db).exec(QStringLiteral("pragma journal_mode = wal"));
            if (!ok)
                *why = result.ok ? db.lastError().text() : result.error;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool restoreSqlite(const QString &target, const QString &file, QString *error)
{
    const auto build = [&](const QString &temporary, QString *why) {
        int systemError = 0;
        bool ok = SqliteBackup::copy(file, temporary, why, &systemError);
        ok = ok && upgradeFile(temporary, why);
        if (ok) {
            // What SQLite kept beside the empty file this one replaces belongs to that file.
            for (const char *suffix : {"-wal", "-shm", "-journal"})
                QFile::remove(target + QLatin1String(suffix));
        } else {
            for (const char *suffix : {"-journal", "-wal", "-shm"})
                QFile::remove(temporary + QLatin1String(suffix));
        }
        errno = ok ? 0 : systemError;
        return ok;
    };
    return OutputFile::saveByName(target, build, error);
}

bool restorePostgres(const ConnectionSettings &settings, const BackupFile &backup, const QString &file,
                     QString *error)
{
    QTemporaryFile list;
    if (!list.open() || list.write(backup.restoreList().join(QLatin1Char('\n')).toUtf8() + '\n') < 0 || !list.flush())
        return fail(error, QStringLiteral("The list of what to restore cannot be written: %1").arg(list.errorString()));
    const PostgresClient client(settings);
    const auto r = client.run(QStringLiteral("pg_restore"),
                              {QStringLiteral("--no-owner"), QStringLiteral("--no-privileges"), QStringLiteral("--no-password"),
                               QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"),
                               QStringLiteral("-L"), list.fileName(), file},
                              PostgresClient::Target::Database);
    if (!r.ok)
        return fail(error, QStringLiteral("%1 was not restored into %2 (nothing was written): %3")
                               .arg(shownFile(file), shownUrl(settings), r.error));
    Transaction tr;
    tr.settings = settings;
    if (!tr.connect())
        return fail(error, QStringLiteral("%1 was restored into %2, which cannot be opened now: %3")
                               .arg(shownFile(file), shownUrl(settings), tr.sqlErrText));
    const InitResult result = initDatabase(tr, InitOptions());
    tr.disconnect();
    if (!result.ok)
        return fail(error, QStringLiteral("%1 was restored into %2 with Wip schema version %3, which could not be "
                                          "brought up to version %4: %5")
                               .arg(shownFile(file), shownUrl(settings))
                               .arg(backup.version())
                               .arg(Schema::version)
                               .arg(result.error));
    return true;
}

} // namespace

QString DatabaseBackup::someOf(const QStringList &names, int shown)
{
    if (names.size() <= shown)
        return names.join(QStringLiteral(", "));
    return QStringLiteral("%1 and %2 more").arg(names.mid(0, shown).join(QStringLiteral(", "))).arg(names.size() - shown);
}

bool DatabaseBackup::backup(const ConnectionSettings &settings, const QString &output, QString *error)
{
    if (settings.kind() == DbKind::SQLite) {
        const QString source = settings.database;
        return OutputFile::saveByName(
            output,
            [&source](const QString &temporary, QString *why) {
                int systemError = 0;
                const bool ok = SqliteBackup::copy(source, temporary, why, &systemError);
                errno = ok ? 0 : systemError;
                return ok;
            },
            error);
    }
    const PostgresClient client(settings);
    return OutputFile::saveByName(
        output,
        [&client](const QString &temporary, QString *why) {
            const auto r = client.run(QStringLiteral("pg_dump"),
                                      {QStringLiteral("--format=custom"), QStringLiteral("--no-password"),
                                       QStringLiteral("--file"), temporary},
                                      PostgresClient::Target::Database);
            *why = r.error;
            errno = 0;
            return r.ok;
        },
        error);
}

std::optional<QStringList> DatabaseBackup::tablesOf(const ConnectionSettings &settings, QString *error)
{
    if (settings.kind() == DbKind::SQLite) {
        const QFileInfo info(settings.database);
        if (!info.exists() || (info.isFile() && info.size() == 0))
            return QStringList();
        const SqliteBackup::Contents contents = SqliteBackup::read(settings.database);
        if (!contents.database) {
            fail(error, QStringLiteral("%1 is no SQLite database (%2); nothing was changed.")
                            .arg(shownFile(settings.database), contents.error));
            return std::nullopt;
        }
        return contents.tables;
    }
    ConnectionSettings server = settings;
    server.database = QStringLiteral("postgres");
    bool exists = false;
    if (!PostgresAdmin::databaseExists(server, settings.database, &exists, error))
        return std::nullopt;
    if (!exists)
        return QStringList();
    Transaction tr;
    tr.settings = settings;
    if (!tr.connect()) {
        fail(error, QStringLiteral("The database %1 cannot be opened: %2").arg(shownUrl(settings), tr.sqlErrText));
        return std::nullopt;
    }
    QSqlQuery q(tr.database());
    QStringList tables;
    if (!q.exec(QStringLiteral("select table_name from information_schema.tables where table_schema not in "
                               "('pg_catalog', 'information_schema') order by table_name"))) {
        fail(error, QStringLiteral("The tables of %1 cannot be read: %2").arg(shownUrl(settings), q.lastError().text()));
        return std::nullopt;
    }
    while (q.next())
        tables << q.value(0).toString();
    return tables;
}

std::optional<DatabaseBackup::Restored> DatabaseBackup::restore(const ConnectionSettings &settings, const QString &file,
                                                                QString *error)
{
    const BackupFile backup = BackupFile::inspect(file);
    if (!backup.restorable()) {
        fail(error, backup.problem() + QStringLiteral(" Nothing was restored."));
        return std::nullopt;
    }
    const bool sqlite = settings.kind() == DbKind::SQLite;
    if (sqlite != (backup.kind() == BackupFile::Kind::Sqlite)) {
        fail(error, QStringLiteral("%1 is a backup of a %2 database; it restores into a %2 database, not into %3.")
                        .arg(shownFile(file), backup.kind() == BackupFile::Kind::Sqlite ? QStringLiteral("SQLite")
                                                                                         : QStringLiteral("PostgreSQL"),
                             shownUrl(settings)));
        return std::nullopt;
    }
    const std::optional<QStringList> tables = tablesOf(settings, error);
    if (!tables)
        return std::nullopt;
    if (!tables->isEmpty()) {
        fail(error, QStringLiteral("The database %1 holds tables (%2); a backup is restored only into an empty "
                                   "database. Nothing was changed.")
                        .arg(shownUrl(settings), someOf(*tables)));
        return std::nullopt;
    }
    if (!sqlite && !PostgresAdmin::ensureDatabase(settings, error))
        return std::nullopt;
    const bool ok = sqlite ? restoreSqlite(settings.database, file, error) : restorePostgres(settings, backup, file, error);
    if (!ok)
        return std::nullopt;
    return Restored{backup.version(), backup.version() < Schema::version};
}

} // namespace wip
