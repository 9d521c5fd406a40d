// Opening a report on screen: lay a retrieved report out and paint its first
// screen, for 100 000 rows against 100 rows. The page model keeps runs of rows
// rather than one object per row, and the screen measures text lazily: only the
// rows a screen shows are measured (in blocks of 64, as they come into view),
// so the two should cost about the same. A second pair paints the screen at the
// last row, as scrolling to the end does.
//
// The print preview's first page likewise: laid out from the report's first
// rows, the rest measured while the clerk reads (100 000 rows against 100), and
// for comparison the same page with every row measured first.
//
// Printing a report to PDF: every value of the 100 000 rows is measured with the
// painting font before the pages are cut (a per-character cache of advances makes
// that cheap), then every page is painted; against a plain loop that paints the
// same texts with QPdfWriter directly at fixed places. Goal: at most 1.5x.

#include "benchdata.h"
#include "reports/datastore.h"
#include "reports/displayformat.h"
#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/pdfexport.h"
#include "reports/render/reportpainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
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

const reports::PageModel::Options screenOptions{9, reports::PageModel::Purpose::Screen, 7};

// One screen of a report control: 1000 x 700 pixels at 96 dpi; the rows in view
// are measured first, as the control does.
void paintScreen(reports::PageModel &model, QImage &image, double top)
{
    const double scale = 96.0 / 72.0;
    model.measureArea(top, top + image.height() / scale);
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
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
        reports::PageModel model(ds, screenOptions);
        paintScreen(model, image, 0);
    }
    state.counters["rows"] = ds.RowCount();
}

void BM_PaintLastScreen(benchmark::State &state)
{
    const reports::DataStore &ds = store(int(state.range(0)));
    reports::PageModel model(ds, screenOptions);
    QImage image(1000, 700, QImage::Format_RGB32);
    const double top = std::max(0.0, model.height() - image.height() * 72.0 / 96.0);
    for (auto _ : state)
        paintScreen(model, image, top);
}

// The print preview's first page: the report laid out for paper from its first
// rows (the rest is measured afterwards, while the clerk reads), cut into pages
// and page 1 painted, as a 1000 x 1400 picture. The same with every row
// measured first, as printing and the PDF do, for comparison.
void previewFirstPage(benchmark::State &state, int firstRows)
{
    const reports::DataStore &ds = store(int(state.range(0)));
    QImage image(1000, 1400, QImage::Format_RGB32);
    int pages = 0;
    reports::PageModel::Options options;
    options.firstRows = firstRows;
    for (auto _ : state) {
        reports::PageModel model(ds, options);
        const reports::Pagination pagination(model);
        QPainter p(&image);
        p.fillRect(image.rect(), Qt::white);
        p.scale(image.width() / pagination.pageSize().width(), image.width() / pagination.pageSize().width());
        reports::ReportPainter(model).paintPage(p, pagination, 0);
        pages = pagination.pageCount();
    }
    state.counters["pages"] = pages;
}

void BM_PreviewFirstPage(benchmark::State &state)
{
    previewFirstPage(state, reports::PageModel::Options::previewFirstRows);
}

void BM_EveryRowMeasuredFirstPage(benchmark::State &state)
{
    previewFirstPage(state, 0);
}

QTemporaryDir &pdfFolder()
{
    static QTemporaryDir dir;
    return dir;
}

// The report as Wip prints it: measured, fitted, paged, painted.
void BM_WritePdf(benchmark::State &state)
{
    const reports::DataStore &ds = store(int(state.range(0)));
    const QString file = pdfFolder().filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) {
        if (!reports::writePdf(ds, file))
            state.SkipWithError("the PDF was not written");
    }
}

// The baseline: the same texts, in the report font, at fixed places, 50 rows a page.
void BM_DirectPdf(benchmark::State &state)
{
    // Read as the renderer reads a report: as data.
    const reports::ReportData &ds = store(int(state.range(0)));
    const QString file = pdfFolder().filePath(QStringLiteral("direct.pdf"));
    const QVector<reports::Column> columns = ds.columns();
    for (auto _ : state) {
        QPdfWriter writer(file);
        writer.setPageOrientation(QPageLayout::Landscape);
        QPainter p(&writer);
        const double toDevice = writer.resolution() / 72.0;
        p.scale(toDevice, toDevice);
        p.setFont(reports::ReportPainter::font(9, false, &writer));
        for (int row = 1; row <= ds.rowCount(); ++row) {
            const int line = (row - 1) % 50;
            if (line == 0 && row > 1)
                writer.newPage();
            for (int c = 0; c < columns.size(); ++c) {
                const QString text = reports::formatValue(ds.item(row, columns.at(c).name), columns.at(c).format);
                p.drawText(QPointF(28 + c * 70, 60 + line * 14.4), text);
            }
        }
        p.end();
    }
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
BENCHMARK(BM_PreviewFirstPage)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_EveryRowMeasuredFirstPage)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_WritePdf)->Arg(100000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_DirectPdf)->Arg(100000)->Unit(benchmark::kSecond)->Iterations(1);

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
    for (const char *name : {"BM_OpenFirstScreen", "BM_PaintLastScreen", "BM_PreviewFirstPage", "BM_EveryRowMeasuredFirstPage"}) {
        const double big = find(std::string(name) + "/100000/");
        const double small = find(std::string(name) + "/100/");
        if (big > 0 && small > 0)
            std::printf("%s: 100000 rows / 100 rows = %.2fx (%s)\n", name, big / small,
                        std::string(name) == "BM_EveryRowMeasuredFirstPage" ? "for comparison: as printing lays it out"
                                                                             : "goal: about 1x");
    }
    if (const double first = find("BM_PreviewFirstPage/100000/"); first > 0)
        std::printf("preview's first page of 100000 rows: %.0f ms of CPU (goal: under 1 s)\n", first * 1000);
    const double wip = find("BM_WritePdf/100000/");
    const double direct = find("BM_DirectPdf/100000/");
    if (wip > 0 && direct > 0)
        std::printf("PDF of 100000 rows: writePdf / QPdfWriter directly = %.2fx (goal: at most 1.5x)\n", wip / direct);
    return 0;
}
