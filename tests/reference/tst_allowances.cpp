// The allowances of loss per process and metal and the metal a refinery gave
// back, kept in 基础资料 like every kind: the key made of the fields, a metal
// code or a family, the checks, who entered a recovery and when, and every
// change in the audit trail of the same transaction; SQLite and PostgreSQL.

#include "reference/referencewriter.h"
#include "reffixture.h"

#include <QTest>

using namespace wip;
using namespace wip::reference;
using namespace wip::test;

class tst_Allowances : public QObject
{
    Q_OBJECT

    static SaveOutcome save(TestDatabase &db, const QString &kind, const QStringList &edits,
                            const QString &user = QStringLiteral("CLERK"))
    {
        ReferenceWriter writer(db.tr(), RefKind::get(kind), {user, QStringLiteral("tst_allowances")});
        return writer.save(rowsFor(db.tr(), RefKind::get(kind), edits));
    }

    static QStringList table(TestDatabase &db, const QString &sql)
    {
        QStringList out;
        for (const QVariantList &r : db.rows(sql)) {
            QStringList cells;
            for (const QVariant &v : r)
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    static QStringList allowances(TestDatabase &db)
    {
        return table(db, QStringLiteral("select allowance_key, gongxu_code, metal, rate from loss_allowance "
                                        "order by allowance_key"));
    }

private Q_SLOTS:
    void initTestCase() { installRights(); }

    void allowancesAreKeptByProcessAndMetalAndAudited_data() { addEngineRows(); }
    void allowancesAreKeptByProcessAndMetalAndAudited()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        // A metal code is spelt as the metals' tab has it, a family in capitals.
        const SaveOutcome added = save(db, "allowances",
                                       {"+gongxu_code=04-执模;metal=18k;rate=1.2", "+gongxu_code=04-执模;rate=1.5",
                                        "+gongxu_code=04-执模;metal=pt950;rate=0.8", "+gongxu_code=06-镶石;metal=9kr;rate=0.75"});
        QVERIFY2(added.saved, qPrintable(added.problemText() + added.error));
        QCOMPARE(added.added, 4);
        const QStringList rows = allowances(db);
        QCOMPARE(rows.size(), 4);
        QVERIFY2(rows.contains(QStringLiteral("04-执模/*|04-执模|NULL|1.5")), qPrintable(rows.join('\n')));
        QVERIFY2(rows.filter(QStringLiteral("04-执模/18K|04-执模|18K|1.2")).size() == 1, qPrintable(rows.join('\n')));
        QVERIFY2(rows.filter(QStringLiteral("04-执模/PT950|04-执模|PT950|0.8")).size() == 1, qPrintable(rows.join('\n')));
        QVERIFY2(rows.filter(QStringLiteral("06-镶石/9KR|06-镶石|9KR|0.75")).size() == 1, qPrintable(rows.join('\n')));
        // One audit row per field of each added row, in the save's transaction.
        QCOMPARE(db.scalar("select count(*) from audit_log where record_table = 'loss_allowance'").toInt(), 4 + 4 + 3 + 4);
        QCOMPARE(db.scalar("select new_value from audit_log where record_key = '04-执模/18K' and field = 'rate'").toString(),
                 QStringLiteral("1.2"));

        // A rate changes; its audit row says from what to what.
        const SaveOutcome edited = save(db, "allowances", {"~04-执模/18K:rate=1.25"});
        QVERIFY2(edited.saved, qPrintable(edited.problemText() + edited.error));
        QCOMPARE(table(db, "select old_value, new_value, user_code, source from audit_log where record_key = '04-执模/18K' "
                           "and old_value is not null"),
                 QStringList{"1.2|1.25|CLERK|tst_allowances"});
        // An allowance nothing refers to is deleted, audited.
        const SaveOutcome deleted = save(db, "allowances", {"-06-镶石/9KR"});
        QVERIFY2(deleted.saved, qPrintable(deleted.problemText() + deleted.error));
        QCOMPARE(db.scalar("select count(*) from loss_allowance where allowance_key = '06-镶石/9KR'").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from audit_log where record_key = '06-镶石/9KR' and new_value is null").toInt(), 4);
    }

    void refusalsNameTheFieldAndWriteNothing_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such metal or family") << QStringList{"+gongxu_code=04-执模;metal=18KX;rate=1"} << "不是成色代码";
        QTest::newRow("karat above 24") << QStringList{"+gongxu_code=04-执模;metal=25K;rate=1"} << "不是成色代码";
        QTest::newRow("above 100 %") << QStringList{"+gongxu_code=04-执模;rate=100.5"} << "大于 100%";
        QTest::newRow("below 0") << QStringList{"+gongxu_code=04-执模;rate=-1"} << "不能小于 0";
        QTest::newRow("four places") << QStringList{"+gongxu_code=04-执模;rate=1.2345"} << "多于 3 位小数";
        QTest::newRow("no rate") << QStringList{"+gongxu_code=04-执模;metal=18K"} << "必须填写";
        QTest::newRow("unknown process") << QStringList{"+gongxu_code=99-无;rate=1"} << "没有 99-无";
        QTest::newRow("twice in one save") << QStringList{"+gongxu_code=04-执模;metal=18K;rate=1",
                                                          "+gongxu_code=04-执模;metal=18k;rate=2"}
                                           << "与第 1 行重复";
        QTest::newRow("already kept") << QStringList{"+gongxu_code=06-镶石;rate=0.4"} << "已有";
        QTest::newRow("metal of a saved row") << QStringList{"~06-镶石/*:metal=18K"} << "不能改成 06-镶石/18K";
    }
    void refusalsNameTheFieldAndWriteNothing()
    {
        QFETCH(QStringList, edits);
        QFETCH(QString, reason);
        TestDatabase db;
        QVERIFY2(db.isValid() && fillFactory(db), qPrintable(db.error()));
        QVERIFY(save(db, "allowances", {"+gongxu_code=06-镶石;rate=0.5"}).saved);
        const int auditRows = db.scalar("select count(*) from audit_log").toInt();
        const QStringList before = allowances(db);
        const SaveOutcome outcome = save(db, "allowances", edits);
        QVERIFY(!outcome.saved);
        QVERIFY2(outcome.problemText().contains(reason), qPrintable(outcome.problemText()));
        QCOMPARE(allowances(db), before);
        QCOMPARE(db.scalar("select count(*) from audit_log").toInt(), auditRows);
    }

    void aRecoveryIsStampedWithWhoAndWhen_data() { addEngineRows(); }
    void aRecoveryIsStampedWithWhoAndWhen()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const SaveOutcome added = save(db, "recoveries",
                                       {"+gongxu_code=04-执模;mcode=18ky;period_start=2026/12/1;period_end=2026-12-31;grams=12.5"});
        QVERIFY2(added.saved, qPrintable(added.problemText() + added.error));
        const QList<QVariantList> rows =
            db.rows("select recovery_key, gongxu_code, mcode, grams, entered_by, entered_at from metal_recovery");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("04-执模/18KY/2026-12-01/2026-12-31"));
        QCOMPARE(rows[0][2].toString(), QStringLiteral("18KY"));
        QCOMPARE(rows[0][3].toDouble(), 12.5);
        QCOMPARE(rows[0][4].toString(), QStringLiteral("CLERK"));
        QVERIFY(!rows[0][5].isNull());
        QCOMPARE(db.scalar("select count(*) from metal_recovery where period_start < ? and period_end >= ?",
                           {QDate(2026, 12, 2), QDate(2026, 12, 31)}).toInt(), 1);
        QCOMPARE(db.scalar("select new_value from audit_log where record_table = 'metal_recovery' and field = 'grams'")
                     .toString(),
                 QStringLiteral("12.5"));
        QCOMPARE(db.scalar("select new_value from audit_log where record_table = 'metal_recovery' and field = 'entered_by'")
                     .toString(),
                 QStringLiteral("CLERK"));
        // Read back as the grid shows it, and changed by another user: stamped again.
        const SaveOutcome edited =
            save(db, "recoveries", {"~04-执模/18KY/2026-12-01/2026-12-31:grams=12.750"}, QStringLiteral("ADMIN"));
        QVERIFY2(edited.saved, qPrintable(edited.problemText() + edited.error));
        QCOMPARE(db.scalar("select entered_by from metal_recovery").toString(), QStringLiteral("ADMIN"));
        QCOMPARE(db.scalar("select grams from metal_recovery").toDouble(), 12.75);

