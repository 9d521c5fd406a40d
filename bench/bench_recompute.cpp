// The daily recomputation of day_wip on a scaled demo factory (init-db --demo
// --scale N; N from WIP_BENCH_SCALE, 100 by default: about a million process
// steps) against one hand-written SQL query per figure computing the same numbers,
// in the same run (24 queries: the day and the month of each department, its open
// pieces, castings and stones). The goal is at most 1.5 times the hand-written
// queries on SQLite. With WIP_TEST_POSTGRES set, the same factory is built in a
// throw-away database of that server and the ratio measured there too, in wall
// time (goal at most 1.5 times as well).

#include "benchdata.h"
#include "daily_output/recomputedaywip.h"
#include "database/initdatabase.h"
#include "database/postgresadmin.h"
#include "runtime/values.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>
#include <cstdlib>

using namespace wip;

namespace {

struct Factory
{
    QTemporaryDir dir;
    Transaction tr;
    QString day;
    ConnectionSettings server;   // PostgreSQL: the server the database was made on
    QString postgresName;        // PostgreSQL: the throw-away database, dropped at the end
};

// WIP_BENCH_SCALE, 100 by default; on PostgreSQL WIP_BENCH_POSTGRES_SCALE where set
// (filling a server database at scale 100 takes a long while).
int scale(bool postgres)
{
    if (postgres && qEnvironmentVariableIsSet("WIP_BENCH_POSTGRES_SCALE"))
        return qEnvironmentVariableIntValue("WIP_BENCH_POSTGRES_SCALE");
    return qEnvironmentVariableIsSet("WIP_BENCH_SCALE") ? qEnvironmentVariableIntValue("WIP_BENCH_SCALE") : 100;
}

// Connects f->tr (settings given) and fills the demo factory; aborts on failure.
void build(Factory *f, const char *engine)
{
    f->tr.settings.autoCommit = true;
    if (!f->tr.connect()) {
        std::fprintf(stderr, "bench database: %s\n", qPrintable(f->tr.sqlErrText));
        std::abort();
    }
    InitOptions options;
    options.demo = true;
    options.scale = scale(!f->postgresName.isEmpty());
    std::fprintf(stderr, "building the demo factory at scale %d on %s...\n", options.scale, engine);
    const InitResult result = initDatabase(f->tr, options);
    if (!result.ok) {
        std::fprintf(stderr, "init-db: %s\n", qPrintable(result.error));
        std::abort();
    }
    const auto steps = f->tr.selectInto(QStringLiteral("select count(*) from proch"));
    std::fprintf(stderr, "%lld process steps\n", steps ? steps->value(0).toLongLong() : -1);
    f->day = values::dateText(QDate::currentDate());
}

Factory &factory()
{
    static Factory *f = [] {
        auto *f = new Factory;
        f->tr.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + f->dir.filePath(QStringLiteral("bench.db")));
        build(f, "SQLite");
        return f;
    }();
    return *f;
}

// The factory on the server of WIP_TEST_POSTGRES, or nullptr when it is not set.
std::unique_ptr<Factory> postgresFactory()
{
    const QString url = qEnvironmentVariable("WIP_TEST_POSTGRES").trimmed();
    if (url.isEmpty())
        return nullptr;
    QString error;
    const auto server = ConnectionSettings::fromUrl(url, &error);
    auto f = std::make_unique<Factory>();
    f->postgresName = QStringLiteral("wip_bench_%1").arg(QCoreApplication::applicationPid());
    if (!server || !PostgresAdmin::createDatabase(*server, f->postgresName, &error)) {
        std::fprintf(stderr, "WIP_TEST_POSTGRES: %s\n", qPrintable(error));
        return nullptr;
    }
    f->server = *server;
    f->tr.settings = *server;
    f->tr.settings.database = f->postgresName;
    build(f.get(), "PostgreSQL");
    return f;
}

void dropPostgres(Factory &f)
{
    f.tr.disconnect();
    QString error;
    if (!PostgresAdmin::dropDatabase(f.server, f.postgresName, &error))
        std::fprintf(stderr, "cannot drop %s: %s\n", qPrintable(f.postgresName), qPrintable(error));
}

void BM_RecomputeDayWip(benchmark::State &state)
{
    Factory &f = factory();
    for (auto _ : state) {
        if (!recompute_day_wip(f.day, f.tr))
            state.SkipWithError("recompute_day_wip failed");
    }
}

