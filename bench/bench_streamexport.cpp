// A month of finished work (d_wip_fin at scale 100: about 450 000 to 730 000
// rows) written as CSV, JSON and workbook as the rows are read, against the same query,
// sorted as the report sorts it, written by SQLite's own library the way its
// command-line shell writes CSV, in the same run. Goals: CSV at most 1.5 times
// the shell's way (wall time: the disk's work counts), JSON likewise, and a
// peak memory that does not grow with the rows: it is measured in a child
// process for a week and for the month, beside retrieving the month whole.
// The workbook is also set against the workbook library alone writing the
// shell's values into cells, the most any workbook written with it can do.
//
// The month printed to PDF as its rows are read (read to measure and count,
// again to wrap where a column wraps, again to paint a page as soon as its rows
// are there), against the same query's values read with SQLite's library and
// painted with QPdfWriter in the report font at fixed places, as many rows to a
// page as the report's PDF has: goal at most 1.3x, and a peak memory that does
// not grow with the pages, beside the month retrieved whole and then printed.
//
// WIP_BENCH_DATABASE names a SQLite demo file made before; otherwise the demo
// is built at WIP_BENCH_SCALE (100).

#include "benchdata.h"
#include "database/initdatabase.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/render/pdfexport.h"
#include "reports/render/reportpainter.h"
#include "reports/render/streamedpdf.h"
#include "reports/render/xlsxexport.h"
#include "reports/reportoutput.h"
#include "reports/streamedexport.h"
#include "runtime/connectionsettings.h"

#include <QGuiApplication>
#include <QDate>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <xlsxwriter.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace wip;

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

const QString &databaseFile()
{
    return bench::demoFactoryFile();
}

// The last day with finished work, and the first of the month before it.
std::pair<QDate, QDate> month()
{
    static const std::pair<QDate, QDate> m = [] {
        Transaction tr;
        tr.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + databaseFile());
        QDate last = QDate::currentDate();
        if (tr.connect()) {
            QSqlQuery q(tr.database());
            if (q.exec(QStringLiteral("select max(ldate) from work_report where zt = 'FIN'")) && q.next())
                last = QDate::fromString(q.value(0).toString().left(10), Qt::ISODate);
            q.finish();
            tr.disconnect();
        }
        return std::pair<QDate, QDate>{last.addMonths(-1).addDays(1 - last.day()), last};
    }();
    return m;
}

const QString kReport = QStringLiteral("d_wip_fin");

// The report set up on a connection to the factory, not retrieved.
struct Report
{
    Transaction tr;
    reports::DataStore store;

    bool open()
    {
        tr.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + databaseFile());
        store.setDefinition(reports::Catalogue::instance().find(kReport));
        store.SetTransObject(tr);
        return tr.connect();
    }
};

// Writes the report from `from` to the month's end with the program's own export.
bool streamed(reports::StreamedExport::Format format, const QDate &from, const QString &file)
{
    Report report;
    if (!report.open())
        return false;
    Transaction &tr = report.tr;
    reports::DataStore &store = report.store;
    QString error;
    const bool ok = reports::StreamedExport::save(store, {from, month().second}, format, file, &error)
        == reports::StreamedExport::Outcome::Written;
    tr.disconnect();
    return ok;
}

// The same, the report retrieved whole first, as before.
bool whole(const QDate &from, const QString &file)
{
    Report report;
    if (!report.open() || report.store.Retrieve({from, month().second}) < 0)
        return false;
    reports::ReportOutput::writeFile(file, reports::ReportOutput::toCsv(report.store, true));
    return true;
}

// The report's query, sorted by its keys, written as SQLite's shell writes CSV:
// each value as its text, quoted when it holds a quote, comma or line end.
QByteArray sortedQuery()
{
    const auto def = reports::Catalogue::instance().find(kReport);
    QString sql = def->query;
    sql.replace(QLatin1String(":stime"), QLatin1Char('\'') + month().first.toString(Qt::ISODate) + QLatin1String(" 00:00:00'"));
    sql.replace(QLatin1String(":etime"), QLatin1Char('\'') + month().second.toString(Qt::ISODate) + QLatin1String(" 23:59:59'"));
    sql += QLatin1String(" order by 1, 6, 7, 9");
    return sql.toUtf8();
}

bool shellCsv(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(databaseFile()).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sortedQuery();
    FILE *out = std::fopen(QFile::encodeName(file).constData(), "w");
    bool ok = out && sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) == SQLITE_OK;
    const int columns = ok ? sqlite3_column_count(stmt) : 0;
    for (int c = 0; ok && c < columns; ++c)
        std::fprintf(out, c ? ",%s" : "%s", sqlite3_column_name(stmt, c));
    if (ok)
        std::fputs("\r\n", out);
    while (ok && sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (c)
                std::fputc(',', out);
            const char *value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
            if (!value)
                continue;
            if (std::strpbrk(value, "\",\r\n")) {
                std::fputc('"', out);
                for (const char *p = value; *p; ++p) {
                    if (*p == '"')
                        std::fputc('"', out);
                    std::fputc(*p, out);
                }
                std::fputc('"', out);
            } else {
                std::fputs(value, out);
            }
        }
        std::fputs("\r\n", out);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out && std::fclose(out) == 0 && ok;
}

