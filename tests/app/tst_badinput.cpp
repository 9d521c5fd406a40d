// What the wip commands do with input that is wrong: dates that are no dates,
// definition names that do not exist, database files that are no database or
// hold another schema version, output folders that are missing or cannot be
// written. Each is refused with a message that names the fault, the exit code
// is not 0, nothing is written to standard output, and the database file is
// byte for byte what it was.

#include "wipprocess.h"
#include "app/databaseopener.h"
#include "database/schema.h"
#include "testdatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = wip::test::WipRun;
using wip::test::describe;

QByteArray digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("missing");
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Runs statements on a SQLite file outside the program, as another tool would.
bool sqliteExec(const QString &file, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString &s : statements)
            ok = ok && q.exec(s);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    return ok;
}

// The page size of a SQLite file and the numbers of a table's leaf pages, read
// with the dbstat table (the system's SQLite has it).
bool sqliteLeafPages(const QString &file, const QString &table, int *pageSize, QList<qint64> *pages)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pages"));
        db.setDatabaseName(file);
        QSqlQuery q(db);
        ok = db.open() && q.exec(QStringLiteral("pragma page_size")) && q.next();
        if (ok)
            *pageSize = q.value(0).toInt();
        q.prepare(QStringLiteral("select pageno from dbstat where name = ? and pagetype = 'leaf' order by pageno"));
        q.addBindValue(table);
        ok = ok && q.exec();
        while (ok && q.next())
            pages->append(q.value(0).toLongLong());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pages"));
    return ok && !pages->isEmpty();
}

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_template;   // a fresh Wip database that each test copies

    Run wip(const QStringList &args) const
    {
        wip::test::WipOptions o;
        o.workingDirectory = m_home.path();
        return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args, o);
    }

    QString freshDatabase(const QString &name)
    {
        const QString file = m_home.filePath(name);
        QFile::remove(file);
        if (!QFile::copy(m_template, file))
            return QString();
        return file;
    }

    // The command is refused, says why (each of inError), prints nothing on
    // standard output and leaves the database file as it was.
    void expectRefusal(const QStringList &args, const QString &database, const QStringList &inError)
    {
        const QByteArray before = digest(database);
        const Run r = wip(args);
        QVERIFY2(r.exitCode > 0, qPrintable(describe(r)));
        for (const QString &text : inError)
            QVERIFY2(r.err.contains(text), qPrintable(QStringLiteral("wanted \"%1\"\n").arg(text) + describe(r)));
        QVERIFY2(r.out.isEmpty(), qPrintable(describe(r)));
        QCOMPARE(digest(database), before);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_template = m_home.filePath(QStringLiteral("template.db"));
        const Run r = wip({"init-db", "--database", m_template});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
    }

    void datesThatAreNoDatesAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("inError");
        const auto report = [](const QString &name, const QStringList &arguments) {
            QStringList a{"report", name};
            for (const QString &arg : arguments)
                a << "--arg" << arg;
            return a;
        };
        QTest::newRow("report: 30 February") << report("d_wip_today1", {"etime=2026-02-30"}) << "2026-02-30";
        QTest::newRow("report: month 13") << report("d_wip_today1", {"etime=2026-13-01"}) << "2026-13-01";
        QTest::newRow("report: a word") << report("d_wip_today1", {"etime=tomorrow"}) << "tomorrow";
        QTest::newRow("report: day first") << report("d_wip_today1", {"etime=01-02-2026"}) << "01-02-2026";
        QTest::newRow("report: empty") << report("d_wip_today1", {"etime="}) << "etime";
        QTest::newRow("report: SQL in the date")
            << report("d_wip_today1", {"etime=2026-02-01' or '1'='1"}) << "2026-02-01' or '1'='1";
        QTest::newRow("report: second of two dates, not a leap year")
            << report("d_jcjl_mattran_ws", {"pcode=04-执模收发", "stdate=2026-02-01", "eddate=2026-02-29"})
            << "2026-02-29";
        QTest::newRow("report: first of two dates")
            << report("d_w_scprogress", {"deldate1=2026-00-10", "deldate2=2026-02-01"}) << "2026-00-10";
        QTest::newRow("report: follow-up day, 31 April")
            << report("d_order_followup", {"asof=2026-04-31", "horizon=2026-05-07"}) << "2026-04-31";
        QTest::newRow("report: follow-up horizon, a number of days")
            << report("d_order_followup", {"asof=2026-05-01", "horizon=7"}) << "7";
        QTest::newRow("report: on-time range, last day a word")
            << report("d_ontime_rate", {"stime=2026-01-01", "etime=today"}) << "today";
        QTest::newRow("recompute: 30 February") << QStringList{"recompute-day-wip", "--date", "2026-02-30"}
                                               << "2026-02-30";
        QTest::newRow("recompute: a time of day") << QStringList{"recompute-day-wip", "--date", "2026-02-01 08:00"}
                                                 << "2026-02-01 08:00";
        QTest::newRow("recompute: empty") << QStringList{"recompute-day-wip", "--date", ""} << "--date";
        QTest::newRow("recompute: SQL in the date")
            << QStringList{"recompute-day-wip", "--date", "2026-02-01'; delete from day_wip; --"}
            << "2026-02-01'; delete from day_wip; --";
    }

    void datesThatAreNoDatesAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, inError);
        const QString db = freshDatabase(QStringLiteral("dates.db"));
        QVERIFY(!db.isEmpty());
        expectRefusal(args + QStringList{"--database", db}, db, {inError});
    }

    // Real dates far from today are dates: the month start, the day after and
    // the bound values stay inside the calendar at both of its ends.
    void datesAtTheEndsOfTheCalendarAreAccepted()
    {
        const QString db = freshDatabase(QStringLiteral("ends.db"));
        QVERIFY(!db.isEmpty());
        for (const QString &date : {QStringLiteral("0001-01-01"), QStringLiteral("1899-12-30"),
                                    QStringLiteral("9999-12-31")}) {
            Run r = wip({"recompute-day-wip", "--date", date, "--database", db});
            QVERIFY2(r.exitCode == 0 && r.out.contains(date), qPrintable(describe(r)));
            r = wip({"report", "d_wip_today1", "--arg", "etime=" + date, "--database", db});
            QVERIFY2(r.exitCode == 0 && r.out.contains("\"d_wip_today1\""), qPrintable(describe(r)));
            r = wip({"report", "d_order_followup", "--arg", "asof=" + date, "--arg", "horizon=" + date, "--database", db});
            QVERIFY2(r.exitCode == 0 && r.out.contains("\"d_order_followup\""), qPrintable(describe(r)));
        }
    }

    void unknownDefinitionNamesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("no such report") << "d_no_such_report";
        QTest::newRow("a path") << "../definitions/d_wip_today1";
        QTest::newRow("with the file extension") << "d_wip_today1.json";
        QTest::newRow("a resource path") << ":/definitions/d_wip_today1.json";
        QTest::newRow("a quote") << "d_wip_today1'";
    }

    void unknownDefinitionNamesAreRefused()
    {
        QFETCH(QString, name);
        const QString db = freshDatabase(QStringLiteral("names.db"));
        QVERIFY(!db.isEmpty());
        expectRefusal({"report", name, "--database", db}, db, {"Unknown report definition", name});
    }

    void filesThatAreNoDatabaseAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("inError");
        QByteArray sqlite;
        {
            QFile f(m_template);
            QVERIFY(f.open(QIODevice::ReadOnly));
            sqlite = f.readAll();
        }
        QVERIFY(sqlite.size() > 8192);
        QTest::newRow("a text file") << QByteArray("dep_c,wip\n03-倒模,12\n") << "not a database";
        QTest::newRow("binary noise") << QByteArray(5000, '\xA7') << "not a database";
        QTest::newRow("cut after the first pages") << sqlite.left(3000) << "malformed";
        QTest::newRow("header only") << sqlite.left(100) << "sqlite:";
        QTest::newRow("an empty file") << QByteArray() << "init-db";
        // Another program's SQLite database in the ordinary journal mode: not even
        // its header may change (a connection for writing would switch it to WAL).
        QByteArray foreign;
        {
            const QString file = m_home.filePath(QStringLiteral("ledger.db"));
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("ledger"));
                db.setDatabaseName(file);
                QVERIFY(db.open());
                QSqlQuery q(db);
                QVERIFY(q.exec(QStringLiteral("create table ledger (id integer primary key, amount numeric)")));
                QVERIFY(q.exec(QStringLiteral("insert into ledger (amount) values (12.5)")));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("ledger"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            foreign = f.readAll();
        }
        QTest::newRow("another program's database") << foreign << "not a Wip database";
    }

    void filesThatAreNoDatabaseAreRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, inError);
        const QString file = m_home.filePath(QStringLiteral("notadb.db"));
        QVERIFY(writeBytes(file, content));
        expectRefusal({"report", "d_wip_today44", "--database", file}, file, {inError, file});
        expectRefusal({"recompute-day-wip", "--date", "2026-02-01", "--database", file}, file, {inError, file});
        QCOMPARE(QFileInfo(file).size(), qint64(content.size()));
        if (!content.isEmpty())   // an empty file is an empty database, which init-db may fill
            expectRefusal({"init-db", "--database", file}, file, {file});
    }

    // A database whose header and catalogue read but some of whose pages were
    // overwritten (a bad disk, a copy cut off and patched): here every other
    // page of the steps the day's output is read from. The recomputation stops
    // at the first report it cannot read, and day_wip keeps the figures it
    // had, none of them zeroed.
    void recomputationOnDamagedPagesKeepsDayWip()
    {
        const QString file = m_home.filePath(QStringLiteral("damaged.db"));
        QFile::remove(file);
        Run r = wip({"init-db", "--demo", "--database", file});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY(sqliteExec(file, {"update day_wip set wip = 42, today_fin = 7", "pragma wal_checkpoint(truncate)"}));
        int pageSize = 0;
        QList<qint64> pages;
        QVERIFY(sqliteLeafPages(file, QStringLiteral("proch"), &pageSize, &pages));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            for (qsizetype i = 0; i < pages.size(); i += 2) {
                QVERIFY(f.seek((pages[i] - 1) * pageSize));
                QVERIFY(f.write(QByteArray(pageSize, '\xA5')) == pageSize);
            }
        }
        expectRefusal({"recompute-day-wip", "--date", "2026-02-01", "--database", file}, file,
                      {"could not be recomputed", "WE HAVE A PROBLEM HERE"});
        bool readBack = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damaged"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("select count(*), min(wip), max(wip), min(today_fin) from day_wip")));
            readBack = q.next() && q.value(0).toInt() > 0 && q.value(1).toInt() == 42 && q.value(2).toInt() == 42
                && q.value(3).toInt() == 7;
        }
        QSqlDatabase::removeDatabase(QStringLiteral("damaged"));
        QVERIFY(readBack);
    }

    void aFolderIsNoDatabase()
    {
        const QString folder = m_home.filePath(QStringLiteral("a-folder.db"));
        QVERIFY(QDir().mkpath(folder));
        for (const QStringList &args : {QStringList{"report", "d_wip_today44"},
                                        QStringList{"recompute-day-wip", "--date", "2026-02-01"},
                                        QStringList{"init-db"}}) {
            const Run r = wip(args + QStringList{"--database", folder});
            QVERIFY2(r.exitCode > 0 && r.err.contains(folder), qPrintable(describe(r)));
        }
        QVERIFY(QDir(folder).isEmpty());
    }

    // "version 3": the schema version of this build, which refusals name.
    static QString thisVersion() { return QStringLiteral("version %1").arg(wip::Schema::version); }
    static QString newerVersion() { return QStringLiteral("version %1").arg(wip::Schema::version + 4); }

    void otherSchemaVersionsAreRefusedUnchanged_data()
    {
        QTest::addColumn<QStringList>("edit");
        QTest::addColumn<QStringList>("inError");
        QTest::newRow("older") << QStringList{"update wip_schema set version = 0"}
                               << QStringList{"version 0", thisVersion()};
        QTest::newRow("newer") << QStringList{QStringLiteral("update wip_schema set version = %1")
                                                  .arg(wip::Schema::version + 4)}
                               << QStringList{newerVersion(), thisVersion()};
        QTest::newRow("no version row") << QStringList{"delete from wip_schema"} << QStringList{"without a version"};
        QTest::newRow("tables of another program")
            << QStringList{"create table invoices (id integer)", "drop table wip_schema"} << QStringList{"init-db"};
    }

    void otherSchemaVersionsAreRefusedUnchanged()
    {
        QFETCH(QStringList, edit);
        QFETCH(QStringList, inError);
        const QString db = freshDatabase(QStringLiteral("version.db"));
        QVERIFY(!db.isEmpty());
        // Figures that a recomputation would overwrite with zeros.
        QVERIFY(sqliteExec(db, edit + QStringList{"update day_wip set wip = 42"}));
        expectRefusal({"report", "d_wip_today44", "--database", db}, db, inError + QStringList{db});
        expectRefusal({"recompute-day-wip", "--date", "2026-02-01", "--database", db}, db, inError);
        expectRefusal({"init-db", "--demo", "--database", db}, db, {db});
        expectRefusal({"report", "d_wip_today1", "--arg", "etime=2026-02-01", "--format", "psr", "--output",
                       m_home.filePath("version.psr"), "--database", db},
                      db, inError);
        QVERIFY(!QFileInfo::exists(m_home.filePath("version.psr")));
    }

    // The check behind every command and the desktop start, on each engine: an
    // older, newer or missing version row is named in the refusal.
    void schemaCheckNamesTheVersionOnEachEngine_data() { wip::test::addEngineRows(); }
    void schemaCheckNamesTheVersionOnEachEngine()
    {
        WIP_TEST_DATABASE(db);
        const auto check = [&db](QString *error) {
            wip::Transaction tr;
            const bool ok = wip::DatabaseOpener::connect(tr, db.settings(), true, error)
                && wip::DatabaseOpener::checkSchema(tr, error);
            tr.disconnect();
            return ok;
        };
        QString error;
        QVERIFY2(check(&error), qPrintable(error));
        // The desktop start, scan and tickets upgrade an older version before the
        // check: audit_log comes back, the rows stay.
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "C1"}}));
        QVERIFY2(db.exec("drop table audit_log") && db.exec("update wip_schema set version = 1"), qPrintable(db.error()));
        {
            wip::Transaction tr;
            const bool ok = wip::DatabaseOpener::connect(tr, db.settings(), true, &error)
                && wip::DatabaseOpener::upgrade(tr, &error) && wip::DatabaseOpener::checkSchema(tr, &error);
            tr.disconnect();
            QVERIFY2(ok, qPrintable(error));
        }
        QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), wip::Schema::version);
        QCOMPARE(db.scalar("select count(*) from audit_log").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 1);
        const QList<QPair<QString, QStringList>> cases{
            {"update wip_schema set version = 0", {"version 0", thisVersion()}},
            {"update wip_schema set version = 1", {"version 1", "init-db"}},
            {QStringLiteral("update wip_schema set version = %1").arg(wip::Schema::version + 4),
             {newerVersion(), thisVersion()}},
            {"delete from wip_schema", {"without a version"}},
            {"drop table wip_schema", {"not a Wip database", "init-db"}}};
        for (const auto &[statement, inError] : cases) {
            QVERIFY2(db.exec(statement), qPrintable(db.error()));
            error.clear();
            QVERIFY2(!check(&error), qPrintable(statement));
            for (const QString &text : inError)
                QVERIFY2(error.contains(text), qPrintable(statement + ": " + error));
        }
    }

    void otherSchemaVersionOnPostgresIsRefusedUnchanged()
    {
        if (!wip::test::postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        wip::test::TestDatabase db(wip::test::Engine::PostgreSQL);
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        QVERIFY(db.exec("update wip_schema set version = 0"));
        QVERIFY(db.exec("update day_wip set wip = 42"));
        const QString url = db.url();
        for (const QStringList &args : {QStringList{"report", "d_wip_today44"},
                                        QStringList{"recompute-day-wip", "--date", "2026-02-01"},
                                        QStringList{"init-db", "--demo"}}) {
            const Run r = wip(args + QStringList{"--database", url});
            QVERIFY2(r.exitCode > 0, qPrintable(describe(r)));
            QVERIFY2(r.err.contains("version 0") && r.err.contains(thisVersion()), qPrintable(describe(r)));
            QVERIFY2(r.out.isEmpty(), qPrintable(describe(r)));
        }
        QCOMPARE(db.scalar("select min(wip) from day_wip").toInt(), 42);
        QCOMPARE(db.scalar("select max(wip) from day_wip").toInt(), 42);
        QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 0);
        QCOMPARE(db.scalar("select max(version) from wip_schema").toInt(), 0);
    }

    void outputToAMissingFolderOrAFileAsFolderIsRefused_data()
    {
        QTest::addColumn<QString>("format");
        for (const char *f : {"csv", "json", "pdf", "xlsx", "psr"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }

    void outputToAMissingFolderOrAFileAsFolderIsRefused()
    {
        QFETCH(QString, format);
        const QString db = freshDatabase(QStringLiteral("output.db"));
        QVERIFY(!db.isEmpty());
        // A regular file where the folder should be stops every writer, even root.
        const QString plain = m_home.filePath(QStringLiteral("plain-file"));
        QVERIFY(writeBytes(plain, "not a folder"));
        for (const QString &output : QStringList{m_home.filePath("no/such/folder/out." + format), plain + "/out." + format}) {
            expectRefusal({"report", "d_wip_today44", "--format", format, "--output", output, "--database", db}, db,
                          {output});
            QVERIFY(!QFileInfo::exists(output));
        }
        // A folder where the file should be.
        const QString folder = m_home.filePath(QStringLiteral("out-folder"));
        QVERIFY(QDir().mkpath(folder));
        expectRefusal({"report", "d_wip_today44", "--format", format, "--output", folder, "--database", db}, db,
                      {folder});
        QVERIFY(QDir(folder).isEmpty());
        QFile f(plain);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("not a folder"));
    }

    // An output file that names the database (a slip of tab completion) would
    // replace the factory's data with a report.
    void outputOverTheDatabaseIsRefused_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("suffix");
        for (const char *f : {"csv", "pdf", "xlsx", "psr", "json"})
            QTest::newRow(f) << QString::fromLatin1(f) << QString();
        QTest::newRow("its write-ahead log") << "csv" << "-wal";
    }

    void outputOverTheDatabaseIsRefused()
    {
        QFETCH(QString, format);
        QFETCH(QString, suffix);
        const QString db = freshDatabase(QStringLiteral("target.db"));
        QVERIFY(!db.isEmpty());
        expectRefusal({"report", "d_wip_today44", "--format", format, "--output", db + suffix, "--database", db}, db,
                      {"is the database"});
        // The same file reached by another name: a relative path and a link.
        const QString link = m_home.filePath(QStringLiteral("link-to-target.db"));
        QFile::remove(link);
        QVERIFY(QFile::link(db, link));
        expectRefusal({"report", "d_wip_today44", "--format", format, "--output", link, "--database", db}, db,
                      {"is the database"});
        expectRefusal({"report", "d_wip_today44", "--format", format, "--output", "./target.db" + suffix,
                       "--database", "sqlite:" + db},
                      db, {"is the database"});
    }

    void outputToAReadOnlyFolderIsRefused()
    {
        const QString db = freshDatabase(QStringLiteral("readonly.db"));
        QVERIFY(!db.isEmpty());
        const QString folder = m_home.filePath(QStringLiteral("read-only"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        // Root writes through the permissions: find out before relying on them.
        {
            QFile probe(folder + QStringLiteral("/probe"));
            const bool writable = probe.open(QIODevice::WriteOnly);
            probe.close();
            if (writable) {
                probe.remove();
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                QSKIP("this user writes into read-only folders (root): the case cannot be made here");
            }
        }
        for (const char *format : {"csv", "pdf", "xlsx", "psr"}) {
            const QString output = folder + QStringLiteral("/out.") + QLatin1String(format);
            expectRefusal({"report", "d_wip_today44", "--format", format, "--output", output, "--database", db}, db,
                          {output});
            QVERIFY(!QFileInfo::exists(output));
        }
        QVERIFY(QDir(folder).isEmpty());
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
