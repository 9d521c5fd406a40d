#include "contractfixture.h"
#include "desk/bagticket.h"
#include "contracts/contractsave.h"
#include "desk/scanstation.h"
#include "database/initdatabase.h"
#include "reports/datastore.h"

#include <QTest>

using namespace wip;
using wip::test::TestDatabase;
using State = ContractLine::State;
using Result = ContractSave::Result;

namespace {

const ContractHeader kHeader{"KC1", "C01", "PO-1", QDate(2004, 5, 1), QDate(2004, 6, 1)};

ContractLine newLine(const QString &design, int pieces, const QString &article = "R1")
{
    ContractLine l;
    for (const auto &[column, text] : QList<QPair<QString, QString>>{
             {"design_no", design}, {"article_code", article}, {"metal", "18KY"}, {"quantity", QString::number(pieces)},
             {"metal_netwt", "3.125"}, {"hallmark", "750"}})
        l.texts.insert(column, text);
    return l;
}

// The factory's codes the lines are made of.
bool addCodes(TestDatabase &db)
{
    return db.insert("article", {{"article_code", "R1"}}) && db.insert("article", {{"article_code", "R2"}})
        && db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}})
        && db.insert("material", {{"mcode", "DIA-1"}, {"mtype", "STONE"}, {"purate", 1}});
}

// "number design pieces" of each line of KC1, in number order.
QStringList lines(TestDatabase &db)
{
    QStringList out;
    for (const QVariantList &r : db.rows("select line_no, design_no, quantity from scond where scno = 'KC1' "
                                         "order by line_no"))
        out << QStringLiteral("%1 %2 %3").arg(r[0].toString(), r[1].toString(), QString::number(r[2].toDouble()));
    return out;
}

QList<ContractLine> stored(TestDatabase &db)
{
    QList<ContractLine> l;
    if (!ContractSave::readLines(db.tr(), "KC1", &l))
        qWarning() << db.tr().sqlErrText;
    return l;
}

Result save(TestDatabase &db, QList<ContractLine> &l, const QString &rights = "X99A", bool newContract = false,
            QStringList *problems = nullptr, const ContractHeader &header = kHeader)
{
    ContractSave s(db.tr(), {"U1", "test"}, RightsCatalogue::contractRights(rights));
    const Result r = s.save(newContract, header, &l);
    if (problems)
        *problems = s.problems();
    return r;
}

} // namespace

// Contract lines saved with their header: numbered for good, checked, all or
// nothing, and the bag tickets and scans that follow their numbers.
class ContractLinesTest : public QObject
{
    Q_OBJECT

    // KC1 made with three lines of 5, 6 and 7 pieces, numbered 1, 2, 3.
    void makeContract(TestDatabase &db)
    {
        QVERIFY2(addCodes(db), qPrintable(db.error()));
        QList<ContractLine> l{newLine("D1", 5), newLine("D2", 6), newLine("D3", 7)};
        QStringList problems;
        QCOMPARE(save(db, l, "X02B", true, &problems), Result::Saved);
        QCOMPARE(lines(db), (QStringList{"1 D1 5", "2 D2 6", "3 D3 7"}));
    }

