// The metal balance (d_metal_balance) for the last month on a scaled demo
// factory (init-db --demo --scale N; N from WIP_BENCH_SCALE, 100 by default)
// through the report engine (DataStore::Retrieve: bound whole days, exact
// decimals, computed fields, group totals, sorting), against the same figures
// by the hand-written query run directly through Qt SQL with the days written
// into it, each figure read as a double and each row's in, out and pure
// figures and the totals summed as the report sums them. Before timing, the
// two are compared row by row: a baseline that does not give the report's
// figures is no baseline, and the run fails. The report reads the metal
// ledger, the sums by day that triggers keep; it is also compared once with
// the figures summed from the steps, transfers and desk rows themselves
// (metalbalance-from-rows.sql), which is what the ledger must give at any
// scale. Goal: at most 1.5 times, and under a second. The database is built once per run (some minutes at scale
// 100); WIP_BENCH_DATABASE keeps it in a file for the next run.

#include "benchdata.h"
#include "database/initdatabase.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "runtime/values.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace wip;

namespace {

struct Factory
{
    QTemporaryDir dir;
    Transaction tr;
    QDate from, to;
};

Factory &factory()
{
    static Factory *f = [] {
        auto *f = new Factory;
        const QString file = qEnvironmentVariableIsSet("WIP_BENCH_DATABASE") ? qEnvironmentVariable("WIP_BENCH_DATABASE")
                                                                              : f->dir.filePath(QStringLiteral("bench.db"));
        f->tr.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + file);
        f->tr.settings.autoCommit = true;
        if (!f->tr.connect()) {
            std::fprintf(stderr, "bench database: %s\n", qPrintable(f->tr.sqlErrText));
            std::abort();
        }
        InitOptions options;
        options.demo = true;
        options.scale = qEnvironmentVariableIsSet("WIP_BENCH_SCALE") ? qEnvironmentVariableIntValue("WIP_BENCH_SCALE") : 100;
        std::fprintf(stderr, "building the demo factory at scale %d (or completing %s)...\n", options.scale, qPrintable(file));
        const InitResult result = initDatabase(f->tr, options);
        if (!result.ok) {
            std::fprintf(stderr, "init-db: %s\n", qPrintable(result.error));
            std::abort();
        }
        f->to = QDate::currentDate();
        f->from = f->to.addMonths(-1).addDays(1);
        return f;
    }();
    return *f;
}

// The definition's query, or another of the same columns, with the month's
// first and last moments written in.
QString handWritten(const Factory &f, QString sql = {})
{
    if (sql.isEmpty())
        sql = reports::Catalogue::instance().find(QStringLiteral("d_metal_balance"))->query;
    sql.replace(QStringLiteral(":stime"), QLatin1Char('\'') + values::dateText(f.from) + QStringLiteral(" 00:00:00'"));
    sql.replace(QStringLiteral(":etime"), QLatin1Char('\'') + values::dateText(f.to) + QStringLiteral(" 23:59:59.999999'"));
    return sql;
}

void BM_MetalBalanceReport(benchmark::State &state)
{
    Factory &f = factory();
    for (auto _ : state) {
        reports::DataStore ds(QStringLiteral("d_metal_balance"));
        ds.SetTransObject(f.tr);
        const int rows = ds.Retrieve({f.from, f.to});
        if (rows <= 0)
            state.SkipWithError("no rows");
        benchmark::DoNotOptimize(ds.GetItemDecimal(1, QStringLiteral("s_closing")));
    }
}

// The query's columns: the holder (0 ... 5), the purity (6) and the figures
// (7 opening ... 15 closing, in the report's order).
enum { kPurate = 6, kFirstFigure = 7, kLastFigure = 15 };
const char *const kFigures[] = {"opening", "received", "issued", "taken_back", "returned",
                                "loss",    "recovered", "passed_on", "closing"};