        const SaveOutcome backwards = save(db, "recoveries",
                                           {"+gongxu_code=04-执模;mcode=18KY;period_start=2026-12-31;period_end=2026-12-01;grams=1",
                                            "+gongxu_code=06-镶石;mcode=PT950;period_start=2026-12-01;period_end=2026-12-31;grams=0",
                                            "+gongxu_code=06-镶石;mcode=DIA;period_start=2026-12-01;period_end=2026-12-31;grams=1"});
        QVERIFY(!backwards.saved);
        QVERIFY2(backwards.problemText().contains(QStringLiteral("在开始日期 2026-12-31 之前")), qPrintable(backwards.problemText()));
        QVERIFY2(backwards.problemText().contains(QStringLiteral("要大于 0")), qPrintable(backwards.problemText()));
        QVERIFY2(backwards.problemText().contains(QStringLiteral("没有 DIA")), qPrintable(backwards.problemText()));
        QCOMPARE(db.scalar("select count(*) from metal_recovery").toInt(), 1);
    }

    void noUserWithoutTheRightSaves()
    {
        TestDatabase db;
        QVERIFY2(db.isValid() && fillFactory(db), qPrintable(db.error()));
        const SaveOutcome outcome = save(db, "allowances", {"+gongxu_code=04-执模;rate=1"}, QStringLiteral("VIEW"));
        QVERIFY(!outcome.saved);
        QVERIFY2(outcome.problemText().contains(QStringLiteral("没有资料")), qPrintable(outcome.problemText()));
        QCOMPARE(db.scalar("select count(*) from loss_allowance").toInt(), 0);
    }
};

QTEST_MAIN(tst_Allowances)
#include "tst_allowances.moc"
