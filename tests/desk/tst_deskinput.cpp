// What a clerk or a scale types at the desk, read exactly: grams to the
// milligram and whole pieces, or refused; grams shown with three decimals.

#include "desk/deskdepartment.h"
#include "desk/deskinput.h"

#include <QTest>

using namespace wip;

class DeskInputTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void weights_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("grams");   // empty: refused
        QTest::newRow("whole") << "12" << "12.000";
        QTest::newRow("milligram") << "0.005" << "0.005";
        QTest::newRow("trailing zero") << " 31.250 " << "31.250";
        QTest::newRow("one decimal") << "1548.3" << "1548.300";
        QTest::newRow("large") << "999999999.999" << "999999999.999";
        QTest::newRow("four decimals") << "1.2345" << "";
        QTest::newRow("dot only") << "12." << "";
        QTest::newRow("leading dot") << ".5" << "";
        QTest::newRow("sign") << "+1" << "";
        QTest::newRow("exponent") << "1e2" << "";
        QTest::newRow("full-width digits") << "１２" << "";
        QTest::newRow("too many digits") << "1234567890" << "";
    }
    void weights()
    {
        QFETCH(QString, typed);
        QFETCH(QString, grams);
        QString why;
        const auto g = DeskInput::weight(typed, QStringLiteral("重量"), &why);
        QCOMPARE(g ? DeskInput::grams(*g) : QString(), grams);
        QCOMPARE(why.isEmpty(), !grams.isEmpty());
    }

    void piecesAreWhole()
    {
        QString why;
        QCOMPARE(DeskInput::count(*DeskInput::pieces(" 10 ", QStringLiteral("件数"), &why)), QStringLiteral("10"));
        for (const char *bad : {"2.5", "-1", "", "10件"})
            QVERIFY2(!DeskInput::pieces(QString::fromUtf8(bad), QStringLiteral("件数"), &why), bad);
        QCOMPARE(DeskInput::grams(Decimal::fromUnits(-1005, 4)), QStringLiteral("-0.101"));   // half away from zero
    }

    // The chain a bag goes through, by caption or process code; outside work and
    // shipping lead nowhere.
    void chainInProductionOrder()
    {
        QStringList path;
        for (const DeskDepartment *d = DeskDepartment::find(QStringLiteral("01-唧腊")); d; d = d->next())
            path << d->caption + u' ' + d->stock;
        QCOMPARE(path, QStringList({"唧蜡 21-蜡仓收发", "倒模 01-金仓收发", "执模 04-执模收发", "镶石 05-镶石收发",
                                    "执边 06-执边收发", "打磨 07-打磨收发", "电金 08-电金收发", "出货 20-成品PRODUCT"}));
        QVERIFY(DeskDepartment::find(QStringLiteral("出货"))->isShipping());
        QVERIFY(!DeskDepartment::outside().next());
        QVERIFY(!DeskDepartment::find(QStringLiteral("喷砂")));
    }
};

QTEST_GUILESS_MAIN(DeskInputTest)
#include "tst_deskinput.moc"
