// The command line of the wip executable and the binding of report arguments.

#include "app/commandline.h"
#include "app/reportarguments.h"

#include <QDate>
#include <QDateTime>
#include <QtTest>

using wip::CommandLine;
using wip::ReportArguments;
namespace reports = wip::reports;

class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    static CommandLine::Result parse(const QStringList &args)
    {
        return CommandLine::parse(QStringList{QStringLiteral("wip")} + args);
    }

    static reports::Definition definition()
    {
        reports::Definition d;
        d.name = QStringLiteral("d_test");
        d.arguments = {{QStringLiteral("pcode"), reports::ArgumentType::String},
                       {QStringLiteral("stdate"), reports::ArgumentType::Date},
                       {QStringLiteral("qty"), reports::ArgumentType::Number},
                       {QStringLiteral("scno"), reports::ArgumentType::StringList}};
        return d;
    }

private Q_SLOTS:
    void desktopTakesDatabaseAndUser()
    {
        const auto r = parse({"--database", "sqlite:/tmp/x.db", "--user", "A01"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(r.options.command, CommandLine::Command::Desktop);
        QCOMPARE(r.options.database, QStringLiteral("sqlite:/tmp/x.db"));
        QCOMPARE(r.options.user, QStringLiteral("A01"));

        const auto bare = parse({});
        QCOMPARE(bare.outcome, CommandLine::Outcome::Run);
        QVERIFY(bare.options.database.isEmpty());
    }

    // Any date form of the values module; the recomputation gets it written
    // yyyy-mm-dd, since it takes the month from the first eight characters.
    void recomputeDateIsWrittenInOneForm()
    {
        for (const char *given : {"2026-02-01", "2026/2/1", " 20260201 "}) {
            const auto r = parse({"recompute-day-wip", "--database", "x.db", "--date", given});
            QCOMPARE(r.outcome, CommandLine::Outcome::Run);
            QCOMPARE(r.options.date, QStringLiteral("2026-02-01"));
        }
    }

    void refusesUnknownCommandsAndOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("inMessage");
        QTest::newRow("unknown command") << QStringList{"print"} << "print";
        QTest::newRow("unknown option") << QStringList{"--colour"} << "colour";
        QTest::newRow("init-db without database") << QStringList{"init-db", "--demo"} << "--database";
        QTest::newRow("scale not a number") << QStringList{"init-db", "--database", "x.db", "--demo", "--scale", "two"} << "two";
        QTest::newRow("scale zero") << QStringList{"init-db", "--database", "x.db", "--demo", "--scale", "0"} << "from 1 to 1000";
        QTest::newRow("scale too large") << QStringList{"init-db", "--database", "x.db", "--demo", "--scale", "1001"}
                                         << "from 1 to 1000";
        QTest::newRow("scale without demo") << QStringList{"init-db", "--database", "x.db", "--scale", "3"} << "--demo";
        QTest::newRow("report without name") << QStringList{"report", "--database", "x.db"} << "name";
        QTest::newRow("report two names") << QStringList{"report", "a", "b", "--database", "x.db"} << "\"b\"";
        QTest::newRow("report without database") << QStringList{"report", "d_x"} << "--database";
        QTest::newRow("arg without value sign") << QStringList{"report", "d_x", "--database", "x.db", "--arg", "pcode"} << "NAME=VALUE";
        QTest::newRow("arg without name") << QStringList{"report", "d_x", "--database", "x.db", "--arg", "=3"} << "NAME=VALUE";
        QTest::newRow("unknown format") << QStringList{"report", "d_x", "--database", "x.db", "--format", "html"} << "html";
        QTest::newRow("pdf to stdout") << QStringList{"report", "d_x", "--database", "x.db", "--format", "pdf"} << "--output";
        QTest::newRow("recompute bad date") << QStringList{"recompute-day-wip", "--database", "x.db", "--date", "2024-02-30"} << "2024-02-30";
        QTest::newRow("recompute no date") << QStringList{"recompute-day-wip", "--database", "x.db"} << "--date";
        QTest::newRow("admin with a space") << QStringList{"init-db", "--database", "x.db", "--admin", "A B"} << "A B";
        QTest::newRow("admin a demo user") << QStringList{"init-db", "--database", "x.db", "--demo", "--admin", "admin"}
                                           << "demo user";
        QTest::newRow("name without admin") << QStringList{"init-db", "--database", "x.db", "--name", "x"} << "--admin";
        QTest::newRow("user without action") << QStringList{"user", "--database", "x.db"} << "add, disable";
        QTest::newRow("user unknown action") << QStringList{"user", "remove", "PLAN", "--database", "x.db"} << "remove";
        QTest::newRow("user without code") << QStringList{"user", "add", "--database", "x.db"} << "one user code";
        QTest::newRow("user list with code") << QStringList{"user", "list", "PLAN", "--database", "x.db"} << "no user code";
        QTest::newRow("user grant without rights") << QStringList{"user", "grant", "PLAN", "--database", "x.db"}
                                                   << "--rights";
        QTest::newRow("user unknown right") << QStringList{"user", "grant", "PLAN", "--rights", "add,fly", "--database",
                                                           "x.db"} << "fly";
        QTest::newRow("user rights to disable") << QStringList{"user", "disable", "PLAN", "--rights", "add", "--database",
                                                               "x.db"} << "--rights";
        QTest::newRow("user password on the line") << QStringList{"user", "add", "PLAN", "--password", "p", "--database",
                                                                  "x.db"} << "WIP_PASSWORD";
        QTest::newRow("user without database") << QStringList{"user", "list"} << "--database";
        QTest::newRow("import without kind") << QStringList{"import", "--database", "x.db", "--user", "A", "f.csv"}
                                             << "--kind KIND: customers, metals, stones, settypes, arttypes, styles, workers or contracts.";
        QTest::newRow("import two files")
            << QStringList{"import", "--database", "x.db", "--user", "A", "--kind", "metals", "a.csv", "b.csv"} << "\"b.csv\"";
        QTest::newRow("import without file") << QStringList{"import", "--database", "x.db", "--user", "A", "--kind", "metals"}
                                             << "FILE";
        QTest::newRow("export without output") << QStringList{"export", "--database", "x.db", "--kind", "metals"} << "--output";
        QTest::newRow("badges without output") << QStringList{"badges", "--database", "x.db"} << "--output FILE.pdf";
        QTest::newRow("badges without database") << QStringList{"badges", "--output", "b.pdf"} << "--database";
        QTest::newRow("badges of a department as argument")
            << QStringList{"badges", "--database", "x.db", "--output", "b.pdf", "执模"} << "--dept";
        QTest::newRow("badges of no department")
            << QStringList{"badges", "--database", "x.db", "--output", "b.pdf", "--dept", " "} << "--dept";
        QTest::newRow("export of a file") << QStringList{"export", "--database", "x.db", "--kind", "metals", "m.csv"} << "--output";
        QTest::newRow("backup without output") << QStringList{"backup", "--database", "x.db"} << "--output FILE";
        QTest::newRow("backup of a file") << QStringList{"backup", "--database", "x.db", "b.backup"} << "--output";
        QTest::newRow("backup without database") << QStringList{"backup", "--output", "b.backup"} << "--database";
        QTest::newRow("restore without file") << QStringList{"restore", "--database", "x.db"} << "backup FILE";
        QTest::newRow("restore two files") << QStringList{"restore", "--database", "x.db", "a", "b"} << "\"b\"";
        QTest::newRow("restore with output") << QStringList{"restore", "--database", "x.db", "--output", "a"} << "output";
        QTest::newRow("check with a file") << QStringList{"check", "--database", "x.db", "a"} << "\"a\"";
        QTest::newRow("check days zero") << QStringList{"check", "--database", "x.db", "--days", "0"} << "from 1 to 3650";
        QTest::newRow("check days words") << QStringList{"check", "--database", "x.db", "--days", "week"} << "\"week\"";
        QTest::newRow("check without database") << QStringList{"check"} << "--database";
        QTest::newRow("close-day without user")
            << QStringList{"close-day", "--database", "x.db", "--dept", "执模", "--date", "2004-03-01"} << "--user CODE";
        QTest::newRow("close-day without dept")
            << QStringList{"close-day", "--database", "x.db", "--user", "BOSS", "--date", "2004-03-01"} << "--dept CAPTION";
        QTest::newRow("close-day without date")
            << QStringList{"close-day", "--database", "x.db", "--user", "BOSS", "--dept", "执模"} << "--date YYYY-MM-DD";
        QTest::newRow("close-day date no date")
            << QStringList{"close-day", "--database", "x.db", "--user", "BOSS", "--dept", "执模", "--date", "2004-02-30"}
            << "\"2004-02-30\" is no date";
        QTest::newRow("close-day password")
            << QStringList{"close-day", "--database", "x.db", "--user", "BOSS", "--dept", "执模", "--date", "2004-03-01",
                           "--password", "x"}
            << "WIP_PASSWORD";
        QTest::newRow("close-day with an argument")
            << QStringList{"close-day", "--database", "x.db", "--user", "BOSS", "--dept", "执模", "--date", "2004-03-01",
                           "KC1-1"}
            << "\"KC1-1\"";
        QTest::newRow("close-day without database")
            << QStringList{"close-day", "--user", "BOSS", "--dept", "执模", "--date", "2004-03-01"} << "--database";
        const QStringList desk{"desk", "--database", "x.db", "--user", "A", "--weight", "3"};
        QTest::newRow("desk unknown action") << desk + QStringList{"--dept", "倒模", "--action", "melt", "KC1-1"}
                                             << "return, pass, cast or reverse";
        QTest::newRow("desk two codes") << desk + QStringList{"--dept", "执模", "--action", "pass", "KC1-1", "KC1-2"}
                                        << "one ticket code";
        QTest::newRow("desk stones at an issue")
            << desk + QStringList{"--dept", "镶石", "--action", "issue", "--stones", "钉镶=3", "KC1-1"} << "--action return";
        QTest::newRow("desk broken at a pass")
            << desk + QStringList{"--dept", "镶石", "--action", "pass", "--broken", "DIA=1", "KC1-1"} << "--action return";
        QTest::newRow("desk stones without a count")
            << desk + QStringList{"--dept", "镶石", "--action", "return", "--stones", "钉镶", "KC1-1"} << "METHOD=N";
        QTest::newRow("desk stones without a method")
            << desk + QStringList{"--dept", "镶石", "--action", "return", "--stones", "钉镶=3,=2", "KC1-1"} << "METHOD=N";
        QTest::newRow("desk broken without a stone")
            << desk + QStringList{"--dept", "镶石", "--action", "return", "--broken", "=2", "KC1-1"} << "STONE=N";
        QTest::newRow("desk broken without a count")
            << desk + QStringList{"--dept", "镶石", "--action", "return", "--broken", "DIA=", "KC1-1"} << "STONE=N";
        QTest::newRow("desk cast without bags") << desk + QStringList{"--dept", "倒模", "--action", "cast"} << "CODE=G";
        QTest::newRow("desk cast bag without weight")
            << desk + QStringList{"--dept", "倒模", "--action", "cast", "KC1-1=31.25", "KC1-3"} << "CODE=G";
        QTest::newRow("desk reverse without a reason")
            << desk + QStringList{"--dept", "执模", "--action", "reverse", "KC1-1"} << "--reason";
        QTest::newRow("desk reverse with an empty reason")
            << desk + QStringList{"--dept", "执模", "--action", "reverse", "--reason", "  ", "KC1-1"} << "--reason";
        QTest::newRow("desk reverse of two bags")
            << desk + QStringList{"--dept", "执模", "--action", "reverse", "--reason", "x", "KC1-1", "KC1-2"}
            << "one ticket";
        QTest::newRow("desk cast without issued metal")
            << QStringList{"desk", "--database", "x.db", "--user", "A", "--dept", "倒模", "--action", "cast", "KC1-1=3"}
            << "--weight";
    }

    // The stones of a take-back at 镶石 and the bags of a casting batch, as
    // name and count pairs in the order given (lists split at commas, options
    // repeated); "k=v;k=v" below.
    void deskLists_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("stones");
        QTest::addColumn<QString>("broken");
        QTest::addColumn<QString>("cast");
        const QStringList desk{"desk", "--database", "x.db", "--user", "A", "--weight", "3"};
        QTest::newRow("return without stones") << desk + QStringList{"--dept", "镶石", "--action", "return", "KC1-1"}
                                               << "" << "" << "";
        QTest::newRow("return with stones")
            << desk + QStringList{"--dept", "镶石", "--action", "return", "--stones", "钉镶=30, 包镶/RUBY-2 = 8",
                                  "--broken", "DIA-RD-1.0=1", "--stones", "爪镶=0", "KC1-1"}
            << "钉镶=30;包镶/RUBY-2=8;爪镶=0" << "DIA-RD-1.0=1" << "";
        QTest::newRow("a trailing comma") << desk + QStringList{"--dept", "镶石", "--action", "return", "--broken",
                                                                "DIA=1,", "KC1-1"}
                                          << "" << "DIA=1" << "";
        QTest::newRow("cast") << desk + QStringList{"--dept", "倒模", "--action", "CAST", "--returned", "0.2",
                                                    "KC1-1=31.25", "KC2-1= 15.5"}
                              << "" << "" << "KC1-1=31.25;KC2-1=15.5";
        QTest::newRow("cast of one bag") << desk + QStringList{"--dept", "倒模", "--action", "cast", "KC1-2=16"}
                                         << "" << "" << "KC1-2=16";
        // A reversal weighs nothing: no --weight needed.
        QTest::newRow("reverse") << QStringList{"desk", "--database", "x.db", "--user", "A", "--dept", "执模",
                                                "--action", "reverse", "--reason", "称错", "KC1-1"}
                                 << "" << "" << "";
    }
    void deskLists()
    {
        QFETCH(QStringList, args);
        const auto joined = [](const QList<QPair<QString, QString>> &pairs) {
            QStringList items;
            for (const auto &[name, value] : pairs)
                items << name + u'=' + value;
            return items.join(u';');
        };
        const auto r = parse(args);
        QVERIFY2(r.outcome == CommandLine::Outcome::Run, qPrintable(r.text));
        QCOMPARE(r.options.command, CommandLine::Command::Desk);
        QTEST(joined(r.options.stones), "stones");
        QTEST(joined(r.options.broken), "broken");
        QTEST(joined(r.options.castBags), "cast");
    }

    void importAndExportOptions()
    {
        const auto r = parse({"import", "--database", "x.db", "--kind", "Metals", "--user", " clerk ", "--dry-run",
                              "--update", "dir/m.xlsx"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(r.options.command, CommandLine::Command::Import);
        QCOMPARE(r.options.kind, QStringLiteral("metals"));
        QCOMPARE(r.options.user, QStringLiteral("clerk"));
        QCOMPARE(r.options.file, QStringLiteral("dir/m.xlsx"));
        QVERIFY(r.options.dryRun && r.options.update);
        const auto plain = parse({"import", "--database", "x.db", "--kind", "metals", "--user", "A", "m.csv"});
        QVERIFY(!plain.options.dryRun && !plain.options.update);
        const auto e = parse({"export", "--database", "x.db", "--kind", "stones", "--output", "S.XLSX"});
        QCOMPARE(e.options.command, CommandLine::Command::Export);
        QCOMPARE(e.options.output, QStringLiteral("S.XLSX"));
    }

    // Departments in the order given, each once; none: every department.
    void badgesOptions()
    {
        auto r = parse({"badges", "--database", "x.db", "--dept", " 执模 ", "--dept", "镶石", "--dept", "执模", "--output",
                        "b.pdf"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(r.options.command, CommandLine::Command::Badges);
        QCOMPARE(r.options.departments, (QStringList{"执模", "镶石"}));
        QCOMPARE(r.options.output, QStringLiteral("b.pdf"));
        r = parse({"badges", "--database", "x.db", "--output", "/dev/full"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QVERIFY(r.options.departments.isEmpty());
        QCOMPARE(CommandLine::commandName(r.options.command), QStringLiteral("badges"));
        QVERIFY(parse({"--help"}).text.contains(QLatin1String("wip badges --database URL")));
    }

    void backupRestoreAndCheckOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("days");
        using C = CommandLine::Command;
        QTest::newRow("backup") << QStringList{"backup", "--database", "x.db", "--output", " b.backup "} << int(C::Backup)
                                << "b.backup" << "" << 7;
        QTest::newRow("restore") << QStringList{"restore", "b.backup", "--database", "postgresql://u:p@h/wip"}
                                 << int(C::Restore) << "" << "b.backup" << 7;
        QTest::newRow("check") << QStringList{"check", "--database", "x.db"} << int(C::Check) << "" << "" << 7;
        QTest::newRow("check days") << QStringList{"check", "--database", "x.db", "--days", "30"} << int(C::Check) << ""
                                    << "" << 30;
    }
    void backupRestoreAndCheckOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, command);
        QFETCH(QString, output);
        QFETCH(QString, file);
        QFETCH(int, days);
        const auto r = parse(args);
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(int(r.options.command), command);
        QCOMPARE(r.options.output, output);
        QCOMPARE(r.options.file, file);
        QCOMPARE(r.options.days, days);
        QCOMPARE(CommandLine::commandName(r.options.command), args.first());
        QVERIFY(parse({args.first(), "--help"}).text.startsWith("Usage: wip " + args.first() + " [options]"));
    }

    void closeDayOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("date");
        QTest::addColumn<bool>("reopen");
        QTest::newRow("close") << QStringList{"close-day", "--database", "x.db", "--user", " BOSS ", "--dept", " 执模 ",
                                              "--date", "2004-03-01"}
                               << "2004-03-01" << false;
        QTest::newRow("reopen") << QStringList{"close-day", "--reopen", "--database", "x.db", "--user", "ADMIN", "--dept",
                                               "执模", "--date", " 2004-03-01 "}
                                << "2004-03-01" << true;
    }

    void closeDayOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, date);
        QFETCH(bool, reopen);
        const auto r = parse(args);
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(r.options.command, CommandLine::Command::CloseDay);
        QCOMPARE(r.options.department, QStringLiteral("执模"));
        QCOMPARE(r.options.user, reopen ? QStringLiteral("ADMIN") : QStringLiteral("BOSS"));
        QCOMPARE(r.options.date, date);
        QCOMPARE(r.options.reopen, reopen);
        QCOMPARE(CommandLine::commandName(r.options.command), args.first());
        QVERIFY(parse({"close-day", "--help"}).text.startsWith("Usage: wip close-day [options]"));
        QVERIFY(parse({"--help"}).text.contains("close-day --database URL --user CODE --dept CAPTION --date YYYY-MM-DD"));
    }

    void refusesUnknownCommandsAndOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, inMessage);
        const auto r = parse(args);
        QCOMPARE(r.outcome, CommandLine::Outcome::Error);
        QVERIFY2(r.text.contains(inMessage), qPrintable(r.text));
    }

    void initDbOptions()
    {
        const auto r = parse({"init-db", "--database", "postgresql://u:p@h:5432/wip", "--demo", "--scale", "4"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(r.options.command, CommandLine::Command::InitDb);
        QCOMPARE(r.options.database, QStringLiteral("postgresql://u:p@h:5432/wip"));
        QVERIFY(r.options.demo);
        QCOMPARE(r.options.scale, 4);

        const auto plain = parse({"init-db", "--database", "x.db"});
        QVERIFY(!plain.options.demo);
        QCOMPARE(plain.options.scale, 1);
        QVERIFY(plain.options.admin.isEmpty());

        const auto admin = parse({"init-db", "--database", "x.db", "--admin", " BOSS ", "--name", "主管"});
        QCOMPARE(admin.outcome, CommandLine::Outcome::Run);
        QCOMPARE(admin.options.admin, QStringLiteral("BOSS"));
        QCOMPARE(admin.options.name, QStringLiteral("主管"));
    }

    void userActions()
    {
        auto r = parse({"user", "add", "PLAN", "--database", "x.db", "--name", "计划", "--rights", "add, scan ,USERS"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(r.options.command, CommandLine::Command::User);
        QCOMPARE(r.options.userAction, QStringLiteral("add"));
        QCOMPARE(r.options.account, QStringLiteral("PLAN"));
        QCOMPARE(r.options.name, QStringLiteral("计划"));
        QCOMPARE(r.options.rights.toInt(), (wip::Right::ContractAdd | wip::Right::Scan | wip::Right::Users).toInt());
        r = parse({"user", "grant", "PLAN", "--database", "x.db", "--rights", "all"});
        QVERIFY(r.options.rights == wip::RightsCatalogue::every());
        r = parse({"user", "grant", "PLAN", "--database", "x.db", "--rights", "none"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QVERIFY(!r.options.rights);
        r = parse({"user", "LIST", "--database", "x.db"});
        QCOMPARE(r.options.userAction, QStringLiteral("list"));
    }

    void reportCollectsRepeatedArgumentsInOrder()
    {
        const auto r = parse({"report", "D_WIP_TODAY44", "--database", "x.db", "--arg", "scno=K1",
                              "--arg", "stdate=2024-01-02", "--arg", "scno=K2", "--arg", "remark=a=b",
                              "--format", "CSV", "--output", "out.csv"});
        QCOMPARE(r.outcome, CommandLine::Outcome::Run);
        QCOMPARE(r.options.command, CommandLine::Command::Report);
        QCOMPARE(r.options.reportName, QStringLiteral("D_WIP_TODAY44"));
        QCOMPARE(r.options.arguments.size(), 4);
        QCOMPARE(r.options.arguments.at(0), (QPair<QString, QString>{"scno", "K1"}));
        QCOMPARE(r.options.arguments.at(2), (QPair<QString, QString>{"scno", "K2"}));
        // Only the first "=" separates name and value.
        QCOMPARE(r.options.arguments.at(3), (QPair<QString, QString>{"remark", "a=b"}));
        QCOMPARE(r.options.format, QStringLiteral("csv"));
        QCOMPARE(r.options.output, QStringLiteral("out.csv"));
    }

    void helpOfEachCommand()
    {
        QCOMPARE(parse({"--help"}).outcome, CommandLine::Outcome::ShowHelp);
        const auto r = parse({"report", "--help"});
        QCOMPARE(r.outcome, CommandLine::Outcome::ShowHelp);
        QVERIFY(r.text.contains("--arg"));
        QVERIFY2(r.text.startsWith("Usage: wip report [options] NAME"), qPrintable(r.text));
        QCOMPARE(parse({"--version"}).outcome, CommandLine::Outcome::ShowVersion);
    }

    void bindsArgumentsInDeclaredOrderWithTypes()
    {
        QString error;
        const auto values = ReportArguments::bind(
            definition(),
            {{"SCNO", "K1"}, {"qty", " 12.5 "}, {"stdate", "2024-03-01"}, {"pcode", "04-执模"}, {"scno", "K2"}},
            &error);
        QVERIFY2(values, qPrintable(error));
        QCOMPARE(values->size(), 4);
        QCOMPARE(values->at(0), QVariant(QStringLiteral("04-执模")));
        QCOMPARE(values->at(1).toDate(), QDate(2024, 3, 1));
        QCOMPARE(values->at(2).toDouble(), 12.5);
        QCOMPARE(values->at(3).toStringList(), (QStringList{"K1", "K2"}));
    }

    void listArgumentMayBeAbsent()
    {
        QString error;
        const auto values = ReportArguments::bind(
            definition(), {{"pcode", "x"}, {"stdate", "2024-03-01"}, {"qty", "1"}}, &error);
        QVERIFY2(values, qPrintable(error));
        QCOMPARE(values->at(3).toStringList(), QStringList());
    }

    void refusesBadArguments_data()
    {
        using Args = QList<QPair<QString, QString>>;
        QTest::addColumn<Args>("given");
        QTest::addColumn<QString>("inMessage");
        const Args ok{{"pcode", "x"}, {"stdate", "2024-03-01"}, {"qty", "1"}};
        QTest::newRow("unknown name") << (ok + Args{{"pcod", "x"}}) << "no argument \"pcod\"";
        QTest::newRow("not a date") << Args{{"pcode", "x"}, {"stdate", "2024-13-01"}, {"qty", "1"}} << "not a date";
        QTest::newRow("date in another form") << Args{{"pcode", "x"}, {"stdate", "01/03/2024"}, {"qty", "1"}} << "stdate";
        QTest::newRow("not a number") << Args{{"pcode", "x"}, {"stdate", "2024-03-01"}, {"qty", "12a"}} << "not a number";
        QTest::newRow("missing") << Args{{"pcode", "x"}, {"qty", "1"}} << "stdate";
        QTest::newRow("repeated single") << (ok + Args{{"qty", "2"}}) << "more than once";
    }

    void refusesBadArguments()
    {
        using Args = QList<QPair<QString, QString>>;
        QFETCH(Args, given);
        QFETCH(QString, inMessage);
        QString error;
        QVERIFY(!ReportArguments::bind(definition(), given, &error));
        QVERIFY2(error.contains(inMessage), qPrintable(error));
    }

    void dateTimeArgumentAcceptsDateAndTime()
    {
        reports::Definition d;
        d.name = QStringLiteral("d_t");
        d.arguments = {{QStringLiteral("at"), reports::ArgumentType::DateTime}};
        QString error;
        auto v = ReportArguments::bind(d, {{"at", "2024-03-01 08:30:00"}}, &error);
        QVERIFY2(v, qPrintable(error));
        QCOMPARE(v->at(0).toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(8, 30)));
        v = ReportArguments::bind(d, {{"at", "2024-03-01"}}, &error);
        QVERIFY2(v, qPrintable(error));
        QCOMPARE(v->at(0).toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