    static QList<ContractLine> withState(QList<ContractLine> l, int lineNo, State state)
    {
        for (ContractLine &x : l)
            if (x.lineNo == lineNo)
                x.state = state;
        return l;
    }

private Q_SLOTS:
    void numbersOutliveDeletedLines_data() { wip::test::addEngineRows(); }
    void numbersOutliveDeletedLines()
    {
        WIP_TEST_DATABASE(db);
        makeContract(db);
        QList<ContractLine> l = withState(stored(db), 2, State::Deleted);
        l << newLine("D4", 8);
        QCOMPARE(save(db, l), Result::Saved);
        QCOMPARE(lines(db), (QStringList{"1 D1 5", "3 D3 7", "4 D4 8"}));
        QCOMPARE(l.size(), 3);
        QCOMPARE(l.last().lineNo, 4);
        QCOMPARE(l.last().state, State::Stored);

        // The last line deleted: its number is not given again either.
        const long long fourth = db.scalar("select scond_id from scond where line_no = 4").toLongLong();
        l = withState(stored(db), 4, State::Deleted);
        l << newLine("D5", 2);
        QCOMPARE(save(db, l), Result::Saved);
        QCOMPARE(lines(db), (QStringList{"1 D1 5", "3 D3 7", "5 D5 2"}));
        QCOMPARE(db.scalar("select next_line_no from sconh where scno = 'KC1'").toInt(), 6);
        // Nor its key, under which the audit trail keeps the line's history.
        QVERIFY(db.scalar("select scond_id from scond where line_no = 5").toLongLong() != fourth);

        QList<BagTicket> tickets;
        QStringList missing;
        QString error;
        QVERIFY2(BagTicket::read(db.tr(), {"KC1"}, &tickets, &missing, &error), qPrintable(error));
        QStringList codes;
        for (const BagTicket &t : tickets)
            codes << t.code + ' ' + t.designNo;
        QCOMPARE(codes, (QStringList{"KC1-1 D1", "KC1-3 D3", "KC1-5 D5"}));

        ScanStation station(db.tr(), {"CLERK", "test"}, "X99A");
        const ScanDepartment &wax = *ScanDepartment::find("唧蜡");
        const ScanOutcome gone = station.scan("KC1-2", wax, ScanAction::In);
        QCOMPARE(gone.result, ScanOutcome::Result::LineDeleted);
        QCOMPARE(gone.message, QStringLiteral("袋卡 KC1-2: 合约 KC1 的第 2 行明细已删除, 不能扫描!"));
        QCOMPARE(station.scan("KC1-4", wax, ScanAction::In).result, ScanOutcome::Result::LineDeleted);
        const ScanOutcome never = station.scan("KC1-6", wax, ScanAction::In);
        QCOMPARE(never.result, ScanOutcome::Result::UnknownCode);
        QCOMPARE(never.message, QStringLiteral("未知的袋卡 KC1-6: 合约 KC1 没有第 6 行明细"));
        QCOMPARE(db.scalar("select count(*) from process").toInt(), 0);
        const ScanOutcome third = station.scan("KC1-3", wax, ScanAction::In);
        QVERIFY2(third.done(), qPrintable(third.message));
        QCOMPARE(third.ticket.designNo, QStringLiteral("D3"));
        QCOMPARE(db.scalar("select wax_in from process where scno = 'KC1'").toDouble(), 7.0);
    }

    // A database of version 2 numbers its lines in the order their tickets
    // had (by scond_id within the contract), and counts on from there.
    void upgradeNumbersOldLines_data() { wip::test::addEngineRows(); }
    void upgradeNumbersOldLines()
    {
        WIP_TEST_DATABASE(db);
        for (const char *scno : {"KC1", "KC2", "KC3"})
            QVERIFY(wip::test::addContract(db, scno, "PO"));
        const QList<QPair<int, const char *>> made{{7, "KC2"}, {3, "KC1"}, {9, "KC1"}, {4, "KC2"}, {5, "KC1"}};
        for (const auto &[id, scno] : made)
            QVERIFY(db.insert("scond", {{"scond_id", id}, {"scno", scno}, {"design_no", QString("D%1").arg(id)},
                                        {"quantity", 1}}));
        QVERIFY(db.exec("alter table scond drop column line_no"));
        QVERIFY(db.exec("alter table sconh drop column next_line_no"));
        QVERIFY(db.exec("update wip_schema set version = 2"));

        const UpgradeResult up = upgradeDatabase(db.tr());
        QVERIFY2(up.ok && up.fromVersion == 2, qPrintable(up.error));
        QStringList numbered;
        for (const QVariantList &r : db.rows("select scno, scond_id, line_no from scond order by scno, line_no"))
            numbered << QStringLiteral("%1-%2 %3").arg(r[0].toString(), r[2].toString(), r[1].toString());
        QCOMPARE(numbered, (QStringList{"KC1-1 3", "KC1-2 5", "KC1-3 9", "KC2-1 4", "KC2-2 7"}));
        QStringList counters;
        for (const QVariantList &r : db.rows("select scno, next_line_no from sconh order by scno"))
            counters << r[0].toString() + ' ' + r[1].toString();
        QCOMPARE(counters, (QStringList{"KC1 4", "KC2 3", "KC3 1"}));
        BagTicket t;
        QString error;
        QCOMPARE(BagTicket::find(db.tr(), "KC1-2", &t, &error), BagTicket::Lookup::Found);
        QCOMPARE(t.designNo, QStringLiteral("D5"));
    }

