// Backups and restores of whole databases on both engines: a backup taken
// while a clerk's desk keeps writing is one consistent moment; a restore gives
// back every row of every table; a restore never writes into a database with
// tables, nor from a file that is no Wip backup of a known version; a backup
// that cannot be written leaves no file and says why.

#include "database/batchinserter.h"
#include "database/initdatabase.h"
#include "database/schema.h"
#include "maintenance/backupfile.h"
#include "maintenance/databasebackup.h"
#include "maintenance/sqlitebackup.h"
#include "runtime/decimal.h"
#include "runtime/sqlvalue.h"
#include "smalldisk.h"
#include "testdatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace wip;
using namespace wip::test;

namespace {

// A desk writing while the backup runs: each of its transactions adds one
// step to proch and the same step to proch_new, so a backup of one moment holds
// both or neither of every step.
class Writer
{
public:
    explicit Writer(const ConnectionSettings &settings)
        : m_thread(QThread::create([this, settings] { work(settings); }))
    {
        m_thread->start();
    }
    ~Writer() { stop(); }
    int committed() const { return m_committed; }
    QString error() const { return m_failed ? m_error : QString(); }
    // Waits until it has committed `n` more steps (or failed).
    bool waitFor(int n)
    {
        const int target = m_committed + n;
        for (int i = 0; i < 3000 && m_committed < target && !m_failed; ++i)
            QThread::msleep(10);
        return m_committed >= target;
    }
    void stop()
    {
        m_stop = true;
        m_thread->wait();
    }

private:
    void work(const ConnectionSettings &settings)
    {
        Transaction tr;
        tr.settings = settings;
        if (!tr.connect())
            return fail(tr.sqlErrText);
        for (int n = 1; !m_stop; ++n) {
            const QString sheet = QStringLiteral("W%1").arg(n);
            if (!tr.execute(QStringLiteral("insert into proch (scno, gongxu_code, wsheetno, qty) values (?, ?, ?, ?)"),
                            {QStringLiteral("KCW"), QStringLiteral("04-执模"), sheet, n})
                || !tr.execute(QStringLiteral("insert into proch_new (scno, gongxu_code, wsheetno, qty) values (?, ?, ?, ?)"),
                               {QStringLiteral("KCW"), QStringLiteral("04-执模"), sheet, n})
                || !tr.commit())
                return fail(tr.sqlErrText);
            m_committed = n;
        }
        tr.disconnect();
    }
    void fail(const QString &why)
    {
        m_error = why;
        m_failed = true;
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_committed{0};
    std::atomic<bool> m_failed{false};
    QString m_error;
    std::unique_ptr<QThread> m_thread;
};

// Rows enough that a copy takes a while: audit rows with a text of their own.
bool fill(TestDatabase &db, int rows)
{
    Transaction &tr = db.tr();
    if (!tr.begin())
        return false;
    BatchInserter audit(tr.database(), tr.kind(), QStringLiteral("audit_log"),
                        {"changed_at", "user_code", "source", "scno", "field", "old_value", "new_value"});
    for (int i = 0; i < rows; ++i)
        audit.add({QDateTime(QDate(2004, 3, 1), QTime(9, 0)), QStringLiteral("CLERK"), QStringLiteral("test"),
                   QStringLiteral("KC%1").arg(i % 500), QStringLiteral("wax_out"), QString::number(i),
                   QStringLiteral("备注 %1 ").arg(i).repeated(8)});
    return audit.flush() && tr.commit();
}

// A value as it compares between two databases: numbers as exact decimals,
// date-times as their text, NULL apart from every text.
QString cell(const QVariant &value, ColumnType type)
{
    if (value.isNull())
        return QStringLiteral("<null>");
    switch (type) {
    case ColumnType::Number:
    case ColumnType::Integer:
    case ColumnType::Id:
        if (const auto d = Decimal::fromVariant(fromDbValue(value, ColumnKind::Number)))
            return d->normalized().toString();
        return value.toString();
    case ColumnType::DateTime:
        return fromDbValue(value, ColumnKind::DateTime).toDateTime().toString(Qt::ISODate);
    case ColumnType::Text:
        break;
    }
    return value.toString();
}

// Every row of a table, each as its cells in the schema's column order, sorted.
QStringList tableRows(TestDatabase &db, const TableDef &table)
{
    QStringList columns;
    for (const ColumnDef &c : table.columns)
        columns << c.name;
    QStringList rows;
    for (const QVariantList &r : db.rows(QStringLiteral("select %1 from %2").arg(columns.join(u','), table.name))) {
        QStringList cells;
        for (qsizetype i = 0; i < r.size(); ++i)
            cells << cell(r[i], table.columns[i].type);
        rows << cells.join(QStringLiteral(" | "));
    }
    rows.sort();
    return rows;
}

// A backup made with the writer at work, restored into a new empty database
// (a SQLite copy needs no restore to be opened, but the same path checks both).
struct Restoration
{
    std::unique_ptr<TestDatabase> target;
    QString error;
};

Restoration restoreInto(Engine engine, const QString &file)
{
    Restoration r;
    r.target = std::make_unique<TestDatabase>(engine, false);
    if (!r.target->isValid()) {
        r.error = r.target->error();
        return r;
    }
    // The restore puts a new file in the place of the empty one.
    r.target->tr().disconnect();
    if (!DatabaseBackup::restore(r.target->settings(), file, &r.error))
        return r;
    if (!r.target->tr().connect())
        r.error = r.target->tr().sqlErrText;
    return r;
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void backupWhileADeskWrites_data() { addEngineRows(); }
    void backupWhileADeskWrites()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fill(db, 20000), qPrintable(db.error()));
        const QString file = m_dir.filePath(QStringLiteral("during-%1.backup").arg(engine));
        Writer writer(db.settings());
        QVERIFY2(writer.waitFor(5), qPrintable(writer.error()));
        const int before = writer.committed();
        QString error;
        QVERIFY2(DatabaseBackup::backup(db.settings(), file, &error), qPrintable(error));
        const int after = writer.committed();
        QVERIFY2(writer.waitFor(5), qPrintable(writer.error()));   // the desk was never stopped
        writer.stop();

