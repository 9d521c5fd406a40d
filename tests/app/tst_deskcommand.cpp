// wip desk as a fixed station runs it: one bag of a new factory received,
// passed on, received off its weight (confirmed), issued and taken back with a
// gain the supervisor confirms; two bags cast on one tree and one of them set
// with its stones; each refusal with its line or message and exit code, the
// password never on the command line.

#include "wipprocess.h"
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = wip::test::WipRun;
using wip::test::describe;

} // namespace

class TestDeskCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    Run wip(const QStringList &args, const QString &password = QString()) const
    {
        wip::test::WipOptions o;
        o.password = password;
        return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args, o);
    }

    // A new factory with its administrator BOSS and the clerk CLERK.
    bool newFactory(const QString &db) const
    {
        const Run init = wip({"init-db", "--database", db, "--admin", "BOSS"}, QStringLiteral("boss-pass-1"));
        const Run clerk = wip({"user", "add", "CLERK", "--rights", "scan", "--database", db},
                              QStringLiteral("clerk-pass-1"));
        return init.exitCode == 0 && clerk.exitCode == 0;
    }

    static QStringList query(const QString &file, const QString &sql)
    {
        QStringList rows;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("desk"));
            db.setDatabaseName(file);
            QSqlQuery q(db);
            if (db.open() && q.exec(sql)) {
                while (q.next()) {
                    QStringList cells;
                    for (int i = 0; i < q.record().count(); ++i)
                        cells << q.value(i).toString();
                    rows << cells.join(QLatin1Char('|'));
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("desk"));
        return rows;
    }

