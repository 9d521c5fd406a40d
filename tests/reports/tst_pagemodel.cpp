#include "memoryreport.h"

#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/reportpainter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <memory>

using namespace wip::reports;
using namespace wip::reports::testing;
using Kind = PageModel::RunKind;

Q_DECLARE_METATYPE(std::shared_ptr<wip::reports::testing::MemoryReport>)

namespace {

// Transfers grouped on material, with group sums under their columns and a total.
std::shared_ptr<MemoryReport> groupedTransfers()
{
    Definition def;
    def.name = QStringLiteral("d_test_grouped");
    def.columns = {column("mcode", ValueType::String, {"物料Material"}),
                   column("scno", ValueType::String, {"订单", "KCNO"}),
                   column("qtycal", ValueType::Number, {"数量PCS"}, "######.###;-######.###; ")};
    def.texts = {text("t_title", "过货统计报表", Band::Header),
                 text("t_total", "TOTAL", Band::Summary, "mcode")};
    def.computed = {computed("compute_1", "sum(qtycal for group 1)", Band::GroupTrailer, "qtycal", 1),
                    computed("compute_3", "sum(qtycal for all)", Band::Summary, "qtycal"),
                    computed("c_page", "'Page ' + page() + ' of ' + pagecount()", Band::Footer)};
    def.computed[0].format = def.computed[1].format = "######.###";
    def.computed[2].type = ValueType::String;
    def.groups = {Group{1, {"mcode"}, false}};
    auto r = std::make_shared<MemoryReport>(def);
    r->addRow({"GOLD", "K001", 1.0});
    r->addRow({"GOLD", "K002", 2.0});
    r->addRow({"SILVER", "K003", 4.0});
    return r;
}

std::shared_ptr<MemoryReport> plainRows(int rows, bool withFooter = true)
{
    Definition def;
    def.name = QStringLiteral("d_test_plain");
    def.columns = {column("scno", ValueType::String, {"订单", "KCNO"}),
                   column("qty", ValueType::Number, {"件数PCS"}, "#####")};
    def.texts = {text("t_head", "WIP报表", Band::Header)};
    if (withFooter) {
        def.computed = {computed("c_page", "'Page ' + page() + ' of ' + pagecount()", Band::Footer)};
        def.computed[0].type = ValueType::String;
    }
    auto r = std::make_shared<MemoryReport>(def);
    for (int i = 1; i <= rows; ++i)
        r->addRow({QStringLiteral("K%1").arg(i, 5, 10, QLatin1Char('0')), double(i)});
    return r;
}

const PageModel::Item *findItem(const PageModel::BandTemplate &band, const QString &name)
{
    for (const PageModel::Item &item : band.items) {
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return &item;
    }
    return nullptr;
}

} // namespace

class TestPageModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void groupTrailersAndSummarySitUnderTheirColumns();
    void rowPositionsAndHitsSkipGroupBands();
    void bilingualCaptionsStackAndWidthsFollowContent();
    void pagesRepeatHeadingAndNeverSplitRows();
    void pageFieldCountsPages();
    void sheetsWithoutFooterAreNumbered();
    void largeReportIsLaidOutWithoutPerRowObjects();
    void groupOnNewPageStartsAPage();
    void formLaysOneRowOutAsEditableGrid();
    void compositeStacksItsNestedReports();
    void wideReportIsScaledToThePage();
    void emptyReportKeepsHeadingAndTotalText();
    void crosstabShowsItsPivotColumns();
    void measuredAsNeededEndsAsMeasuredAtOnce_data();
    void measuredAsNeededEndsAsMeasuredAtOnce();
};

