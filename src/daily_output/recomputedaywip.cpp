#include "daily_output/recomputedaywip.h"

#include "runtime/longwork.h"

#include "reports/datastore.h"
#include "runtime/decimal.h"
#include "runtime/hosterror.h"
#include "runtime/sysfunc.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"

#include <QDate>
#include <QStringList>

#include <functional>

namespace wip {

namespace {

using reports::DataStore;

// A failed database statement ends the run like a failed host call.
constexpr int kStatementFailed = ErrDatabase;
constexpr int kSteps = 10;

// The person waiting cancelled the run (LongWork): it is rolled back, and that
// is no fault to report.
struct Cancelled
{
};

void update(Transaction &tr, const QString &sql, const QVariantList &values)
{
    tr.execute(sql, values);
    if (tr.sqlCode < 0)
        throw HostError(kStatementFailed, tr.sqlErrText);
}

// A crosstab source's row totals of one total field, each with its row's first
// key, or a failure when the retrieval fails. Only the totals are needed, so the
// database groups and sums the rows where it can (DataStore::RetrieveCrosstabFigures).
QVector<std::pair<QString, Decimal>> rowTotals(DataStore &ds3, Transaction &tr, const char *definition,
                                               const QVariantList &args, const char *total)
{
    ds3.setDataObject(QString::fromLatin1(definition));
    ds3.SetTransObject(tr);
    const QString name = QString::fromLatin1(total);
    const DataStore::CrosstabFigures figures = ds3.RetrieveCrosstabFigures(args, {name});
    if (figures.rows < 0 && LongWork::cancelled())
        throw Cancelled();
    if (figures.rows < 0)
        throw HostError(kStatementFailed, QStringLiteral("retrieve of %1 failed").arg(QLatin1String(definition)));
    QVector<std::pair<QString, Decimal>> totals;
    for (const DataStore::PivotRowFigures &row : figures.pivotRows)
        totals.append({row.keys.value(0).toString(), row.values.value(name)});
    return totals;
}

// A source's row count and the figure of one of its summary computed fields
// (NULL counts 0), or a failure when the retrieval fails. Only the figure is
// needed, so the database sums it where it can (DataStore::RetrieveFigures).
struct Figure
{
    int rows = 0;
    Decimal value;
};
Figure figure(DataStore &ds3, Transaction &tr, const char *definition, const QVariantList &args, const char *computed)
{
    ds3.setDataObject(QString::fromLatin1(definition));
    ds3.SetTransObject(tr);
    const QString name = QString::fromLatin1(computed);
    const DataStore::Figures figures = ds3.RetrieveFigures(args, {name});
    if (figures.rows < 0 && LongWork::cancelled())
        throw Cancelled();
    if (figures.rows < 0)
        throw HostError(kStatementFailed, QStringLiteral("retrieve of %1 failed").arg(QLatin1String(definition)));
    return Figure{figures.rows, figures.values.value(name)};
}

// On the shared PostgreSQL server, runs of several clerks take turns: the lock
// on day_wip (plain reads still pass) makes a second run wait until the first has
// committed. Without it the runs would still be ordered by the row locks of the
// reset, but in an order that may differ from row to row: two runs could each
// hold some rows and wait for the other's, and one would fail as a deadlock.
// When the run has a transaction of its own, it also reads every source as of one
// moment, taken after the lock (REPEATABLE READ takes its snapshot at the first
// query, not at LOCK): steps recorded by other desks during the run then never
// count in one figure and not yet in another. SQLite needs neither: its writers
// take turns from BEGIN IMMEDIATE on, and a transaction reads one snapshot.
void takeTurn(Transaction &tr, bool ownTransaction)
{
    if (tr.kind() != DbKind::PostgreSQL)
        return;
    if (ownTransaction)
        update(tr, QStringLiteral("set transaction isolation level repeatable read"), {});
    update(tr, QStringLiteral("lock table day_wip in exclusive mode"), {});
}

// The departments whose day's output step 3 takes from proch.
bool outputFromProch(const QString &gongxu)
{
    static const QStringList codes = {
        QStringLiteral("04-执模"), QStringLiteral("06-镶石"), QStringLiteral("07-执边"),
        QStringLiteral("08-打磨"), QStringLiteral("09-电金"), QStringLiteral("20-出货"),
    };
    return codes.contains(gongxu);
}

// 3. and 4.: the day's output of each department.
void dayOutput(DataStore &ds3, Transaction &tr, const QDate &day, const std::function<void(int)> &step)
{
    // 3. Today's output of the departments whose steps are recorded in proch.
    // Casting ("03-倒模") is fed from castind in step 4, whatever proch holds.
    // The crosstab has a column per finishing time of the day (steps finish in
    // the afternoon as well as at midnight); its row total is the day's output.
    step(3);
    for (const auto &[gongxu, qty] : rowTotals(ds3, tr, "d_wip_today1", {day}, "grand_sum_qty")) {
        if (outputFromProch(gongxu))
            update(tr, QStringLiteral("update day_wip set today_fin = ? where dep_c = ?"), {qty.toVariant(), gongxu});
    }

    // 4. Today's casting output.
    step(4);
    if (const Figure f = figure(ds3, tr, "d_wip_today2", {day}, "compute_2"); f.rows != 0)
        update(tr, QStringLiteral("update day_wip set today_fin = ? where dep_c = '03-倒模'"), {f.value.toVariant()});
}

// 5. to 7.: the month's output of each department up to the day.
void monthOutput(DataStore &ds3, Transaction &tr, const QString &t, const QDate &day,
                 const std::function<void(int)> &step)
{
    // 5. The month runs from its first day up to the chosen date.
    step(5);
    const QString month = Left(t, 8);
    const QString dt = month + QStringLiteral("01");
    const QDate monthStart = Date(dt);

    // 6. Month-to-date output of every department from proch.
    step(6);
    for (const QString &code : recomputeDepartments()) {
        if (const Figure f = figure(ds3, tr, "d_wip_today31", {code, monthStart, day}, "compute_1"); f.rows != 0)
            update(tr, QStringLiteral("update day_wip set today_tot = ? where dep_c = ?"), {f.value.toVariant(), code});
    }

    // 7. Month-to-date casting output replaces the proch figure of step 6.
    step(7);
    if (const Figure f = figure(ds3, tr, "d_wip_today32", {monthStart, day}, "compute_2"); f.rows != 0)
        update(tr, QStringLiteral("update day_wip set today_tot = ? where dep_c = '03-倒模'"), {f.value.toVariant()});
}

// 8. to 10.: pieces in process, and the stones set today and this month.
void inProcessAndStones(DataStore &ds3, Transaction &tr, const QString &t, const QDate &day,
                        const std::function<void(int)> &step)
{
    // 8. Pieces in process: steps started and not finished.
    step(8);
    for (const QString &code : recomputeDepartments()) {
        if (const Figure f = figure(ds3, tr, "d_wip_today41", {code}, "compute_1"); f.rows != 0)
            update(tr, QStringLiteral("update day_wip set wip = ? where dep_c = ?"), {f.value.toVariant(), code});
    }

    // 9. Stones set today.
    step(9);
    if (const Figure f = figure(ds3, tr, "d_wip_today42", {day}, "compute_1"); f.rows != 0)
        update(tr, QStringLiteral("update day_wip set today_set = ? where dep_c = '06-镶石'"), {f.value.toVariant()});

    // 10. Stones set this month.
    step(10);
    const QDate monthStart = Date(Left(t, 8) + QStringLiteral("01"));
    if (const Figure f = figure(ds3, tr, "d_wip_today43", {monthStart, day}, "compute_1"); f.rows != 0)
        update(tr, QStringLiteral("update day_wip set month_set = ? where dep_c = '06-镶石'"), {f.value.toVariant()});
}

void run(const QString &t, Transaction &tr, const RecomputeProgress &progress)
{
    // Each step starts by saying how far the run got; a Cancel meanwhile ends
    // the run there (a step's long read ends at its next run of rows).
    const std::function<void(int)> step = [&](int n) {
        if (progress)
            progress(n, kSteps);
        if (LongWork::cancelled())
            throw Cancelled();
    };

    // 1. Every figure of every department back to zero.
    step(1);
    update(tr,
           QStringLiteral("update DAY_WIP SET today_fin =0 , today_tot =0 , today_set =0 , "
                          "month_set =0 , wip =0 "),
           {});

    // 2. One DataStore for all the sources.
    DataStore ds3;
    const QDate day = Date(t);
    dayOutput(ds3, tr, day, step);
    monthOutput(ds3, tr, t, day, step);
    inProcessAndStones(ds3, tr, t, day, step);

    // The rows say which day their figures are of, for whoever reads day_wip
    // later (the output chart opened on its own).
    update(tr, QStringLiteral("update day_wip set ldate = ?"), {day});
}

} // namespace

const QStringList &recomputeDepartments()
{
    static const QStringList codes = {
        QStringLiteral("03-倒模"), QStringLiteral("04-执模"), QStringLiteral("06-镶石"),
        QStringLiteral("07-执边"), QStringLiteral("08-打磨"), QStringLiteral("09-电金"),
        QStringLiteral("20-出货"),
    };
    return codes;
}

bool recompute_day_wip(const QString &t, Transaction &tr, const RecomputeProgress &progress)
{
    const bool ownTransaction = !tr.inTransaction();
    TransactionGuard guard(tr);
    if (!guard.active()) {
        // No work of its own to write in (the server is away): a run outside it
        // could neither be made whole nor rolled back.
        Trace::problem(kStatementFailed, tr.sqlErrText);
        return false;
    }
    try {
        takeTurn(tr, ownTransaction);
        run(t, tr, progress);
        if (LongWork::cancelled())
            throw Cancelled();
    } catch (const Cancelled &) {
        guard.rollback();
        return false;
    } catch (const HostError &e) {
        guard.rollback();
        Trace::problem(e.code(), e.detail());
        return false;
    }
    if (!guard.commit()) {
        Trace::problem(kStatementFailed, tr.sqlErrText);
        return false;
    }
    return true;
}

bool recompute_day_wip(const QString &t)
{
    return recompute_day_wip(t, Transaction::sqlca());
}

} // namespace wip
