#pragma once

#include "reports/definition.h"
#include "reports/reportdata.h"

#include <QRectF>
#include <QString>
#include <QVector>
#include <memory>
#include <vector>

namespace wip::reports {

class Expression;

// The laid-out report: built once from a retrieved ReportData into bands measured
// in points, independent of any device. The screen control paints the part of it
// that is visible, the preview, printing and PDF page it (Pagination) - none of
// them change it. Rows are not copied: a run of detail rows is one entry holding
// the first and last row, and a row's position is computed from its index, so a
// 100 000-row report costs a handful of entries. Values are read from the data and
// formatted when a band is painted, so SetItem only needs a repaint.
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
        bool wrap = false;      // text may wrap inside its rectangle (captions)
        int expression = -1;    // PageField: index into Section::expressions
    };

    struct BandTemplate
    {
        double height = 0;
        QVector<Item> items;
        bool isEmpty() const { return items.isEmpty(); }
    };

    enum class RunKind { GroupHeader, Detail, GroupTrailer, Summary };

    // A stretch of the body. Detail runs hold rows [firstRow, lastRow], each
    // rowHeight tall; the other kinds are one band, evaluated at firstRow
    // (group header) or lastRow (group trailer, summary).
    struct Run
    {
        RunKind kind = RunKind::Detail;
        int level = 0;          // group level of headers and trailers
        int firstRow = 0;
        int lastRow = 0;
        double y = 0;           // top, from the top of the section's body
        double rowHeight = 0;
        bool breakBefore = false; // a group that starts on a new page
        double height() const
        {
            return kind == RunKind::Detail ? rowHeight * (lastRow - firstRow + 1) : rowHeight;
        }
    };

    // One report of the model: the report itself, or one nested report of a composite.
    struct Section
    {
        const ReportData *data = nullptr;
        QString name;           // definition name
        bool form = false;
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
        std::vector<std::shared_ptr<Expression>> expressions; // of PageField items

        double headingHeight() const { return header.height + captions.height; }
        int rowCount() const;
        // Index into runs of the run covering body position y (clamped); -1 when none.
        int runAt(double y) const;
        // Index of the detail run holding row; -1 when the row is not shown.
        int detailRunOf(int row) const;
        const BandTemplate &templateOf(const Run &run) const;
    };

    // Where a point of the continuous layout falls.
    struct Hit
    {
        int section = -1;
        int row = 0;            // 0 when not on a row
        const Item *item = nullptr; // the detail item under the point, if any
    };

    struct Options
    {
        double fontSize = 9;    // points
        int sampleRows = 60;    // rows read to size columns without a width
    };

    PageModel() = default;
    explicit PageModel(const ReportData &data) : PageModel(data, Options()) {}
    PageModel(const ReportData &data, const Options &options);

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

    // Rough width in points of a text in the report font (CJK counts as a full em).
    static double textWidth(const QString &text, double fontSize);
    static double lineHeight(double fontSize) { return fontSize * 1.6; }

private:
    void addSection(const ReportData &data, bool composite);
    void layoutTabular(Section &s, const Definition &def);
    void layoutForm(Section &s, const Definition &def);
    void layoutRuns(Section &s, const Definition &def);

    Options m_options;
    std::vector<Section> m_sections;
    QVector<double> m_sectionTops;
    double m_width = 0;
    double m_bodyEnd = 0;
    int m_footerSection = -1;
};

} // namespace wip::reports
