#pragma once

#include "reports/definition.h"
#include "reports/reportdata.h"
#include "reports/render/columnsizer.h"

#include <QRectF>
#include <QString>
#include <QVector>
#include <memory>
#include <vector>

namespace wip::reports {

class Expression;
class SectionLayout;

// The laid-out report: built from a retrieved ReportData into bands measured in
// points, independent of any device. The screen control paints the part of it
// that is visible, the preview, printing and PDF page it (Pagination) - none of
// them change it. Rows are not copied: a run of detail rows is one entry holding
// the first and last row, and a row's position is computed from its index (plus
// the extra lines of the rows above it that wrap), so a 100 000-row report costs
// a handful of entries. Values are read from the data and formatted when a band
// is painted, so SetItem only needs a repaint.
//
// Text is measured with the font that paints it (TextMetrics). A model for paper
// (Purpose::Print) measures every value first and fits the report to the width of
// its paper at the smallest print size (7 pt): a value longer than its column
// widens the column while there is room, then wraps inside its cell and the row
// grows; a report that does not fit even so is printed across pages (Pagination).
// The print preview's model measures only its first rows (Options::firstRows)
// and the rest as it is asked to (measureMore), ending as one measured at once.
// A model for the screen (Purpose::Screen) measures only the rows that are shown
// (measureRows), keeps every value on one line and widens a column when a wider
// value comes into view: a 100 000-row report opens as fast as a short one.
//
// A report of three rows grouped on mcode (A, A, B) with a group trailer and a
// summary lays out its body as runs:
//   Detail rows 1-2 | Trailer (group of rows 1-2) | Detail row 3 | Trailer (row 3) | Summary
class PageModel
{
public:
    // What a band item shows.
    enum class ItemKind {
        Column,     // a result column of the row
        Computed,   // a computed field of the row, read through ReportData::item
        Text,       // a text object (its current text)
        Label,      // a fixed text of the layout (captions, form headings); `name` holds it
        PageField,  // a header/footer computed field, evaluated per page (page(), pagecount())
    };

    struct Item
    {
        ItemKind kind = ItemKind::Label;
        QString name;           // column / computed / text object name, or the label text
        QRectF rect;            // in points, x from the report's left edge, y from the band's top
        Align align = Align::Left;
        QString format;         // display format of values
        double fontSize = 0;    // 0: the report font size
        bool bold = false;
        bool framed = false;    // a cell with a border (form grid)
        bool editable = false;  // a field of a form that the control lets the user edit
        bool wrap = false;      // text may wrap inside its rectangle (captions, long values)
        bool across = false;    // a line of its own across the report (titles), not under a column
        bool picture = false;   // the value names a picture file, shown as the image
        int expression = -1;    // PageField: index into Section::expressions
        int column = -1;        // the column it sits in or under (index into Section::columns); -1: none
        QString under;          // the column named by the definition for a band item
    };

    struct BandTemplate
    {
        double height = 0;
        QVector<Item> items;
        bool isEmpty() const { return items.isEmpty(); }
    };

    enum class RunKind { GroupHeader, Detail, GroupTrailer, Summary };

    // A stretch of the body. Detail runs hold rows [firstRow, lastRow], each
    // rowHeight tall plus its extra lines; the other kinds are one band, evaluated
    // at firstRow (group header) or lastRow (group trailer, summary).
    struct Run
    {
        RunKind kind = RunKind::Detail;
        int level = 0;          // group level of headers and trailers
        int firstRow = 0;
        int lastRow = 0;
        double y = 0;           // top, from the top of the section's body
        double rowHeight = 0;   // a detail row of one line; the band's height otherwise
        double extent = 0;      // the whole run's height
        bool breakBefore = false; // a group that starts on a new page
        double height() const { return extent; }
    };

    // A column of a tabular section, left to right.
    struct ColumnSlot
    {
        QString name;
        double x = 0;
        double width = 0;
        bool key = false;       // repeated on the left of every page printed across
    };

    // One report of the model: the report itself, or one nested report of a composite.
    struct Section
    {
        const ReportData *data = nullptr;
        QString name;           // definition name
        bool form = false;
        PageSetup page;         // the paper it prints on
        BandTemplate header;    // titles, text objects and computed fields of the header
        BandTemplate captions;  // column captions
        BandTemplate detail;    // one row (a form: the whole grid of one row)
        std::vector<BandTemplate> groupHeaders;   // index level - 1
        std::vector<BandTemplate> groupTrailers;
        BandTemplate summary;
        BandTemplate footer;
        std::vector<Run> runs;
        std::vector<int> detailRuns;   // indices into runs, in row order
        double bodyHeight = 0;
        double width = 0;
        QVector<ColumnSlot> columns;
        double keyWidth = 0;    // width of the leading key columns
        bool across = false;    // too wide for its paper at the smallest print size
        // Extra height of wrapped rows: extra[r] is what rows 1..r-1 add beyond
        // one line each; empty when no row wraps.
        std::vector<double> extra;
        std::vector<std::shared_ptr<Expression>> expressions; // of PageField items

