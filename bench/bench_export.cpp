// The setting-method export: 100 000 rows written through the window's automation
// calls (OleObject: thirteen cells a row, the date line and captions again with
// every row, as the export fills the sheet) against writing the same cells with
// libxlsxwriter directly, saving included, in the same run. Goal: at most 1.5 times.

#include "benchdata.h"
#include "runtime/oleobject.h"
#include "runtime/oleworksheet.h"

#include <QTemporaryDir>
#include <xlsxwriter.h>

using namespace wip;

namespace {

constexpr int rowCount = 100000;

struct Row
{
    QString gonghao, name, scno, article, waycode;
    double qty;
};

const std::vector<Row> &rows()
{
    static const std::vector<Row> r = [] {
        static const char *methods[] = {"钉镶pave", "包镶bazel", "爪镶prong", "闸镶 pave prong"};
        std::vector<Row> v;
        v.reserve(rowCount);
        for (int i = 0; i < rowCount; ++i)
            v.push_back({QStringLiteral("W%1").arg(i % 200, 3, 10, QLatin1Char('0')), QStringLiteral("工人%1").arg(i % 200),
                         QStringLiteral("KC%1").arg(i / 3, 6, 10, QLatin1Char('0')), QStringLiteral("AR%1").arg(i % 900),
                         QString::fromUtf8(methods[i % 4]), double(i % 7 + 1)});
        return v;
    }();
    return r;
}

const QString captions[] = {QStringLiteral("工号"), QStringLiteral("姓名"), QStringLiteral("件数QTY"),
                            QStringLiteral("KCNO"), QStringLiteral("款号"), QStringLiteral("镶法")};

void BM_AutomationCalls(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("LAsb.xls"));
    for (auto _ : state) {
        OleObject ole;
        ole.ConnectToNewObject(QStringLiteral("Excel.Application"));
        ole.workbooksAdd();
        ole.setVisible(true);
        OleWorksheet *sheet = ole.worksheets(1);
        int r = 3;
        for (const Row &row : rows()) {
            sheet->cells(1, 1).setValue(QStringLiteral("2026-12-07----WIP WAYCODE---"));
            for (int c = 0; c < 6; ++c)
                sheet->cells(2, c + 1).setValue(captions[c]);
            sheet->cells(r, 1).setValue(row.gonghao);
            sheet->cells(r, 2).setValue(row.name);
            sheet->cells(r, 3).setValue(row.qty);
            sheet->cells(r, 4).setValue(row.scno);
            sheet->cells(r, 5).setValue(row.article);
            sheet->cells(r, 6).setValue(row.waycode);
            ++r;
        }
        sheet->saveas(file);
        ole.quit();
        ole.DisconnectObject();
    }
}

void BM_LibxlsxwriterDirect(benchmark::State &state)
{
    QTemporaryDir dir;
    const QByteArray file = dir.filePath(QStringLiteral("direct.xlsx")).toLocal8Bit();
    for (auto _ : state) {
        lxw_workbook *wb = workbook_new(file.constData());
        lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
        worksheet_write_string(ws, 0, 0, "2026-12-07----WIP WAYCODE---", nullptr);
        for (int c = 0; c < 6; ++c)
            worksheet_write_string(ws, 1, c, captions[c].toUtf8().constData(), nullptr);
        int r = 2;
        for (const Row &row : rows()) {
            worksheet_write_string(ws, r, 0, row.gonghao.toUtf8().constData(), nullptr);
            worksheet_write_string(ws, r, 1, row.name.toUtf8().constData(), nullptr);
            worksheet_write_number(ws, r, 2, row.qty, nullptr);
            worksheet_write_string(ws, r, 3, row.scno.toUtf8().constData(), nullptr);
            worksheet_write_string(ws, r, 4, row.article.toUtf8().constData(), nullptr);
            worksheet_write_string(ws, r, 5, row.waycode.toUtf8().constData(), nullptr);
            ++r;
        }
        if (workbook_close(wb) != LXW_NO_ERROR)
            state.SkipWithError("workbook_close failed");
    }
}

} // namespace

BENCHMARK(BM_LibxlsxwriterDirect)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_AutomationCalls)->Unit(benchmark::kMillisecond)->MinTime(3.0);

int main(int argc, char **argv)
{
    return bench::runAndCompare(argc, argv, "BM_AutomationCalls", "BM_LibxlsxwriterDirect",
                                "setting-method export through automation / libxlsxwriter (goal <= 1.5)");
}
