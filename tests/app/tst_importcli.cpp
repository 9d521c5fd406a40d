// wip import and wip export run as a clerk runs them, on SQLite and PostgreSQL:
// a file imported with the password of WIP_PASSWORD, refused as duplicates
// without --update, checked with --dry-run, exported and imported into another
// factory's database; refused without the right 导入, with a wrong password, a
// password on the command line, a kind or file that is not there; exit codes.

#include "wipprocess.h"
#include "database/rightscatalogue.h"
#include "database/useraccounts.h"
#include "testdatabase.h"

#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace wip;
using namespace wip::test;

namespace {

using Run = wip::test::WipRun;
using wip::test::describe;

// A database with IMP, who may import (M10/H03), and VIEW, who may not.
bool addUsers(TestDatabase &db)
{
    return UserAccounts::setUser(db.tr(), "IMP", "导入 Importer", "import-2004")
        && UserAccounts::setRights(db.tr(), "IMP", RightsCatalogue::entry(Right::Import).module,
                                   RightsCatalogue::entry(Right::Import).function, RightsCatalogue::grantedText())
        && UserAccounts::setUser(db.tr(), "VIEW", "查看 Viewer", "view-2004");
}

} // namespace

class tst_ImportCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    Run wip(const QStringList &args, const QString &password = QStringLiteral("import-2004")) const
    {
        wip::test::WipOptions o;
        o.password = password;
        o.workingDirectory = m_home.path();
        return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args, o);
    }

    QString file(const QString &name, const QByteArray &bytes) const
    {
        QFile f(m_home.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY2(QFileInfo(QStringLiteral(WIP_BINARY)).isExecutable(), WIP_BINARY);
    }

    void importsAndExports_data() { addEngineRows(); }
    void importsAndExports()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(addUsers(db));
        QStringEncoder gb18030("GB18030");
        const QString metals = file("metals.csv", gb18030.encode(QStringLiteral("成色代码 Metal,类别 Type,成色 Purity,字印 Hallmark,名称 Name\r\n"
                                                                              "14KY,GOLD,0.585,585,14K黄金\r\n"
                                                                              "PT950,pt,0.95,PT950,铂金950\r\n")));
        const QStringList import{"import", "--database", db.url(), "--kind", "metals", "--user", "imp", metals};
        Run r = wip(import);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QCOMPARE(r.out, QStringLiteral("metals.csv (CSV GB18030): 成色 Metals, 2 行 rows\n"
                                       "已导入 Imported: 增加 2, 更新 0, 不变 0 (added 2, updated 0, unchanged 0)\n"));
        QCOMPARE(db.scalar("select count(*) from audit_log where source = 'wip import' and user_code = 'IMP'").toInt(), 12);
        r = wip(import);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QStringLiteral("metals.csv (CSV GB18030): 成色 Metals, 2 行 rows\n"
                                       "第 2 行 成色代码 Metal: 14KY 已有 (already there); 要更新已有的代码, 用 --update 导入\n"
                                       "第 3 行 成色代码 Metal: PT950 已有 (already there); 要更新已有的代码, 用 --update 导入\n"
                                       "没有导入, 2 处要改正 (refused: nothing was written)\n"));
        r = wip(import + QStringList{"--update", "--dry-run"});
        QVERIFY2(r.exitCode == 0 && r.out.endsWith("增加 0, 更新 0, 不变 2 (added 0, updated 0, unchanged 2)\n"),
                 qPrintable(describe(r)));

        // Exported, and imported into another factory's database, on the other engine too.
        const QString workbook = m_home.filePath("metals-" + engine + ".xlsx");
        r = wip({"export", "--database", db.url(), "--kind", "metals", "--output", workbook});
        QVERIFY2(r.exitCode == 0 && r.out.startsWith("Exported 2 rows of 成色 Metals to "), qPrintable(describe(r)));
        TestDatabase other(db.engine() == Engine::SQLite ? Engine::SQLite : Engine::PostgreSQL);
        QVERIFY(other.isValid() && addUsers(other));
        r = wip({"import", "--database", other.url(), "--kind", "metals", "--user", "IMP", workbook});
        QVERIFY2(r.exitCode == 0 && r.out.contains("增加 2"), qPrintable(describe(r)));
        QCOMPARE(other.scalar("select hallmark from material where mcode = 'PT950'").toString(), QStringLiteral("PT950"));
        QCOMPARE(other.scalar("select mtype from material where mcode = 'PT950'").toString(), QStringLiteral("PT"));
    }

    void refusesWhatItMayNotDo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString csv = QStringLiteral("customers.csv");
        QTest::newRow("without the right") << QStringList{"--user", "VIEW", csv} << "view-2004" << 1
                                           << "用户 VIEW 没有导入 (import) 的权限, 不能导入文件。";
        QTest::newRow("a wrong password") << QStringList{"--user", "IMP", csv} << "wrong" << 1
                                          << "The user code or the password of IMP is wrong; nothing was imported.";
        QTest::newRow("no password, no terminal") << QStringList{"--user", "IMP", csv} << QString() << 1
                                                  << "No password: set WIP_PASSWORD or run import on a terminal";
        QTest::newRow("a password on the command line") << QStringList{"--user", "IMP", "--password", "x", csv}
                                                        << "import-2004" << 2 << "import takes no password on the command line";
        QTest::newRow("an unknown kind") << QStringList{"--user", "IMP", "--kind", "colours", csv} << "import-2004" << 2
                                         << "No kind \"colours\"; use one of customers, metals, stones, settypes, arttypes, "
                                            "styles, workers, contracts.";
        QTest::newRow("no file") << QStringList{"--user", "IMP", "missing.csv"} << "import-2004" << 1 << "No file ";
        QTest::newRow("no user") << QStringList{csv} << "import-2004" << 2 << "import needs --user CODE.";
    }
    void refusesWhatItMayNotDo()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, password);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        TestDatabase db;
        QVERIFY(db.isValid() && addUsers(db));
        QVERIFY(!file("customers.csv", "客户编号,名称\nC1,One\n").isEmpty());
        QStringList command{"import", "--database", db.url()};
        if (!args.contains("--kind"))
            command << "--kind" << "customers";
        const Run r = wip(command + args, password);
        QVERIFY2(r.exitCode == exitCode && QString(r.out + r.err).contains(message), qPrintable(describe(r)));
        QCOMPARE(db.scalar("select count(*) from customer").toInt(), 0);
    }

    void exportWritesOnlyWhereItMay()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        // A database file whose name ends in .csv is not written over.
        const QString oddName = m_home.filePath("factory.csv");
        Run r = wip({"init-db", "--database", oddName});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = wip({"export", "--database", oddName, "--kind", "stones", "--output", oddName});
        QVERIFY2(r.exitCode == 1 && r.err.contains("is the database itself"), qPrintable(describe(r)));
        r = wip({"export", "--database", db.url(), "--kind", "stones", "--output", "stones.txt"});
        QVERIFY2(r.exitCode == 2 && r.err.contains("export needs --output FILE.csv or FILE.xlsx."), qPrintable(describe(r)));
        r = wip({"export", "--database", db.url(), "--kind", "stones", "--output", "empty.csv"});
        QVERIFY2(r.exitCode == 0 && r.out.startsWith("Exported 0 rows of 石料 Stones"), qPrintable(describe(r)));
        QFile empty(m_home.filePath("empty.csv"));
        QVERIFY(empty.open(QIODevice::ReadOnly));
        QCOMPARE(empty.readAll(), QByteArray("\xEF\xBB\xBF") + QStringLiteral("石料代码 Stone,名称 Name,单位 Unit,使用中 Active\r\n").toUtf8());
        QVERIFY(db.insert("material", {{"mcode", "DIA"}, {"mtype", "STONE"}, {"purate", 1}}));
        r = wip({"export", "--database", db.url(), "--kind", "stones", "--output", "one.csv"});
        QVERIFY2(r.exitCode == 0 && r.out.startsWith("Exported 1 row of 石料 Stones"), qPrintable(describe(r)));
    }
};

QTEST_GUILESS_MAIN(tst_ImportCli)
#include "tst_importcli.moc"