void TestPageModel::groupTrailersAndSummarySitUnderTheirColumns()
{
    const auto data = groupedTransfers();
    const PageModel model(*data);
    QCOMPARE(model.sectionCount(), 1);
    const PageModel::Section &s = model.section(0);

    QVector<Kind> kinds;
    for (const PageModel::Run &r : s.runs)
        kinds << r.kind;
    QCOMPARE(kinds, (QVector<Kind>{Kind::Detail, Kind::GroupTrailer, Kind::Detail, Kind::GroupTrailer, Kind::Summary}));
    QCOMPARE(s.runs[0].firstRow, 1);
    QCOMPARE(s.runs[0].lastRow, 2);
    QCOMPARE(s.runs[1].lastRow, 2);
    QCOMPARE(s.runs[2].firstRow, 3);
    QCOMPARE(s.runs[3].lastRow, 3);

    const PageModel::Item *qty = findItem(s.detail, "qtycal");
    const PageModel::Item *mcode = findItem(s.detail, "mcode");
    const PageModel::Item *groupSum = findItem(s.groupTrailers.at(0), "compute_1");
    const PageModel::Item *total = findItem(s.summary, "compute_3");
    const PageModel::Item *totalText = findItem(s.summary, "t_total");
    QVERIFY(qty && mcode && groupSum && total && totalText);
    QCOMPARE(groupSum->rect.left(), qty->rect.left());
    QCOMPARE(groupSum->rect.width(), qty->rect.width());
    QCOMPARE(total->rect.left(), qty->rect.left());
    QCOMPARE(totalText->rect.left(), mcode->rect.left());
    QCOMPARE(totalText->rect.top(), total->rect.top());   // "TOTAL" on the line of the sums

    const ReportPainter painter(model);
    QCOMPARE(painter.itemText(s, *groupSum, s.runs[1].lastRow), QStringLiteral("3"));
    QCOMPARE(painter.itemText(s, *groupSum, s.runs[3].lastRow), QStringLiteral("4"));
    QCOMPARE(painter.itemText(s, *total, s.runs[4].lastRow), QStringLiteral("7"));
    QCOMPARE(painter.itemText(s, *totalText, 3), QStringLiteral("TOTAL"));
    // The title is the text object's current text.
    data->setText("t_title", "04-执模收发过货统计报表");
    QCOMPARE(painter.itemText(s, *findItem(s.header, "t_title"), 1), QStringLiteral("04-执模收发过货统计报表"));
}

void TestPageModel::rowPositionsAndHitsSkipGroupBands()
{
    const auto data = groupedTransfers();
    const PageModel model(*data);
    const PageModel::Section &s = model.section(0);
    const double rowH = s.detail.height;
    const double trailerH = s.groupTrailers.at(0).height;
    QVERIFY(trailerH > 0);

    const QRectF r1 = model.rowRect(0, 1);
    const QRectF r2 = model.rowRect(0, 2);
    const QRectF r3 = model.rowRect(0, 3);
    QCOMPARE(r1.top(), s.headingHeight());
    QCOMPARE(r2.top(), r1.top() + rowH);
    QCOMPARE(r3.top(), r2.top() + rowH + trailerH);
    QVERIFY(model.rowRect(0, 4).isNull());
    QVERIFY(model.rowRect(0, 0).isNull());

    for (int row = 1; row <= 3; ++row) {
        const QRectF r = model.rowRect(0, row);
        const PageModel::Hit hit = model.hitTest(5, r.center().y());
        QCOMPARE(hit.row, row);
        QVERIFY(hit.item);
        QCOMPARE(hit.item->name, QStringLiteral("mcode"));
    }
    // A click on the trailer or the captions is on no row.
    QCOMPARE(model.hitTest(5, r2.bottom() + trailerH / 2).row, 0);
    QCOMPARE(model.hitTest(5, s.header.height + 1).row, 0);
}

