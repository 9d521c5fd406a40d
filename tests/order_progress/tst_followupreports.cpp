// The order follow-up's definitions on the hand-worked factory of followupfixture.h,
// on both engines: which contracts each takes, and the figures, worked out by hand.

#include "followupfixture.h"
#include "reports/datastore.h"
#include "reports/reportoutput.h"

#include <QTest>

using namespace wip;
using namespace wip::test;

namespace {

const QDate D(2024, 3, 10);   // D-11 is 28 February: 2024 has a 29th

struct Case
{
    const char *name;
    const char *definition;
    QVariantList arguments;
    QStringList rows;          // CSV lines without headings
    QList<QPair<const char *, double>> computed;   // computed fields read in row 1
};

QList<Case> cases()
{
    const QStringList board = {
        "KC07,TIF,PO-KC07,2024-02-28 12:00:00,11,执模,6,2-未齐石stone pending",
        "KC15,QOR,PO-KC15,2024-03-01 00:00:00,9,未开始,0,1-无石Stone delay",
        "KC17,QOR,PO-KC17,2024-03-02 00:00:00,8,未开始,0,未填原因",
        "KC01,QOR,PO-KC01,2024-03-08 15:30:00,2,未开始,0,未填原因",
        "KC08,O'B%,PO-KC08,2024-03-09 08:00:00,1,镶石,5,1-无石Stone delay",
        "KC16,PAN,PO-KC16,2024-03-09 23:59:00,1,打磨,2,3-烂石stone broken",
        "KC02,TIF,PO-KC02,2024-03-10 16:45:00,0,倒模,8,1-无石Stone delay",
        "KC05,PAN,PO-KC05,2024-03-13 23:59:00,-3,待出货,0,4-迟上金gold delay",
    };
    return {
        {"board: due by D+3, the last day's 23:59 included, the day after not", "d_order_followup",
         {D, D.addDays(3)}, board, {{"c_count", 8}, {"c_in_work", 21}}},
        {"board: a horizon before the day shows the late ones only", "d_order_followup",
         {D, D.addDays(-1)}, board.mid(0, 6), {{"c_count", 6}}},
        {"board: days late counted from another day, across 29 February", "d_order_followup",
         {QDate(2024, 2, 27), QDate(2024, 2, 29)},
         {"KC07,TIF,PO-KC07,2024-02-28 12:00:00,-1,执模,6,2-未齐石stone pending"}, {}},
        {"reasons: per reason by count, then code; no reason last", "d_delay_reasons", {D},
         {"1-无石Stone delay,1,2,33.3,33.3", "2-未齐石stone pending,2,1,16.7,50", "3-烂石stone broken,3,1,16.7,66.7",
          "未填原因,,2,33.3,100"},
         {{"c_count", 6}}},
        {"reasons: due on the day, even at 23:59, is not late; due the day before at 15:30 is", "d_delay_reasons",
         {D.addDays(-1)}, {"1-无石Stone delay,1,1,25,25", "2-未齐石stone pending,2,1,25,50", "未填原因,,2,50,100"},
         {{"c_count", 4}}},
        {"on time: invoiced D-5 to D, on the delivery day or before", "d_ontime_rate", {D.addDays(-5), D},
         {"QOR,3,2,66.7", "TIF,1,1,100"}, {{"c_delivered", 4}, {"c_on_time", 3}, {"c_rate", 75}}},
        {"on time: one day, invoiced at 18:30", "d_ontime_rate", {D, D}, {"TIF,1,1,100"}, {{"c_rate", 100}}},
        {"on time: a range whose first day is after its last", "d_ontime_rate", {D, D.addDays(-5)}, {}, {}},
    };
}

QStringList csvRows(const reports::DataStore &store)
{
    QString text = QString::fromUtf8(reports::ReportOutput::toCsv(store, false));
    text.remove(QChar(0xFEFF));
    QStringList rows = text.split(QStringLiteral("\r\n"));
    rows.removeAll(QString());
    return rows;
}

} // namespace

class FollowupReportsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void definitionsTakeTheirContracts_data() { addEngineRows(); }
    void definitionsTakeTheirContracts()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFollowupFactory(db, D), qPrintable(db.error()));
        for (const Case &c : cases()) {
            reports::DataStore store(QString::fromLatin1(c.definition));
            store.SetTransObject(db.tr());
            const int n = store.Retrieve(c.arguments);
            QVERIFY2(n == c.rows.size(), qPrintable(QStringLiteral("%1: %2 rows").arg(c.name).arg(n)));
            const QStringList rows = csvRows(store);
            for (int i = 0; i < rows.size(); ++i)
                QVERIFY2(rows.at(i) == c.rows.at(i),
                         qPrintable(QStringLiteral("%1, row %2:\n got  %3\n want %4")
                                        .arg(c.name).arg(i + 1).arg(rows.at(i), c.rows.at(i))));
            for (const auto &[field, value] : c.computed)
                QVERIFY2(qFuzzyCompare(store.GetItemNumber(1, QString::fromLatin1(field)), value),
                         qPrintable(QStringLiteral("%1: %2 = %3")
                                        .arg(c.name, field)
                                        .arg(store.GetItemNumber(1, QString::fromLatin1(field)))));
        }
    }
};

QTEST_GUILESS_MAIN(FollowupReportsTest)
#include "tst_followupreports.moc"