// The same values put into a workbook's cells by the library alone, in its
// constant-memory mode: numbers as numbers, the rest as texts.
bool libraryWorkbook(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(databaseFile()).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    lxw_workbook_options options{};
    QByteArray scratch = QFile::encodeName(folder().path());
    options.tmpdir = scratch.data();
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(file).constData(), &options);
    lxw_worksheet *sheet = book ? workbook_add_worksheet(book, nullptr) : nullptr;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sortedQuery();
    bool ok = sheet && sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) == SQLITE_OK;
    const int columns = ok ? sqlite3_column_count(stmt) : 0;
    for (int c = 0; ok && c < columns; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), sqlite3_column_name(stmt, c), nullptr);
    lxw_row_t row = 1;
    while (ok && sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                worksheet_write_number(sheet, row, lxw_col_t(c), sqlite3_column_double(stmt, c), nullptr);
                break;
            case SQLITE_NULL:
                break;
            default:
                worksheet_write_string(sheet, row, lxw_col_t(c),
                                       reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)), nullptr);
            }
        }
        ++row;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return book && workbook_close(book) == LXW_NO_ERROR && ok;
}

void BM_StreamedCsv(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("month.csv"));
    for (auto _ : state) {
        if (!streamed(reports::StreamedExport::Format::Csv, month().first, file))
            state.SkipWithError("the report was not written");
    }
}

void BM_StreamedJson(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("month.json"));
    for (auto _ : state) {
        if (!streamed(reports::StreamedExport::Format::Json, month().first, file))
            state.SkipWithError("the report was not written");
    }
}

// The month as a workbook written as it is read.
bool streamedWorkbook(const QDate &from, const QString &file)
{
    Report report;
    if (!report.open())
        return false;
    QString error;
    return reports::writeXlsx(report.store, {from, month().second}, file, &error)
        == reports::StreamedExport::Outcome::Written;
}

void BM_StreamedWorkbook(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("month-streamed.xlsx"));
    for (auto _ : state) {
        if (!streamedWorkbook(month().first, file))
            state.SkipWithError("the workbook was not written");
    }
}

void BM_LibraryWorkbook(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("library.xlsx"));
    for (auto _ : state) {
        if (!libraryWorkbook(file))
            state.SkipWithError("the workbook was not written");
    }
}

// The month as a workbook as before: retrieved whole, then written row by row
// in the library's constant-memory mode.
void BM_Workbook(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("month.xlsx"));
    for (auto _ : state) {
        Report report;
        QString error;
        if (!report.open() || report.store.Retrieve({month().first, month().second}) < 0
            || !reports::writeXlsx(report.store, file, &error))
            state.SkipWithError("the workbook was not written");
    }
}

// The month as a PDF painted as it is read.
bool streamedPdf(const QDate &from, const QString &file)
{
    Report report;
    if (!report.open())
        return false;
    QString error;
    return reports::StreamedPdf::save(report.store, {from, month().second}, file, &error)
        == reports::StreamedExport::Outcome::Written;
}

// The pages and rows of the report's PDF, for the plain one to paint as many.
std::pair<int, int> &reportPages()
{
    static std::pair<int, int> pages{0, 0};
    return pages;
}

void BM_StreamedPdf(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("month.pdf"));
    for (auto _ : state) {
        if (!streamedPdf(month().first, file))
            state.SkipWithError("the PDF was not written");
    }
    // The page tree's count of pages.
    QFile pdf(file);
    const QByteArray bytes = pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray();
    const qsizetype tree = bytes.indexOf("/Type /Pages");
    const qsizetype count = tree < 0 ? -1 : bytes.indexOf("/Count ", tree);
    reportPages().first = count < 0 ? 0 : std::atoi(bytes.constData() + count + 7);
}

// The same values painted with QPdfWriter: read with SQLite's library, each
// value's text drawn at a fixed place on a landscape A4 page.
bool plainPdf(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(databaseFile()).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sortedQuery();
    bool ok = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) == SQLITE_OK;
    const int columns = ok ? sqlite3_column_count(stmt) : 0;
    QPdfWriter writer(file);
    writer.setPageOrientation(QPageLayout::Landscape);
    QPainter p(&writer);
    const double toDevice = writer.resolution() / 72.0;
    p.scale(toDevice, toDevice);
    p.setFont(reports::ReportPainter::font(9, false, &writer));
    const int perPage = std::max(1, reportPages().second);
    int row = 0;
    while (ok && sqlite3_step(stmt) == SQLITE_ROW) {
        const int line = row % perPage;
        if (line == 0 && row > 0)
            writer.newPage();
        for (int c = 0; c < columns; ++c) {
            const char *value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
            if (value)
                p.drawText(QPointF(28 + c * 780.0 / columns, 60 + line * 14.4), QString::fromUtf8(value));
        }
        ++row;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return p.end() && ok;
}

