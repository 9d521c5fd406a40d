// The metal balance (d_metal_balance) for the last month on a scaled demo
// factory (init-db --demo --scale N; N from WIP_BENCH_SCALE, 100 by default)
// through the report engine (DataStore::Retrieve: bound whole days, exact
// decimals, computed fields, group totals, sorting), against the same figures
// by the hand-written query run directly through Qt SQL with the days written
// into it and each figure read as a double. Goal: at most 1.5 times, and under
// a second. The database is built once per run (some minutes at scale 100).

#include "benchdata.h"
#include "database/initdatabase.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "runtime/values.h"

#include <QDate>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

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

// The definition's query with the month's first and last moments written in.
QString handWritten(const Factory &f)
{
    QString sql = reports::Catalogue::instance().find(QStringLiteral("d_metal_balance"))->query;
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

void BM_HandWrittenSql(benchmark::State &state)
{
    Factory &f = factory();
    const QString sql = handWritten(f);
    for (auto _ : state) {
        QSqlQuery q(f.tr.database());
        q.setForwardOnly(true);
        if (!q.exec(sql))
            state.SkipWithError("query failed");
        double closing = 0;
        while (q.next())
            for (int c = 7; c < 16; ++c)
                closing += q.value(c).toDouble();
        benchmark::DoNotOptimize(closing);
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
    return bench::runAndCompare(argc, argv, "BM_MetalBalanceReport", "BM_HandWrittenSql",
                                "d_metal_balance / hand-written SQL on SQLite, a month at demo scale (goal <= 1.5, under 1 s)");
}