    // A bad line refuses the whole save: header and lines stay as they were,
    // and no audit row is written; a statement failing half-way the same.
    void saveIsAllOrNothing_data() { wip::test::addEngineRows(); }
    void saveIsAllOrNothing()
    {
        WIP_TEST_DATABASE(db);
        makeContract(db);
        const int audited = db.scalar("select count(*) from audit_log").toInt();
        const auto unchanged = [&] {
            QCOMPARE(lines(db), (QStringList{"1 D1 5", "2 D2 6", "3 D3 7"}));
            QCOMPARE(db.scalar("select cust_order from sconh where scno = 'KC1'").toString(), QStringLiteral("PO-1"));
            QCOMPARE(db.scalar("select next_line_no from sconh where scno = 'KC1'").toInt(), 4);
            QCOMPARE(db.scalar("select count(*) from audit_log").toInt(), audited);
        };
        ContractHeader header = kHeader;
        header.custOrder = "PO-1B";
        QList<ContractLine> l = withState(stored(db), 3, State::Deleted);
        l[0].setText("quantity", "9");
        l << newLine("D4", 1) << newLine("D5", 2, "NOPE") << newLine("D6", 0);
        QStringList problems;
        QCOMPARE(save(db, l, "X99A", false, &problems, header), Result::Refused);
        QCOMPARE(problems, (QStringList{"新增第 3 行 数量: \"0\" 必须大于 0",
                                        "新增第 2 行 货号: 款式资料里没有货号 NOPE (在 基础资料 › 款式 Styles 增加)"}));
        unchanged();

        // The last insert fails after the header, an update and a deletion went through.
        const bool pg = db.kind() == DbKind::PostgreSQL;
        QVERIFY(pg ? db.exec("create function boom() returns trigger language plpgsql as "
                             "$f$ begin if new.design_no = 'BOOM' then raise exception 'boom'; end if; return new; end $f$")
                       && db.exec("create trigger boom before insert on scond for each row execute function boom()")
                   : db.exec("create trigger boom before insert on scond when new.design_no = 'BOOM' "
                             "begin select raise(abort, 'boom'); end"));
        l = withState(stored(db), 3, State::Deleted);
        l[0].setText("quantity", "9");
        l << newLine("D4", 1) << newLine("BOOM", 1);
        QCOMPARE(save(db, l, "X99A", false, &problems, header), Result::Failed);
        unchanged();
        QCOMPARE(l.size(), 5);   // the form keeps what was typed
    }

