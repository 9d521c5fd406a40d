// The checks of reference data before a save: every rule refused with the
// message that names the row and the field, on SQLite and PostgreSQL; rows
// that keep the rules pass; what is written is spelled as the database has it.

#include "reference/referencevalidator.h"
#include "reffixture.h"

#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace wip;
using namespace wip::reference;
using namespace wip::test;

class tst_Validation : public QObject
{
    Q_OBJECT

    std::map<QString, std::unique_ptr<TestDatabase>> m_dbs;
    QTemporaryDir m_files;

    // One factory per engine, shared: the checks write nothing.
    TestDatabase *factory(const QString &engine)
    {
        auto &db = m_dbs[engine];
        if (!db) {
            db = std::make_unique<TestDatabase>(engineFromName(engine));
            if (!db->isValid() || !fillFactory(*db))
                return nullptr;
        }
        return db.get();
    }

    QStringList problems(TestDatabase &db, const QString &kind, const QStringList &edits)
    {
        ReferenceValidator validator(db.tr(), RefKind::get(kind));
        const auto found = validator.validate(rowsFor(db.tr(), RefKind::get(kind), edits));
        if (!found)
            return {QStringLiteral("error: ") + validator.error()};
        QStringList texts;
        for (const RefProblem &p : *found)
            texts << p.text();
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        QFile text(m_files.filePath(QStringLiteral("notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
    }

    void eachRuleIsRefusedNamingRowAndField_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("expected");
        const QString notes = m_files.filePath(QStringLiteral("notes.txt"));
        const QString metal = QStringLiteral("+mcode=%1;mtype=GOLD;purate=%2;hallmark=%3");
        struct Case
        {
            const char *name;
            QString kind;
            QStringList rows;
            QStringList expected;
        };
        const QList<Case> cases = {
            {"code given twice, case aside", "metals", {metal.arg("18ky", "0.750", "750")},
             {"第 1 行 成色代码 Metal: 18ky 已有"}},
            {"code twice in the rows", "metals", {metal.arg("18KR", "0.750", "750"), metal.arg("18kr", "0.750", "750")},
             {"第 2 行 成色代码 Metal: 18kr 与第 1 行重复"}},
            {"metal code of a stone", "metals", {metal.arg("DIA", "0.750", "750")}, {"第 1 行 成色代码 Metal: DIA 已有"}},
            {"code missing", "metals", {"+mtype=GOLD;purate=0.750"}, {"第 1 行 成色代码 Metal: 必须填写"}},
            {"purity in thousandths", "metals", {metal.arg("18KR", "750", "750")},
             {"第 1 行 成色 Purity: 750 不在 0 与 1 之间 (成色以小数写: 18K 为 0.750, PT950 为 0.950)"}},
            {"purity of four places", "metals", {metal.arg("18KR", "0.7505", "")},
             {"第 1 行 成色 Purity: 0.7505 多于 3 位小数"}},
            {"hallmark against purity", "metals", {metal.arg("14KY", "0.585", "750")},
             {"第 1 行 字印 Hallmark: 750 与成色 0.585 不符, 应为 585"}},
            {"hallmark changed on a saved metal", "metals", {"~PT950:hallmark=950"},
             {"第 1 行 字印 Hallmark: 铂金的字印以 PT 开头: PT950"}},
            {"type not a choice", "metals", {"+mcode=925S;mtype=SILVER;purate=0.925"},
             {"第 1 行 类别 Type: SILVER 不是 GOLD, PT 之一"}},
            {"saved code changed", "metals", {"~18KY:mcode=18KYY"},
             {"第 1 行 成色代码 Metal: 已保存的代码不能修改 (原为 18KY); 请增加新代码, 停用旧代码"}},
            {"metal in use deleted", "metals", {"-9KR", "-18KY"},
             {"第 2 行 成色代码 Metal: 18KY 在使用中 (合约明细 contract lines), 不能删除, 只能停用 (取消 使用中)"}},
            {"stone in a style deleted", "stones", {"-DIA"},
             {"第 1 行 石料代码 Stone: DIA 在使用中 (款式 styles), 不能删除, 只能停用 (取消 使用中)"}},
            {"worker in a step deleted", "workers", {"-0402", "-0401"},
             {"第 2 行 工号 Worker no.: 0401 在使用中 (工序 steps), 不能删除, 只能停用 (取消 使用中)"}},
            {"customer of a contract deleted", "customers", {"-QOR"},
             {"第 1 行 客户编号 Customer: QOR 在使用中 (销售合约 contracts), 不能删除, 只能停用 (取消 使用中)"}},
            {"department unknown", "workers", {"+changhao=0403;xingming=黄小明;gongxu_code=99-XX"},
             {"第 1 行 部门 Department: 没有 99-XX (见 工序 Processes)"}},
            {"worker without a name", "workers", {"+changhao=0403;gongxu_code=04-执模"},
             {"第 1 行 姓名 Name: 必须填写"}},
            {"product type made inactive", "styles", {"+article_code=R200;arttype_code=OLDTYPE"},
             {"第 1 行 产品类别 Type: OLDTYPE 已停用"}},
            {"stone lines", "styles",
             {"+article_code=R201;arttype_code=r;stones=DIA@钉镶*0,XX@钉镶*1,dia@钉镶*2,OLD-STONE@包镶*1"},
             {"第 1 行 镶石第 1 行 每件粒数 Per piece: 每件至少 1 粒 (只有 INIST 写 0)",
              "第 1 行 镶石第 2 行 石料 Stone: 没有 XX (见 石料 Stones)",
              "第 1 行 镶石第 3 行 镶法 Setting: DIA 的 钉镶 与镶石第 1 行重复",
              "第 1 行 镶石第 4 行 石料 Stone: OLD-STONE 已停用"}},
            {"stones per piece not a number", "styles", {"~R100:stones=DIA@钉镶*two"},
             {"第 1 行 镶石第 1 行 每件粒数 Per piece: two 不是数字"}},
            {"picture file not a picture", "styles", {"+article_code=R202;arttype_code=R;picture=" + notes},
             {"第 1 行 图片文件 Picture file: notes.txt 不是图片 (BMP, PNG, JPEG ...)"}},
            {"picture of another style", "styles", {"+article_code=R203;arttype_code=R;pic_name=r100.BMP"},
             {"第 1 行 图片 Picture: 图片 r100.BMP 已是款式 R100 的图片"}},
            {"picture name with a folder", "styles", {"~P200:pic_name=../x.bmp"},
             {"第 1 行 图片 Picture: ../x.bmp 不能作文件名 (不能有 <>:\"/\\|?*)"}},
            {"process code added", "processes", {"+gongxu_code=30-新;gongxu_name=NEW"},
             {"第 1 行 工序代码 Code: 不能增加: 这些代码是报表使用的键, 只能改名称"}},
            {"stock code deleted", "stocks", {"-01-金仓收发"},
             {"第 1 行 仓位代码 Code: 不能删除: 这些代码是报表使用的键"}},
            {"line break in a name", "customers", {"+cust_no=TIF;cust_name=Tiffin\\nCo"},
             {"第 1 行 名称 Name: 不能有换行或控制字符"}},
            {"code too long", "customers", {"+cust_no=ABCDEFGHIJKLMNOPQRSTU"}, {"第 1 行 客户编号 Customer: 长于 20 个字"}},
            {"active neither yes nor no", "customers", {"~NEWC:active=maybe"},
             {"第 1 行 使用中 Active: maybe: 写 1 (使用中) 或 0 (停用)"}},
        };
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (const Case &c : cases)
                QTest::addRow("%s: %s", engine, c.name) << QString::fromLatin1(engine) << c.kind << c.rows << c.expected;
        }
    }

    void eachRuleIsRefusedNamingRowAndField()
    {
        QFETCH(QString, engine);
        QFETCH(QString, kind);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, expected);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        TestDatabase *db = factory(engine);
        QVERIFY(db);
        QCOMPARE(problems(*db, kind, rows), expected);
    }

