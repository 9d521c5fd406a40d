// Opening a report on screen: lay a retrieved report out and paint its first
// screen, for 100 000 rows against 100 rows. The page model keeps runs of rows
// rather than one object per row and the painter visits only the visible rows, so
// the two should cost about the same. A second pair paints the screen at the last
// row, as scrolling to the end does.

#include "benchdata.h"
#include "reports/datastore.h"
#include "reports/render/pagemodel.h"
#include "reports/render/reportpainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <map>
#include <memory>

using namespace wip;

namespace {

// Released by main while the application object still lives.
std::map<int, std::unique_ptr<bench::BenchDatabase>> databases;
std::map<int, std::unique_ptr<reports::DataStore>> stores;

reports::DataStore &store(int rows)
{
    auto &ds = stores[rows];
    if (!ds) {
        auto &db = databases[rows];
        db = std::make_unique<bench::BenchDatabase>(rows);
        if (!db->isValid()) {
            std::fprintf(stderr, "bench database: %s\n", qPrintable(db->error()));
            std::abort();
        }
        ds = std::make_unique<reports::DataStore>();
        ds->setDefinition(bench::stepsDefinition());
        ds->SetTransObject(db->tr());
        ds->Retrieve();
    }
    return *ds;
}

// One screen of a report control: 1000 x 700 pixels at 96 dpi.
void paintScreen(const reports::PageModel &model, QImage &image, double top)
{
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    const double scale = 96.0 / 72.0;
    p.scale(scale, scale);
    p.translate(0, -top);
    const QRectF visible(0, top, image.width() / scale, image.height() / scale);
    reports::ReportPainter(model).paintContinuous(p, visible);
}

void BM_OpenFirstScreen(benchmark::State &state)
{
    const reports::DataStore &ds = store(int(state.range(0)));
    QImage image(1000, 700, QImage::Format_RGB32);
    for (auto _ : state) {
        const reports::PageModel model(ds);
        paintScreen(model, image, 0);
    }
    state.counters["rows"] = ds.RowCount();
}

void BM_PaintLastScreen(benchmark::State &state)
{
    const reports::DataStore &ds = store(int(state.range(0)));
    const reports::PageModel model(ds);
    QImage image(1000, 700, QImage::Format_RGB32);
    const double top = std::max(0.0, model.height() - image.height() * 72.0 / 96.0);
    for (auto _ : state)
        paintScreen(model, image, top);
}

class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                times[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

BENCHMARK(BM_OpenFirstScreen)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PaintLastScreen)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char **argv)
{
    // Painting text needs the fonts of a GUI application; no display is used.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    stores.clear();
    databases.clear();
    // Names carry suffixes such as "/min_time:1.000".
    auto find = [&reporter](const std::string &prefix) {
        for (const auto &[name, time] : reporter.times) {
            if (name.rfind(prefix, 0) == 0)
                return time;
        }
        return 0.0;
    };
    for (const char *name : {"BM_OpenFirstScreen", "BM_PaintLastScreen"}) {
        const double big = find(std::string(name) + "/100000/");
        const double small = find(std::string(name) + "/100/");
        if (big > 0 && small > 0)
            std::printf("%s: 100000 rows / 100 rows = %.2fx\n", name, big / small);
    }
    return 0;
}