    // Each right of the sales contracts allows its part only; a refusal writes nothing.
    void rightsAreChecked_data() { wip::test::addEngineRows(); }
    void rightsAreChecked()
    {
        WIP_TEST_DATABASE(db);
        makeContract(db);
        QStringList problems;
        QList<ContractLine> l = withState(stored(db), 2, State::Deleted);
        QCOMPARE(save(db, l, "X23B", false, &problems), Result::Refused);
        QCOMPARE(problems, QStringList{"用户 U1 没有删除销售合约的权限, 不能删除第 2 行!"});
        l = stored(db);
        l[1].setText("quantity", "1");
        QCOMPARE(save(db, l, "X24B", false, &problems), Result::Refused);
        QCOMPARE(problems, QStringList{"用户 U1 没有修改销售合约的权限, 不能修改第 2 行!"});
        l = stored(db) << newLine("D4", 1);
        QCOMPARE(save(db, l, "", false, &problems), Result::Refused);
        QCOMPARE(problems, QStringList{"用户 U1 没有增加销售合约的权限, 不能增加明细 (新增第 1 行)!"});
        QList<ContractLine> other{newLine("D9", 1)};
        ContractHeader kc2 = kHeader;
        kc2.scno = "KC2";
        QCOMPARE(save(db, other, "X03B", true, &problems, kc2), Result::Refused);
        QCOMPARE(problems, QStringList{"用户 U1 没有增加销售合约的权限, 不能增加合约!"});
        QCOMPARE(lines(db), (QStringList{"1 D1 5", "2 D2 6", "3 D3 7"}));
        QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 1);
        l = withState(stored(db), 2, State::Deleted);
        QCOMPARE(save(db, l, "X04B"), Result::Saved);
        QCOMPARE(lines(db), (QStringList{"1 D1 5", "3 D3 7"}));
    }

    // A code made inactive is given to no new line; a line that has it keeps
    // it and may still be changed in its other fields.
    void inactiveCodesServeNoNewLines_data() { wip::test::addEngineRows(); }
    void inactiveCodesServeNoNewLines()
    {
        WIP_TEST_DATABASE(db);
        makeContract(db);
        QVERIFY(db.exec("update article set active = 0 where article_code = 'R1'"));
        QVERIFY(db.exec("update material set active = 0 where mcode = '18KY'"));
        QStringList problems;
        QList<ContractLine> l = stored(db) << newLine("D4", 1);
        l[0].setText("quantity", "9");
        QCOMPARE(save(db, l, "X99A", false, &problems), Result::Refused);
        QCOMPARE(problems, (QStringList{"新增第 1 行 货号: 货号 R1 已停用", "新增第 1 行 成色: 金属 18KY 已停用"}));
        l.removeLast();
        QCOMPARE(save(db, l), Result::Saved);
        QCOMPARE(lines(db), (QStringList{"1 D1 9", "2 D2 6", "3 D3 7"}));
    }

    // Pieces in production keep their line: its own scans, the contract's
    // progress record and its steps.
    void productionKeepsLines_data() { wip::test::addEngineRows(); }
    void productionKeepsLines()
    {
        WIP_TEST_DATABASE(db);
        makeContract(db);
        ScanStation station(db.tr(), {"CLERK", "test"}, "X99A");
        const ScanOutcome scan = station.scan("KC1-2", *ScanDepartment::find("唧蜡"), ScanAction::In);
        QVERIFY2(scan.done(), qPrintable(scan.message));
        QStringList problems;
        QList<ContractLine> l = withState(stored(db), 2, State::Deleted);
        QCOMPARE(save(db, l, "X99A", false, &problems), Result::Refused);
        QCOMPARE(problems, QStringList{"第 2 行不能删除: 这一行已有 6 件在生产中 (扫描记录)"});
        l = stored(db);
        l[1].setText("quantity", "4");
        QCOMPARE(save(db, l, "X99A", false, &problems), Result::Refused);
        QCOMPARE(problems, QStringList{"第 2 行 数量: 不能少于 6, 这一行已有 6 件在生产中 (扫描记录)"});
        // Undone, the line is free again, and line 1 may be lessened.
        QVERIFY(station.undo(scan).done());
        l = withState(stored(db), 2, State::Deleted);
        l[0].setText("quantity", "4");
        QCOMPARE(save(db, l, "X99A", false, &problems), Result::Saved);

        // Steps of 10 pieces at filing: the lines together keep at least those.
        QVERIFY(db.insert("proch", {{"scno", "KC1"}, {"gongxu_code", "04-执模"}, {"qty", 6}}));
        QVERIFY(db.insert("proch", {{"scno", "KC1"}, {"gongxu_code", "04-执模"}, {"qty", 4}}));
        l = withState(stored(db), 3, State::Deleted);
        QCOMPARE(save(db, l, "X99A", false, &problems), Result::Refused);
        QCOMPARE(problems,
                 QStringList{"第 3 行不能删除: 合约 KC1 已有 10 件在生产中 (进度或工序), 删除后明细只有 4 件"});
        QVERIFY(db.insert("process", {{"scno", "KC1"}, {"wax_in", 11}, {"wax_out", 11}}));
        l = stored(db);
        l[1].setText("quantity", "6");
        QCOMPARE(save(db, l, "X99A", false, &problems), Result::Refused);
        QCOMPARE(problems,
                 QStringList{"第 3 行 数量: 合约 KC1 已有 11 件在生产中 (进度或工序), 改后明细只有 10 件"});
        QCOMPARE(lines(db), (QStringList{"1 D1 4", "3 D3 7"}));
    }

    // Every field of a line added, changed or deleted is in the audit trail
    // under the line, and the change record names the line's ticket, also
    // after the line is gone.
    void linesAreAudited_data() { wip::test::addEngineRows(); }
    void linesAreAudited()
    {
        WIP_TEST_DATABASE(db);
        makeContract(db);
        QList<ContractLine> l = withState(stored(db), 3, State::Deleted);
        l[1].setText("metal_netwt", "3.5");
        QCOMPARE(save(db, l), Result::Saved);
        const QString id2 = db.scalar("select scond_id from scond where line_no = 2").toString();
        QCOMPARE(db.rows("select source, field, old_value, new_value from audit_log where scond_id = ? "
                         "order by audit_id", {id2}).size(), 8);   // added: every field given, and its number
        reports::DataStore log(QStringLiteral("d_audit_log"));
        log.SetTransObject(db.tr());
        QVERIFY(log.Retrieve({QStringLiteral("KC1")}) > 0);
        QStringList changes;
        for (int r = 1; r <= log.RowCount(); ++r) {
            const QString ticket = log.GetItemString(r, "ticket");
            const QString field = log.GetItemString(r, "field");
            if (field == QStringLiteral("净金重Net Wt") || field == QStringLiteral("行号Line"))
                changes << QStringLiteral("%1 %2 %3>%4").arg(ticket, field, log.GetItemString(r, "old_value"),
                                                             log.GetItemString(r, "new_value"));
        }
        changes.sort();
        QStringList expected{"KC1-1 净金重Net Wt >3.125", "KC1-1 行号Line >1",
                             "KC1-2 净金重Net Wt >3.125", "KC1-2 净金重Net Wt 3.125>3.5", "KC1-2 行号Line >2",
                             "KC1-3 净金重Net Wt >3.125", "KC1-3 净金重Net Wt 3.125>", "KC1-3 行号Line >3",
                             "KC1-3 行号Line 3>"};
        expected.sort();
        QCOMPARE(changes, expected);
    }
};

QTEST_MAIN(ContractLinesTest)
#include "tst_contractlines.moc"
