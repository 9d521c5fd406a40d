// Group totals over 100 000 rows: the rows sorted by process and worker, two
// group levels, and "sum(qty for group N)" read in every row as the renderer does,
// plus the grand total. Compared with a hand-written loop summing the same groups.

#include "benchdata.h"
#include "reports/datastore.h"

#include <cstdio>
#include <map>

using namespace wip;

namespace {

constexpr int rowCount = 100000;

bench::BenchDatabase &database()
{
    static bench::BenchDatabase db(rowCount);
    if (!db.isValid()) {
        std::fprintf(stderr, "bench database: %s\n", qPrintable(db.error()));
        std::abort();
    }
    return db;
}

std::shared_ptr<const reports::Definition> groupedDefinition()
{
    auto d = std::make_shared<reports::Definition>(*bench::stepsDefinition({"gongxu_code", "changhao"}));
    d->groups = {{1, {"gongxu_code"}, false}, {2, {"changhao"}, false}};
    reports::ComputedField process;
    process.name = QStringLiteral("c_process");
    process.expression = QStringLiteral("sum(qty for group 1)");
    reports::ComputedField worker;
    worker.name = QStringLiteral("c_worker");
    worker.expression = QStringLiteral("sum(qty for group 2)");
    reports::ComputedField total;
    total.name = QStringLiteral("c_total");
    total.expression = QStringLiteral("sum(qty for all)");
    d->computed = {process, worker, total};
    return d;
}

void BM_HandWrittenGroupSums(benchmark::State &state)
{
    reports::DataStore ds;
    ds.setDefinition(groupedDefinition());
    ds.SetTransObject(database().tr());
    ds.Retrieve();
    const reports::ReportData &data = ds;
    for (auto _ : state) {
        // The same answers, computed directly from the items.
        double total = 0;
        std::map<std::pair<QString, QString>, double> worker;
        std::map<QString, double> process;
        for (int row = 1; row <= ds.RowCount(); ++row) {
            const QVariant qty = data.item(row, QStringLiteral("qty"));
            const QString p = data.item(row, QStringLiteral("gongxu_code")).toString();
            const QString w = data.item(row, QStringLiteral("changhao")).toString();
            total += qty.toDouble();
            worker[{p, w}] += qty.toDouble();
            process[p] += qty.toDouble();
        }
        benchmark::DoNotOptimize(total);
    }
}

void BM_GroupTotals(benchmark::State &state)
{
    reports::DataStore ds;
    ds.setDefinition(groupedDefinition());
    ds.SetTransObject(database().tr());
    ds.Retrieve();
    const reports::ReportData &data = ds;
    for (auto _ : state) {
        // Changing an item drops every cached total, as an edit does.
        ds.SetItem(1, QStringLiteral("memo"), QStringLiteral("x"));
        double sum = 0;
        for (int row = 1; row <= ds.RowCount(); ++row) {
            sum += data.item(row, QStringLiteral("c_process")).toDouble();
            sum += data.item(row, QStringLiteral("c_worker")).toDouble();
            sum += data.item(row, QStringLiteral("c_total")).toDouble();
        }
        benchmark::DoNotOptimize(sum);
    }
}

} // namespace

BENCHMARK(BM_HandWrittenGroupSums)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GroupTotals)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    return bench::runAndCompare(argc, argv, "BM_GroupTotals", "BM_HandWrittenGroupSums",
                                "group totals through expressions against a hand-written loop (goal <= 1.5x)");
}