// The same figures, one hand-written query per figure of day_wip (each
// department's output of the day and of the month, its pieces in process, the
// castings and the stones set), read but not written back. A day is the whole
// day, from midnight to its last moment, as the recomputation binds it.
QStringList handWrittenQueries(const QString &t)
{
    const QDate day = *values::parseDate(t);
    const QString d = values::dateText(day) + QStringLiteral(" 00:00:00");
    const QString e = values::dateText(day) + QStringLiteral(" 23:59:59.999999");
    const QString m = values::dateText(QDate(day.year(), day.month(), 1)) + QStringLiteral(" 00:00:00");
    QStringList queries;
    for (const QString &dep : recomputeDepartments()) {
        if (dep != QStringLiteral("03-倒模"))
            queries << QStringLiteral("select sum(qty) from proch where gongxu_code = '%1' and edtime between '%2' and '%3'")
                           .arg(dep, d, e);
        queries << QStringLiteral("select sum(qty) from proch where gongxu_code = '%1' and edtime between '%2' and '%3'")
                       .arg(dep, m, e);
        queries << QStringLiteral("select sum(qty) from proch where gongxu_code = '%1' and edtime is null").arg(dep);
    }
    queries << QStringLiteral("select sum(qtyref) from castind where ldate between '%1' and '%2'").arg(d, e)
            << QStringLiteral("select sum(qtyref) from castind where ldate between '%1' and '%2'").arg(m, e)
            << QStringLiteral("select sum(all_total) from view_day_wip where edate between '%1' and '%2'").arg(d, e)
            << QStringLiteral("select sum(all_total) from view_day_wip where edate between '%1' and '%2'").arg(m, e);
    return queries;
}

// One pass over the hand-written queries; false when one fails.
bool runHandWritten(Transaction &tr, const QStringList &queries, double *total)
{
    for (const QString &sql : queries) {
        QSqlQuery q(tr.database());
        q.setForwardOnly(true);
        if (!q.exec(sql))
            return false;
        while (q.next())
            *total += q.value(0).toDouble();
    }
    return true;
}

void BM_HandWrittenQueries(benchmark::State &state)
{
    Factory &f = factory();
    const QStringList queries = handWrittenQueries(f.day);
    for (auto _ : state) {
        double total = 0;
        if (!runHandWritten(f.tr, queries, &total))
            state.SkipWithError("query failed");
        benchmark::DoNotOptimize(total);
    }
}

// This process's CPU seconds; on a server database, wall seconds, since the
// server's work is done in its own processes.
double seconds(bool wall)
{
    timespec ts{};
    clock_gettime(wall ? CLOCK_MONOTONIC : CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The ratio again, with the two measured in turns (one pass of each per round)
// and the median of the rounds' ratios: on a shared or throttled machine the
// speed drifts over seconds, which moves the ratio of two benchmarks run one
// after the other by a third either way.
void printInterleavedRatio(Factory &f, const char *engine, const char *goal, int rounds)
{
    const bool wall = !f.postgresName.isEmpty();
    const QStringList queries = handWrittenQueries(f.day);
    std::vector<double> ratios;
    for (int i = 0; i < rounds; ++i) {
        double total = 0;
        const double t0 = seconds(wall);
        const bool handWritten = runHandWritten(f.tr, queries, &total);
        const double t1 = seconds(wall);
        if (!handWritten || !recompute_day_wip(f.day, f.tr)) {
            std::fprintf(stderr, "on %s: %s\n", engine, qPrintable(f.tr.sqlErrText));
            return;
        }
        const double t2 = seconds(wall);
        benchmark::DoNotOptimize(total);
        if (t1 > t0)
            ratios.push_back((t2 - t1) / (t1 - t0));
    }
    if (ratios.empty())
        return;
    std::sort(ratios.begin(), ratios.end());
    std::printf("recompute_day_wip / hand-written SQL on %s, %s time measured in turns (goal <= %s): median of %d "
                "rounds = %.2fx (from %.2fx to %.2fx)\n",
                engine, wall ? "wall" : "CPU", goal, int(ratios.size()), ratios[ratios.size() / 2], ratios.front(), ratios.back());
}

// Where a run's time goes: wall time of each of the ten steps of a warm run, so the
// next change to the recomputation can be aimed at the step that costs.
void printStepTimes(Factory &f)
{
    recompute_day_wip(f.day, f.tr);      // definitions loaded, pages cached
    QElapsedTimer clock;
    QVector<qint64> ends;
    clock.start();
    recompute_day_wip(f.day, f.tr, [&](int step, int) {
        while (ends.size() < step)
            ends.append(clock.nsecsElapsed());
    });
    ends.append(clock.nsecsElapsed());   // the end of the last step and the commit
    std::fprintf(stderr, "one run, ms per step (the last includes the commit):");
    for (int i = 1; i < ends.size(); ++i)
        std::fprintf(stderr, " %d:%.1f", i, (ends[i] - ends[i - 1]) / 1e6);
    std::fprintf(stderr, "\n");
}

} // namespace

BENCHMARK(BM_HandWrittenQueries)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RecomputeDayWip)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    // Both before the benchmark library's run: its application object takes the
    // database drivers with it when it ends.
    if (std::unique_ptr<Factory> pg = postgresFactory()) {
        printStepTimes(*pg);
        printInterleavedRatio(*pg, "PostgreSQL", "1.5", 15);
        dropPostgres(*pg);
    }
    printStepTimes(factory());
    printInterleavedRatio(factory(), "SQLite", "1.5", 15);
    return bench::runAndCompare(argc, argv, "BM_RecomputeDayWip", "BM_HandWrittenQueries",
                                "recompute_day_wip / hand-written SQL on SQLite (goal <= 1.5)");
}
