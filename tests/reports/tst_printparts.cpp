// The parts of printing and exporting, case by case: line breaking with the
// painting font, column widths fitted to the paper, rows that wrap, the screen's
// lazy measuring, the criteria line, spreadsheet number formats and pictures.

#include "memoryreport.h"

#include "reports/render/columnsizer.h"
#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/picturestore.h"
#include "reports/render/textmetrics.h"
#include "reports/render/xlsxformats.h"
#include "reports/reportcriteria.h"
#include "runtime/drivemapping.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace wip;
using namespace wip::reports;
using namespace wip::reports::testing;

namespace {

// A report of order lines with a remark column of the given texts.
std::shared_ptr<MemoryReport> orderLines(const QStringList &remarks, bool landscape = false)
{
    Definition def;
    def.name = QStringLiteral("d_test_lines");
    def.page.landscape = landscape;
    def.columns = {column("scno", ValueType::String, {"订单", "KCNO"}),
                   column("cust_order", ValueType::String, {"客单编号"}),
                   column("qty", ValueType::Number, {"数量", "Qty"}, "#####"),
                   column("remarks", ValueType::String, {"备注", "Remarks"})};
    auto r = std::make_shared<MemoryReport>(def);
    for (int i = 0; i < remarks.size(); ++i)
        r->addRow({QStringLiteral("KC24%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("QOR-PO7000"), double(i),
                   remarks.at(i)});
    return r;
}

// A criteria line's report: arguments and their values, a heading set or not.
class Retrieved : public MemoryReport
{
public:
    using MemoryReport::MemoryReport;
    QVariantList values;
    QVariantList retrievalArguments() const override { return values; }
};

Argument argument(const QString &name, ArgumentType type, const QString &caption = QString())
{
    Argument a;
    a.name = name;
    a.type = type;
    a.caption = caption;
    return a;
}

} // namespace

class TestPrintParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesBreakWithThePaintingFont_data();
    void linesBreakWithThePaintingFont();
    void columnsFitThePaper();
    void longValuesWrapAndRowsGrow();
    void screenMeasuresRowsAsTheyComeIntoView();
    void criteriaLineStatesWhatWasAsked_data();
    void criteriaLineStatesWhatWasAsked();
    void spreadsheetFormatsFollowDisplayFormats_data();
    void spreadsheetFormatsFollowDisplayFormats();
    void picturesAreFoundInThePictureFolder();
};

void TestPrintParts::linesBreakWithThePaintingFont_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("widthEm");     // the line's width in ems of 9 pt
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("fits") << "QOR-PO7000" << 20.0 << QStringList{"QOR-PO7000"};
    QTest::newRow("at a space") << "stone delay" << 4.0 << QStringList{"stone", "delay"};
    QTest::newRow("between Chinese characters") << "小计Subtotal" << 3.0 << QStringList{"小计", "Subtot", "al"};
    QTest::newRow("after a hyphen") << "QOR-PO7000" << 4.0 << QStringList{"QOR-", "PO7000"};
    QTest::newRow("a word wider than the line") << "WWWWWWWW" << 2.0 << QStringList{"WW", "WW", "WW", "WW"};
    QTest::newRow("line breaks kept") << "第一行\nsecond" << 20.0 << QStringList{"第一行", "second"};
    QTest::newRow("trailing spaces dropped") << "a  b   " << 1.0 << QStringList{"a", "b"};
    QTest::newRow("empty") << "" << 5.0 << QStringList{""};
}

void TestPrintParts::linesBreakWithThePaintingFont()
{
    QFETCH(QString, text);
    QFETCH(double, widthEm);
    QFETCH(QStringList, lines);
    const TextMetrics &m = TextMetrics::of(9, false);
    const double width = widthEm * 9;
    const QStringList wrapped = m.wrap(text, width);
    QCOMPARE(wrapped, lines);
    QCOMPARE(m.lineCount(text, width), int(lines.size()));
    // Nothing is lost, and every line but an unbreakable single character fits.
    QCOMPARE(QString(wrapped.join(QString())).remove(QLatin1Char(' ')), QString(text).remove(QLatin1Char(' ')).remove(QLatin1Char('\n')));
    for (const QString &line : wrapped)
        QVERIFY(m.width(line) <= width + 1e-9 || line.size() == 1);
}

