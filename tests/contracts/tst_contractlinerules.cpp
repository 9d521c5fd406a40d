#include "contracts/contractcodes.h"
#include "contracts/contractlinerules.h"

#include <QTest>

using namespace wip;
using State = ContractLine::State;

Q_DECLARE_METATYPE(wip::ContractLine)

namespace {

// A line as the form holds it: "quantity=5;metal=18KY", stored as `stored`.
ContractLine line(State state, int lineNo, const QString &texts, const QString &stored = QString())
{
    ContractLine l;
    l.state = state;
    l.lineNo = lineNo;
    l.scondId = lineNo > 0 ? 100 + lineNo : 0;
    const auto fill = [](QMap<QString, QString> &map, const QString &pairs) {
        for (const QString &pair : pairs.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            map.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    };
    fill(l.stored, stored);
    l.texts = l.stored;
    fill(l.texts, texts);
    return l;
}

const QString kGood = QStringLiteral("article_code=R1;metal=18KY;quantity=5");

} // namespace

// The checks of contract lines before they are saved, each problem naming the
// line and the field: the fields, the codes, the pieces in production, the rights.
class ContractLineRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fieldProblem_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");
        QTest::newRow("pieces") << "quantity" << "12" << "";
        QTest::newRow("pieces, blanks and zeros after the point") << "quantity" << " 12.000 " << "";
        QTest::newRow("pieces blank") << "quantity" << "  " << "不能空白";
        QTest::newRow("pieces zero") << "quantity" << "0" << "\"0\" 必须大于 0";
        QTest::newRow("pieces negative") << "quantity" << "-3" << "\"-3\" 必须大于 0";
        QTest::newRow("pieces half") << "quantity" << "2.5" << "\"2.5\" 不是整数";
        QTest::newRow("pieces a thousandth") << "quantity" << "1.001" << "\"1.001\" 不是整数";
        QTest::newRow("pieces letters") << "quantity" << "5pcs" << "\"5pcs\" 不是数字";
        QTest::newRow("pieces thousands separator") << "quantity" << "1,000" << "\"1,000\" 不是数字";
        QTest::newRow("pieces beyond the column") << "quantity" << "1000000000000" << "\"1000000000000\" 太大";
        QTest::newRow("weight") << "metal_netwt" << "12.345" << "";
        QTest::newRow("weight blank") << "metal_netwt" << "" << "";
        QTest::newRow("weight zero") << "metal_netwt" << "0" << "";
        QTest::newRow("weight trailing zero") << "metal_netwt" << "1.2340" << "";
        QTest::newRow("weight four places") << "metal_netwt" << "1.2345" << "\"1.2345\" 最多 3 位小数";
        QTest::newRow("weight a tenth of a milligram") << "metal_netwt" << "0.0001" << "\"0.0001\" 最多 3 位小数";
        QTest::newRow("weight negative") << "metal_netwt" << "-0.001" << "\"-0.001\" 不能小于 0";
        QTest::newRow("weight not a number") << "metal_netwt" << "12g" << "\"12g\" 不是数字";
        QTest::newRow("price") << "unit_labprice" << "37.5" << "";
        QTest::newRow("price four places") << "unit_labprice" << "0.1234" << "\"0.1234\" 最多 3 位小数";
        QTest::newRow("article blank") << "article_code" << "" << "不能空白";
        QTest::newRow("metal blank") << "metal" << " " << "不能空白";
        QTest::newRow("design blank") << "design_no" << "" << "";
        QTest::newRow("size too long") << "size" << QString(21, QLatin1Char('7')) << "最多 20 个字 (现在 21 个)";
    }

    void fieldProblem()
    {
        QFETCH(QString, column);
        QFETCH(QString, text);
        QFETCH(QString, problem);
        QCOMPARE(ContractLineRules::fieldProblem(*LineField::find(column), text), problem);
    }

    // A new line is checked whole, a changed one in the fields it changed (what
    // it held before stands); stored and deleted lines are not.
    void checkFieldsNamesLineAndField()
    {
        const QList<ContractLine> lines = {
            line(State::Stored, 1, QString(), "quantity=2.5"),
            line(State::Changed, 2, "remarks=rush", "quantity=2.5;metal=18KY"),
            line(State::Changed, 3, "quantity=0", kGood),
            line(State::Deleted, 4, QString(), "quantity=x"),
            line(State::New, 0, kGood),
            line(State::New, 0, "article_code=R1;quantity=3;metal_netwt=1.2345"),
        };
        QCOMPARE(ContractLineRules::checkFields(lines),
                 (QStringList{"第 3 行 数量: \"0\" 必须大于 0", "新增第 2 行 成色: 不能空白",
                              "新增第 2 行 净金重: \"1.2345\" 最多 3 位小数"}));
    }

    // Codes a line is given must be known and in use; a code a stored line
    // keeps is not asked about again (it may have been made inactive since).
    void checkCodesAsksForChangedCodesOnly()
    {
        const QList<ContractLine> lines = {
            line(State::Changed, 1, "quantity=6", "article_code=OLD;metal=OLD;quantity=5"),
            line(State::Changed, 2, "article_code=R9", kGood),
            line(State::New, 0, "article_code=R1;metal=STONE-1;quantity=1"),
            line(State::New, 0, "article_code=R0;metal=9KR;quantity=1"),
        };
        QStringList asked;
        const auto state = [&asked](LineField::Kind kind, const QString &code) {
            using Code = ContractLineRules::Code;
            asked << code;
            if (code == QLatin1String("R0") || code == QLatin1String("9KR"))
                return Code::Inactive;
            const bool known = kind == LineField::Kind::Article ? code == QLatin1String("R1") : code == QLatin1String("18KY");
            return known ? Code::Known : Code::Unknown;
        };
        QCOMPARE(ContractLineRules::checkCodes(lines, state),
                 (QStringList{"第 2 行 货号: 款式资料里没有货号 R9 (在 基础资料 › 款式 Styles 增加)",
                              "新增第 1 行 成色: 成色资料里没有金属 STONE-1 (在 基础资料 › 成色 Metals 增加)",
                              "新增第 2 行 货号: 货号 R0 已停用", "新增第 2 行 成色: 金属 9KR 已停用"}));
        QCOMPARE(asked, (QStringList{"R9", "R1", "STONE-1", "R0", "9KR"}));
    }

    void checkProgress_data()
    {
        QTest::addColumn<QList<ContractLine>>("lines");
        QTest::addColumn<int>("contract");       // pieces of the contract in production
        QTest::addColumn<int>("line2");          // pieces line 2's scans moved
        QTest::addColumn<bool>("line2Scanned");
        QTest::addColumn<QStringList>("problems");
        const ContractLine one = line(State::Stored, 1, QString(), "quantity=10");
        const ContractLine two = line(State::Stored, 2, QString(), "quantity=5");
        const auto deleted = [](ContractLine l) { l.state = State::Deleted; return l; };
        const auto pieces = [](ContractLine l, const char *q) { l.setText("quantity", q); return l; };
        QTest::newRow("nothing in production") << QList{one, deleted(two)} << 0 << 0 << false << QStringList{};
        QTest::newRow("the others still hold the contract's pieces")
            << QList{one, deleted(two)} << 10 << 0 << false << QStringList{};
        QTest::newRow("deleting below the contract's pieces")
            << QList{one, deleted(two)} << 12 << 0 << false
            << QStringList{"第 2 行不能删除: 合约 KC1 已有 12 件在生产中 (进度或工序), 删除后明细只有 10 件"};
        QTest::newRow("a line whose scans moved pieces")
            << QList{one, deleted(two)} << 5 << 5 << true
            << QStringList{"第 2 行不能删除: 这一行已有 5 件在生产中 (扫描记录)"};
        QTest::newRow("a line with a scan standing") << QList{one, deleted(two)} << 0 << 0 << true
                                                     << QStringList{"第 2 行不能删除: 这一行已有扫描记录"};
        QTest::newRow("lessened to its pieces in production")
            << QList{one, pieces(two, "3")} << 13 << 3 << true << QStringList{};
        QTest::newRow("lessened below its own pieces")
            << QList{one, pieces(two, "2")} << 3 << 3 << true
            << QStringList{"第 2 行 数量: 不能少于 3, 这一行已有 3 件在生产中 (扫描记录)"};
        QTest::newRow("lessened below the contract's pieces")
            << QList{one, pieces(two, "4")} << 15 << 0 << false
            << QStringList{"第 2 行 数量: 合约 KC1 已有 15 件在生产中 (进度或工序), 改后明细只有 14 件"};
        QTest::newRow("more pieces always") << QList{pieces(one, "11"), two} << 99 << 0 << false << QStringList{};
        QTest::newRow("a new line makes up for a deleted one")
            << QList{one, deleted(two), line(State::New, 0, kGood)} << 15 << 0 << false << QStringList{};
    }

    void checkProgress()
    {
        QFETCH(QList<ContractLine>, lines);
        QFETCH(int, contract);
        QFETCH(int, line2);
        QFETCH(bool, line2Scanned);
        QFETCH(QStringList, problems);
        ContractLineRules::Progress progress;
        progress.contract = Decimal::fromInt(contract);
        if (line2 > 0)
            progress.linePieces.insert(102, Decimal::fromInt(line2));
        if (line2Scanned)
            progress.scanned.insert(102);
        QCOMPARE(ContractLineRules::checkProgress(QStringLiteral("KC1"), lines, progress), problems);
    }

    void checkRights_data()
    {
        QTest::addColumn<bool>("newContract");
        QTest::addColumn<bool>("headerChanged");
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("everything") << false << true << "X99A" << QStringList{};
        QTest::newRow("a new contract with its lines") << true << true << "X02B" << QStringList{};
        QTest::newRow("a new contract without add")
            << true << true << "X34B" << QStringList{"用户 U1 没有增加销售合约的权限, 不能增加合约!"};
        QTest::newRow("edit only") << false << true << "X03B"
                                   << QStringList{"用户 U1 没有删除销售合约的权限, 不能删除第 3 行!",
                                                  "用户 U1 没有增加销售合约的权限, 不能增加明细 (新增第 1 行)!"};
        QTest::newRow("add and delete")
            << false << true << "X24B"
            << QStringList{"用户 U1 没有修改销售合约的权限, 不能修改合约表头!",
                           "用户 U1 没有修改销售合约的权限, 不能修改第 2 行!"};
        QTest::newRow("add and delete, header as it was")
            << false << false << "X24B" << QStringList{"用户 U1 没有修改销售合约的权限, 不能修改第 2 行!"};
        QTest::newRow("no rights") << false << false << ""
                                   << QStringList{"用户 U1 没有修改销售合约的权限, 不能修改第 2 行!",
                                                  "用户 U1 没有删除销售合约的权限, 不能删除第 3 行!",
                                                  "用户 U1 没有增加销售合约的权限, 不能增加明细 (新增第 1 行)!"};
    }

    void checkRights()
    {
        QFETCH(bool, newContract);
        QFETCH(bool, headerChanged);
        QFETCH(QString, rights);
        QFETCH(QStringList, problems);
        QList<ContractLine> lines = {line(State::Stored, 1, QString(), kGood), line(State::Changed, 2, "quantity=6", kGood),
                                     line(State::Deleted, 3, QString(), kGood), line(State::New, 0, kGood)};
        if (newContract)
            lines = {line(State::New, 0, kGood), line(State::New, 0, kGood)};
        QCOMPARE(ContractLineRules::checkRights(newContract, headerChanged, lines,
                                                RightsCatalogue::contractRights(rights), QStringLiteral("U1")),
                 problems);
    }

    // Typing a field back to what is stored makes the line stored again.
    void lineStateFollowsItsTexts()
    {
        ContractLine l = line(State::Stored, 1, QString(), kGood);
        l.setText("quantity", "6");
        QCOMPARE(l.state, State::Changed);
        QCOMPARE(l.changedColumns(), QStringList{"quantity"});
        l.setText("quantity", "5 ");
        QCOMPARE(l.state, State::Stored);
        QVERIFY(l.changedColumns().isEmpty());
    }

    void hallmarkOfAMetal_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("purity");
        QTest::addColumn<QString>("hallmark");
        QTest::newRow("18K") << "GOLD" << "0.750" << "750";
        QTest::newRow("14K") << "GOLD" << "0.585" << "585";
        QTest::newRow("9K") << "GOLD" << "0.375" << "375";
        QTest::newRow("platinum") << "PT" << "0.95" << "PT950";
        QTest::newRow("platinum, lower case") << "pt" << "0.9" << "PT900";
        QTest::newRow("no purity") << "GOLD" << "" << "";
        QTest::newRow("zero purity") << "GOLD" << "0" << "";
    }

    void hallmarkOfAMetal()
    {
        QFETCH(QString, type);
        QFETCH(QString, purity);
        QFETCH(QString, hallmark);
        QCOMPARE(ContractCodes::hallmarkFor(type, ContractLineRules::number(purity)), hallmark);
    }
};

QTEST_MAIN(ContractLineRulesTest)
#include "tst_contractlinerules.moc"
