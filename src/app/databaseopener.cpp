#include "app/databaseopener.h"

#include "app/serverprobe.h"
#include "database/initdatabase.h"
#include "database/schema.h"
#include "runtime/outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace wip {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// A SQLite file that cannot be opened or read because of its folder: SQLite
// writes beside a database while reading it (its shared-memory and journal
// files), so a full disk or a folder that may not be written to shows only as
// "disk I/O error" or "unable to open database file". Named as what it is, or
// the driver's own words when the folder is not the cause.
QString sqliteFolderTrouble(const QString &file, const QString &shown, const QString &verb, const QString &driverText)
{
    const QString folder = QFileInfo(file).absolutePath();
    const QString problem = OutputFile::folderProblem(folder);
    if (problem.isEmpty())
        return QStringLiteral("The database %1 cannot be %2: %3").arg(shown, verb, driverText);
    return QStringLiteral("The database %1 cannot be %2: %3 (SQLite writes beside the database file while it works).")
        .arg(shown, verb, problem);
}

// Why db, an open connection, cannot be used as this program's database: no
// Wip tables, no version row, another schema version (an older one is fine
// with olderAllowed: it is upgraded once connected). Empty when it can.
// Reads only.
QString schemaProblem(const QSqlDatabase &db, const QString &shown, bool olderAllowed)
{
    const QString versionTable = QLatin1String(Schema::versionTable);
    bool found = false;
    for (const QString &t : db.tables(QSql::Tables))
        found = found || t.compare(versionTable, Qt::CaseInsensitive) == 0;
    if (!found) {
        QSqlQuery probe(db);
        // A file that is no database at all fails on its own catalogue.
        if (db.driverName() == QLatin1String("QSQLITE")
            && !probe.exec(QStringLiteral("select count(*) from sqlite_master")))
            return sqliteFolderTrouble(db.databaseName(), shown, QStringLiteral("read"), probe.lastError().text());
        return QStringLiteral("The database %1 is not a Wip database (it has no %2 table); create it with: "
                              "wip init-db --database URL")
            .arg(shown, versionTable);
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select max(version) from ") + versionTable) || !q.next() || q.value(0).isNull())
        return QStringLiteral("The database %1 has a %2 table without a version; it cannot be used.")
            .arg(shown, versionTable);
    bool ok = false;
    const int version = q.value(0).toInt(&ok);
    if (ok && version >= 1 && version < Schema::version && !olderAllowed)
        return QStringLiteral("The database %1 holds Wip schema version %2 of an earlier program; upgrade it with: "
                              "wip init-db --database URL")
            .arg(shown)
            .arg(version);
    if (!ok || version < 1 || version > Schema::version)
        return QStringLiteral("The database %1 holds Wip schema version %2; this program works with version %3. "
                              "Nothing was changed.")
            .arg(shown, q.value(0).toString())
            .arg(Schema::version);
    return QString();
}

// schemaProblem of an existing SQLite file, opened read-only: a file that is
// not ours is refused before the connection switches its journal mode or
// writes a header into an empty file.
// emptyAllowed: a database without any table is fine (init-db fills it).
QString sqliteFileProblem(const QString &file, const QString &shown, bool emptyAllowed)
{
    static int probes = 0;
    const QString name = QStringLiteral("wip_schema_probe_%1").arg(++probes);
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            problem = sqliteFolderTrouble(file, shown, QStringLiteral("opened"), db.lastError().text());
        else if (!emptyAllowed || !db.tables(QSql::Tables).isEmpty() || !db.tables(QSql::Views).isEmpty())
            problem = schemaProblem(db, shown, true);
        else if (QSqlQuery probe(db); !probe.exec(QStringLiteral("select count(*) from sqlite_master")))
            problem = sqliteFolderTrouble(file, shown, QStringLiteral("read"), probe.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

} // namespace

std::optional<ConnectionSettings> DatabaseOpener::settingsFor(const QString &url, QString *error)
{
    QString why;
    auto s = ConnectionSettings::fromUrl(url, &why);
    if (!s) {
        fail(error, QStringLiteral("The database \"%1\" cannot be used: %2.")
                        .arg(ConnectionSettings::withoutPassword(url), why));
        return std::nullopt;
    }
    if (s->kind() == DbKind::SQLite && s->database != QLatin1String(":memory:"))
        s->database = QDir::cleanPath(QFileInfo(s->database).absoluteFilePath());
    return s;
}

bool DatabaseOpener::connect(Transaction &tr, const ConnectionSettings &settings, bool mustExist,
                             QString *error)
{
    const QString shown = displayUrl(settings);
    if (settings.kind() == DbKind::SQLite && !checkSqliteFile(settings, mustExist, error))
        return false;
    if (tr.isConnected())
        tr.disconnect();
    // A server that does not answer is named with its host and port and how it
    // failed, before the driver's own words.
    if (const ServerProbe::Result probe = ServerProbe::probe(settings); !probe.reachable())
        return fail(error, probe.text);
    tr.settings = settings;
    if (!tr.connect()) {
        if (settings.kind() == DbKind::SQLite)
            return fail(error, sqliteFolderTrouble(settings.database, shown, QStringLiteral("opened"), tr.sqlErrText));
        return fail(error, QStringLiteral("The database %1 cannot be opened: %2").arg(shown, tr.sqlErrText));
    }
    return true;
}

bool DatabaseOpener::checkSqliteFile(const ConnectionSettings &settings, bool mustExist, QString *error)
{
    const QString shown = displayUrl(settings);
    const QFileInfo file(settings.database);
    if (mustExist && !file.exists())
        return fail(error, QStringLiteral("The database file %1 does not exist.").arg(settings.database));
    if (!file.exists() && !file.absoluteDir().exists())
        return fail(error, QStringLiteral("The folder of the database file %1 does not exist.")
                               .arg(settings.database));
    if (file.exists() && !file.isFile())
        return fail(error, QStringLiteral("The database %1 is not a file.").arg(settings.database));
    if (file.exists() && file.size() > 0) {
        const QString problem = sqliteFileProblem(settings.database, shown, !mustExist);
        if (!problem.isEmpty())
            return fail(error, problem);
    } else if (mustExist) {
        return fail(error, QStringLiteral("The database %1 is empty, not a Wip database; create it with: "
                                          "wip init-db --database URL")
                               .arg(shown));
    }
    return true;
}

bool DatabaseOpener::holdsNoTables(const QString &file)
{
    const QFileInfo info(file);
    if (!info.isFile())
        return false;
    if (info.size() == 0)
        return true;
    static int probes = 0;
    const QString name = QStringLiteral("wip_empty_probe_%1").arg(++probes);
    bool empty = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            empty = q.exec(QStringLiteral("select count(*) from sqlite_master")) && q.next() && q.value(0).toInt() == 0;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return empty;
}

bool DatabaseOpener::holdsWipSchema(Transaction &tr)
{
    if (!tr.isConnected())
        return false;
    const QStringList tables = tr.database().tables(QSql::Tables);
    for (const QString &t : tables) {
        if (t.compare(QLatin1String(Schema::versionTable), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool DatabaseOpener::checkSchema(Transaction &tr, QString *error)
{
    if (!tr.isConnected())
        return fail(error, QStringLiteral("The database %1 is not connected.").arg(displayUrl(tr.settings)));
    const QString problem = schemaProblem(tr.database(), displayUrl(tr.settings), false);
    return problem.isEmpty() || fail(error, problem);
}

bool DatabaseOpener::upgrade(Transaction &tr, QString *error)
{
    if (!holdsWipSchema(tr))
        return true;   // checkSchema says what it is
    const UpgradeResult result = upgradeDatabase(tr);
    if (result.ok)
        return true;
    return fail(error, QStringLiteral("The database %1 cannot be used: %2").arg(displayUrl(tr.settings), result.error));
}

QString DatabaseOpener::displayUrl(const ConnectionSettings &settings)
{
    return settings.toUrl(false);
}

bool DatabaseOpener::isDatabaseFile(const QString &output, const ConnectionSettings &settings)
{
    if (output.isEmpty() || settings.kind() != DbKind::SQLite)
        return false;
    const auto canonical = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    };
    const QString target = canonical(output);
    const QString database = canonical(settings.database);
    for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
        if (target == canonical(database + QLatin1String(suffix)))
            return true;
    }
    return false;
}

} // namespace wip