void TestPrintParts::columnsFitThePaper()
{
    QVector<ReportColumn> columns(3);
    columns[0].name = "scno";
    columns[1].name = "remarks";
    columns[2].name = "qty";
    columns[2].type = ValueType::Number;
    ColumnSizer sizer(columns, 9);
    const QString longRemark = QStringLiteral("客户要求加急，石料由客户提供 the customer sends the stones, check them before setting");
    auto rows = orderLines({longRemark, QStringLiteral("ok")});
    // The sizer reads the report's columns by name: scno, remarks, qty.
    QVERIFY(sizer.measureRows(*rows, 1, 2));
    const double natural = sizer.natural(0) + sizer.natural(1) + sizer.natural(2);

    // Room enough: every column at its natural width.
    ColumnSizer::Fit fit = sizer.fit(natural + 10, 0);
    QVERIFY(!fit.across);
    QCOMPARE(fit.widths, (QVector<double>{sizer.natural(0), sizer.natural(1), sizer.natural(2)}));

    // Too narrow: the long text gives way, the code and the number keep their widths.
    fit = sizer.fit(natural - 100, 0);
    QVERIFY(!fit.across);
    QCOMPARE(fit.widths.at(0), sizer.natural(0));
    QCOMPARE(fit.widths.at(2), sizer.natural(2));
    QVERIFY(fit.widths.at(1) < sizer.natural(1));
    QVERIFY(fit.widths.at(0) + fit.widths.at(1) + fit.widths.at(2) <= natural - 100 + 1e-6);

    // Narrower than the minimums: printed across pages, no column wider than a page.
    fit = sizer.fit(sizer.minimum(0) + sizer.minimum(2), sizer.natural(0));
    QVERIFY(fit.across);
    for (int i = 0; i < 3; ++i)
        QVERIFY(fit.widths.at(i) <= sizer.natural(i));

    // A label under a column (a subtotal) is never cut: the column takes its width.
    QVERIFY(sizer.measureUnder(2, QStringLiteral("小计Subtotal:"), 9, true));
    QVERIFY(sizer.minimum(2) >= TextMetrics::of(9, true).width(u"小计Subtotal:") + 2 * ColumnSizer::padding);
}

void TestPrintParts::longValuesWrapAndRowsGrow()
{
    QStringList remarks;
    for (int i = 0; i < 60; ++i)
        remarks << (i % 3 == 0 ? QStringLiteral("镶石前需品检确认颜色与净度，石料由客户提供，来石后点数两次 check colour and "
                                                "clarity before setting, %1 stones come from the customer and are "
                                                "counted twice, once when they come in and once before setting")
                                     .arg(i)
                               : QStringLiteral("ok"));
    const auto data = orderLines(remarks);
    const PageModel model(*data);
    const PageModel::Section &s = model.section(0);
    QVERIFY(s.width <= PageModel::printableWidth(PageSetup{}) / model.minScale() + 1e-6);
    QVERIFY(!s.extra.empty());
    const PageModel::Run &run = s.runs.at(size_t(s.detailRuns.front()));
    QVERIFY(s.rowHeight(run, 1) > s.detail.height);      // a long remark: more lines
    QCOMPARE(s.rowHeight(run, 2), s.detail.height);      // "ok": one line
    for (int row = 1; row < 60; ++row) {
        QCOMPARE(s.rowTop(run, row + 1), s.rowTop(run, row) + s.rowHeight(run, row));
        QCOMPARE(s.rowAt(run, s.rowTop(run, row) + 0.5), row);
    }
    // Pages break between rows, never through a wrapped one, and lose none.
    const Pagination pages(model, QSizeF(595, 300), Pagination::defaultMargins());
    QVERIFY(pages.pageCount() > 3);
    double covered = 0;
    for (int i = 0; i < pages.pageCount(); ++i) {
        const Pagination::Slice &slice = pages.page(i).slices.first();
        QCOMPARE(slice.from, covered);
        const int last = s.rowAt(run, slice.to - 1e-3);
        QVERIFY(qFuzzyCompare(s.rowTop(run, last) + s.rowHeight(run, last), slice.to) || slice.to == s.bodyHeight);
        covered = slice.to;
    }
    QCOMPARE(covered, s.bodyHeight);
}

void TestPrintParts::screenMeasuresRowsAsTheyComeIntoView()
{
    QStringList remarks;
    for (int i = 0; i < 2000; ++i)
        remarks << (i == 1900 ? QStringLiteral("a remark far down the report that is much wider than the others")
                              : QStringLiteral("ok"));
    const auto data = orderLines(remarks);
    PageModel screen(*data, PageModel::Options{9, PageModel::Purpose::Screen, 7});
    const auto remarksWidth = [&] { return screen.section(0).columns.at(3).width; };
    QVERIFY(!screen.measureArea(0, 200) || remarksWidth() > 0);
    const double before = remarksWidth();
    QVERIFY(!screen.measureRows(0, 1, 10));              // measured already: nothing changes
    const QRectF far = screen.rowRect(0, 1901);
    QVERIFY(screen.measureArea(far.top(), far.bottom()));  // the wide value comes into view
    QVERIFY(remarksWidth() > before + 100);
    QVERIFY(screen.section(0).extra.empty());            // the screen never wraps
    // Paper measures every row before it is laid out.
    const PageModel paper(*data);
    QCOMPARE(paper.section(0).columns.at(3).width, remarksWidth());
}