void TestPageModel::bilingualCaptionsStackAndWidthsFollowContent()
{
    Definition def;
    def.name = "d_caps";
    def.columns = {column("dep_c", ValueType::String, {"工序"}),
                   column("today_fin", ValueType::Number, {"本日完成PCS", "Today Finish"}, "####.#"),
                   column("memo", ValueType::String, {"M"}),
                   column("code", ValueType::String, {"C"})};
    def.columns[3].width = 30;
    MemoryReport data(def);
    data.addRow({"03-倒模", 12.5, "a remark that is a good deal longer than its caption", "x"});
    const PageModel model(data);
    const PageModel::Section &s = model.section(0);
    const double line = PageModel::lineHeight(model.options().fontSize);
    QVERIFY(s.captions.height >= 2 * line);
    QVERIFY(s.captions.height < 3 * line);

    const PageModel::Item *fin = findItem(s.detail, "today_fin");
    const PageModel::Item *memo = findItem(s.detail, "memo");
    const PageModel::Item *code = findItem(s.detail, "code");
    QVERIFY(fin && memo && code);
    // Wide enough for its caption, and for the longest value of the first rows.
    QVERIFY(fin->rect.width() >= PageModel::textWidth("本日完成PCS", model.options().fontSize));
    QVERIFY(memo->rect.width() >= PageModel::textWidth("a remark that is a good deal longer", model.options().fontSize));
    // A width in characters wins over the content.
    QVERIFY(code->rect.width() >= 30 * 0.5 * model.options().fontSize);
    // Columns are side by side in definition order.
    QVERIFY(fin->rect.left() >= findItem(s.detail, "dep_c")->rect.right() - 0.01);
    QVERIFY(memo->rect.left() >= fin->rect.right() - 0.01);
    QCOMPARE(fin->align, Align::Right);
}

void TestPageModel::pagesRepeatHeadingAndNeverSplitRows()
{
    const auto data = plainRows(100);
    const PageModel model(*data);
    const PageModel::Section &s = model.section(0);
    const double rowH = s.detail.height;
    // Room for 40 rows under the heading, above the footer.
    const double pageH = 20 + s.headingHeight() + 40 * rowH + model.pageFooter().height + rowH / 2;
    const Pagination pages(model, QSizeF(600, pageH), QMarginsF(10, 10, 10, 10));
    QCOMPARE(pages.pageCount(), 3);

    double expectedFrom = 0;
    for (int i = 0; i < pages.pageCount(); ++i) {
        const Pagination::Page &page = pages.page(i);
        QCOMPARE(page.slices.size(), 1);
        const Pagination::Slice &slice = page.slices.first();
        QVERIFY(slice.heading);
        QCOMPARE(slice.from, expectedFrom);
        const double rows = (slice.to - slice.from) / rowH;
        QCOMPARE(rows, std::round(rows));                       // whole rows only
        QVERIFY(slice.to - slice.from + s.headingHeight() <= pages.bodyHeight() + 1e-6);
        QCOMPARE(page.firstRow, int(slice.from / rowH) + 1);
        expectedFrom = slice.to;
    }
    QCOMPARE(expectedFrom, s.bodyHeight);
    QCOMPARE(pages.page(0).slices.first().to, 40 * rowH);
}

void TestPageModel::pageFieldCountsPages()
{
    const auto data = plainRows(100);
    const PageModel model(*data);
    const PageModel::Section &s = model.section(0);
    const Pagination pages(model, QSizeF(600, 300), QMarginsF(10, 10, 10, 10));
    QVERIFY(pages.pageCount() > 3);
    const PageModel::Item *field = findItem(model.pageFooter(), "c_page");
    QVERIFY(field);
    QCOMPARE(field->kind, PageModel::ItemKind::PageField);
    const ReportPainter painter(model);
    const int n = pages.pageCount();
    QCOMPARE(painter.itemText(s, *field, 1, 2, n), QStringLiteral("Page 2 of %1").arg(n));
    QCOMPARE(painter.itemText(s, *field, 1), QStringLiteral("Page 1 of 1"));
}

