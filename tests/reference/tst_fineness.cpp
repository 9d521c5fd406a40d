// A metal's purity and hallmark: what is a purity, which hallmarks state it.

#include "reference/fineness.h"
#include "runtime/values.h"

#include <QTest>

using namespace wip;
using namespace wip::reference;

class tst_Fineness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void purity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");   // part of the reason; empty: a purity
        QTest::newRow("18K") << "0.750" << "";
        QTest::newRow("short form") << ".585" << "";
        QTest::newRow("fine") << "1" << "";
        QTest::newRow("three places") << "0.9999" << "多于 3 位小数";
        QTest::newRow("thousandths typed") << "750" << "不在 0 与 1 之间 (成色以小数写: 18K 为 0.750";
        QTest::newRow("zero") << "0" << "不在 0 与 1 之间";
        QTest::newRow("negative") << "-0.5" << "不在 0 与 1 之间";
        QTest::newRow("percent") << "75%" << "75% 不是数字";
        QTest::newRow("karat") << "18K" << "18K 不是数字";
        QTest::newRow("empty") << " " << "请输入成色";
    }
    void purity()
    {
        QFETCH(QString, text);
        QFETCH(QString, problem);
        const QString got = Fineness::purityProblem(text);
        if (problem.isEmpty()) {
            QVERIFY2(got.isEmpty(), qPrintable(got));
            QVERIFY(Fineness::purity(text).has_value());
        } else {
            QVERIFY2(got.contains(problem), qPrintable(got));
            QVERIFY(!Fineness::purity(text).has_value());
        }
    }

    void hallmark_data()
    {
        QTest::addColumn<QString>("hallmark");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("purity");
        QTest::addColumn<QString>("problem");   // part of the reason; empty: consistent
        QTest::newRow("18K 750") << "750" << "GOLD" << "0.750" << "";
        QTest::newRow("14K 585") << "585" << "GOLD" << "0.585" << "";
        QTest::newRow("9K 375") << "375" << "GOLD" << "0.375" << "";
        QTest::newRow("AU750") << "Au750" << "GOLD" << "0.75" << "";
        QTest::newRow("PT950") << "PT950" << "PT" << "0.950" << "";
        QTest::newRow("Pt 900") << "Pt 900" << "PT" << "0.9" << "";
        QTest::newRow("not stamped") << "" << "GOLD" << "0.700" << "";
        QTest::newRow("wrong number") << "750" << "GOLD" << "0.585" << "750 与成色 0.585 不符, 应为 585";
        QTest::newRow("platinum without PT") << "950" << "PT" << "0.950" << "铂金的字印以 PT 开头: PT950";
        QTest::newRow("gold with PT") << "PT750" << "GOLD" << "0.750" << "金的字印是千分数, 前面可写 AU: 750";
        QTest::newRow("karat mark") << "18K" << "GOLD" << "0.750" << "18K 不是字印: 写成色的千分数, 例如 750";
        QTest::newRow("two digits") << "75" << "GOLD" << "0.750" << "不是字印";
        QTest::newRow("four digits") << "9999" << "GOLD" << "0.999" << "不是字印";
        QTest::newRow("PT950 on 0.900") << "PT950" << "PT" << "0.900" << "应为 PT900";
    }
    void hallmark()
    {
        QFETCH(QString, hallmark);
        QFETCH(QString, type);
        QFETCH(QString, purity);
        QFETCH(QString, problem);
        const QString got = Fineness::hallmarkProblem(hallmark, type, *values::parseNumber(purity));
        if (problem.isEmpty())
            QVERIFY2(got.isEmpty(), qPrintable(got));
        else
            QVERIFY2(got.contains(problem), qPrintable(got));
    }

    void hallmarkForAPurity()
    {
        QCOMPARE(Fineness::hallmarkFor("GOLD", *values::parseNumber(QStringLiteral("0.75"))), QStringLiteral("750"));
        QCOMPARE(Fineness::hallmarkFor("PT", *values::parseNumber(QStringLiteral("0.95"))), QStringLiteral("PT950"));
        QCOMPARE(Fineness::hallmarkFor("GOLD", *values::parseNumber(QStringLiteral("0.09"))), QStringLiteral("090"));
    }
};

QTEST_MAIN(tst_Fineness)
#include "tst_fineness.moc"