void TestPrintParts::criteriaLineStatesWhatWasAsked_data()
{
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("heading");      // what a window wrote into t_head
    QTest::addColumn<QString>("expected");
    const QStringList twenty = [] {
        QStringList l;
        for (int i = 1; i <= 20; ++i)
            l << QStringLiteral("KC24%1").arg(i, 5, 10, QLatin1Char('0'));
        return l;
    }();
    QTest::newRow("range, customer, list")
        << QVariantList{QDate(2026, 11, 1), QDate(2026, 12, 31), "QOR", twenty} << ""
        << "货期 Deldate: 2026-11-01 至 2026-12-31   客户 Customer: QOR   KCNO: KC2400001 … (20)";
    QTest::newRow("short list in full") << QVariantList{QDate(2026, 11, 1), QDate(2026, 12, 31), "QOR",
                                                         QStringList{"KC1", "KC2"}}
                                        << "" << "货期 Deldate: 2026-11-01 至 2026-12-31   客户 Customer: QOR   KCNO: KC1, KC2";
    QTest::newRow("the heading shows the dates")
        << QVariantList{QDate(2026, 11, 1), QDate(2026, 12, 31), "QOR", QStringList{"KC1"}}
        << "2026-11-01 至 2026-12-31 出货订单" << "客户 Customer: QOR   KCNO: KC1";
    QTest::newRow("the heading shows everything")
        << QVariantList{QDate(2026, 11, 1), QDate(2026, 12, 31), "QOR", QStringList{"KC1"}}
        << "QOR 2026-11-01 - 2026-12-31 KC1" << "";
    QTest::newRow("not retrieved") << QVariantList{} << "" << "";
}

void TestPrintParts::criteriaLineStatesWhatWasAsked()
{
    QFETCH(QVariantList, values);
    QFETCH(QString, heading);
    QFETCH(QString, expected);
    Definition def;
    def.name = QStringLiteral("d_test_criteria");
    def.arguments = {argument("deldate1", ArgumentType::Date, "货期 Deldate"),
                     argument("deldate2", ArgumentType::Date, "货期 Deldate"),
                     argument("custno", ArgumentType::String, "客户 Customer"),
                     argument("scno_sel", ArgumentType::StringList, "KCNO")};
    // The company's name in the design does not count as showing the customer.
    def.texts = {text("t_company", "QOR JEWELLERY MFG.LTD.", Band::Header), text("t_head", "", Band::Header)};
    Retrieved report(def);
    report.values = values;
    report.setText("t_head", heading);
    QCOMPARE(ReportCriteria::text(report), expected);
    // The line closes the printed heading.
    const PageModel model(report);
    const PageModel::BandTemplate &header = model.section(0).header;
    QCOMPARE(header.items.last().name == expected, !expected.isEmpty());
}

void TestPrintParts::spreadsheetFormatsFollowDisplayFormats_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QByteArray>("excel");
    QTest::newRow("optional decimals") << "####.#" << QByteArray("General");
    QTest::newRow("blank zero") << "#####.##;-#####.##; " << QByteArray("General;-General;");
    QTest::newRow("fixed decimals") << "0.00" << QByteArray("0.00");
    QTest::newRow("fixed and optional") << "0.0#" << QByteArray("0.0#");
    QTest::newRow("whole numbers") << "#####" << QByteArray("0");
    QTest::newRow("thousands") << "#,##0.00" << QByteArray("#,##0.00");
    QTest::newRow("a unit after") << "#### pcs" << QByteArray("0\" pcs\"");
    QTest::newRow("weight, blank zero") << "#####0.000;-#####0.000; " << QByteArray("0.000;-0.000;");
    QTest::newRow("none") << "" << QByteArray("General");
}

void TestPrintParts::spreadsheetFormatsFollowDisplayFormats()
{
    QFETCH(QString, display);
    QFETCH(QByteArray, excel);
    QCOMPARE(XlsxFormats::numberFormat(display), excel);
    QCOMPARE(XlsxFormats::dateFormat(QStringLiteral("[shortdate] [time]"), ValueType::DateTime),
             QByteArray("yyyy-mm-dd hh:mm:ss"));
}

void TestPrintParts::picturesAreFoundInThePictureFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DriveMapping::instance().setFolder(QLatin1Char('P'), dir.path());
    PictureStore::clear();
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(dir.filePath("d2429.bmp")));
    QFile broken(dir.filePath("BROKEN.BMP"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();

    // The database names it in capitals; the file server did not mind.
    QCOMPARE(PictureStore::path("D2429.BMP"), std::optional<QString>(dir.filePath("d2429.bmp")));
    const QImage found = PictureStore::image("D2429.BMP", 16);
    QCOMPARE(found.size(), QSize(16, 8));                // kept in proportion
    QVERIFY(PictureStore::image("BROKEN.BMP").isNull());
    QVERIFY(PictureStore::image("NOSUCH.BMP").isNull());
    QVERIFY(!PictureStore::path("../d2429.bmp"));        // never outside the folder
    QVERIFY(!PictureStore::path(""));
    DriveMapping::instance().setFolder(QLatin1Char('P'), QString());
    PictureStore::clear();
}

QTEST_MAIN(TestPrintParts)
#include "tst_printparts.moc"
