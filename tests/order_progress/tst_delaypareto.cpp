// The delay reasons as the Pareto chart ranks them (DelayPareto), from rows of
// d_delay_reasons as the report lists them.

#include "order_progress/delaypareto.h"
#include "reports/datastore.h"

#include <QTest>

using wip::DelayPareto;

namespace {

using Rows = QList<QPair<QString, int>>;

std::unique_ptr<wip::reports::DataStore> reasons(const Rows &rows)
{
    auto store = std::make_unique<wip::reports::DataStore>(QStringLiteral("d_delay_reasons"));
    for (const auto &[reason, count] : rows) {
        const int row = store->InsertRow(0);
        store->SetItem(row, QStringLiteral("reason"), reason);
        store->SetItem(row, QStringLiteral("count"), count);
    }
    return store;
}

} // namespace

class DelayParetoTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ranksTheGivenReasonsAndSetsTheOthersApart_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QList<double>>("cumulative");
        QTest::addColumn<double>("apart");
        QTest::newRow("as the report lists them")
            << Rows{{"1-无石Stone delay", 2}, {"2-未齐石stone pending", 1}, {"3-烂石stone broken", 1}, {"未填原因", 2}}
            << QStringList{"1-无石Stone delay", "2-未齐石stone pending", "3-烂石stone broken"}
            << QList<double>{50, 75, 100} << 2.0;
        // Without a reason the most, yet not first: it takes no place in the ranking.
        QTest::newRow("most without a reason")
            << Rows{{"未填原因", 9}, {"4-迟上金gold delay", 1}, {"1-无石Stone delay", 3}}
            << QStringList{"1-无石Stone delay", "4-迟上金gold delay"} << QList<double>{75, 100} << 9.0;
        QTest::newRow("thirds, ties kept in order")
            << Rows{{"5-a", 1}, {"2-b", 1}, {"7-c", 1}} << QStringList{"5-a", "2-b", "7-c"}
            << QList<double>{33.3, 66.7, 100} << 0.0;
        QTest::newRow("only without a reason") << Rows{{"未填原因", 4}} << QStringList{} << QList<double>{} << 4.0;
        QTest::newRow("no late contract") << Rows{} << QStringList{} << QList<double>{} << 0.0;
    }
    void ranksTheGivenReasonsAndSetsTheOthersApart()
    {
        QFETCH(Rows, rows);
        QFETCH(QStringList, order);
        QFETCH(QList<double>, cumulative);
        QFETCH(double, apart);
        const auto store = reasons(rows);
        const DelayPareto pareto = DelayPareto::fromReport(*store);
        QStringList gotOrder;
        QList<double> gotCumulative;
        for (const DelayPareto::Reason &r : pareto.given()) {
            gotOrder << r.reason;
            gotCumulative << r.cumulative;
        }
        QCOMPARE(gotOrder, order);
        QCOMPARE(gotCumulative, cumulative);
        QCOMPARE(pareto.withoutReason(), apart);
        QCOMPARE(pareto.isEmpty(), rows.isEmpty());
    }

    void reasonsReadOnTwoLines_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Chinese then English") << "4-迟上金gold delay" << "4-迟上金<br>gold delay";
        QTest::newRow("short English") << "6-QOR报废QC Rej" << "6-QOR报废<br>QC Rej";
        QTest::newRow("English of eleven") << "1-无石Stone delay" << "1-无石<br>Stone<br>delay";
        QTest::newRow("long English on two lines") << "2-未齐石stone pending" << "2-未齐石<br>stone<br>pending";
        QTest::newRow("long English, the middle space")
            << "7-接单迟order came in late" << "7-接单迟<br>order came<br>in late";
        QTest::newRow("Chinese only") << "9-车石完成" << "9-车石完成";
        QTest::newRow("no reason") << "未填原因" << "未填原因";
        QTest::newRow("English only") << "late stones" << "late stones";
        QTest::newRow("a figure after the Chinese") << "烂石 3" << "烂石 3";
    }
    void reasonsReadOnTwoLines()
    {
        QFETCH(QString, reason);
        QFETCH(QString, shown);
        QCOMPARE(DelayPareto::twoLines(reason), shown);
    }
};

QTEST_MAIN(DelayParetoTest)
#include "tst_delaypareto.moc"