// A report whose definition numbers no page gets "Page i of n" in the bottom
// margin of each sheet, below its body and on the paper, once it runs to a second
// sheet; a single sheet is left as it is.
void TestPageModel::sheetsWithoutFooterAreNumbered()
{
    for (const int rows : {100, 3}) {
        const auto data = plainRows(rows, false);
        const PageModel model(*data);
        const QSizeF paper(600, 300);
        const QMarginsF margins(10, 10, 10, 28);
        const Pagination pages(model, paper, margins);
        const int n = pages.pageCount();
        QCOMPARE(n > 1, rows == 100);
        ReportPainter painter(model);
        for (int i = 0; i < n; ++i) {
            QStringList numbers;
            painter.setTextObserver([&](const ReportPainter::PaintedText &t, QPainter &p) {
                if (!t.text.startsWith(QLatin1String("Page ")))
                    return;
                numbers << t.text;
                const QRectF onPaper = p.transform().mapRect(t.cell);
                QVERIFY(onPaper.top() >= paper.height() - margins.bottom() - 1e-6);
                QVERIFY(onPaper.bottom() <= paper.height() + 1e-6);
                QVERIFY(t.pointSize * t.pageScale >= 7 - 1e-9);
                QVERIFY(QFontMetricsF(t.font, p.device()).horizontalAdvance(t.text) <= t.cell.width());
            });
            QImage image(paper.toSize(), QImage::Format_RGB32);
            QPainter p(&image);
            painter.paintPage(p, pages, i);
            QCOMPARE(numbers, n > 1 ? QStringList{QStringLiteral("Page %1 of %2").arg(i + 1).arg(n)} : QStringList{});
        }
    }
}

void TestPageModel::largeReportIsLaidOutWithoutPerRowObjects()
{
    const auto data = plainRows(100000, false);
    // How fast this is lives in bench/bench_render; here, that it holds no object per row.
    const PageModel model(*data);
    const Pagination pages(model, Pagination::pageSizePoints(PageSetup{}), Pagination::defaultMargins());

    const PageModel::Section &s = model.section(0);
    QCOMPARE(int(s.runs.size()), 1);
    QCOMPARE(s.runs[0].lastRow, 100000);
    const QRectF last = model.rowRect(0, 100000);
    QCOMPARE(last.top(), s.headingHeight() + 99999 * s.detail.height);
    QCOMPARE(model.hitTest(1, last.center().y()).row, 100000);
    QVERIFY(pages.pageCount() > 1000);
}

void TestPageModel::groupOnNewPageStartsAPage()
{
    Definition def;
    def.name = "d_pages";
    def.columns = {column("worker", ValueType::String, {"工号"}), column("qty", ValueType::Number, {"PCS"})};
    def.computed = {computed("compute_1", "sum(qty for group 1)", Band::GroupTrailer, "qty", 1)};
    def.groups = {Group{1, {"worker"}, true}};
    MemoryReport data(def);
    for (const char *w : {"A", "A", "B", "C", "C", "C"})
        data.addRow({w, 1.0});
    const PageModel model(data);
    const Pagination pages(model, QSizeF(600, 800), QMarginsF(10, 10, 10, 10));
    QCOMPARE(pages.pageCount(), 3);
    QCOMPARE(pages.page(0).firstRow, 1);
    QCOMPARE(pages.page(1).firstRow, 3);
    QCOMPARE(pages.page(2).firstRow, 4);
}

void TestPageModel::formLaysOneRowOutAsEditableGrid()
{
    Definition def;
    def.name = "d_form";
    def.layout = LayoutKind::Form;
    def.columns = {column("wax_in", ValueType::Number, {}), column("wax_out", ValueType::Number, {}),
                   column("casting_in", ValueType::Number, {}), column("casting_out", ValueType::Number, {}),
                   column("remark", ValueType::String, {"Remark"})};
    def.computed = {computed("c_wax", "wax_in - wax_out", Band::Detail),
                    computed("c_casting", "casting_in - casting_out", Band::Detail)};
    def.form.headings = {"", "接收", "转出", "在做"};
    def.form.lines = {{"唧蜡", {"wax_in", "wax_out", "c_wax"}}, {"倒模", {"casting_in", "casting_out", "c_casting"}}};
    def.form.extraFields = {"remark"};
    MemoryReport data(def);
    data.addRow({10.0, 4.0, 4.0, 0.0, "1"});
    const PageModel model(data);
    const PageModel::Section &s = model.section(0);
    QVERIFY(s.form);

    QStringList order;
    for (const PageModel::Item *item : model.editableItems(0))
        order << item->name;
    QCOMPARE(order, (QStringList{"wax_in", "wax_out", "casting_in", "casting_out", "remark"}));

    const PageModel::Item *in = findItem(s.detail, "wax_in");
    const PageModel::Item *out = findItem(s.detail, "wax_out");
    const PageModel::Item *wip = findItem(s.detail, "c_wax");
    const PageModel::Item *heading = findItem(s.detail, "转出");
    const PageModel::Item *label = findItem(s.detail, "倒模");
    QVERIFY(in && out && wip && heading && label);
    QVERIFY(!wip->editable);
    QCOMPARE(heading->rect.left(), out->rect.left());     // the field sits under its heading
    QVERIFY(in->rect.top() > heading->rect.top());
    QCOMPARE(in->rect.top(), out->rect.top());
    QVERIFY(label->rect.top() > in->rect.top());
    QCOMPARE(ReportPainter(model).itemText(s, *wip, 1), QStringLiteral("6"));

    const QRectF field = model.itemRect(0, 1, *out);
    QVERIFY(model.rowRect(0, 1).contains(field));
    const PageModel::Hit hit = model.hitTest(field.center().x(), field.center().y());
    QCOMPARE(hit.row, 1);
    QVERIFY(hit.item == out);
}

