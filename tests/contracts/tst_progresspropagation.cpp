#include "contractfixture.h"
#include "desk/progresspropagation.h"
#include "reports/datastore.h"

#include <QTest>

using namespace wip;
using wip::reports::DataStore;

namespace {

using wip::test::kProcessDates;
using wip::test::kProcessQuantities;

// A record with every department holding goods and nothing passed on yet.
const QList<QPair<QString, double>> kFullRecord = {
    {"wax_in", 10},     {"wax_out", 0},       {"casting_in", 8},    {"casting_out", 0},
    {"filing_in", 6},   {"filing_out", 0},    {"setting_in", 5},    {"setting_out", 0},
    {"finishing_in", 7}, {"finishing_out", 0}, {"polishing_in", 3}, {"polishing_out", 0},
    {"rhodium_in", 0},  {"rhodium_out", 0},   {"qc_in", 4},         {"qc_out", 0}};

} // namespace

// The propagation rules of the progress record, on a DataStore holding one
// process record and no window: as the sales-contract window applies them when a
// quantity is typed, and as a station that records progress without a window does.
class ProgressPropagationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void transferFlowsOnAndStampsDates_data()
    {
        QTest::addColumn<bool>("full");            // kFullRecord, else only wax_in 10 (the rest null)
        QTest::addColumn<QString>("column");
        QTest::addColumn<double>("typed");
        QTest::addColumn<QString>("next");         // received column that takes the value ("" none)
        QTest::addColumn<QStringList>("stamped");  // dates stamped, all with the same moment
        QTest::newRow("wax emptied") << true << "wax_out" << 10.0 << "casting_in" << QStringList{"wax_date", "casting_date"};
        QTest::newRow("wax partly") << true << "wax_out" << 4.0 << "casting_in" << QStringList{"casting_date"};
        QTest::newRow("casting emptied") << true << "casting_out" << 8.0 << "filing_in"
                                         << QStringList{"casting_date", "filing_date"};
        QTest::newRow("casting partly") << true << "casting_out" << 2.0 << "filing_in" << QStringList{"filing_date"};
        QTest::newRow("filing emptied") << true << "filing_out" << 6.0 << "setting_in"
                                        << QStringList{"filing_date", "setting_date"};
        QTest::newRow("filing partly") << true << "filing_out" << 1.0 << "setting_in" << QStringList{"setting_date"};
        QTest::newRow("setting emptied") << true << "setting_out" << 5.0 << "finishing_in"
                                         << QStringList{"setting_date", "finishing_date"};
        QTest::newRow("setting partly") << true << "setting_out" << 3.0 << "finishing_in" << QStringList{"finishing_date"};
        QTest::newRow("finishing emptied") << true << "finishing_out" << 7.0 << "polishing_in"
                                           << QStringList{"finishing_date", "polishing_date"};
        QTest::newRow("finishing partly") << true << "finishing_out" << 2.5 << "polishing_in"
                                          << QStringList{"polishing_date"};
        QTest::newRow("polishing emptied") << true << "polishing_out" << 3.0 << "rhodium_in"
                                           << QStringList{"polishing_date", "rhodium_date"};
        QTest::newRow("polishing partly") << true << "polishing_out" << 1.0 << "rhodium_in" << QStringList{"rhodium_date"};
        QTest::newRow("more out than in") << true << "wax_out" << 12.0 << "casting_in" << QStringList{"casting_date"};
        QTest::newRow("plating out") << true << "rhodium_out" << 2.0 << "" << QStringList{};
        QTest::newRow("stone store out") << true << "qc_out" << 2.0 << "" << QStringList{};
        QTest::newRow("a received quantity") << true << "filing_in" << 9.0 << "" << QStringList{};
        // A null received quantity counts as not emptied.
        QTest::newRow("null casting in") << false << "casting_out" << 0.0 << "filing_in" << QStringList{"filing_date"};
        QTest::newRow("wax emptied, the rest null") << false << "wax_out" << 10.0 << "casting_in"
                                                    << QStringList{"wax_date", "casting_date"};
    }
    void transferFlowsOnAndStampsDates()
    {
        QFETCH(bool, full);
        QFETCH(QString, column);
        QFETCH(double, typed);
        QFETCH(QString, next);
        QFETCH(QStringList, stamped);

        DataStore process(QStringLiteral("d_w_process_input"));
        const int row = process.InsertRow(0);
        process.SetItem(row, "scno", "KC1");
        for (const auto &[name, value] : full ? kFullRecord : QList<QPair<QString, double>>{{"wax_in", 10}})
            process.SetItem(row, name, value);
        QHash<QString, QVariant> before;
        for (const QString &q : kProcessQuantities)
            before[q] = process.GetItem(row, q);

        const QDateTime now(QDate(2004, 6, 1), QTime(14, 30, 5));
        process.SetItem(row, column, typed);
        ProgressPropagation::apply(process, row, column.toUpper(), now);

        QCOMPARE(process.GetItemNumber(row, column), typed);
        for (const QString &q : kProcessQuantities) {
            if (q == next)
                QCOMPARE(process.GetItemNumber(row, q), typed);
            else if (q != column)
                QVERIFY2(process.GetItem(row, q) == before[q], qPrintable(q));
        }
        for (const QString &d : kProcessDates) {
            if (stamped.contains(d))
                QCOMPARE(process.GetItemDateTime(row, d), now);
            else
                QVERIFY2(process.IsNull(row, d), qPrintable(d));
        }
    }

    // Only the row given changes: a store may hold other records.
    void otherRowsAreLeftAlone()
    {
        DataStore process(QStringLiteral("d_w_process_input"));
        for (int r = 1; r <= 2; ++r) {
            process.InsertRow(0);
            process.SetItem(r, "wax_in", 5);
            process.SetItem(r, "wax_out", 5);
        }
        ProgressPropagation::apply(process, 2, QStringLiteral("wax_out"), QDateTime(QDate(2004, 6, 1), QTime(9, 0)));
        QCOMPARE(process.GetItemNumber(2, "casting_in"), 5.0);
        QVERIFY(process.IsNull(1, "casting_in"));
        QVERIFY(process.IsNull(1, "wax_date"));
    }
};

QTEST_GUILESS_MAIN(ProgressPropagationTest)
#include "tst_progresspropagation.moc"