void BM_PlainPdf(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("plain.pdf"));
    if (reportPages().first > 0 && reportPages().second == 0) {
        // As many rows to a page as the report's PDF (its pages over the month's rows).
        Report report;
        QSqlQuery q(report.open() ? report.tr.database() : QSqlDatabase());
        const QByteArray sql = "select count(*) from (" + sortedQuery() + ")";
        if (q.exec(QString::fromUtf8(sql)) && q.next())
            reportPages().second = (q.value(0).toInt() + reportPages().first - 1) / reportPages().first;
    }
    if (reportPages().second == 0) {
        state.SkipWithError("the report's pages are not known (BM_StreamedPdf runs first)");
        return;
    }
    for (auto _ : state) {
        if (!plainPdf(file))
            state.SkipWithError("the query failed");
    }
}

void BM_ShellCsv(benchmark::State &state)
{
    const QString file = folder().filePath(QStringLiteral("shell.csv"));
    for (auto _ : state) {
        if (!shellCsv(file))
            state.SkipWithError("the query failed");
    }
}

// Peak resident memory, in MB, of a child process doing work.
template<typename Work>
double peakMegabytes(Work work)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
        _exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

BENCHMARK(BM_ShellCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_StreamedCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_StreamedJson)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LibraryWorkbook)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_StreamedWorkbook)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Workbook)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_StreamedPdf)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PlainPdf)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char **argv)
{
    // The workbook measures its texts with the fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const auto [first, last] = month();
    std::printf("%s from %s to %s on %s\n", qPrintable(kReport), qPrintable(first.toString(Qt::ISODate)),
                qPrintable(last.toString(Qt::ISODate)), qPrintable(databaseFile()));
    const QString file = folder().filePath(QStringLiteral("memory.out"));
    const QDate week = last.addDays(-6);
    // Some benchmarks only (--benchmark_filter): their times and ratios, without the memory.
    const bool some = std::any_of(argv + 1, argv + argc, [](const char *arg) {
        return std::strncmp(arg, "--benchmark_filter", 18) == 0;
    });
    if (!some) {
        std::printf("peak memory, CSV as read: a week %.0f MB, the month %.0f MB\n",
                    peakMegabytes([&] { return streamed(reports::StreamedExport::Format::Csv, week, file); }),
                    peakMegabytes([&] { return streamed(reports::StreamedExport::Format::Csv, first, file); }));
        std::printf("peak memory, JSON as read: a week %.0f MB, the month %.0f MB\n",
                    peakMegabytes([&] { return streamed(reports::StreamedExport::Format::Json, week, file); }),
                    peakMegabytes([&] { return streamed(reports::StreamedExport::Format::Json, first, file); }));
        std::printf("peak memory, workbook as read: a week %.0f MB, the month %.0f MB\n",
                    peakMegabytes([&] { return streamedWorkbook(week, file + QStringLiteral(".xlsx")); }),
                    peakMegabytes([&] { return streamedWorkbook(first, file + QStringLiteral(".xlsx")); }));
        std::printf("peak memory, workbook (retrieved whole): a week %.0f MB\n", peakMegabytes([&] {
            Report report;
            return report.open() && report.store.Retrieve({week, last}) >= 0
                && reports::writeXlsx(report.store, file + QStringLiteral(".xlsx"));
        }));
        std::printf("peak memory, PDF as read: a week %.0f MB, the month %.0f MB\n",
                    peakMegabytes([&] { return streamedPdf(week, file + QStringLiteral(".pdf")); }),
                    peakMegabytes([&] { return streamedPdf(first, file + QStringLiteral(".pdf")); }));
        std::printf("peak memory, PDF retrieved whole: a week %.0f MB\n", peakMegabytes([&] {
            Report report;
            return report.open() && report.store.Retrieve({week, last}) >= 0
                && reports::writePdf(report.store, file + QStringLiteral(".pdf"));
        }));
        std::printf("peak memory, CSV retrieved whole: a week %.0f MB, the month %.0f MB\n",
                    peakMegabytes([&] { return whole(week, file); }), peakMegabytes([&] { return whole(first, file); }));
    }
    return bench::runAndCompare(argc, argv,
                                {{"BM_StreamedCsv", "BM_ShellCsv", "month as CSV / the shell's CSV (goal <= 1.5)", true},
                                 {"BM_StreamedJson", "BM_ShellCsv", "month as JSON / the shell's CSV (goal <= 1.5)", true},
                                 {"BM_StreamedWorkbook", "BM_StreamedCsv", "month as a workbook / as CSV (goal <= 1.5)", true},
                                 {"BM_LibraryWorkbook", "BM_ShellCsv", "the workbook library alone / the shell's CSV", true},
                                 {"BM_StreamedWorkbook", "BM_LibraryWorkbook", "month as a workbook / the library alone", true},
                                 {"BM_Workbook", "BM_StreamedWorkbook", "retrieved whole, then written / as read", true},
                                 {"BM_StreamedPdf", "BM_PlainPdf", "month as PDF / QPdfWriter painting its values (goal <= 1.3)", true}});
}
