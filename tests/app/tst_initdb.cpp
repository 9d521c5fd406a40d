// wip init-db as a factory meets it: run again on a database with the demo
// (no file replaced), killed in the middle (no half-made database), given a
// scale it cannot make, given a URL with a password that does not read, and on
// PostgreSQL (statistics gathered at the end).

#include "wipprocess.h"
#include "database/postgresadmin.h"
#include "runtime/connectionsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = wip::test::WipRun;
using wip::test::describe;

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestInitDb : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;

    QProcessEnvironment environment(const QStringList &extra = {}) const
    {
        return wip::test::wipEnvironment(m_home.path(), extra);
    }

    Run wip(const QStringList &args, const QStringList &extraEnv = {}) const
    {
        wip::test::WipOptions o;
        o.environment = extraEnv;
        o.timeoutMs = 300000;
        return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args, o);
    }

    QString pictures() const { return m_home.filePath(QStringLiteral("data/Wip/wip/pictures")); }
    QString zan() const { return m_home.filePath(QStringLiteral("data/Wip/wip/ZAN.BMP")); }

    static int tableCount(const QString &file)
    {
        int n = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
            db.setDatabaseName(file);
            if (db.open())
                n = int(db.tables().size());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("count"));
        return n;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_home.isValid()); }

    // The pictures of the demo may have been replaced by the factory's own: a
    // second init-db --demo writes only what is missing.
    void demoAgainReplacesNoFile()
    {
        const QString file = m_home.filePath(QStringLiteral("demo.db"));
        Run r = wip({"init-db", "--database", file, "--demo"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QStringList bmps = QDir(pictures()).entryList({"*.bmp"}, QDir::Files);
        QVERIFY(bmps.size() > 2);
        const QString own = QDir(pictures()).filePath(bmps.first());
        const QString missing = QDir(pictures()).filePath(bmps.last());
        for (const QString &path : {own, zan()}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("the factory's own picture") > 0);
        }
        QVERIFY(QFile::remove(missing));

        r = wip({"init-db", "--database", file, "--demo"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY2(r.out.contains(QStringLiteral("no demo rows were added")), qPrintable(describe(r)));
        QVERIFY2(r.out.contains(QStringLiteral("Wrote 1 pictures")), qPrintable(describe(r)));
        QCOMPARE(contents(own), QByteArray("the factory's own picture"));
        QCOMPARE(contents(zan()), QByteArray("the factory's own picture"));
        QVERIFY(contents(missing).startsWith("BM"));

        r = wip({"init-db", "--database", file, "--demo"});
        QVERIFY2(r.out.contains(QStringLiteral("none was replaced")), qPrintable(describe(r)));
    }

    // Killed while it fills a new file: no file of that name is left, and the
    // next init-db makes it. A file left empty or without tables is taken as new.
    void interruptedInitDbLeavesNoDatabase()
    {
        const QString folder = m_home.filePath(QStringLiteral("killed"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/wip.db");
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral(WIP_BINARY), {"init-db", "--database", file, "--demo", "--scale", "20"});
        QVERIFY(p.waitForStarted());
        // Once its work is under way beside the file, it is killed.
        QTRY_VERIFY_WITH_TIMEOUT(QDir(folder).entryList(QDir::Files | QDir::Hidden).size() > 0
                                     || p.state() == QProcess::NotRunning,
                                 60000);
        QTest::qWait(300);
        p.kill();
        p.waitForFinished();
        QVERIFY2(!QFileInfo::exists(file), "an interrupted init-db left a database file");

        Run r = wip({"init-db", "--database", file});
        QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("Created")), qPrintable(describe(r)));
        QVERIFY(tableCount(file) > 10);

        for (const bool header : {false, true}) {
            const QString empty = folder + (header ? QStringLiteral("/header.db") : QStringLiteral("/empty.db"));
            QFile f(empty);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            if (header) {   // a SQLite header, no table
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("header"));
                db.setDatabaseName(empty);
                QVERIFY(db.open() && QSqlQuery(db).exec(QStringLiteral("pragma user_version = 3")));
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("header"));
            r = wip({"init-db", "--database", empty});
            QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("Created")), qPrintable(describe(r)));
        }
    }

    void scaleOutOfRange_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("zero") << "0" << 2;
        QTest::newRow("one past the largest") << "1001" << 2;
        QTest::newRow("a hundred million") << "100000000" << 2;
        QTest::newRow("past int") << "99999999999" << 2;
        QTest::newRow("not a number") << "many" << 2;
    }

    void scaleOutOfRange()
    {
        QFETCH(QString, scale);
        QFETCH(int, exitCode);
        const QString file = m_home.filePath(QStringLiteral("scale.db"));
        const Run r = wip({"init-db", "--database", file, "--demo", "--scale", scale});
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(QStringLiteral("from 1 to 1000")) && r.err.contains(scale), qPrintable(describe(r)));
        QVERIFY(!QFileInfo::exists(file));
    }

    void urlPasswordNeverShown_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("host that does not read") << "postgresql://postgres:S3cretPW@:::/x";
        QTest::newRow("port out of range") << "postgresql://postgres:S3cretPW@db:99999/x";
        QTest::newRow("percent in the password") << "postgresql://postgres:S3cr%etPW@db/x";
        QTest::newRow("at sign in the password") << "postgres://postgres:S3cret@PW@db/x";
        QTest::newRow("another database") << "mysql://root:S3cretPW@db/x";
        QTest::newRow("password option") << "postgresql://postgres@127.0.0.1:1/x?sslmode=bad&password=S3cretPW";
    }

    void urlPasswordNeverShown()
    {
        QFETCH(QString, url);
        const QList<QStringList> commands{{"init-db", "--database", url},
                                          {"report", "d_wip_today44", "--database", url},
                                          {"scan", "--database", url, "--user", "CLERK", "--dept", "倒模", "--action",
                                           "out", "KC2400001-1"}};
        for (const QStringList &args : commands) {
            const Run r = wip(args, {"WIP_PASSWORD=clerk-2004"});
            QVERIFY2(r.exitCode != 0, qPrintable(describe(r)));
            const QString said = r.out + r.err;
            QVERIFY2(!said.contains(QStringLiteral("S3cr")) && !said.contains(QStringLiteral("PW@")),
                     qPrintable(describe(r)));
            QVERIFY2(r.err.contains(QStringLiteral("***")) || r.err.contains(QStringLiteral("127.0.0.1")),
                     qPrintable(describe(r)));
        }
    }

    // The first queries on a database just made are planned for its rows.
    void postgresEndsWithAnalyze()
    {
        const QString server = qEnvironmentVariable("WIP_TEST_POSTGRES");
        if (server.isEmpty())
            QSKIP("WIP_TEST_POSTGRES is not set");
        auto admin = wip::ConnectionSettings::fromUrl(server);
        QVERIFY(admin);
        const QString name = QStringLiteral("wip_analyze_%1").arg(QRandomGenerator::global()->bounded(1000000));
        auto target = *admin;
        target.database = name;
        const Run r = wip({"init-db", "--database", target.toUrl(true)});
        int analyzed = -1;
        if (r.exitCode == 0) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("analyzed"));
            target.applyServer(db, name);
            if (db.open()) {
                // The server's statistics of the tables reach its views within moments.
                for (int i = 0; i < 50 && analyzed < 3; ++i) {
                    QSqlQuery q(db);
                    if (q.exec(QStringLiteral("select count(*) from pg_stat_user_tables "
                                              "where relname in ('day_wip', 'sconh', 'users') "
                                              "and last_analyze is not null"))
                        && q.next())
                        analyzed = q.value(0).toInt();
                    if (analyzed < 3)
                        QTest::qWait(200);
                }
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("analyzed"));
        QString error;
        wip::PostgresAdmin::dropDatabase(*admin, name, &error);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QCOMPARE(analyzed, 3);
    }
};

QTEST_GUILESS_MAIN(TestInitDb)
#include "tst_initdb.moc"