void TestPageModel::compositeStacksItsNestedReports()
{
    Definition def;
    def.name = "d_comp";
    def.layout = LayoutKind::Composite;
    def.texts = {text("t_factory", "QOR JEWELLERY MFG.LTD.", Band::Header)};
    auto composite = std::make_shared<MemoryReport>(def);
    composite->addNested(plainRows(30, false));
    composite->addNested(groupedTransfers());
    const PageModel model(*composite);
    QCOMPARE(model.sectionCount(), 3);
    QVERIFY(model.section(0).runs.empty());
    QVERIFY(model.sectionTop(1) >= model.section(0).header.height);
    QVERIFY(model.sectionTop(2) >= model.sectionTop(1) + model.section(1).headingHeight() + model.section(1).bodyHeight);
    // The second report's rows are found where the first one ends.
    const QRectF r = model.rowRect(2, 1);
    QVERIFY(r.top() > model.rowRect(1, 30).bottom());
    const PageModel::Hit hit = model.hitTest(2, r.center().y());
    QCOMPARE(hit.section, 2);
    QCOMPARE(hit.row, 1);

    const Pagination pages(model, QSizeF(600, 2000), QMarginsF(10, 10, 10, 10));
    QCOMPARE(pages.pageCount(), 1);
    QCOMPARE(pages.page(0).slices.size(), 3);
    const Pagination small(model, QSizeF(600, 300), QMarginsF(10, 10, 10, 10));
    QVERIFY(small.pageCount() >= 3);
    // Every slice of the last nested report carries its captions again.
    for (int i = 0; i < small.pageCount(); ++i) {
        for (const Pagination::Slice &slice : small.page(i).slices)
            QVERIFY(slice.heading);
    }
}

void TestPageModel::wideReportIsScaledToThePage()
{
    Definition def;
    def.name = "d_wide";
    for (int i = 0; i < 12; ++i) {
        def.columns << column(QStringLiteral("c%1").arg(i), ValueType::String, {QStringLiteral("C%1").arg(i)});
        def.columns.last().width = 20;
    }
    MemoryReport data(def);
    const PageModel model(data);
    const QSizeF a4 = Pagination::pageSizePoints(PageSetup{});
    QVERIFY(model.width() > a4.width());
    const Pagination pages(model, a4, Pagination::defaultMargins());
    QVERIFY(pages.scale() < 1);
    QCOMPARE(model.width() * pages.scale(), a4.width() - 56);

    PageSetup landscape;
    landscape.landscape = true;
    const QSizeF turned = Pagination::pageSizePoints(landscape);
    QCOMPARE(turned.width(), a4.height());
}

void TestPageModel::emptyReportKeepsHeadingAndTotalText()
{
    auto data = groupedTransfers();
    Definition def = data->definition();
    MemoryReport empty(def);
    const PageModel model(empty);
    const PageModel::Section &s = model.section(0);
    QCOMPARE(int(s.runs.size()), 1);
    QCOMPARE(s.runs[0].kind, Kind::Summary);
    const ReportPainter painter(model);
    QCOMPARE(painter.itemText(s, *findItem(s.summary, "t_total"), 0), QStringLiteral("TOTAL"));
    QCOMPARE(painter.itemText(s, *findItem(s.summary, "compute_3"), 0), QString());
    const Pagination pages(model, QSizeF(600, 800), QMarginsF(10, 10, 10, 10));
    QCOMPARE(pages.pageCount(), 1);
    QVERIFY(pages.page(0).slices.first().heading);
}

