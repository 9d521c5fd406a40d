// Saving reference data: all or nothing with its audit rows in the same
// transaction, a refusal writing nothing (no row, no audit row, no picture), a
// code in use made inactive instead of deleted, a style with its stones and its
// picture copied into the picture folder, the right "资料" checked; SQLite and
// PostgreSQL.

#include "reference/referencewriter.h"
#include "reffixture.h"
#include "runtime/drivemapping.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::reference;
using namespace wip::test;

class tst_Save : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    static SaveOutcome save(TestDatabase &db, const QString &kind, const QStringList &edits,
                            const QString &user = QStringLiteral("CLERK"))
    {
        ReferenceWriter writer(db.tr(), RefKind::get(kind), {user, QStringLiteral("tst_save")});
        return writer.save(rowsFor(db.tr(), RefKind::get(kind), edits));
    }

    // The audit rows as "table|key|field|old|new", in the order written.
    static QStringList audit(TestDatabase &db)
    {
        QStringList out;
        for (const QVariantList &r : db.rows("select record_table, record_key, field, old_value, new_value, user_code, "
                                             "source, scno from audit_log order by audit_id")) {
            if (r[5].toString() != QLatin1String("CLERK") || r[6].toString() != QLatin1String("tst_save")
                || !r[7].isNull())
                out << QStringLiteral("unexpected who: ") + r[5].toString() + r[6].toString();
            QStringList cells;
            for (int i = 0; i < 5; ++i)
                cells << (r[i].isNull() ? QStringLiteral("NULL") : r[i].toString());
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    // Every row of the tables reference data lives in, as one text.
    static QString snapshot(TestDatabase &db)
    {
        QStringList parts;
        for (const char *sql : {"select mcode, mtype, purate, hallmark, mname, active from material order by mcode",
                                "select article_code, arttype_code, pic_name, active from article order by article_code",
                                "select article_code, stone_code, settype_code, qtycal from artsd order by 1, 2, 3",
                                "select article_code, stoneneed from stoneneed order by 1",
                                "select changhao, xingming, gongxu_code, active from worker order by 1",
                                "select count(*) from audit_log"}) {
            for (const QVariantList &r : db.rows(QString::fromLatin1(sql))) {
                QStringList cells;
                for (const QVariant &v : r)
                    cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
                parts << cells.join(QLatin1Char(','));
            }
        }
        return parts.join(QLatin1Char('\n'));
    }

    QString picture(const QString &name, Qt::GlobalColor colour)
    {
        QImage image(6, 4, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = m_files.filePath(name);
        return image.save(path) ? path : QString();
    }

    static QByteArray bytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        installRights();
    }

    void init()
    {
        QDir(m_files.filePath(QStringLiteral("pictures"))).removeRecursively();
        QVERIFY(QDir().mkpath(m_files.filePath(QStringLiteral("pictures"))));
        DriveMapping::instance().setFolder(QLatin1Char('P'), m_files.filePath(QStringLiteral("pictures")));
    }

    void cleanupTestCase() { DriveMapping::instance().resetFolders(); }

    void savesRowsWithTheirAuditRows_data() { addEngineRows(); }
    void savesRowsWithTheirAuditRows()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const SaveOutcome o = save(db, "metals",
                                   {"+mcode=18KR;mtype=gold;purate=0.75;hallmark=750;mname=18K玫瑰金",
                                    "~18KY:mname=18K黄金 yellow;active=0", "-9KR"});
        QVERIFY2(o.saved, qPrintable(o.problemText() + o.error));
        QCOMPARE(o.added, 1);
        QCOMPARE(o.edited, 1);
        QCOMPARE(o.deleted, 1);
        QCOMPARE(db.rows("select mtype, purate, hallmark, active from material where mcode = '18KR'").value(0).value(0),
                 QVariant(QStringLiteral("GOLD")));
        QCOMPARE(db.scalar("select active from material where mcode = '18KY'").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from material where mcode = '9KR'").toInt(), 0);
        QCOMPARE(audit(db), (QStringList{
                                "material|9KR|mcode|9KR|NULL", "material|9KR|mtype|GOLD|NULL",
                                "material|9KR|purate|0.375|NULL", "material|9KR|hallmark|375|NULL",
                                "material|9KR|active|1|NULL",
                                "material|18KY|mname|18K黄金|18K黄金 yellow", "material|18KY|active|1|0",
                                "material|18KR|mcode|NULL|18KR", "material|18KR|mtype|NULL|GOLD",
                                "material|18KR|purate|NULL|0.75", "material|18KR|hallmark|NULL|750",
                                "material|18KR|mname|NULL|18K玫瑰金", "material|18KR|active|NULL|1"}));
        // Read back as saved: the purity to three places.
        const auto rows = rowsFor(db.tr(), RefKind::get("metals"), {"~18KR:"});
        QCOMPARE(rows.first().original.value("purate"), QStringLiteral("0.750"));
    }

    void aRefusalWritesNothing_data() { addEngineRows(); }
    void aRefusalWritesNothing()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const QString before = snapshot(db);
        const QString file = picture(QStringLiteral("new.png"), Qt::blue);
        // Good rows with one bad one: none of them is written, nor the picture.
        const SaveOutcome o = save(db, "styles",
                                   {"~R100:arttype_code=P;stones=DIA@包镶*1", "+article_code=R600;arttype_code=R;picture=" + file,
                                    "+article_code=R601;arttype_code=NONE", "-P200"});
        QVERIFY(!o.saved);
        QCOMPARE(o.problemText(), QStringLiteral("第 3 行 产品类别 Type: 没有 NONE (见 产品类别 Types)"));
        QCOMPARE(snapshot(db), before);
        QCOMPARE(QDir(m_files.filePath("pictures")).entryList(QDir::Files | QDir::Hidden), QStringList());
        // Without the right nothing is even checked.
        const SaveOutcome refused = save(db, "metals", {"+mcode=18KR;mtype=GOLD;purate=0.75"}, "VIEW");
        QCOMPARE(refused.problemText(), QStringLiteral("用户 VIEW 没有资料 (reference data) 的权限, 不能增加、修改或停用。"));
        QCOMPARE(snapshot(db), before);
        // All the sales-contract rights are not this one.
        QCOMPARE(save(db, "metals", {"+mcode=18KR;mtype=GOLD;purate=0.75"}, "CONTRACTS").problemText(),
                 QStringLiteral("用户 CONTRACTS 没有资料 (reference data) 的权限, 不能增加、修改或停用。"));
        QCOMPARE(snapshot(db), before);
        // The administrator holds every right.
        QVERIFY(save(db, "metals", {"+mcode=18KR;mtype=GOLD;purate=0.75"}, "ADMIN").saved);
    }

    void aCodeInUseIsMadeInactiveNotDeleted_data() { addEngineRows(); }
    void aCodeInUseIsMadeInactiveNotDeleted()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const SaveOutcome deleted = save(db, "stones", {"-DIA"});
        QVERIFY(!deleted.saved);
        QCOMPARE(deleted.problemText(),
                 QStringLiteral("第 1 行 石料代码 Stone: DIA 在使用中 (款式 styles), 不能删除, 只能停用 (取消 使用中)"));
        QVERIFY(save(db, "stones", {"~DIA:active=否"}).saved);
        QCOMPARE(db.scalar("select active from material where mcode = 'DIA'").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from artsd where stone_code = 'DIA'").toInt(), 1);
        // No new style takes it; the style that has it keeps it.
        QCOMPARE(save(db, "styles", {"+article_code=R700;arttype_code=R;stones=DIA@钉镶*1"}).problemText(),
                 QStringLiteral("第 1 行 镶石第 1 行 石料 Stone: DIA 已停用"));
        QVERIFY(save(db, "styles", {"~R100:arttype_code=P"}).saved);
        // A code nothing uses is deleted.
        QVERIFY(save(db, "stones", {"-OLD-STONE"}).saved);
        QCOMPARE(db.scalar("select count(*) from material where mcode = 'OLD-STONE'").toInt(), 0);
    }

    void aStyleWithStonesAndItsPicture_data() { addEngineRows(); }
    void aStyleWithStonesAndItsPicture()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const QString red = picture(QStringLiteral("Ring Photo.PNG"), Qt::red);
        SaveOutcome o = save(db, "styles",
                             {"+article_code=R500;arttype_code=R;picture=" + red + ";stones=DIA@钉镶*12,dia@包镶*1.5"});
        QVERIFY2(o.saved, qPrintable(o.problemText() + o.error));
        const QString copy = m_files.filePath(QStringLiteral("pictures/R500.png"));
        QCOMPARE(bytes(copy), bytes(red));
        QCOMPARE(db.scalar("select pic_name from article where article_code = 'R500'").toString(),
                 QStringLiteral("R500.png"));
        QCOMPARE(db.rows("select stone_code, settype_code, qtycal from artsd where article_code = 'R500' order by 2")
                     .size(), 2);
        QCOMPARE(db.scalar("select stoneneed from stoneneed where article_code = 'R500'").toDouble(), 13.5);
        const QStringList added = audit(db);
        for (const char *row : {"article|R500|picture|NULL|Ring Photo.PNG", "article|R500|pic_name|NULL|R500.png",
                                "artsd|R500/DIA/钉镶|qtycal|NULL|12", "artsd|R500/DIA/包镶|qtycal|NULL|1.5"})
            QVERIFY2(added.contains(QString::fromUtf8(row)), qPrintable(added.join('\n')));

        // Another picture replaces it; a stone line changes, another goes.
        const QString blue = picture(QStringLiteral("second.png"), Qt::blue);
        o = save(db, "styles", {"~R500:picture=" + blue + ";stones=DIA@钉镶*10"});
        QVERIFY2(o.saved, qPrintable(o.problemText() + o.error));
        QCOMPARE(bytes(copy), bytes(blue));
        QCOMPARE(db.rows("select qtycal from artsd where article_code = 'R500'").size(), 1);
        QCOMPARE(db.scalar("select stoneneed from stoneneed where article_code = 'R500'").toDouble(), 10.0);
        const QStringList changed = audit(db).mid(added.size());
        QCOMPARE(changed, (QStringList{"article|R500|picture|R500.png|second.png", "artsd|R500/DIA/钉镶|qtycal|12|10",
                                       "artsd|R500/DIA/包镶|stone_code|DIA|NULL",
                                       "artsd|R500/DIA/包镶|settype_code|包镶|NULL",
                                       "artsd|R500/DIA/包镶|qtycal|1.5|NULL"}));
        // Deleting a style nothing uses takes its stones with it.
        QVERIFY(save(db, "styles", {"-R500"}).saved);
        QCOMPARE(db.scalar("select count(*) from artsd where article_code = 'R500'").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from stoneneed where article_code = 'R500'").toInt(), 0);
    }

    // A picture that cannot be copied is a refusal like any other: no row is written.
    void aPictureThatCannotBeCopiedWritesNothing()
    {
        TestDatabase db;
        QVERIFY(db.isValid() && fillFactory(db));
        const QString notAFolder = m_files.filePath(QStringLiteral("plain-file"));
        QFile plain(notAFolder);
        QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("x") == 1);
        plain.close();
        DriveMapping::instance().setFolder(QLatin1Char('P'), notAFolder);
        const QString before = snapshot(db);
        const SaveOutcome o = save(db, "styles",
                                   {"+article_code=R800;arttype_code=R;picture=" + picture("p.png", Qt::green)});
        QVERIFY(!o.saved);
        QCOMPARE(o.problems.size(), 1);
        QVERIFY2(o.problemText().startsWith(QStringLiteral("第 1 行 图片文件 Picture file: ")), qPrintable(o.problemText()));
        QCOMPARE(snapshot(db), before);
    }

    // A process listed twice changes the name of the row that was edited only.
    void aProcessNameChangesOnItsOwnRow_data() { addEngineRows(); }
    void aProcessNameChangesOnItsOwnRow()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        QList<RefRow> rows = ReferenceReader(db.tr()).load(RefKind::get("processes")).value();
        QCOMPARE(rows.at(1).value("gongxu_name"), QStringLiteral("FILING ROOM 2"));
        rows[1].values.insert("gongxu_name", "FILING ROOM B");
        rows[1].change = RefRow::Change::Edited;
        ReferenceWriter writer(db.tr(), RefKind::get("processes"), {"CLERK", "tst_save"});
        const SaveOutcome o = writer.save(rows);
        QVERIFY2(o.saved, qPrintable(o.problemText() + o.error));
        QCOMPARE(db.rows("select gongxu_name from gongxu where gongxu_code = '04-执模' order by gongxu_name").size(), 2);
        QCOMPARE(db.scalar("select count(*) from gongxu where gongxu_name = 'FILING'").toInt(), 1);
        QCOMPARE(db.scalar("select count(*) from gongxu where gongxu_name = 'FILING ROOM B'").toInt(), 1);
        // A row another clerk changed meanwhile is not written over.
        QVERIFY(db.exec("update gongxu set gongxu_name = 'SETTING 2' where gongxu_code = '06-镶石'"));
        rows[2].values.insert("gongxu_name", "SETTING ROOM");
        rows[2].change = RefRow::Change::Edited;
        rows[1].change = RefRow::Change::Unchanged;
        const SaveOutcome stale = writer.save(rows);
        QCOMPARE(stale.problemText(), QStringLiteral("第 3 行 工序代码 Code: 06-镶石 已被别人修改或删除, 请重新读取"));
        QCOMPARE(db.scalar("select gongxu_name from gongxu where gongxu_code = '06-镶石'").toString(),
                 QStringLiteral("SETTING 2"));
    }
};

QTEST_MAIN(tst_Save)
#include "tst_save.moc"