// Runs the hand-written query: per row its figures, its in and out (a worker's
// taken back is out, a desk's in) and its pure figures, and their totals;
// *rows gets each row's figures by holder when given.
double handWrittenTotals(QSqlDatabase db, const QString &sql, QMap<QString, QList<double>> *rows = nullptr)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        std::fprintf(stderr, "hand-written query: %s\n", qPrintable(q.lastError().text()));
        return std::nan("");
    }
    double figures[kLastFigure - kFirstFigure + 1] = {};
    double in = 0, out = 0, pureOpening = 0, pureIn = 0, pureOut = 0, pureLoss = 0, pureClosing = 0;
    while (q.next()) {
        const bool worker = q.value(1).toInt() == 2;
        const double purate = q.value(kPurate).toDouble();
        QList<double> row;
        for (int c = kFirstFigure; c <= kLastFigure; ++c) {
            row << q.value(c).toDouble();
            figures[c - kFirstFigure] += row.last();
        }
        const double rowIn = row[1] + (worker ? 0 : row[3]);
        const double rowOut = row[2] + row[7] + row[4] + (worker ? row[3] : 0);
        in += rowIn;
        out += rowOut;
        pureOpening += row[0] * purate;
        pureIn += rowIn * purate;
        pureOut += rowOut * purate;
        pureLoss += row[5] * purate;
        pureClosing += row[8] * purate;
        if (rows)
            rows->insert(QStringList{q.value(0).toString(), q.value(2).toString(), q.value(3).toString(),
                                     q.value(5).toString()}.join(QLatin1Char('|')),
                         row);
    }
    double sum = in + out + pureOpening + pureIn + pureOut + pureLoss + pureClosing;
    for (const double f : figures)
        sum += f;
    return sum;
}

// Whether the report and the hand-written query give the same rows and figures.
bool sameFigures(Factory &f, const QString &sql)
{
    QMap<QString, QList<double>> hand;
    if (std::isnan(handWrittenTotals(f.tr.database(), sql, &hand)))
        return false;
    reports::DataStore ds(QStringLiteral("d_metal_balance"));
    ds.SetTransObject(f.tr);
    if (ds.Retrieve({f.from, f.to}) != hand.size()) {
        std::fprintf(stderr, "the report has %d rows, the hand-written query %d\n", int(ds.RowCount()), int(hand.size()));
        return false;
    }
    for (int r = 1; r <= ds.RowCount(); ++r) {
        const QString key = QStringList{ds.GetItemString(r, QStringLiteral("gongxu_code")), ds.GetItemString(r, QStringLiteral("kind")),
                                        ds.GetItemString(r, QStringLiteral("holder")), ds.GetItemString(r, QStringLiteral("mcode"))}
                                 .join(QLatin1Char('|'));
        const QList<double> figures = hand.value(key);
        for (int c = 0; c < int(std::size(kFigures)); ++c) {
            const double report = ds.GetItemDecimal(r, QLatin1String(kFigures[c])).toDouble();
            if (figures.size() != int(std::size(kFigures)) || std::abs(report - figures[c]) > 0.0005) {
                std::fprintf(stderr, "%s %s: report %.3f, hand-written %.3f\n", qPrintable(key), kFigures[c], report,
                             figures.value(c));
                return false;
            }
        }
    }
    return true;
}

void BM_HandWrittenSql(benchmark::State &state)
{
    Factory &f = factory();
    const QString sql = handWritten(f);
    for (auto _ : state) {
        const double totals = handWrittenTotals(f.tr.database(), sql);
        if (std::isnan(totals))
            state.SkipWithError("query failed");
        benchmark::DoNotOptimize(totals);
    }
}

} // namespace

BENCHMARK(BM_HandWrittenSql)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MetalBalanceReport)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    Factory &f = factory();
    QElapsedTimer clock;
    clock.start();
    reports::DataStore ds(QStringLiteral("d_metal_balance"));
    ds.SetTransObject(f.tr);
    const int rows = ds.Retrieve({f.from, f.to});
    std::printf("d_metal_balance %s to %s: %d rows, first retrieval %.0f ms\n", qPrintable(values::dateText(f.from)),
                qPrintable(values::dateText(f.to)), rows, clock.nsecsElapsed() / 1e6);
    if (!sameFigures(f, handWritten(f))) {
        std::fprintf(stderr, "the hand-written query does not give the report's figures: no baseline\n");
        return 1;
    }
    QFile fromRows(QStringLiteral(WIP_BALANCE_FROM_ROWS));
    if (!fromRows.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", WIP_BALANCE_FROM_ROWS, qPrintable(fromRows.errorString()));
        return 1;
    }
    clock.restart();
    if (!sameFigures(f, handWritten(f, QString::fromUtf8(fromRows.readAll())))) {
        std::fprintf(stderr, "the metal ledger does not give the figures of the rows it sums\n");
        return 1;
    }
    std::printf("the same figures summed from the rows themselves: %.0f ms\n", clock.nsecsElapsed() / 1e6);
    return bench::runAndCompare(argc, argv, "BM_MetalBalanceReport", "BM_HandWrittenSql",
                                "d_metal_balance / hand-written SQL on SQLite, a month at demo scale (goal <= 1.5, under 1 s)");
}