        double headingHeight() const { return header.height + captions.height; }
        int rowCount() const;
        // Index into runs of the run covering body position y (clamped); -1 when none.
        int runAt(double y) const;
        // Index of the detail run holding row; -1 when the row is not shown.
        int detailRunOf(int row) const;
        const BandTemplate &templateOf(const Run &run) const;
        // Top of a row of a detail run, from the top of the body, and its height.
        double rowTop(const Run &run, int row) const;
        double rowHeight(const Run &run, int row) const;
        // The row of a detail run at body position y (clamped to the run).
        int rowAt(const Run &run, double y) const;
        double extraBefore(int row) const;
    };

    // Where a point of the continuous layout falls.
    struct Hit
    {
        int section = -1;
        int row = 0;            // 0 when not on a row
        const Item *item = nullptr; // the detail item under the point, if any
    };

    // Print: paper, measured and fitted; Screen: measured as shown, on one line;
    // Export: the bands and columns of paper for a file, nothing measured.
    enum class Purpose { Print, Screen, Export };

    struct Options
    {
        double fontSize = 9;    // points
        Purpose purpose = Purpose::Print;
        double minFontSize = 7; // nothing prints smaller
        // Paper: the rows of each report measured at once; 0: every row. A
        // preview lays out the first rows, shows them, and measures the rest with
        // measureMore() while the clerk reads.
        int firstRows = 0;
        static constexpr int previewFirstRows = 2000;   // some fifty pages
        // Paper for a tabular report whose rows are read a run at a time and not
        // kept (a PDF of a month): the widths of every row's values, measured as
        // the runs went by, so the rows are not read here; the data needs to give
        // only row 1 and the last row (the bands evaluated there). No row wraps
        // until wrapRows() is given it, a run at a time.
        const ColumnSizer *measured = nullptr;
    };

    PageModel() = default;
    explicit PageModel(const ReportData &data) : PageModel(data, Options()) {}
    PageModel(const ReportData &data, const Options &options);
    ~PageModel();

    const Options &options() const { return m_options; }
    const std::vector<Section> &sections() const { return m_sections; }
    const Section &section(int i) const { return m_sections.at(i); }
    int sectionCount() const { return int(m_sections.size()); }

    // The continuous layout (screen): each section's header, captions and body, one
    // after the other, then the footer once.
    double width() const { return m_width; }
    double height() const;
    double sectionTop(int section) const { return m_sectionTops.value(section); }
    double footerTop() const;
    const BandTemplate &pageFooter() const;
    int footerSection() const { return m_footerSection; }

    // Rectangle of a row of a section in the continuous layout (empty when not shown).
    QRectF rowRect(int section, int row) const;
    // Rectangle of an item of a row's detail band (form fields) in the continuous layout.
    QRectF itemRect(int section, int row, const Item &item) const;
    Hit hitTest(double x, double y) const;

    // The editable fields of a section's detail band, in the order Tab visits them.
    QVector<const Item *> editableItems(int section) const;

    // A screen model measures the rows it is about to show: those of the
    // continuous layout within [top, bottom]. True when the layout changed (a
    // column grew), so that scroll ranges are to be updated.
    bool measureArea(double top, double bottom);
    bool measureRows(int section, int firstRow, int lastRow);

    // Paper laid out from its first rows: measures the next `rows` rows of the
    // first report not measured whole. True when the layout changed (a column
    // grew, a row wrapped), so that the pages are to be cut again.
    bool measureMore(int rows);
    bool measuredAll() const;
    // The rows measured and the rows there are, over every report (progress).
    std::pair<qint64, qint64> measuredRows() const;

    // A model of rows measured apart (Options::measured): whether some column's
    // values wrap, and rows [first, last], readable from the data now, wrapped.
    bool wrapsRows() const;
    void wrapRows(int firstRow, int lastRow);

    // The smallest scale at which every text of the model still prints at
    // options().minFontSize or larger.
    double minScale() const;
    // The width of the paper's printable area for a page setup, in points.
    static double printableWidth(const PageSetup &page);

    // Width in points of a text in the report font.
    static double textWidth(const QString &text, double fontSize, bool bold = false);
    static double lineHeight(double fontSize) { return fontSize * 1.6; }

private:
    void addSection(const ReportData &data, bool composite, const PageSetup *composed, QString criteria);
    void stackSections();

    Options m_options;
    std::vector<Section> m_sections;
    std::vector<std::unique_ptr<SectionLayout>> m_layouts;   // per section; null for forms
    QVector<double> m_sectionTops;
    double m_width = 0;
    double m_bodyEnd = 0;
    int m_footerSection = -1;
};

} // namespace wip::reports
