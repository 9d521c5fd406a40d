// The metal balance (d_metal_balance) of the demo factory, on each engine, for
// days and ranges around its "today": every row's holder, metal, figures and
// pure closing, and the factory's totals, against the golden file
// data/golden/metalbalance-demo.txt (WIP_UPDATE_GOLDEN=1 writes it). Both
// engines give the same text; a change of how the report reads the rows that
// changes a figure shows here, to the milligram.

#include "golden.h"
#include "database/demofactory.h"
#include "deskfixture.h"

#include <QFile>


using namespace wip;
using namespace wip::test;

namespace {

const QDate kToday(2004, 5, 12);

const QStringList kHolder{"gongxu_code", "kind", "holder", "holder_name", "mcode"};
const QStringList kFigures{"purate",    "opening",   "received", "issued", "taken_back", "returned", "loss",
                           "recovered", "c_net_loss", "passed_on", "closing", "c_in", "c_out", "p_closing",
                           "p_recovered", "p_net_loss"};
const QStringList kTotals{"s_opening",   "s_received",   "s_issued",    "s_taken_back", "s_returned",
                          "s_loss",      "s_recovered",  "s_c_net_loss", "s_passed_on", "s_closing",
                          "s_p_closing", "s_p_recovered", "s_p_net_loss"};

// The periods: today, yesterday (open), a closed day, the closed week, the
// month so far, the month before, the year so far, and a month before anything.
const struct Period
{
    int from, to;   // days from kToday
} kPeriods[] = {{0, 0}, {-1, -1}, {-4, -4}, {-7, -2}, {-11, 0}, {-41, -12}, {-131, 0}, {-500, -470}};

QString decimal(const reports::DataStore &ds, int row, const QString &name)
{
    return ds.GetItemDecimal(row, name).normalized().toString();
}

// The report for one period as text: a heading, the rows in the report's order, the totals.
QString balanceText(Transaction &tr, const QDate &from, const QDate &to)
{
    reports::DataStore ds(QStringLiteral("d_metal_balance"));
    ds.SetTransObject(tr);
    QString text = QStringLiteral("# %1 %2\n").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
    if (ds.Retrieve({from, to}) < 0)
        return text + QStringLiteral("retrieve failed\n");
    for (int r = 1; r <= ds.RowCount(); ++r) {
        QStringList cells;
        for (const QString &c : kHolder)
            cells << ds.GetItemString(r, c);
        for (const QString &c : kFigures)
            cells << decimal(ds, r, c);
        text += cells.join(QLatin1Char('|')) + QLatin1Char('\n');
    }
    QStringList totals;
    for (const QString &t : kTotals)
        totals << (ds.RowCount() > 0 ? decimal(ds, 1, t) : QStringLiteral("-"));
    return text + QStringLiteral("= ") + totals.join(QLatin1Char('|')) + QLatin1Char('\n');
}


} // namespace

class MetalBalanceDemoTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void demoBalanceMatchesGolden_data() { addEngineRows(); }
    void demoBalanceMatchesGolden()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        TestDatabase db(engineFromName(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        QSqlDatabase sql = db.tr().database();
        DemoFactory demo(sql, db.kind(), kToday);
        demo.setContracts(200);
        QVERIFY(sql.transaction());
        QVERIFY2(demo.run() && sql.commit(), qPrintable(demo.error()));
        // The demo writes its rows in batches, a bag's desk rows before its line:
        // the ledger kept as they came is the ledger counted from them.
        const QString ledger = ledgerDisagreement(db);
        QVERIFY2(ledger.isEmpty(), qPrintable(ledger));
        QVERIFY(db.scalar("select count(*) from metal_day").toInt() > 100);

        QString text;
        for (const Period &p : kPeriods)
            text += balanceText(db.tr(), kToday.addDays(p.from), kToday.addDays(p.to));
        QVERIFY2(!text.contains(QStringLiteral("retrieve failed")), qPrintable(text.left(400)));
        QString difference;
        QVERIFY2(wip::test::matchesGolden(QStringLiteral("metalbalance-demo.txt"), text, &difference), qPrintable(difference));
    }
};

QTEST_GUILESS_MAIN(MetalBalanceDemoTest)
#include "tst_metalbalancedemo.moc"