    void rowsThatKeepTheRulesPass_data() { addEngineRows(); }
    void rowsThatKeepTheRulesPass()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        TestDatabase *db = factory(engine);
        QVERIFY(db);
        const QList<QPair<QString, QStringList>> good = {
            {"metals", {"+mcode=18KR;mtype=gold;purate=.75;hallmark=AU750", "+mcode=PT900;mtype=PT;purate=0.9;hallmark=Pt 900",
                        "+mcode=18KY焊;mtype=GOLD;purate=0.700", "~18KY:mname=18K黄金 yellow;active=0", "-9KR"}},
            {"stones", {"+mcode=RUBY;mname=红宝石;unit=粒"}},
            {"styles", {"+article_code=R300;arttype_code=R;stones=INIST@初始镶法*0", "~R100:stones=DIA@钉镶*3,DIA@包镶*1.5"}},
            {"workers", {"+changhao=0601;xingming=王芳;gongxu_code=06-镶石", "-0402"}},
            {"processes", {"~04-执模:gongxu_name=FILING ROOM A"}},
            {"customers", {"-NEWC", "+cust_no=NEWC;cust_name=Given again"}},
        };
        for (const auto &[kind, rows] : good)
            QVERIFY2(problems(*db, kind, rows).isEmpty(), qPrintable(kind + ": " + problems(*db, kind, rows).join(" | ")));
    }

    // Choices and codes of other kinds go to the database as it spells them,
    // and a picture file names the style's picture.
    void rowsAreSpelledAsTheDatabaseHasThem()
    {
        TestDatabase *db = factory(QStringLiteral("sqlite"));
        QVERIFY(db);
        ReferenceValidator metals(db->tr(), RefKind::get("metals"));
        QVERIFY(metals.validate(rowsFor(db->tr(), RefKind::get("metals"), {"+mcode=18KR;mtype=gold;purate=0.75"}))
                    ->isEmpty());
        QCOMPARE(metals.rows().first().value("mtype"), QStringLiteral("GOLD"));

        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString file = m_files.filePath(QStringLiteral("Ring Photo.PNG"));
        QVERIFY(picture.save(file));
        ReferenceValidator styles(db->tr(), RefKind::get("styles"));
        const auto found = styles.validate(
            rowsFor(db->tr(), RefKind::get("styles"), {"+article_code=R400;arttype_code=r;picture=" + file}));
        QVERIFY(found && found->isEmpty());
        QCOMPARE(styles.rows().first().value("arttype_code"), QStringLiteral("R"));
        QCOMPARE(styles.rows().first().value("pic_name"), QStringLiteral("R400.png"));
    }

    void cleanupTestCase() { m_dbs.clear(); }
};

QTEST_MAIN(tst_Validation)
#include "tst_validation.moc"