// A crosstab's rows are the pivot: its columns come from the rows, not from the
// definition's source columns.
class PivotReport : public MemoryReport
{
public:
    using MemoryReport::MemoryReport;
    QVector<Column> columns() const override
    {
        return {column("gongxu_code", ValueType::String, {"工序"}), column("qty_1", ValueType::Number, {"2004-05-01"}),
                column("qty_2", ValueType::Number, {"2004-05-02"}), column("grand_sum_qty", ValueType::Number, {"合计"})};
    }
    QVariant item(int row, const QString &name) const override
    {
        const QStringList names{"gongxu_code", "qty_1", "qty_2", "grand_sum_qty"};
        const QVariantList r = row == 1 ? QVariantList{"03-倒模", 2.0, 3.0, 5.0} : QVariantList{"04-执模", 1.0, 0.0, 1.0};
        return r.value(names.indexOf(name.toLower()));
    }
    int rowCount() const override { return 2; }
};

void TestPageModel::crosstabShowsItsPivotColumns()
{
    Definition def;
    def.name = "d_pivot";
    def.layout = LayoutKind::Crosstab;
    def.columns = {column("gongxu_code", ValueType::String, {}), column("edtime", ValueType::DateTime, {}),
                   column("qty", ValueType::Number, {})};
    def.crosstab = Crosstab{{"gongxu_code"}, {"edtime"}, {{"qty", "sum(qty for crosstab)"}}, {}};
    PivotReport data(def);
    const PageModel model(data);
    const PageModel::Section &s = model.section(0);
    QStringList shown;
    for (const PageModel::Item &item : s.detail.items)
        shown << item.name;
    QCOMPARE(shown, (QStringList{"gongxu_code", "qty_1", "qty_2", "grand_sum_qty"}));
    QStringList captions;
    for (const PageModel::Item &item : s.captions.items)
        captions << item.name;
    QCOMPARE(captions, (QStringList{"工序", "2004-05-01", "2004-05-02", "合计"}));
    const ReportPainter painter(model);
    QCOMPARE(painter.itemText(s, *findItem(s.detail, "grand_sum_qty"), 1), QStringLiteral("5"));
}


namespace {

// Everything of a model that the pages are cut from, and the cut itself.
QStringList layoutOf(const PageModel &model)
{
    QStringList out;
    for (int i = 0; i < model.sectionCount(); ++i) {
        const PageModel::Section &s = model.section(i);
        out << QStringLiteral("section %1: width %2 body %3 captions %4 across %5")
                   .arg(i).arg(s.width).arg(s.bodyHeight).arg(s.captions.height).arg(s.across);
        for (const PageModel::ColumnSlot &c : s.columns)
            out << QStringLiteral("  %1 at %2 width %3").arg(c.name).arg(c.x).arg(c.width);
        for (const PageModel::Item &item : s.detail.items)
            out << QStringLiteral("  %1 wraps %2").arg(item.name).arg(item.wrap);
        for (const PageModel::Run &r : s.runs)
            out << QStringLiteral("  run %1-%2 at %3 extent %4").arg(r.firstRow).arg(r.lastRow).arg(r.y).arg(r.extent);
        QStringList extra;
        for (double e : s.extra)
            extra << QString::number(e);
        out << QStringLiteral("  extra ") + extra.join(QLatin1Char(' '));
    }
    const Pagination pages(model);
    for (int p = 0; p < pages.pageCount(); ++p) {
        QStringList slices;
        for (const Pagination::Slice &slice : pages.page(p).slices)
            slices << QStringLiteral("%1:%2-%3").arg(slice.section).arg(slice.from).arg(slice.to);
        out << QStringLiteral("page %1 band %2: %3").arg(p + 1).arg(pages.page(p).bandIndex).arg(slices.join(QLatin1Char(' ')));
    }
    return out;
}

// Rows whose remarks wrap on paper, the longest ones far down the report; a
// long contract number in the last row narrows the remarks that wrapped above.
std::shared_ptr<MemoryReport> remarks(int rows, int longFrom, bool lateCode = false)
{
    Definition def;
    def.name = QStringLiteral("d_test_remarks");
    def.columns = {column("scno", ValueType::String, {"订单", "KCNO"}),
                   column("memo", ValueType::String, {"备注Remarks"}),
                   column("qty", ValueType::Number, {"件数PCS"}, "#####")};
    auto r = std::make_shared<MemoryReport>(def);
    for (int i = 1; i <= rows; ++i) {
        const QString memo = i >= longFrom && i % 3 == 0
            ? QStringLiteral("镶石返工 stones reset after the setter's check, ").repeated(1 + i % 4)
            : QStringLiteral("ok");
        r->addRow({lateCode && i == rows ? QStringLiteral("KC-2026-12-0001-REWORK-BATCH-07") : QStringLiteral("K%1").arg(i),
                   memo, double(i)});
    }
    return r;
}

} // namespace

