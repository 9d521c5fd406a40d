#include "memoryreport.h"
#include "programoutput.h"
#include "testdatabase.h"
#include "workbookreader.h"

#include "reports/datastore.h"
#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/pdfexport.h"
#include "reports/render/xlsxexport.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace wip::reports;
using namespace wip::reports::testing;

namespace {

// The daily output report: a date and "PROCEDURE" in the header, bilingual
// captions, a TOTAL line and the page number in the footer.
std::shared_ptr<MemoryReport> dailyOutput(int rows, bool landscape = false)
{
    Definition def;
    def.name = "d_wip_today44";
    def.page.landscape = landscape;
    def.columns = {column("dep_c", ValueType::String, {"工序"}),
                   column("today_fin", ValueType::Number, {"本日完成PCS", "Today Finish"}, "####.#"),
                   column("wip", ValueType::Number, {"WIP PCS"}),
                   column("ldate", ValueType::DateTime, {"日期"}, "yyyy-mm-dd")};
    def.texts = {text("t_8", "2026-12-07", Band::Header), text("t_proc", "PROCEDURE", Band::Header),
                 text("t_total", "TOTAL", Band::Summary, "dep_c")};
    def.computed = {computed("compute_1", "sum(today_fin for all)", Band::Summary, "today_fin"),
                    computed("c_page", "'Page ' + page() + ' of ' + pagecount()", Band::Footer)};
    def.computed[0].format = "####.#";
    def.computed[1].type = ValueType::String;
    auto r = std::make_shared<MemoryReport>(def);
    for (int i = 1; i <= rows; ++i)
        r->addRow({QStringLiteral("%1-倒模").arg(i, 2, 10, QLatin1Char('0')), i + 0.5, double(i % 7),
                   QDateTime(QDate(2026, 12, 7), QTime(8, 30))});
    return r;
}

QString pageText(const QString &file, int page)
{
    return wip::test::programOutput("pdftotext", {"-layout", "-f", QString::number(page), "-l", QString::number(page), file, "-"});
}

// A member of a workbook (a zip file), read with Python's zipfile.
QString zipMember(const QString &file, const QString &member)
{
    return wip::test::programOutput("python3", {"-c", "import sys,zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode('utf-8'))",
                           file, member});
}

} // namespace

class TestPdf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyPageRepeatsCaptionsAndNumbersItself();
    void chineseTextIsSearchableInThePdf();
    void landscapeDefinitionGivesLandscapePages();
    void unwritableFileIsReported();
    void workbookHoldsCaptionsNumbersAndDates();
    void retrievedTransferReportPrintsGroupsAndTotals();

private:
    QTemporaryDir m_dir;
};

void TestPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // WIP_TEST_KEEP=1 keeps the written files for a look.
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP")) {
        m_dir.setAutoRemove(false);
        qInfo("files kept in %s", qPrintable(m_dir.path()));
    }
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty() || QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("poppler-utils are not installed");
}

void TestPdf::everyPageRepeatsCaptionsAndNumbersItself()
{
    const auto data = dailyOutput(120);
    const PageModel model(*data);
    const Pagination pages(model, Pagination::pageSizePoints(data->definition().page), Pagination::defaultMargins());
    QCOMPARE(pages.pageCount(), 3);

    const QString file = m_dir.filePath("daily.pdf");
    QString error;
    QVERIFY2(writePdf(*data, file, &error), qPrintable(error));
    QCOMPARE(wip::test::pdfPageCount(file), 3);
    int rowsSeen = 0;
    for (int page = 1; page <= 3; ++page) {
        const QString text = pageText(file, page);
        QVERIFY2(text.contains("Today Finish"), qPrintable(text.left(400)));
        QVERIFY(text.contains("PROCEDURE"));
        QVERIFY(text.contains(QStringLiteral("Page %1 of 3").arg(page)));
        rowsSeen += int(text.count(QStringLiteral("2026-12-07")) - 1);   // minus the header date
    }
    QCOMPARE(rowsSeen, 120);                 // every row once, none lost at a break
    const QString last = pageText(file, 3);
    QVERIFY(last.contains("TOTAL"));
    QVERIFY(last.contains("7320")); // sum of i + 0.5 for i = 1..120
}