private Q_SLOTS:
    void oneBagThroughTheCommand()
    {
        const QString db = m_home.filePath(QStringLiteral("desk.db"));
        QVERIFY(newFactory(db));
        Run r = wip({"user", "add", "VIEW", "--rights", "none", "--database", db}, QStringLiteral("view-pass-1"));
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY(query(db, "insert into sconh (scno, cust_no, next_line_no) values ('KC1', 'QOR', 2)").isEmpty());
        QVERIFY(query(db, "insert into scond (scno, design_no, metal, quantity, line_no) "
                          "values ('KC1', 'D1', '18KY', 3, 1)").isEmpty());
        QVERIFY(query(db, "insert into worker (changhao, xingming, gongxu_code, active) "
                          "values ('0401', '张三', '04-执模', 1)").isEmpty());
        QCOMPARE(query(db, "select count(*) from scond"), QStringList{"1"});

        const QStringList base{"desk", "--database", db, "KC1-1"};
        const QString clerk = QStringLiteral("clerk-pass-1"), boss = QStringLiteral("boss-pass-1");
        const struct
        {
            QStringList args;
            QString password;
            int exitCode;
            const char *says;   // in stdout, or stderr when nothing is done
        } steps[] = {
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "receive", "--weight", "5"}, clerk, 0, "在唧蜡收发 (3 件 5.000 克)"},
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "receive", "--weight", "5"}, clerk, 1, "REFUSED"},
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "pass", "--weight", "5.0001"}, clerk, 1, "最多三位小数"},
            {{"--user", "VIEW", "--dept", "唧蜡", "--action", "pass", "--weight", "5"}, QStringLiteral("view-pass-1"), 1,
             "没有部门收发的权限"},
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "pass", "--weight", "5"}, QStringLiteral("wrong"), 1,
             "password"},
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "pass", "--weight", "5", "--password", "x"}, clerk, 2,
             "WIP_PASSWORD"},
            {{"--user", "CLERK", "--dept", "喷砂", "--action", "pass", "--weight", "5"}, clerk, 2, "No department"},
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "pass"}, clerk, 2, "--weight"},
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "send", "--weight", "5"}, clerk, 2, "--action"},
            {{"--user", "CLERK", "--dept", "唧蜡", "--action", "pass", "--weight", "5"}, clerk, 0, "在途: 唧蜡 → 倒模"},
            {{"--user", "CLERK", "--dept", "倒模", "--action", "receive", "--weight", "5.2"}, clerk, 1, "请确认重量"},
            {{"--user", "CLERK", "--dept", "倒模", "--action", "receive", "--weight", "5.2", "--confirm"}, clerk, 0, "DONE"},
            {{"--user", "CLERK", "--dept", "倒模", "--action", "pass", "--weight", "9"}, clerk, 0, "DONE"},
            {{"--user", "CLERK", "--dept", "执模", "--action", "receive", "--weight", "9"}, clerk, 0, "DONE"},
            {{"--user", "CLERK", "--dept", "执模", "--action", "issue", "--weight", "9", "--worker", "0401"}, clerk, 0,
             "给工人 0401 张三"},
            {{"--user", "CLERK", "--dept", "执模", "--action", "return", "--weight", "9.1", "--confirm"}, clerk, 1,
             "没有主管权限"},
            {{"--user", "BOSS", "--dept", "执模", "--action", "return", "--weight", "9", "--returned", "0.1",
              "--confirm"}, boss, 0, "耗 -0.100 克; 在执模收发 (3 件 9.000 克)"},
        };
        for (const auto &step : steps) {
            r = wip(base + step.args, step.password);
            const QString said = QString::fromUtf8(step.says);
            QVERIFY2(r.exitCode == step.exitCode && (r.out.contains(said) || r.err.contains(said)),
                     qPrintable(step.args.join(' ') + u'\n' + describe(r)));
        }
        QCOMPARE(query(db, "select place, gongxu_code, pcs from bag_place"), QStringList{"desk|04-执模|3"});
        QCOMPARE(query(db, "select user_code, new_value from audit_log where field = 'desk:weight_difference'"),
                 QStringList{"CLERK|5.200"});
        QCOMPARE(query(db, "select count(*) from audit_log where source = 'wip desk' and field like 'desk:%'"),
                 QStringList{"9"});

        // The change record reads the desk's rows in the clerk's words, each with its ticket.
        r = wip({"report", "d_audit_log", "--database", db, "--arg", "scno=KC1", "--format", "csv"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        for (const char *shown : {"收发命令 wip desk", "收发 接收", "收发 发出", "收发 收回", "收发 转出",
                                  "收发 重量差异", "收发 增重 (主管确认)", "袋的位置 Bag place", "KC1-1"})
            QVERIFY2(r.out.contains(QString::fromUtf8(shown)), shown);
        QVERIFY2(!r.out.contains(QLatin1String("desk:")) && !r.out.contains(QLatin1String("bag:place")),
                 qPrintable(r.out));
    }

    // The supervisor closes 唧蜡's day: the desk and the scan refuse it, naming
    // the day and the supervisor, until the administrator opens it again.
    void closeDayThroughTheCommand()
    {
        const QString db = m_home.filePath(QStringLiteral("closed.db"));
        QVERIFY(newFactory(db));
        Run r = wip({"user", "add", "SUP", "--rights", "supervisor", "--database", db}, QStringLiteral("sup-pass-1"));
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY(query(db, "insert into sconh (scno, cust_no, next_line_no) values ('KC1', 'QOR', 2)").isEmpty());
        QVERIFY(query(db, "insert into scond (scno, design_no, metal, quantity, line_no) "
                          "values ('KC1', 'D1', '18KY', 3, 1)").isEmpty());
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const QString clerk = QStringLiteral("clerk-pass-1"), sup = QStringLiteral("sup-pass-1"),
                      boss = QStringLiteral("boss-pass-1");
        const QStringList close{"close-day", "--database", db, "--dept", "唧蜡", "--date", today};
        const QStringList receive{"desk", "--database", db, "--user", "CLERK", "--dept", "唧蜡", "--action", "receive",
                                  "--weight", "5", "KC1-1"};
        const QStringList scan{"scan", "--database", db, "--user", "CLERK", "--dept", "唧蜡", "--action", "in", "KC1-1"};
        const QStringList reverse{"desk", "--database", db, "--dept", "唧蜡", "--action", "reverse", "--reason", "称错",
                                  "KC1-1"};
        const QString closed = QStringLiteral("唧蜡 %1 已日结 (SUP 于").arg(today);
        const struct
        {
            QStringList args;
            QString password;
            int exitCode;
            QString says;
        } steps[] = {
            {close + QStringList{"--user", "CLERK"}, clerk, 1, "没有主管权限"},
            {close + QStringList{"--user", "SUP", "--password", "x"}, sup, 2, "WIP_PASSWORD"},
            {close + QStringList{"--user", "SUP"}, QStringLiteral("wrong"), 1, "password"},
            {QStringList{"close-day", "--database", db, "--user", "SUP", "--dept", "喷砂", "--date", today}, sup, 2,
             "No department"},
            {close + QStringList{"--user", "SUP"}, sup, 0, "DONE 唧蜡 " + today + " 已日结 (SUP)"},
            {receive, clerk, 1, closed},
            {scan, clerk, 1, closed},
            {close + QStringList{"--user", "SUP", "--reopen"}, sup, 1, "不是管理员"},
            {close + QStringList{"--user", "BOSS", "--reopen"}, boss, 0, "已重开 (BOSS)"},
            {receive, clerk, 0, "DONE"},
            {reverse + QStringList{"--user", "CLERK"}, clerk, 1, "没有主管权限"},
            {reverse + QStringList{"--user", "BOSS"}, boss, 0, "唧蜡冲销 接收 (合约明细) 3 件 5.000 克; 原因: 称错; 未接收"},
            {reverse + QStringList{"--user", "BOSS"}, boss, 1, "已是冲销"},
            {receive, clerk, 0, "DONE"},
        };
        for (const auto &step : steps) {
            r = wip(step.args, step.password);
            QVERIFY2(r.exitCode == step.exitCode && (r.out.contains(step.says) || r.err.contains(step.says)),
                     qPrintable(step.args.join(' ') + u'\n' + describe(r)));
        }
        QCOMPARE(query(db, "select user_code, source, field from audit_log where field like 'day:%' order by audit_id"),
                 QStringList({"SUP|wip close-day|day:close", "BOSS|wip close-day|day:reopen"}));
        QCOMPARE(query(db, "select closed_by, reopened_by from closed_day"), QStringList{"SUP|BOSS"});
    }

    void castAndSetThroughTheCommand()
    {
        const QString db = m_home.filePath(QStringLiteral("cast.db"));
        QVERIFY(newFactory(db));
        for (const char *sql :
             {"insert into sconh (scno, cust_no, next_line_no) values ('KC1', 'QOR', 3)",
              "insert into article (article_code, arttype_code) values ('R1', 'R')",
              "insert into material (mcode, mtype) values ('DIA', 'STONE')",
              "insert into artsd (article_code, stone_code, settype_code, qtycal) values ('R1', 'DIA', '钉镶', 2)",
              "insert into scond (scno, design_no, article_code, metal, quantity, line_no) "
              "values ('KC1', 'D1', 'R1', '18KY', 3, 1)",
              "insert into scond (scno, design_no, article_code, metal, quantity, line_no) "
              "values ('KC1', 'D1', 'R1', '18KY', 2, 2)",
              "insert into worker (changhao, xingming, gongxu_code, active) values ('0601', '王五', '06-镶石', 1)"})
            QVERIFY2(query(db, QString::fromUtf8(sql)).isEmpty(), sql);

        const QStringList base{"desk", "--database", db, "--user", "CLERK"};
        const struct
        {
            QStringList args;
            int exitCode;
            const char *says;
        } steps[] = {
            {{"--dept", "唧蜡", "--action", "receive", "--weight", "5", "KC1-1"}, 0, "DONE"},
            {{"--dept", "唧蜡", "--action", "receive", "--weight", "4", "KC1-2"}, 0, "DONE"},
            {{"--dept", "唧蜡", "--action", "pass", "--weight", "5", "KC1-1"}, 0, "DONE"},
            {{"--dept", "唧蜡", "--action", "pass", "--weight", "4", "KC1-2"}, 0, "DONE"},
            {{"--dept", "倒模", "--action", "receive", "--weight", "5", "KC1-1"}, 0, "DONE"},
            {{"--dept", "倒模", "--action", "receive", "--weight", "4", "KC1-2"}, 0, "DONE"},
            {{"--dept", "倒模", "--action", "cast", "--weight", "20", "--returned", "1", "KC1-1=10", "KC1-1=8.5"}, 1,
             "写了两次"},
            {{"--dept", "倒模", "--action", "cast", "--weight", "20", "--returned", "1", "KC1-2=8.5", "KC1-1=10"}, 0,
             "DONE 铸造批 CB000001: 18KY 2 袋 5 件 18.500 克 (KC1 5 件 18.500 克); 发出 20.000 克, 回收 1.000 克, "
             "耗 0.500 克"},
            {{"--dept", "倒模", "--action", "cast", "--weight", "11", "KC1-1=10"}, 1, "已在铸造批 CB000001"},
            {{"--dept", "倒模", "--action", "pass", "--weight", "10", "KC1-1"}, 0, "DONE"},
            {{"--dept", "执模", "--action", "receive", "--weight", "10", "KC1-1"}, 0, "DONE"},
            {{"--dept", "执模", "--action", "pass", "--weight", "10", "KC1-1"}, 0, "DONE"},
            {{"--dept", "镶石", "--action", "receive", "--weight", "10", "KC1-1"}, 0, "DONE"},
            {{"--dept", "镶石", "--action", "issue", "--weight", "10", "--worker", "0601", "KC1-1"}, 0,
             "石料 钉镶 DIA 6 粒"},
            {{"--dept", "镶石", "--action", "return", "--weight", "10", "--stones", "钉镶=7", "KC1-1"}, 1,
             "镶法 钉镶 DIA 7 粒, 多于发出的 6 粒"},
            {{"--dept", "镶石", "--action", "return", "--weight", "9.9", "--stones", "钉镶=5", "--broken", "DIA=1",
              "KC1-1"}, 0, "镶石 钉镶 DIA 5 粒, 破损 DIA 1 粒"},
        };
        for (const auto &step : steps) {
            const Run r = wip(base + step.args, QStringLiteral("clerk-pass-1"));
            const QString said = QString::fromUtf8(step.says);
            QVERIFY2(r.exitCode == step.exitCode && r.out.contains(said),
                     qPrintable(step.args.join(' ') + u'\n' + describe(r)));
        }
        QCOMPARE(query(db, "select castinh_no, contractno, mcode, qtycal, qtyref, loss from castind"),
                 QStringList{"CB000001|KC1|18KY|18.5|5|0.5"});
        QCOMPARE(query(db, "select mcode, coalesce(waycode, '-'), sqtycal from matuse where mcode = 'DIA' "
                           "order by waycode"),
                 QStringList({"DIA|-|1", "DIA|钉镶|5"}));
        // The change record names the casting in the clerk's words.
        const Run record = wip({"report", "d_audit_log", "--database", db, "--arg", "scno=KC1", "--format", "csv"});
        QVERIFY2(record.exitCode == 0 && record.out.contains(QStringLiteral("收发 铸造"))
                     && record.out.contains(QStringLiteral("倒模铸造批 CB000001")) && !record.out.contains("desk:"),
                 qPrintable(describe(record)));
    }
};

QTEST_GUILESS_MAIN(TestDeskCommand)
#include "tst_deskcommand.moc"
