// What the commands do when what they write cannot be written: a report in
// every format, the bag tickets and the worker badges to /dev/full, to a small full disk, to a
// closed or full standard output; and a database on a full or read-only disk.
// Each ends with a message naming the file and why, exit code 1, no partial
// file, and a file that was there kept as it was.

#include "wipprocess.h"
#include "smalldisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using wip::test::SmallDisk;

namespace {

using Run = wip::test::WipRun;

QString briefly(const Run &r)
{
    return wip::test::describe(r, 500);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestWriteFailures : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QString m_database;

    QProcessEnvironment environment() const { return wip::test::wipEnvironment(m_home.path()); }

    // Runs wip; with shellRedirect the standard output goes where the shell's
    // words say (">/dev/full", ">&-").
    Run wip(const QStringList &args, const QString &shellRedirect = QString()) const
    {
        wip::test::WipOptions o;
        o.shellRedirect = shellRedirect;
        return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args, o);
    }

    // The command that writes format to output: a report, "tickets" or "badges".
    QStringList command(const QString &format, const QString &output) const
    {
        if (format == QLatin1String("tickets"))
            return {"tickets", "--database", m_database, "--scno", "KC2400001", "--output", output};
        if (format == QLatin1String("badges"))
            return {"badges", "--database", m_database, "--dept", "执模", "--output", output};
        return {"report", "d_wip_today44", "--database", m_database, "--format", format, "--output", output};
    }

    static QStringList formats() { return {"json", "csv", "xlsx", "pdf", "psr", "tickets", "badges"}; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_database = m_home.filePath(QStringLiteral("demo.db"));
        const Run r = wip({"init-db", "--database", m_database, "--demo"});
        QVERIFY2(r.exitCode == 0, qPrintable(briefly(r)));
        // Each format is written where there is room, so a failure below is the disk's.
        for (const QString &format : formats()) {
            const QString path = m_home.filePath(QStringLiteral("ok.") + format);
            const Run ok = wip(command(format, path));
            QVERIFY2(ok.exitCode == 0 && QFileInfo(path).size() > 0, qPrintable(format + briefly(ok)));
        }
    }

    void deviceThatIsFull()
    {
        for (const QString &format : formats()) {
            const Run r = wip(command(format, QStringLiteral("/dev/full")));
            QVERIFY2(r.exitCode == 1, qPrintable(format + briefly(r)));
            QVERIFY2(r.err.contains(QStringLiteral("/dev/full cannot be written: the disk is full.")),
                     qPrintable(format + briefly(r)));
            QVERIFY2(!r.err.contains(QStringLiteral("Wrote")) && !r.out.contains(QStringLiteral("Printed")),
                     qPrintable(format + briefly(r)));
        }
        struct stat st {};
        QVERIFY(::stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode));   // never replaced by a file
    }

    void standardOutputFullOrClosed()
    {
        for (const QString &format : {QStringLiteral("json"), QStringLiteral("csv")}) {
            const QStringList args{"report", "d_wip_today44", "--database", m_database, "--format", format};
            Run r = wip(args, QStringLiteral(">/dev/full"));
            QVERIFY2(r.exitCode == 1, qPrintable(briefly(r)));
            QVERIFY2(r.err.contains(QStringLiteral("Standard output cannot be written: the disk is full.")),
                     qPrintable(briefly(r)));
            r = wip(args, QStringLiteral(">&-"));
            QVERIFY2(r.exitCode == 1, qPrintable(briefly(r)));
            QVERIFY2(r.err.contains(QStringLiteral("Standard output cannot be written: it is closed.")),
                     qPrintable(briefly(r)));
        }
        // A command's own lines lost on a full standard output are a failure too.
        const Run r = wip({"init-db", "--database", m_database}, QStringLiteral(">/dev/full"));
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("standard output could not be written")),
                 qPrintable(briefly(r)));
    }

    // Every format onto a full disk: no file where there was none, the old one
    // kept where there was one.
    void smallDiskThatIsFull()
    {
        SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.error()));
        QFile kept(disk.filePath(QStringLiteral("kept")));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("the report of yesterday") > 0);
        kept.close();
        QVERIFY(disk.fill());
        for (const QString &format : formats()) {
            for (const QString &name : QStringList{QStringLiteral("new.") + format, QStringLiteral("kept")}) {
                const QString path = disk.filePath(name);
                const Run r = wip(command(format, path));
                QVERIFY2(r.exitCode == 1, qPrintable(format + briefly(r)));
                QVERIFY2(r.err.contains(path + QStringLiteral(" cannot be written: the disk is full")),
                         qPrintable(format + briefly(r)));
                QVERIFY2(r.err.contains(name == QLatin1String("kept") ? QStringLiteral("the file there is kept as it was")
                                                                      : QStringLiteral("no file was written")),
                         qPrintable(format + briefly(r)));
            }
            QCOMPARE(disk.entries(), QStringList{"kept"});
            QCOMPARE(contents(disk.filePath(QStringLiteral("kept"))), QByteArray("the report of yesterday"));
        }
    }

    // SQLite writes beside a database while it reads it: a full disk and a
    // read-only one are named as such, and init-db on a full disk leaves no file.
    void databaseOnFullOrReadOnlyDisk()
    {
        SmallDisk disk(QStringLiteral("40m"));
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.error()));
        const QString copy = disk.filePath(QStringLiteral("wip.db"));
        QVERIFY(QFile::copy(m_database, copy));
        {   // as every database is once the program has had it open
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wal"));
            db.setDatabaseName(copy);
            QVERIFY(db.open() && QSqlQuery(db).exec(QStringLiteral("pragma journal_mode = wal")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("wal"));
        QVERIFY(disk.fill());
        Run r = wip({"report", "d_wip_today44", "--database", copy, "--format", "csv"});
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("the disk is full")), qPrintable(briefly(r)));
        const QString fresh = disk.filePath(QStringLiteral("new.db"));
        r = wip({"init-db", "--database", fresh, "--demo"});
        QVERIFY2(r.exitCode == 1, qPrintable(briefly(r)));
        QVERIFY2(r.err.contains(fresh + QStringLiteral(" cannot be written: the disk is full; no file was written.")),
                 qPrintable(briefly(r)));
        QVERIFY2(disk.entries().filter(QStringLiteral("new.db")).isEmpty(), qPrintable(disk.entries().join(QLatin1Char(' '))));

        // Closed cleanly, as a database is between runs: without its -wal and -shm.
        for (const char *name : {"filler", "wip.db-wal", "wip.db-shm"})
            QFile::remove(disk.filePath(QString::fromLatin1(name)));
        QVERIFY(disk.makeReadOnly());
        r = wip({"report", "d_wip_today44", "--database", copy, "--format", "csv"});
        QVERIFY2(r.exitCode == 1, qPrintable(briefly(r)));
        QVERIFY2(r.err.contains(QStringLiteral("the folder %1 is on a read-only disk").arg(disk.path())),
                 qPrintable(briefly(r)));
    }
};

QTEST_GUILESS_MAIN(TestWriteFailures)
#include "tst_writefailures.moc"