void TestPdf::chineseTextIsSearchableInThePdf()
{
    const auto data = dailyOutput(3);
    const QString file = m_dir.filePath("chinese.pdf");
    QVERIFY(writePdf(*data, file));
    const QString text = pageText(file, 1);
    QVERIFY2(text.contains(QStringLiteral("本日完成PCS")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("工序")));
    QVERIFY(text.contains(QStringLiteral("02-倒模")));
    const QString fonts = wip::test::programOutput("pdffonts", {file});
    QVERIFY2(fonts.contains("WenQuanYi", Qt::CaseInsensitive), qPrintable(fonts));
}

void TestPdf::landscapeDefinitionGivesLandscapePages()
{
    const QString file = m_dir.filePath("landscape.pdf");
    QVERIFY(writePdf(*dailyOutput(5, true), file));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
                                          .match(wip::test::programOutput("pdfinfo", {file}));
    QVERIFY(m.hasMatch());
    QVERIFY(m.captured(1).toDouble() > m.captured(2).toDouble());
    QCOMPARE(qRound(m.captured(1).toDouble()), 842);
}

void TestPdf::unwritableFileIsReported()
{
    QFile blocker(m_dir.filePath("plainfile"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    QVERIFY(!writePdf(*dailyOutput(2), m_dir.filePath("plainfile/x.pdf"), &error));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!writeXlsx(*dailyOutput(2), m_dir.filePath("plainfile/x.xlsx"), &error));
    QVERIFY(!error.isEmpty());
}

void TestPdf::workbookHoldsCaptionsNumbersAndDates()
{
    if (!wip::test::canReadWorkbooks())
        QSKIP("python3 is not installed");
    const QString file = m_dir.filePath("daily.xlsx");
    QString error;
    QVERIFY2(writeXlsx(*dailyOutput(2), file, &error), qPrintable(error));
    const QJsonObject cells = wip::test::readWorkbook(file, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    auto cell = [&](const char *at) { return cells.value(QLatin1String(at)).toArray(); };
    // The heading: the report's title, its other header lines, when it was exported.
    QCOMPARE(cell("A1").at(1).toString(), QStringLiteral("2026-12-07"));
    QCOMPARE(cell("A2").at(1).toString(), QStringLiteral("PROCEDURE"));
    QVERIFY(cell("A3").at(1).toString().startsWith(QStringLiteral("导出 Exported: ")));
    // Captions as they stack on paper, then the rows: numbers and dates as such.
    QCOMPARE(cell("B4").at(1).toString(), QStringLiteral("本日完成PCS\nToday Finish"));
    QCOMPARE(cell("A5").at(1).toString(), QStringLiteral("01-倒模"));
    QCOMPARE(cell("B5"), (QJsonArray{"n", "1.5"}));
    QCOMPARE(cell("D5").at(0).toString(), QStringLiteral("n"));
    QCOMPARE(cell("D5").at(1).toString().toDouble(), 46363.0 + 8.5 / 24);   // 2026-12-07 08:30
    // The summary line: its text under its column, the total as a number.
    QCOMPARE(cell("A7").at(1).toString(), QStringLiteral("TOTAL"));
    QCOMPARE(cell("B7"), (QJsonArray{"n", "4"}));
    QVERIFY(!cells.contains("A8"));
}

void TestPdf::retrievedTransferReportPrintsGroupsAndTotals()
{
    wip::test::TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    const QList<std::tuple<const char *, const char *, double, double>> transfers = {
        {"T1", "G18K", 2, 1.25}, {"T2", "G18K", 3, 2.5}, {"T3", "PT950", 4, 10}};
    for (const auto &[no, mcode, qty, weight] : transfers) {
        QVERIFY(db.insert("jcjl_mattran", {{"mattran_no", no}, {"scno", "K1"}, {"mcode", mcode},
                                           {"fcode", "04-执模收发"}, {"tcode", "05-镶石收发"},
                                           {"zmcode", "原料WIP"}, {"ldate", "2004-05-10 00:00:00"},
                                           {"qtycal", qty}, {"qtyref", weight}}));
    }
    DataStore ds("d_wip_protran");
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Modify("t_time.text='2004-05-01 至 2004-05-31'"), QString());
    QCOMPARE(ds.Retrieve({"04-执模收发", QDate(2004, 5, 1), QDate(2004, 5, 31)}), 3);

    const PageModel model(ds);
    const PageModel::Section &s = model.section(0);
    QCOMPARE(int(s.runs.size()), 5);   // two groups with their trailers, then the total

    const QString file = m_dir.filePath("protran.pdf");
    QVERIFY(writePdf(ds, file));
    QCOMPARE(wip::test::pdfPageCount(file), 1);
    const QString text = pageText(file, 1);
    QVERIFY2(text.contains(QStringLiteral("04-执模收发过货统计报表")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("2004-05-01 至 2004-05-31")));
    QVERIFY(text.contains("Page 1 of 1"));
    // Subtotal lines carry their group's sums: 5 and 3.75 for G18K, 4 and 10 for PT950,
    // the weights to the milligram.
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto lineWith = [&](const QString &what, int nth) {
        int seen = 0;
        for (const QString &line : lines) {
            if (line.contains(what) && seen++ == nth)
                return line.simplified();
        }
        return QString();
    };
    QVERIFY2(lineWith(QStringLiteral("小计"), 0).endsWith(QStringLiteral("5 3.750")), qPrintable(text));
    QVERIFY(lineWith(QStringLiteral("小计"), 1).endsWith(QStringLiteral("4 10.000")));
    QVERIFY(lineWith(QStringLiteral("合计"), 0).endsWith(QStringLiteral("9 13.750")));

    // The workbook reads like the page: heading, captions frozen, the rows of each
    // group, its subtotal and the total, numbers as numbers.
    if (!wip::test::canReadWorkbooks())
        return;
    const QString book = m_dir.filePath("protran.xlsx");
    QString error;
    QVERIFY2(writeXlsx(ds, book, &error), qPrintable(error));
    const QJsonObject cells = wip::test::readWorkbook(book, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QMap<int, QStringList> rows;
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const QString value = it.value().toArray().at(1).toString();
        if (!value.isEmpty())
            rows[QString(it.key()).remove(QRegularExpression(QStringLiteral("[A-Z]"))).toInt()] << value;
    }
    QStringList lines2;
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        QStringList line = it.value();
        line.sort();
        lines2 << line.join(QLatin1Char(' '));
    }
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
        qInfo("%s", qPrintable(lines2.join(QLatin1Char('\n'))));
    QCOMPARE(cells.value("A1").toArray().at(1).toString(), QStringLiteral("04-执模收发过货统计报表"));
    QVERIFY(lines2.contains(QStringLiteral("2004-05-01 至 2004-05-31")));
    // The heading names the stock it was retrieved for: no criteria line repeats it.
    QVERIFY(lines2.contains(QStringLiteral("Filing Stock Material Transfer Report")));
    QVERIFY(lines2.filter(QStringLiteral("仓 Stock:")).isEmpty());
    QVERIFY2(lines2.filter(QStringLiteral("小计")).size() == 2, qPrintable(lines2.join(QLatin1Char('\n'))));
    QVERIFY(lines2.filter(QStringLiteral("小计")).first().startsWith(QStringLiteral("3.75 5 ")));
    QVERIFY(lines2.filter(QStringLiteral("合计")).first().startsWith(QStringLiteral("13.75 9 ")));
    const QString sheet = zipMember(book, QStringLiteral("xl/worksheets/sheet1.xml"));
    QVERIFY2(sheet.contains(QStringLiteral("state=\"frozen\"")), qPrintable(sheet.left(600)));
    // Weights show their three decimals in the spreadsheet too (a blank zero kept).
    const QString styles = zipMember(book, QStringLiteral("xl/styles.xml"));
    QVERIFY2(styles.contains(QStringLiteral("formatCode=\"0.000;-0.000;\"")), qPrintable(styles));
}

QTEST_MAIN(TestPdf)
#include "tst_pdf.moc"
