// A month of 部门过货统计 (d_wip_protran: the stock with the most transfers of
// the last month) and NEW WIP (d_wip_all: the process with the most open steps)
// on the demo factory at scale 100 (bench::demoFactoryFile: WIP_BENCH_DATABASE,
// or the demo built at WIP_BENCH_SCALE), run as their windows run them - a
// connection of their own per click - with the database file dropped from the
// operating system's cache before each run (what the first click after a
// restart finds), against the same with the file cached.
// posix_fadvise(POSIX_FADV_DONTNEED) drops the file's clean pages without
// needing any privilege. Each prints what one run read from the disk
// (/proc/self/io read_bytes) and asked of the file (rchar) in MB. The file is
// not written: one made by an earlier build is measured with the indexes it
// has, which are named when they are not this build's (wip init-db gives it
// these). Goal: the first run close to the cached one, because the report
// reads only what it shows (covering indexes) instead of a table page for each
// row.

#include "benchdata.h"
#include "database/schema.h"
#include "reports/datastore.h"
#include "runtime/values.h"

#include <QDate>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace wip;

namespace {

struct Factory
{
    ConnectionSettings settings;
    QString file;
    QString stock;     // 部门过货统计's stock
    QDate from, to;    // its month
    QString process;   // NEW WIP's process
};

// One of this process's I/O counters (/proc/self/io); 0 where there is none.
qint64 ioCounter(const char *name)
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key.size() > 1 && key.compare(0, key.size() - 1, name) == 0)
            return value;
    }
    return 0;
}

// The database file and its write-ahead log out of the operating system's cache.
void dropFromCache(const QString &file)
{
    for (const QString &path : QStringList{file, file + QStringLiteral("-wal")}) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

Factory &factory()
{
    static Factory *f = [] {
        auto *f = new Factory;
        f->file = bench::demoFactoryFile();
        f->settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + f->file);
        f->settings.autoCommit = true;
        Transaction tr;
        tr.settings = f->settings;
        if (!tr.connect()) {
            std::fprintf(stderr, "bench database: %s\n", qPrintable(tr.sqlErrText));
            std::abort();
        }
        QStringList lacking;
        for (const IndexDef &index : Schema::indexes()) {
            if (!tr.selectInto(QStringLiteral("select name from sqlite_master where type = 'index' and name = ?"),
                               {index.name}))
                lacking << index.name;
        }
        if (!lacking.isEmpty())
            std::fprintf(stderr, "%s lacks this build's indexes %s (wip init-db makes them)\n", qPrintable(f->file),
                         qPrintable(lacking.join(QStringLiteral(", "))));
        // The last month of the demo's transfers, and the busiest stock and process.
        const auto last = tr.selectInto(QStringLiteral("select max(ldate) from jcjl_mattran"));
        f->to = last ? values::parseDate(last->value(0).toString()).value_or(QDate::currentDate()) : QDate::currentDate();
        f->from = f->to.addMonths(-1).addDays(1);
        const auto stock = tr.selectInto(
            QStringLiteral("select fcode from jcjl_mattran where ldate >= ? group by fcode order by count(*) desc"),
            {values::dateText(f->from)});
        f->stock = stock ? stock->value(0).toString() : QString();
        const auto process = tr.selectInto(QStringLiteral("select gongxu_code from proch_new where edtime is null and "
                                                          "gongxu_code like '0%' group by gongxu_code order by count(*) desc"));
        f->process = process ? process->value(0).toString() : QString();
        tr.disconnect();
        std::fprintf(stderr, "部门过货统计 of %s from %s to %s, NEW WIP of %s\n", qPrintable(f->stock),
                     qPrintable(values::dateText(f->from)), qPrintable(values::dateText(f->to)), qPrintable(f->process));
        return f;
    }();
    return *f;
}

// One click: a connection of its own, the retrieval, the rows counted.
int click(Factory &f, const char *definition, const QVariantList &args)
{
    Transaction tr;
    tr.settings = f.settings;
    if (!tr.connect())
        return -1;
    reports::DataStore ds(QString::fromLatin1(definition));
    ds.SetTransObject(tr);
    const int rows = ds.Retrieve(args);
    tr.disconnect();
    return rows;
}

void run(benchmark::State &state, const char *definition, const QVariantList &args, bool cached)
{
    Factory &f = factory();
    if (click(f, definition, args) <= 0)   // and the file cached for the cached runs
        state.SkipWithError("no rows");
    qint64 disk = 0, asked = 0;
    int rows = 0;
    for (auto _ : state) {
        if (!cached) {
            state.PauseTiming();
            dropFromCache(f.file);
            state.ResumeTiming();
        }
        const qint64 disk0 = ioCounter("read_bytes"), asked0 = ioCounter("rchar");
        rows = click(f, definition, args);
        disk += ioCounter("read_bytes") - disk0;
        asked += ioCounter("rchar") - asked0;
        if (rows <= 0)
            state.SkipWithError("no rows");
    }
    const double iterations = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["rows"] = rows;
    state.counters["MB_from_disk"] = double(disk) / iterations / 1e6;
    state.counters["MB_asked"] = double(asked) / iterations / 1e6;
}

void BM_TransferMonthUncached(benchmark::State &state)
{
    Factory &f = factory();
    run(state, "d_wip_protran", {f.stock, f.from, f.to}, false);
}

void BM_TransferMonthCached(benchmark::State &state)
{
    Factory &f = factory();
    run(state, "d_wip_protran", {f.stock, f.from, f.to}, true);
}

void BM_NewWipUncached(benchmark::State &state)
{
    run(state, "d_wip_all", {factory().process}, false);
}

void BM_NewWipCached(benchmark::State &state)
{
    run(state, "d_wip_all", {factory().process}, true);
}

} // namespace

BENCHMARK(BM_TransferMonthCached)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_TransferMonthUncached)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_NewWipCached)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_NewWipUncached)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char **argv)
{
    return bench::runAndCompare(
        argc, argv,
        {bench::Ratio{"BM_TransferMonthUncached", "BM_TransferMonthCached",
                      "部门过货统计 of a month, file not cached / cached", true},
         bench::Ratio{"BM_NewWipUncached", "BM_NewWipCached", "NEW WIP, file not cached / cached", true}});
}
