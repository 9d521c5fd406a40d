#include "database/newdatabasefile.h"

#include "runtime/outputfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <cerrno>

namespace wip {

namespace {

InitResult initFile(const QString &file, const InitOptions &options)
{
    static std::atomic<int> connections{0};
    const QString name = QStringLiteral("wip_new_database_%1").arg(++connections);
    InitResult result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (!db.open()) {
            result.error = db.lastError().text();
        } else {
            result = initDatabase(db, options);
            // Built with a rollback journal, which writes the rows once; kept in
            // the write-ahead log mode every connection of the program uses, so
            // the first one finds the file as it leaves it.
            if (result.ok)
                QSqlQuery(db).exec(QStringLiteral("pragma journal_mode = wal"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

InitResult NewDatabaseFile::create(const QString &file, const InitOptions &options)
{
    if (file == QLatin1String(":memory:") || QFileInfo::exists(file))
        return initFile(file, options);

    InitResult result;
    const auto build = [&](const QString &temporary, QString *why) {
        result = initFile(temporary, options);
        *why = result.error;
        // What SQLite keeps beside a file it could not finish goes with it.
        if (!result.ok) {
            for (const char *suffix : {"-journal", "-wal", "-shm"})
                QFile::remove(temporary + QLatin1String(suffix));
        }
        // SQLite's words for a full disk; the file system's own are gone by now.
        if (!result.ok && why->contains(QLatin1String("database or disk is full")))
            errno = ENOSPC;
        return result.ok;
    };
    QString message;
    if (!OutputFile::saveByName(file, build, &message)) {
        result = InitResult();
        result.error = message;
    }
    return result;
}

} // namespace wip