void TestPageModel::measuredAsNeededEndsAsMeasuredAtOnce_data()
{
    QTest::addColumn<std::shared_ptr<MemoryReport>>("report");
    // The widest value in the last row.
    auto late = plainRows(400);
    late->addRow({QStringLiteral("K-A-VERY-LONG-CONTRACT-NUMBER-AT-THE-END"), 123456789.0});
    QTest::newRow("the widest value last") << late;
    // Group sums that widen their column as the groups grow.
    auto grouped = groupedTransfers();
    for (int i = 0; i < 300; ++i)
        grouped->addRow({i < 150 ? "GOLD" : "SILVER", QStringLiteral("K%1").arg(i), double(i) * 1000.5});
    QTest::newRow("group sums") << grouped;
    QTest::newRow("rows that wrap, first early") << remarks(500, 1);
    QTest::newRow("rows that wrap, only late") << remarks(500, 300);
    QTest::newRow("rows that wrap, narrower at the end") << remarks(500, 1, true);
    Definition def;
    def.name = "d_comp";
    def.layout = LayoutKind::Composite;
    auto composite = std::make_shared<MemoryReport>(def);
    composite->addNested(remarks(120, 60));
    composite->addNested(late);
    QTest::newRow("a composite") << composite;
    Definition wide;
    wide.name = "d_wide_late";
    for (int i = 0; i < 14; ++i)
        wide.columns << column(QStringLiteral("c%1").arg(i), ValueType::String, {QStringLiteral("C%1").arg(i)});
    auto across = std::make_shared<MemoryReport>(wide);
    for (int i = 0; i < 200; ++i) {
        QVariantList row;
        for (int c = 0; c < 14; ++c)
            row << (i < 150 ? QStringLiteral("x") : QStringLiteral("WIDE-CODE-%1-%2").arg(c).arg(i));
        across->addRow(row);
    }
    QTest::newRow("printed across pages only from the late rows") << across;
}

// A preview lays out its first rows and measures the rest while it is read:
// when every row is measured, the layout and the pages are those of a report
// measured at once.
void TestPageModel::measuredAsNeededEndsAsMeasuredAtOnce()
{
    QFETCH(std::shared_ptr<MemoryReport>, report);
    const PageModel whole(*report);
    PageModel::Options options;
    options.firstRows = 7;
    PageModel model(*report, options);
    QVERIFY(!model.measuredAll());
    QVERIFY(model.measuredRows().first < model.measuredRows().second);
    QCOMPARE(model.measuredRows().second, PageModel(*report).measuredRows().second);
    bool changed = false;
    for (int step = 0; !model.measuredAll(); ++step) {
        QVERIFY2(step < 1000, "measureMore never finishes");
        changed = model.measureMore(13) || changed;
    }
    QVERIFY(changed);
    QCOMPARE(model.measuredRows().first, model.measuredRows().second);
    QVERIFY(!model.measureMore(13));
    QCOMPARE(layoutOf(model), layoutOf(whole));
}

QTEST_MAIN(TestPageModel)
#include "tst_pagemodel.moc"
