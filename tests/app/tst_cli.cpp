// The wip executable's headless commands, run as a user would run them: init-db
// on a fresh and on an existing database, refusal of a foreign database, report
// with good and bad definitions and arguments, and the first start of the
// desktop application creating its embedded database.

#include "wipprocess.h"
#include "database/postgresadmin.h"
#include "database/schema.h"
#include "runtime/transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = wip::test::WipRun;
using wip::test::describe;

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;

    // The environment of a user whose data and configuration live in m_home.
    QProcessEnvironment environment() const { return wip::test::wipEnvironment(m_home.path()); }

    QString dataFolder() const { return m_home.filePath(QStringLiteral("data/Wip/wip")); }

    Run wip(const QStringList &args, int timeoutMs = 120000, const QStringList &extraEnv = {}) const
    {
        wip::test::WipOptions o;
        o.environment = extraEnv;
        o.timeoutMs = timeoutMs;
        return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args, o);
    }

    static QStringList sqliteTables(const QString &file)
    {
        QStringList tables;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
            db.setDatabaseName(file);
            if (db.open())
                tables = db.tables();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
        return tables;
    }

    static bool sqliteExec(const QString &file, const QStringList &statements)
    {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("exec"));
            db.setDatabaseName(file);
            ok = db.open();
            for (const QString &sql : statements)
                ok = ok && QSqlQuery(db).exec(sql);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("exec"));
        return ok;
    }

    static int sqliteCount(const QString &file, const QString &table)
    {
        int n = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
            db.setDatabaseName(file);
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(QStringLiteral("select count(*) from ") + table) && q.next())
                    n = q.value(0).toInt();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("count"));
        return n;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY2(QFileInfo(QStringLiteral(WIP_BINARY)).isExecutable(), WIP_BINARY);
    }

    // The version of this build, with the commit of the checkout it was built from;
    // answered without a screen or a database.
    void versionNamesTheProjectVersionAndCommit()
    {
        QProcess git;
        git.start(QStringLiteral("git"), {"-C", QStringLiteral(WIP_SOURCE_DIR), "rev-parse", "--short=10", "HEAD"});
        const bool checkout = git.waitForFinished(10000) && git.exitStatus() == QProcess::NormalExit
                              && git.exitCode() == 0;
        QProcessEnvironment env = environment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(WIP_BINARY), {"--version"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QString line = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        QVERIFY2(line.startsWith(QStringLiteral("wip " WIP_PROJECT_VERSION)), qPrintable(line));
        if (checkout) {
            const QString commit = QString::fromLatin1(git.readAllStandardOutput()).trimmed();
            QVERIFY2(line.contains(QStringLiteral("(commit ") + commit), qPrintable(line));
        }
    }

    void initDbTwiceSecondIsNoOp()
    {
        const QString file = m_home.filePath(QStringLiteral("plain.db"));
        const QString url = QStringLiteral("sqlite:") + file;
        Run r = wip({"init-db", "--database", url});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY2(r.out.contains("Created"), qPrintable(describe(r)));
        QVERIFY(sqliteTables(file).contains("wip_schema"));
        QVERIFY(sqliteTables(file).contains("day_wip"));
        QCOMPARE(sqliteCount(file, "sconh"), 0);
        const int departments = sqliteCount(file, "day_wip");
        QVERIFY(departments > 0);

        r = wip({"init-db", "--database", url});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY2(r.out.contains("already"), qPrintable(describe(r)));
        QCOMPARE(sqliteCount(file, "day_wip"), departments);
    }

    void initDbDemoWritesFactoryAndPictures()
    {
        const QString file = m_home.filePath(QStringLiteral("demo.db"));
        const Run r = wip({"init-db", "--database", file, "--demo"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY(sqliteCount(file, "sconh") > 0);
        QVERIFY(sqliteCount(file, "users") > 0);
        QVERIFY(QFileInfo::exists(dataFolder() + "/ZAN.BMP"));
        const QStringList bmps = QDir(dataFolder() + "/pictures").entryList({"*.bmp"}, QDir::Files);
        QVERIFY2(!bmps.isEmpty(), qPrintable(dataFolder()));
    }

    void initDbRefusesForeignDatabase()
    {
        const QString file = m_home.filePath(QStringLiteral("foreign.db"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("create table invoices (id integer primary key, amount numeric)"));
            QVERIFY(q.exec("insert into invoices (amount) values (12.5)"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("foreign"));

        const Run r = wip({"init-db", "--database", "sqlite:" + file, "--demo"});
        QVERIFY2(r.exitCode != 0, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(file), qPrintable(describe(r)));
        // Nothing of ours was written into it.
        QCOMPARE(sqliteTables(file), QStringList{"invoices"});
        QCOMPARE(sqliteCount(file, "invoices"), 1);
    }

    void initDbRefusesBadUrlAndMissingFolder()
    {
        Run r = wip({"init-db", "--database", "mysql://x@y/z"});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("mysql://x@y/z"), qPrintable(describe(r)));

        r = wip({"init-db", "--database", m_home.filePath("no/such/folder/x.db")});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("does not exist"), qPrintable(describe(r)));
    }

    void reportWritesJsonAndCsv()
    {
        const QString file = m_home.filePath(QStringLiteral("report.db"));
        QCOMPARE(wip({"init-db", "--database", file, "--demo"}).exitCode, 0);

        Run r = wip({"report", "D_WIP_TODAY1", "--database", file, "--arg", "etime=2024-05-06"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(json.value("definition").toString(), QStringLiteral("d_wip_today1"));
        QVERIFY(json.value("rows").isArray());

        const QString csv = m_home.filePath(QStringLiteral("today44.csv"));
        r = wip({"report", "d_wip_today44", "--database", file, "--format", "csv", "--output", csv});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY(QFileInfo(csv).size() > 0);

        // The binary formats land in their files, each of its own kind.
        const QList<QPair<QString, QByteArray>> kinds{{"pdf", "%PDF"}, {"xlsx", "PK"}};
        for (const auto &[format, magic] : kinds) {
            const QString path = m_home.filePath("today44." + format);
            r = wip({"report", "d_wip_today44", "--database", file, "--format", format, "--output", path});
            QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(f.read(magic.size()) == magic, qPrintable(format));
        }
    }

    // The printed report states what was asked under the heading --title gives,
    // and the command says where the file went.
    void reportCarriesTitleAndCriteria()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("poppler-utils are not installed");
        const QString file = m_home.filePath(QStringLiteral("titled.db"));
        QCOMPARE(wip({"init-db", "--database", file, "--demo"}).exitCode, 0);
        const QString pdf = m_home.filePath(QStringLiteral("titled.pdf"));
        const Run r = wip({"report", "d_wip_today1", "--database", file, "--arg", "etime=2024-05-06", "--format", "pdf",
                           "--output", pdf, "--title", "今日完成 Today"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("Wrote ") + QDir::toNativeSeparators(pdf)), qPrintable(describe(r)));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(page.contains(QStringLiteral("今日完成 Today")), qPrintable(page));
        QVERIFY2(page.contains(QStringLiteral("日期 Date: 2024-05-06")), qPrintable(page));
        QVERIFY(page.contains(QStringLiteral("合计")));   // the crosstab's total is captioned
    }

    // A heading follows the arguments on the command line as in the windows:
    // the transfer report names the stock and the dates asked for; the daily
    // summary takes --title and carries the print date.
    void reportHeadingFollowsArgumentsAndTitle()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("poppler-utils are not installed");
        const QString file = m_home.filePath(QStringLiteral("headings.db"));
        QCOMPARE(wip({"init-db", "--database", file}).exitCode, 0);
        auto pageOf = [&](const QStringList &args) {
            const QString pdf = m_home.filePath(QStringLiteral("heading.pdf"));
            const Run r = wip(QStringList{"report"} + args + QStringList{"--database", file, "--format", "pdf", "--output", pdf});
            if (r.exitCode != 0)
                return describe(r);
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
            text.waitForFinished(30000);
            return QString::fromUtf8(text.readAllStandardOutput());
        };
        QString page = pageOf({"d_wip_protran", "--arg", "pcode=05-镶石收发", "--arg", "stdate=2024-05-01", "--arg",
                               "eddate=2024-05-31"});
        for (const char *text : {"05-镶石收发过货统计报表", "Setting Stock Material Transfer Report", "2024-05-01 至 2024-05-31"})
            QVERIFY2(page.contains(QString::fromUtf8(text)), qPrintable(page));
        QVERIFY2(!page.contains(QStringLiteral("04-执模")) && !page.contains(QStringLiteral("0000-00-00")), qPrintable(page));

        // The rows' own date is another day: today's date is the print date.
        QVERIFY(sqliteExec(file, {QStringLiteral("update day_wip set ldate = '2001-01-01 00:00:00'")}));
        page = pageOf({"d_wip_today44", "--title", "部门在做 Daily"});
        QVERIFY2(page.contains(QStringLiteral("部门在做 Daily")), qPrintable(page));
        QVERIFY2(page.contains(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))), qPrintable(page));
    }

    void reportRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("inError");
        QTest::newRow("unknown definition") << QStringList{"report", "d_no_such_report", "--arg", "a=1"} << "d_no_such_report";
        QTest::newRow("bad date") << QStringList{"report", "d_wip_today1", "--arg", "etime=2024-02-31"} << "2024-02-31";
        QTest::newRow("wrong argument name") << QStringList{"report", "d_wip_today1", "--arg", "etme=2024-02-01"} << "etme";
        QTest::newRow("missing argument") << QStringList{"report", "d_wip_today1"} << "etime";
        QTest::newRow("pdf without output") << QStringList{"report", "d_wip_today44", "--format", "pdf"} << "--output";
    }

    void reportRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, inError);
        const QString file = m_home.filePath(QStringLiteral("refusals.db"));
        if (!QFileInfo::exists(file))
            QCOMPARE(wip({"init-db", "--database", file}).exitCode, 0);
        const Run r = wip(args + QStringList{"--database", file});
        QVERIFY2(r.exitCode != 0, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(inError), qPrintable(describe(r)));
        QVERIFY(r.out.isEmpty());
    }

    void reportRefusesMissingAndForeignDatabase()
    {
        const QString missing = m_home.filePath(QStringLiteral("missing.db"));
        Run r = wip({"report", "d_wip_today44", "--database", missing});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("does not exist"), qPrintable(describe(r)));
        QVERIFY2(!QFileInfo::exists(missing), "a report must not create an empty database");

        const QString empty = m_home.filePath(QStringLiteral("empty.db"));
        QFile f(empty);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        r = wip({"report", "d_wip_today44", "--database", empty});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("init-db"), qPrintable(describe(r)));
    }

    void recomputeDayWip()
    {
        const QString file = m_home.filePath(QStringLiteral("recompute.db"));
        QCOMPARE(wip({"init-db", "--database", file}).exitCode, 0);
        Run r = wip({"recompute-day-wip", "--database", file, "--date", "2024-02-30"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("2024-02-30"), qPrintable(describe(r)));

        r = wip({"recompute-day-wip", "--database", file, "--date", "2024-02-29"});
#if defined(WIP_HAVE_DAILY_OUTPUT)
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY(r.out.contains("2024-02-29"));
        // The table follows: a header and one line per department.
        QVERIFY2(r.out.contains("today_fin") && r.out.contains(QStringLiteral("06-镶石")), qPrintable(describe(r)));
        QCOMPARE(r.out.count(QStringLiteral("\n")), 1 + 1 + 7);
        r = wip({"recompute-day-wip", "--database", m_home.filePath("absent.db"), "--date", "2024-02-29"});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("absent.db"), qPrintable(describe(r)));
#else
        QVERIFY2(r.exitCode != 0 && r.err.contains("not available"), qPrintable(describe(r)));
#endif
    }

    void initDbOnPostgresTwice()
    {
        const QString server = qEnvironmentVariable("WIP_TEST_POSTGRES");
        if (server.isEmpty())
            QSKIP("WIP_TEST_POSTGRES is not set");
        auto admin = wip::ConnectionSettings::fromUrl(server);
        QVERIFY(admin);
        const QString name = QStringLiteral("wip_cli_%1").arg(QRandomGenerator::global()->bounded(1000000));
        auto target = *admin;
        target.database = name;
        const QString url = target.toUrl(true);

        Run r = wip({"init-db", "--database", url, "--demo"});
        const bool created = r.exitCode == 0;
        r = created ? wip({"init-db", "--database", url}) : r;
        const Run report = wip({"report", "d_wip_today44", "--database", url});
        QString error;
        wip::PostgresAdmin::dropDatabase(*admin, name, &error);
        QVERIFY2(created, qPrintable(describe(r)));
        QVERIFY2(r.exitCode == 0 && r.out.contains("already"), qPrintable(describe(r)));
        QVERIFY2(report.exitCode == 0, qPrintable(describe(report)));
        // The password never shows in what the command prints.
        if (!admin->logPass.isEmpty())
            QVERIFY(!r.out.contains(admin->logPass));
    }

    void firstAdministratorAndUsers_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    // init-db without --admin says that nobody can log in and how to add the
    // administrator; with it (WIP_PASSWORD) the administrator has every right.
    // wip user adds, lists, grants, disables and sets passwords, each change
    // written to the audit trail under the machine's account.
    void firstAdministratorAndUsers()
    {
        QFETCH(QString, engine);
        const QString server = qEnvironmentVariable("WIP_TEST_POSTGRES");
        if (engine == QLatin1String("postgresql") && server.isEmpty())
            QSKIP("WIP_TEST_POSTGRES is not set");
        QString url = QStringLiteral("sqlite:") + m_home.filePath(QStringLiteral("users.db"));
        std::optional<wip::ConnectionSettings> admin;
        const QString name = QStringLiteral("wip_cli_users_%1").arg(QRandomGenerator::global()->bounded(1000000));
        if (engine == QLatin1String("postgresql")) {
            admin = wip::ConnectionSettings::fromUrl(server);
            QVERIFY(admin);
            wip::ConnectionSettings target = *admin;
            target.database = name;
            url = target.toUrl(true);
        }
        const auto dropLater = qScopeGuard([&] {
            QString error;
            if (admin)
                wip::PostgresAdmin::dropDatabase(*admin, name, &error);
        });
        const QStringList db{"--database", url};
        Run r = wip(QStringList{"init-db"} + db);
        QVERIFY2(r.exitCode == 0 && r.out.contains("Nobody can log in") && r.out.contains("--admin CODE"),
                 qPrintable(describe(r)));
        r = wip(QStringList{"init-db", "--admin", "BOSS", "--name", "主管"} + db, 120000, {"WIP_PASSWORD=short"});
        QVERIFY2(r.exitCode == 1 && r.err.contains("8"), qPrintable(describe(r)));
        r = wip(QStringList{"init-db", "--admin", "BOSS", "--name", "主管"} + db, 120000, {"WIP_PASSWORD=boss-pass-1"});
        QVERIFY2(r.exitCode == 0 && r.out.contains("Added the administrator BOSS"), qPrintable(describe(r)));

        const QStringList plan{"WIP_PASSWORD=plan-pass-1"};
        r = wip(QStringList{"user", "add", "PLAN", "--name", "计划", "--rights", "add,scan"} + db, 120000, plan);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = wip(QStringList{"user", "grant", "plan", "--rights", "edit,delete"} + db);
        QVERIFY2(r.exitCode == 0 && r.out.contains("add,scan -> edit,delete"), qPrintable(describe(r)));
        r = wip(QStringList{"user", "disable", "PLAN"} + db);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = wip(QStringList{"scan", "--user", "PLAN", "--dept", "倒模", "--action", "out", "KC1-1"} + db, 120000, plan);
        QVERIFY2(r.exitCode == 1 && r.err.contains("disabled") && r.out.isEmpty(), qPrintable(describe(r)));
        r = wip(QStringList{"user", "enable", "PLAN"} + db);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = wip(QStringList{"user", "passwd", "PLAN"} + db, 120000, {"WIP_PASSWORD=plan-new-pass"});
        QVERIFY2(r.exitCode == 0 && r.out.contains("next login"), qPrintable(describe(r)));
        r = wip(QStringList{"user", "list"} + db);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1].simplified(), QStringLiteral("BOSS 主管 yes no add,edit,delete,scan,refdata,import,users,supervisor"));
        QCOMPARE(lines[2].simplified(), QStringLiteral("PLAN 计划 yes yes edit,delete"));

        // Refused: the last administrator, an unknown user, a bad right, a
        // password on the line, no password at all; nothing changes.
        const struct
        {
            QStringList args;
            int exitCode;
            const char *said;
        } refusals[] = {
            {{"user", "disable", "BOSS"}, 1, "users right"},
            {{"user", "passwd", "NOBODY"}, 1, "NOBODY"},
            {{"user", "grant", "PLAN", "--rights", "edit,fly"}, 2, "fly"},
            {{"user", "add", "NEW", "--password", "new-pass-123"}, 2, "WIP_PASSWORD"},
            {{"user", "add", "NEW"}, 1, "WIP_PASSWORD"},
            {{"user", "add", "plan"}, 1, "PLAN"},
        };
        for (const auto &refused : refusals) {
            r = wip(refused.args + db, 120000, refused.args.contains("plan") ? QStringList{"WIP_PASSWORD=x-long-pass"}
                                                                             : QStringList{});
            QVERIFY2(r.exitCode == refused.exitCode && r.err.contains(QLatin1String(refused.said)),
                     qPrintable(describe(r)));
        }
        r = wip(QStringList{"user", "list"} + db);
        QCOMPARE(r.out.split(u'\n', Qt::SkipEmptyParts).mid(1), lines.mid(1));

        wip::Transaction tr;
        tr.settings = *wip::ConnectionSettings::fromUrl(url);
        QVERIFY(tr.connect());
        const auto audit = [&tr](const QString &where) {
            return tr.selectInto("select count(*) from audit_log where " + where)->at(0).toInt();
        };
        QCOMPARE(audit("source = 'wip init-db' and user_code like 'os:%' and field like '%:BOSS:%'"), 4 + 6);
        QCOMPARE(audit("source = 'wip user' and user_code like 'os:%' and field like '%:PLAN:%'"),
                 (4 + 2) + 2 + 1 + 1 + 1);   // added, rights, disabled, enabled, new password
        QCOMPARE(tr.selectInto("select rights from rights where user_code = 'PLAN'")->at(0).toString(),
                 QStringLiteral("X34B"));
        tr.disconnect();
    }

    // Bag tickets of a demo contract, then the ticket of a new contract scanned
    // at 唧蜡 by the demo's users: recorded once, refused again (with --again too: a line
    // is received once), refused for a user without the update right; the
    // password never on the line.
    void ticketsAndScans()
    {
        const QString db = m_home.filePath(QStringLiteral("scan.db"));
        Run r = wip({"init-db", "--demo", "--database", db});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QString scno;
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pick"));
            c.setDatabaseName(db);
            QSqlQuery q(c);
            if (c.open() && q.exec("select h.scno from sconh h where coalesce(h.inv_no, '') = '' and exists "
                                   "(select 1 from scond d where d.scno = h.scno) order by h.scno") && q.next())
                scno = q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("pick"));
        QVERIFY(!scno.isEmpty());
        // A database of the earlier schema: reports refuse it, tickets and scan upgrade it.
        const auto makeVersion1 = [&db] {
            return sqliteExec(db, {"drop table audit_log", "update wip_schema set version = 1"});
        };
        QVERIFY(makeVersion1());
        r = wip({"report", "d_audit_log", "--database", db, "--arg", "scno=" + scno, "--format", "csv"});
        QVERIFY2(r.exitCode == 1 && r.err.contains("init-db"), qPrintable(describe(r)));
        const QString pdf = m_home.filePath(QStringLiteral("tickets.pdf"));
        r = wip({"tickets", "--database", db, "--scno", scno, "--output", pdf});
        QVERIFY2(r.exitCode == 0 && r.out.contains(pdf), qPrintable(describe(r)));
        QCOMPARE(sqliteCount(db, QStringLiteral("wip_schema where version = %1").arg(wip::Schema::version)), 1);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
        r = wip({"tickets", "--database", db, "--scno", "KC-NONE", "--output", pdf});
        QVERIFY2(r.exitCode == 1 && r.err.contains("KC-NONE"), qPrintable(describe(r)));

        QVERIFY(makeVersion1());
        // A contract of the test's own to receive.
        QVERIFY(sqliteExec(db, {"insert into sconh (scno, cust_no) values ('KC-NEW', 'C1')",
                                "insert into scond (scno, design_no, quantity) values ('KC-NEW', 'D1', 3)"}));
        const QString code = QStringLiteral("KC-NEW-1");
        const QStringList scan{"scan", "--database", db, "--dept", "唧蜡", "--action", "in", code};
        const QStringList clerk{"WIP_PASSWORD=clerk-2004"};
        r = wip(scan + QStringList{"--user", "CLERK", code}, 120000, clerk);
        QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(r.exitCode == 1 && lines.size() == 2, qPrintable(describe(r)));
        QVERIFY2(lines[0].startsWith("DONE") && lines[1].startsWith("REFUSED"), qPrintable(describe(r)));
        // A line is received once: --again does not take it above its quantity.
        r = wip(scan + QStringList{"--user", "clerk", "--again"}, 120000, clerk);
        QVERIFY2(r.exitCode == 1 && r.out.startsWith("REFUSED"), qPrintable(describe(r)));
        r = wip(scan + QStringList{"--user", "VIEW", "--again"}, 120000, {"WIP_PASSWORD=view-2004"});
        QVERIFY2(r.exitCode == 1 && r.out.startsWith("REFUSED") && r.out.contains("VIEW"), qPrintable(describe(r)));
        r = wip(scan + QStringList{"--user", "CLERK"}, 120000, {"WIP_PASSWORD=wrong"});
        QVERIFY2(r.exitCode == 1 && r.out.isEmpty() && r.err.contains("password"), qPrintable(describe(r)));
        // The wrong password counts where the login's do, for the next run to wait on.
        const QSettings settings(m_home.filePath(QStringLiteral("config/Wip/wip.ini")), QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("login/failures")).toInt(), 1);
        r = wip(scan + QStringList{"--user", "CLERK", "--password", "clerk-2004"});
        QVERIFY2(r.exitCode == 2 && r.err.contains("WIP_PASSWORD"), qPrintable(describe(r)));
        r = wip(scan + QStringList{"--user", "CLERK"});   // no terminal to ask on
        QVERIFY2(r.exitCode == 1 && r.err.contains("WIP_PASSWORD"), qPrintable(describe(r)));
        QCOMPARE(sqliteCount(db, "audit_log where field = 'scan:wax_in' and user_code = 'CLERK' and source = 'wip scan'"), 1);

        r = wip({"report", "d_audit_log", "--database", db, "--arg", "scno=KC-NEW", "--format", "csv"});
        // The change record names the scan as the clerk does: department, column, ticket.
        QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("唧蜡 接收,,扫描 Scan"))
                     && r.out.contains(QStringLiteral("扫描命令 wip scan")) && !r.out.contains("scan:wax_in"),
                 qPrintable(describe(r)));
    }

    void firstStartAsksBeforeMakingADatabase()
    {
        // A user who never ran Wip: no settings, no database. The application
        // asks whether to try the demo or start the factory's own database, and
        // makes nothing while it waits for the answer.
        QTemporaryDir fresh;
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), fresh.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), fresh.filePath(QStringLiteral("config")));
        const QString folder = fresh.filePath(QStringLiteral("data/Wip/wip"));

        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(WIP_BINARY), QStringList{});
        QVERIFY(p.waitForStarted());
        QTest::qWait(3000);
        const bool running = p.state() == QProcess::Running;
        p.kill();
        p.waitForFinished();
        QVERIFY2(running, qPrintable(QString::fromUtf8(p.readAllStandardError())));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(!QFileInfo::exists(folder + "/wip.sqlite"));
        const QString said = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(!said.contains("picture folder"), qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