        const Restoration copy = restoreInto(db.engine(), file);
        QVERIFY2(copy.error.isEmpty(), qPrintable(copy.error));
        TestDatabase &b = *copy.target;
        const int steps = b.scalar("select count(*) from proch where scno = 'KCW'").toInt();
        QVERIFY2(steps >= before && steps <= after, qPrintable(QStringLiteral("%1 steps, committed %2 to %3")
                                                                    .arg(steps).arg(before).arg(after)));
        // Every step whole: in both tables, or in neither.
        QCOMPARE(b.scalar("select count(*) from proch_new where scno = 'KCW'").toInt(), steps);
        QCOMPARE(b.scalar("select count(*) from proch p where p.scno = 'KCW' and not exists "
                          "(select 1 from proch_new n where n.wsheetno = p.wsheetno)").toInt(), 0);
        QCOMPARE(b.scalar("select count(*) from audit_log").toInt(), 20000);
        if (db.engine() == Engine::SQLite) {
            QString problem;
            QVERIFY2(SqliteBackup::quickCheck(file, &problem), qPrintable(problem));
            // A file of its own: nothing of SQLite's beside it.
            QVERIFY(!QFile::exists(file + "-wal") && !QFile::exists(file + "-journal"));
        }
    }

    void restoreGivesBackEveryRow_data() { addEngineRows(); }
    void restoreGivesBackEveryRow()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES");
        TestDatabase source(engineFromName(engine), false);
        QVERIFY2(source.isValid(), qPrintable(source.error()));
        const InitResult init = initDatabase(source.tr(), InitOptions{true, 1, QDate(2004, 5, 12)});
        QVERIFY2(init.ok, qPrintable(init.error));
        const QString file = m_dir.filePath(QStringLiteral("demo-%1.backup").arg(engine));
        QString error;
        QVERIFY2(DatabaseBackup::backup(source.settings(), file, &error), qPrintable(error));

