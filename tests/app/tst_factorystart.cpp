// A factory puts Wip to work on its own data, start to finish, on SQLite and
// PostgreSQL: `wip init-db --admin` without the demo, the administrator's
// login, users added with `wip user`, metals, stones and a style with its
// stones saved as 基础资料 saves them, a contract with lines saved as the
// contract form saves it, its bag tickets printed by `wip tickets` and scanned
// by `wip scan`; a line deleted after the tickets were printed, whose ticket
// then points at no other line; and a user without rights refused at each step.

#include "wipprocess.h"
#include "contracts/contractsave.h"
#include "database/rightscatalogue.h"
#include "database/useraccounts.h"
#include "desk/bagticket.h"
#include "reference/referencewriter.h"
#include "reference/refkind.h"
#include "runtime/appglobals.h"
#include "runtime/connectionsettings.h"
#include "testdatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace wip;
using namespace wip::test;

namespace {

using Run = wip::test::WipRun;
using wip::test::describe;

reference::RefRow added(const reference::RefValues &values, const QList<reference::RefValues> &stones = {})
{
    reference::RefRow row;
    row.values = values;
    row.stones = stones;
    return row;
}

ContractLine line(const QString &design, const QString &quantity)
{
    ContractLine l;
    l.texts = {{"design_no", design}, {"article_code", "R2401"}, {"metal", "18KY"}, {"quantity", quantity}};
    return l;
}

} // namespace