        const Restoration copy = restoreInto(source.engine(), file);
        QVERIFY2(copy.error.isEmpty(), qPrintable(copy.error));
        for (const TableDef &table : Schema::tables()) {
            const QStringList want = tableRows(source, table);
            const QStringList got = tableRows(*copy.target, table);
            QVERIFY2(got == want, qPrintable(QStringLiteral("%1: %2 rows restored of %3").arg(table.name).arg(got.size()).arg(want.size())));
        }
        QVERIFY(copy.target->scalar("select count(*) from proch").toInt() > 1000);
        // The views are there, and a new line takes a key of its own (the
        // restored key sequences go on from the rows).
        QCOMPARE(copy.target->scalar("select count(*) from view_no_finish_product").toInt(),
                 source.scalar("select count(*) from view_no_finish_product").toInt());
        const int lines = copy.target->scalar("select count(*) from scond").toInt();
        QVERIFY2(copy.target->exec("insert into scond (scno, quantity) values ('KC-NEW', 1)"), qPrintable(copy.target->error()));
        QCOMPARE(copy.target->scalar("select count(distinct scond_id) from scond").toInt(), lines + 1);
    }

    void restoreBringsAnOlderVersionUp_data() { addEngineRows(); }
    void restoreBringsAnOlderVersionUp()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}}));
        QVERIFY(db.exec("drop table audit_log") && db.exec("update wip_schema set version = 1"));
        const QString file = m_dir.filePath(QStringLiteral("v1-%1.backup").arg(engine));
        QString error;
        QVERIFY2(DatabaseBackup::backup(db.settings(), file, &error), qPrintable(error));
        QCOMPARE(BackupFile::inspect(file).version(), 1);

        TestDatabase target(db.engine(), false);
        target.tr().disconnect();
        const auto restored = DatabaseBackup::restore(target.settings(), file, &error);
        QVERIFY2(restored, qPrintable(error));
        QCOMPARE(restored->fromVersion, 1);
        QVERIFY(restored->upgraded);
        QVERIFY(target.tr().connect());
        QCOMPARE(target.scalar("select max(version) from wip_schema").toInt(), Schema::version);
        QCOMPARE(target.scalar("select count(*) from sconh").toInt(), 1);
        QVERIFY2(target.exec("insert into audit_log (scno, field) values ('KC1', 'x')"), qPrintable(target.error()));
    }

    void restoreRefusesADatabaseWithTables_data() { addEngineRows(); }
    void restoreRefusesADatabaseWithTables()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}}));
        const QString file = m_dir.filePath(QStringLiteral("full-%1.backup").arg(engine));
        QString error;
        QVERIFY2(DatabaseBackup::backup(db.settings(), file, &error), qPrintable(error));
        QVERIFY(db.insert("sconh", {{"scno", "KC2"}}));

        QVERIFY(!DatabaseBackup::restore(db.settings(), file, &error));
        QVERIFY2(error.contains(db.settings().toUrl(false)) && error.contains("holds tables (")
                     && error.contains("audit_log") && error.contains("Nothing was changed"),
                 qPrintable(error));
        QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 2);
    }

    // What is no Wip backup of a version this program knows is refused before
    // anything is written: the target database is not even made.
    void restoreRefusesWhatIsNoWipBackup_data()
    {
        QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("said");
        QTest::newRow("missing") << "missing" << "does not exist";
        QTest::newRow("empty file") << "empty" << "is empty";
        QTest::newRow("text") << "text" << "is no Wip backup: neither a copy of a SQLite database nor a dump";
        QTest::newRow("other database") << "other" << "holds no wip_schema table";
        QTest::newRow("no version") << "noversion" << "holds no version";
        QTest::newRow("newer version") << "newer" << QStringLiteral("holds Wip schema version %1").arg(Schema::version + 1);
        QTest::newRow("damaged") << "damaged" << "is damaged";
        QTest::newRow("a folder") << "folder" << "cannot be read";
    }
    void restoreRefusesWhatIsNoWipBackup()
    {
        QFETCH(QString, make);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString file = dir.filePath("b.backup");
        if (make == "empty" || make == "text") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (make == "text")
                f.write("scno,qty\nKC1,3\n");
        } else if (make == "folder") {
            QVERIFY(QDir().mkpath(file));
        } else if (make != "missing") {
            TestDatabase db(Engine::SQLite, make != "other");
            QVERIFY(db.isValid());
            if (make == "other")
                QVERIFY(db.exec("create table ledger (n integer)"));
            if (make == "noversion")
                QVERIFY(db.exec("delete from wip_schema"));
            if (make == "newer")
                QVERIFY(db.exec("update wip_schema set version = ?", {Schema::version + 1}));
            QVERIFY(fill(db, make == "damaged" ? 3000 : 0));
            QString error;
            QVERIFY2(DatabaseBackup::backup(db.settings(), file, &error), qPrintable(error));
            if (make == "damaged") {
                // Pages in the middle overwritten, as a bad disk leaves them.
                QFile f(file);
                QVERIFY(f.open(QIODevice::ReadWrite));
                QVERIFY(f.seek(f.size() / 2));
                f.write(QByteArray(8192, '\x5a'));
            }
        }
        const QString target = dir.filePath("restored.sqlite");
        ConnectionSettings settings;
        settings.dbms = "SQLITE";
        settings.database = target;
        QString error;
        QVERIFY(!DatabaseBackup::restore(settings, file, &error));
        QVERIFY2(error.contains(said), qPrintable(error));
        QVERIFY2(error.contains("Nothing was restored"), qPrintable(error));
        QVERIFY(!QFile::exists(target));
    }

    // A dump's table of contents without what a restore into an empty
    // database leaves out: the extensions, which only a superuser adds.
    void restoreLeavesExtensionsOut_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("leftOut");
        QTest::newRow("extension") << "2; 3079 16384 EXTENSION - amcheck" << true;
        QTest::newRow("its comment") << "3390; 0 0 COMMENT - EXTENSION amcheck" << true;
        QTest::newRow("a table") << "216; 1259 16390 TABLE public wip_schema postgres" << false;
        QTest::newRow("its rows") << "3380; 0 16390 TABLE DATA public wip_schema postgres" << false;
        QTest::newRow("a table named so") << "217; 1259 16391 TABLE public extension postgres" << false;
        QTest::newRow("a note") << "; Archive created at 2024-03-01 08:00:00 UTC" << false;
    }
    void restoreLeavesExtensionsOut()
    {
        QFETCH(QString, entry);
        QFETCH(bool, leftOut);
        QCOMPARE(BackupFile::leftOutOfRestore(entry), leftOut);
    }

    void restoreOfADumpWithAnExtension()
    {
        if (!postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES");
        TestDatabase db(Engine::PostgreSQL);
        QVERIFY(db.isValid());
        if (!db.exec("create extension if not exists amcheck"))
            QSKIP("amcheck cannot be added on this server");
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}}));
        const QString file = m_dir.filePath("extension.backup");
        QString error;
        QVERIFY2(DatabaseBackup::backup(db.settings(), file, &error), qPrintable(error));
        QVERIFY(BackupFile::inspect(file).restoreList().filter("EXTENSION").isEmpty());
        const Restoration copy = restoreInto(Engine::PostgreSQL, file);
        QVERIFY2(copy.error.isEmpty(), qPrintable(copy.error));
        QCOMPARE(copy.target->scalar("select count(*) from sconh").toInt(), 1);
        QCOMPARE(copy.target->scalar("select count(*) from pg_extension where extname = 'amcheck'").toInt(), 0);
    }

    // A backup of one engine restores into a database of the same engine only.
    void restoreRefusesTheOtherEngine()
    {
        if (!postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES");
        TestDatabase sqlite(Engine::SQLite);
        TestDatabase postgres(Engine::PostgreSQL, false);
        QVERIFY(sqlite.isValid() && postgres.isValid());
        const QString file = m_dir.filePath("engine.backup");
        QString error;
        QVERIFY2(DatabaseBackup::backup(sqlite.settings(), file, &error), qPrintable(error));
        QVERIFY(!DatabaseBackup::restore(postgres.settings(), file, &error));
        QVERIFY2(error.contains("backup of a SQLite database"), qPrintable(error));
        QCOMPARE(postgres.scalar("select count(*) from information_schema.tables where table_schema = 'public'").toInt(), 0);
    }

    // A backup that cannot be written leaves nothing behind and says why.
    void failedBackupLeavesNoFile_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("said");
        QTest::newRow("full disk") << "/dev/full" << "the disk is full";
        QTest::newRow("no folder") << "missing/b.backup" << "does not exist";
        QTest::newRow("a folder") << "." << "it is a folder";
    }
    void failedBackupLeavesNoFile()
    {
        QFETCH(QString, output);
        QFETCH(QString, said);
        TestDatabase db(Engine::SQLite);
        QVERIFY(db.isValid());
        QVERIFY(fill(db, 2000));
        QTemporaryDir dir;
        const QString path = output.startsWith('/') ? output : dir.filePath(output);
        QString error;
        QVERIFY(!DatabaseBackup::backup(db.settings(), path, &error));
        QVERIFY2(error.contains(said) && error.contains("cannot be written"), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // On a disk of its own: one too small for the copy, which fills up while
    // SQLite writes it, and one that may not be written to.
    void failedBackupOnADiskLeavesNothing_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("said");
        QTest::newRow("full while written") << false << "the disk is full";
        QTest::newRow("read-only") << true << "is on a read-only disk";
    }
    void failedBackupOnADiskLeavesNothing()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, said);
        wip::test::SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.error()));
        TestDatabase db(Engine::SQLite);
        QVERIFY(db.isValid());
        QVERIFY(fill(db, 3000));
        if (readOnly)
            QVERIFY(disk.makeReadOnly());
        QString error;
        QVERIFY(!DatabaseBackup::backup(db.settings(), disk.filePath("b.backup"), &error));
        QVERIFY2(error.contains(said) && error.contains("no file was written"), qPrintable(error));
        QCOMPARE(disk.entries(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