class tst_FactoryStart : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QStringList m_db;   // --database URL of the factory

    Run wip(const QStringList &args, const QString &password = QString()) const
    {
        wip::test::WipOptions o;
        o.password = password;
        o.workingDirectory = m_home.path();
        return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args, o);
    }

    // Saves rows of a kind as 基础资料 does, as the user now logged in.
    static reference::SaveOutcome save(const char *kind, const QList<reference::RefRow> &rows)
    {
        reference::ReferenceWriter writer(Transaction::sqlca(), reference::RefKind::get(QString::fromLatin1(kind)),
                                          {user_code(), QStringLiteral("w_refdata")});
        return writer.save(rows);
    }

    // Saves KC1 as the contract form does, with the rights of the user now logged in.
    static ContractSave::Result saveContract(bool newContract, QList<ContractLine> *lines, QStringList *problems)
    {
        const Rights rights = RightsCatalogue::contractRights(qxpd(user_code(), QStringLiteral("M05"), QStringLiteral("H06")));
        ContractSave save(Transaction::sqlca(), {user_code(), QStringLiteral("w_sconh_edit")}, rights);
        const ContractSave::Result r =
            save.save(newContract, {"KC1", "C001", "PO-1", QDate(2026, 5, 4), QDate(2026, 6, 15)}, lines);
        *problems = save.problems();
        return r;
    }

    static int count(const QString &sql)
    {
        const auto row = Transaction::sqlca().selectInto(sql);
        return row ? row->at(0).toInt() : -1;
    }

    // The first administrator by init-db, and the login.
    void firstAdministrator(const QString &url)
    {
        const Run r = wip({"init-db", "--database", url, "--admin", "BOSS", "--name", "主管"}, "boss-pass-1");
        QVERIFY2(r.exitCode == 0 && r.out.contains("Added the administrator BOSS"), qPrintable(describe(r)));
        Transaction &sqlca = Transaction::sqlca();
        sqlca.settings = *ConnectionSettings::fromUrl(url);
        QVERIFY2(sqlca.connect(), qPrintable(sqlca.sqlErrText));
        QString code;
        bool mustChange = true;
        QCOMPARE(UserAccounts::checkLogin(sqlca, " boss", "boss-pass-1", &code, &mustChange), UserAccounts::Login::Ok);
        QCOMPARE(code, QStringLiteral("BOSS"));
        QVERIFY(!mustChange);
        QCOMPARE(UserAccounts::checkLogin(sqlca, "BOSS", "boss-pass-2"), UserAccounts::Login::WrongPassword);
        QCOMPARE(count("select count(*) from sconh"), 0);   // no demo
    }

    // A planner who may add and edit contracts and scan, and a viewer with no right.
    void users()
    {
        Transaction &sqlca = Transaction::sqlca();
        Run r = wip(QStringList{"user", "add", "PLAN", "--name", "计划", "--rights", "add,edit,scan"} + m_db, "plan-pass-1");
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = wip(QStringList{"user", "add", "LOOK", "--name", "查看", "--rights", "none"} + m_db, "look-pass-1");
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QString code;
        bool mustChange = false;
        QCOMPARE(UserAccounts::checkLogin(sqlca, "plan", "plan-pass-1", &code, &mustChange), UserAccounts::Login::Ok);
        QVERIFY(mustChange);   // a password set by someone else
        setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
            return UserAccounts::rights(Transaction::sqlca(), user, module, function);
        });
    }

    // Reference data: what the style and the contract lines name.
    void referenceData()
    {
        user_code() = QStringLiteral("LOOK");
        QVERIFY(save("arttypes", {added({{"arttype_code", "R"}, {"arttype_name", "戒指 RING"}})}).refused());
        user_code() = QStringLiteral("BOSS");
        const struct
        {
            const char *kind;
            reference::RefValues values;
        } codes[] = {{"arttypes", {{"arttype_code", "R"}, {"arttype_name", "戒指 RING"}}},
                     {"metals", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", "0.750"}, {"hallmark", "750"}}},
                     {"stones", {{"mcode", "DIA-1.0"}, {"mname", "圆钻 1.0mm"}, {"unit", "粒"}}},
                     {"settypes", {{"settype_code", "钉镶"}, {"settype_name", "PAVE"}}}};
        for (const auto &c : codes) {
            const reference::SaveOutcome o = save(c.kind, {added(c.values)});
            QVERIFY2(o.saved, qPrintable(QString::fromLatin1(c.kind) + ": " + o.problemText() + o.error));
        }
        const reference::SaveOutcome style =
            save("styles", {added({{"article_code", "R2401"}, {"arttype_code", "R"}},
                                  {{{"stone_code", "DIA-1.0"}, {"settype_code", "钉镶"}, {"qtycal", "12"}}})});
        QVERIFY2(style.saved, qPrintable(style.problemText() + style.error));
        QCOMPARE(count("select count(*) from artsd where article_code = 'R2401' and stone_code = 'DIA-1.0'"), 1);
    }

    // KC1 with three lines: refused to the viewer, saved for the planner; its
    // bag tickets printed, and the second scanned in at 唧蜡.
    void contractTicketsAndScans(const QString &pdf)
    {
        QList<ContractLine> lines{line("D1", "10"), line("D2", "4"), line("D3", "2")};
        QStringList problems;
        user_code() = QStringLiteral("LOOK");
        QCOMPARE(saveContract(true, &lines, &problems), ContractSave::Result::Refused);
        QCOMPARE(count("select count(*) from sconh"), 0);
        user_code() = QStringLiteral("PLAN");
        QCOMPARE(saveContract(true, &lines, &problems), ContractSave::Result::Saved);
        QCOMPARE(count("select count(*) from scond where scno = 'KC1'"), 3);

        Run r = wip(QStringList{"tickets", "--scno", "KC1", "--output", pdf} + m_db);
        QVERIFY2(r.exitCode == 0 && r.out.contains("Printed 3 bag tickets"), qPrintable(describe(r)));
        QFile printed(pdf);
        QVERIFY(printed.open(QIODevice::ReadOnly) && printed.read(5) == "%PDF-");
        QList<BagTicket> tickets;
        QStringList missing;
        QString error;
        QVERIFY2(BagTicket::read(Transaction::sqlca(), {"KC1"}, &tickets, &missing, &error), qPrintable(error));
        QStringList ticketCodes;
        for (const BagTicket &t : tickets)
            ticketCodes << t.code + ' ' + t.designNo;
        QCOMPARE(ticketCodes, (QStringList{"KC1-1 D1", "KC1-2 D2", "KC1-3 D3"}));
        const QStringList scanIn = QStringList{"scan", "--dept", "唧蜡", "--action", "in"} + m_db;
        r = wip(scanIn + QStringList{"--user", "LOOK", "KC1-2"}, "look-pass-1");
        QVERIFY2(r.exitCode == 1 && r.out.startsWith("REFUSED"), qPrintable(describe(r)));
        r = wip(scanIn + QStringList{"--user", "PLAN", "KC1-2"}, "plan-pass-1");
        QVERIFY2(r.exitCode == 0 && r.out.startsWith("DONE"), qPrintable(describe(r)));
    }

    // Lines deleted after the tickets were printed: the first goes (the planner
    // may not, the administrator may), the second is in production and stays;
    // the first's ticket then names no other line.
    void lineDeletedAfterPrinting()
    {
        Transaction &sqlca = Transaction::sqlca();
        QList<ContractLine> lines;
        QStringList problems;
        user_code() = QStringLiteral("PLAN");
        QVERIFY(ContractSave::readLines(sqlca, "KC1", &lines));
        lines[0].state = ContractLine::State::Deleted;
        QCOMPARE(saveContract(false, &lines, &problems), ContractSave::Result::Refused);
        user_code() = QStringLiteral("BOSS");
        QCOMPARE(saveContract(false, &lines, &problems), ContractSave::Result::Saved);
        QVERIFY(ContractSave::readLines(sqlca, "KC1", &lines));
        QCOMPARE(lines.first().lineNo, 2);
        lines[0].state = ContractLine::State::Deleted;
        QCOMPARE(saveContract(false, &lines, &problems), ContractSave::Result::Refused);
        QVERIFY(ContractSave::readLines(sqlca, "KC1", &lines));
        lines << line("D4", "1");
        QCOMPARE(saveContract(false, &lines, &problems), ContractSave::Result::Saved);
        QCOMPARE(count("select line_no from scond where design_no = 'D4'"), 4);
        const QStringList scanIn = QStringList{"scan", "--dept", "唧蜡", "--action", "in"} + m_db;
        const Run r = wip(scanIn + QStringList{"--user", "PLAN", "KC1-1", "KC1-3"}, "plan-pass-1");
        const QStringList said = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(r.exitCode == 1 && said.size() == 2, qPrintable(describe(r)));
        QVERIFY2(said[0].startsWith("REFUSED") && said[0].contains("已删除"), qPrintable(describe(r)));
        QVERIFY2(said[1].startsWith("DONE"), qPrintable(describe(r)));
        QCOMPARE(count("select cast(wax_in as integer) from process where scno = 'KC1'"), 4 + 2);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_home.isValid()); }

    void cleanup()
    {
        Transaction::sqlca().disconnect();
        setQxpdFunction({});
    }

    void aFactoryStartsOnItsOwnData_data() { addEngineRows(); }
    void aFactoryStartsOnItsOwnData()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        // An empty PostgreSQL database, dropped afterwards; a SQLite file not there yet.
        std::unique_ptr<TestDatabase> server;
        QString url = QStringLiteral("sqlite:") + m_home.filePath(QStringLiteral("factory.db"));
        if (engineFromName(engine) == Engine::PostgreSQL) {
            server = std::make_unique<TestDatabase>(Engine::PostgreSQL, false);
            QVERIFY2(server->isValid(), qPrintable(server->error()));
            url = server->url();
        }
        m_db = QStringList{"--database", url};
        const auto disconnect = qScopeGuard([] { Transaction::sqlca().disconnect(); });
        const std::function<void()> steps[] = {
            [&] { firstAdministrator(url); }, [this] { users(); }, [this] { referenceData(); },
            [&] { contractTicketsAndScans(m_home.filePath(QStringLiteral("tickets-%1.pdf").arg(engine))); },
            [this] { lineDeletedAfterPrinting(); }};
        for (const std::function<void()> &step : steps) {
            step();
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_MAIN(tst_FactoryStart)
#include "tst_factorystart.moc"
