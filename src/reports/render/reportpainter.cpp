#include "reports/render/reportpainter.h"

#include "reports/displayformat.h"
#include "reports/expression.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {

constexpr double kPadding = 3;
constexpr double kEps = 1e-6;

// The report's rows as an expression sees them on one printed page: page() and
// pagecount() answer for that page, everything else is the report's own.
class PageContext : public ExpressionContext
{
public:
    PageContext(const ReportData &data, int page, int count) : m_data(data), m_page(page), m_count(count) {}
    int rowCount() const override { return m_data.rowCount(); }
    bool hasName(const QString &name) const override { return m_data.hasName(name); }
    QVariant item(int row, const QString &name) const override { return m_data.item(row, name); }
    std::pair<int, int> groupRange(int level, int row) const override { return m_data.groupRange(level, row); }
    std::pair<int, int> crosstabRange(int row) const override { return m_data.crosstabRange(row); }
    QVariant crosstabSum(int n, int row) const override { return m_data.crosstabSum(n, row); }
    int page(int) const override { return m_page; }
    int pageCount() const override { return m_count; }

private:
    const ReportData &m_data;
    int m_page;
    int m_count;
};

Qt::Alignment alignmentOf(Align a)
{
    switch (a) {
    case Align::Left:
        return Qt::AlignLeft;
    case Align::Center:
        return Qt::AlignHCenter;
    case Align::Right:
        return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

} // namespace

QString ReportPainter::fontFamily()
{
    return QStringLiteral("WenQuanYi Micro Hei");
}

QFont ReportPainter::font(double pointSize, bool bold, const QPaintDevice *device)
{
    QFont f(fontFamily());
    f.setStyleHint(QFont::SansSerif);
    // The painter already maps points to the device; undo the device's own
    // point-to-pixel step so that the text keeps its size at any resolution.
    const int dpi = device ? device->logicalDpiY() : 72;
    f.setPointSizeF(pointSize * 72.0 / std::max(1, dpi));
    f.setBold(bold);
    return f;
}

QString ReportPainter::itemText(const PageModel::Section &s, const PageModel::Item &item, int row,
                                int page, int pageCount) const
{
    using Kind = PageModel::ItemKind;
    const ReportData &data = *s.data;
    try {
        switch (item.kind) {
        case Kind::Label:
            return item.name;
        case Kind::Text:
            return data.objectText(item.name);
        case Kind::Column:
        case Kind::Computed:
            if (row < 1 || row > data.rowCount())
                return QString();
            return formatValue(data.item(row, item.name), item.format);
        case Kind::PageField: {
            if (item.expression < 0 || item.expression >= int(s.expressions.size()))
                return QString();
            const Expression *e = s.expressions[item.expression].get();
            if (!e)
                return QString();
            const PageContext context(data, page, pageCount);
            const int at = std::clamp(row, 1, std::max(1, data.rowCount()));
            return formatValue(e->evaluate(context, at), item.format);
        }
        }
    } catch (const std::exception &) {
        // A value that cannot be read shows as blank; the report still paints.
    }
    return QString();
}

void ReportPainter::paintBand(QPainter &p, const PageModel::Section &s, const PageModel::BandTemplate &band,
                              double top, int row, const PageInfo &info, const QColor &text) const
{
    const double base = m_model.options().fontSize;
    const QFont normal = font(base, false, p.device());
    const QFont bold = font(base, true, p.device());
    const QPen textPen(text);
    const QPen framePen(QColor(150, 150, 150), 0);
    for (const PageModel::Item &item : band.items) {
        const QRectF r = item.rect.translated(0, top);
        if (item.framed) {
            p.setPen(framePen);
            p.drawRect(r);
        }
        const QString text = itemText(s, item, row, info.page, info.count);
        if (text.isEmpty())
            continue;
        if (item.fontSize > 0 && item.fontSize != base)
            p.setFont(font(item.fontSize, item.bold, p.device()));
        else
            p.setFont(item.bold ? bold : normal);
        p.setPen(textPen);
        int flags = int(alignmentOf(item.align)) | Qt::AlignVCenter;
        if (item.wrap)
            flags |= Qt::TextWordWrap;
        p.drawText(r.adjusted(kPadding, 0, -kPadding, 0), flags, text);
    }
}

void ReportPainter::paintHeading(QPainter &p, const PageModel::Section &s, double top, int row,
                                 const PageInfo &info) const
{
    paintBand(p, s, s.header, top, row, info);
    if (s.captions.height > 0) {
        const double y = top + s.header.height;
        paintBand(p, s, s.captions, y, row, info);
        p.setPen(QPen(QColor(90, 90, 90), 0));
        p.drawLine(QPointF(0, y + s.captions.height - 1), QPointF(s.width, y + s.captions.height - 1));
    }
}

void ReportPainter::paintBody(QPainter &p, const PageModel::Section &s, double from, double to, double top,
                              const PageInfo &info, const Marks *marks) const
{
    if (s.runs.empty() || to <= from)
        return;
    const bool marked = marks && &m_model.section(marks->section) == &s;
    for (int ri = std::max(0, s.runAt(from)); ri < int(s.runs.size()); ++ri) {
        const PageModel::Run &run = s.runs[ri];
        if (run.y >= to - kEps)
            break;
        if (run.kind != PageModel::RunKind::Detail) {
            const double y = top + run.y - from;
            if (run.kind == PageModel::RunKind::Summary) {
                p.setPen(QPen(QColor(90, 90, 90), 0));
                p.drawLine(QPointF(0, y), QPointF(s.width, y));
            }
            const int row = run.kind == PageModel::RunKind::GroupHeader ? run.firstRow : run.lastRow;
            paintBand(p, s, s.templateOf(run), y, row, info);
            continue;
        }
        // Only the rows that meet [from, to) are visited.
        const int first = std::max(run.firstRow, run.firstRow + int(std::floor((from - run.y) / run.rowHeight + kEps)));
        const int last = std::min(run.lastRow, run.firstRow + int(std::ceil((to - run.y) / run.rowHeight - kEps)) - 1);
        for (int row = first; row <= last; ++row) {
            const double y = top + run.y + (row - run.firstRow) * run.rowHeight - from;
            const QRectF rowRect(0, y, s.width, run.rowHeight);
            // The current row of a list stands out as the selected ones do: a row
            // that a find moved to is seen at once.
            const bool current = marked && marks->showCurrent && row == marks->currentRow && !s.form;
            const bool selected = current || (marked && marks->selected && marks->selected(row));
            if (selected) {
                p.fillRect(rowRect, marks->highlight);
            } else if (marked && marks->background) {
                const QColor colour = marks->background(row);
                if (colour.isValid())
                    p.fillRect(rowRect, colour);
            }
            paintBand(p, s, s.detail, y, row, info, selected ? marks->highlightedText : QColor(Qt::black));
        }
    }
}

void ReportPainter::paintContinuous(QPainter &p, const QRectF &visible, const Marks *marks) const
{
    p.save();
    p.setBrush(Qt::NoBrush);
    const PageInfo info;
    for (int si = 0; si < m_model.sectionCount(); ++si) {
        const PageModel::Section &s = m_model.section(si);
        const double top = m_model.sectionTop(si);
        const double bodyTop = top + s.headingHeight();
        if (top > visible.bottom() || bodyTop + s.bodyHeight < visible.top())
            continue;
        if (bodyTop > visible.top())
            paintHeading(p, s, top, 1, info);
        const double from = std::max(0.0, visible.top() - bodyTop);
        const double to = std::min(s.bodyHeight, visible.bottom() - bodyTop);
        paintBody(p, s, from, to, bodyTop + from, info, marks);
    }
    const PageModel::BandTemplate &footer = m_model.pageFooter();
    if (!footer.isEmpty() && m_model.footerTop() < visible.bottom())
        paintBand(p, m_model.section(m_model.footerSection()), footer, m_model.footerTop(), 1, info);
    p.restore();
}

void ReportPainter::paintPage(QPainter &p, const Pagination &pages, int index) const
{
    if (index < 0 || index >= pages.pageCount())
        return;
    const Pagination::Page &page = pages.page(index);
    const PageInfo info{index + 1, pages.pageCount()};
    p.save();
    p.setBrush(Qt::NoBrush);
    p.translate(pages.margins().left(), pages.margins().top());
    p.scale(pages.scale(), pages.scale());

    double y = 0;
    bool firstSlice = true;
    for (const Pagination::Slice &slice : page.slices) {
        const PageModel::Section &s = m_model.section(slice.section);
        if (!firstSlice)
            y += 12;
        firstSlice = false;
        const int row = std::max(1, page.firstRow);
        if (slice.heading) {
            paintHeading(p, s, y, row, info);
            y += s.headingHeight();
        }
        if (slice.to > slice.from) {
            p.save();
            p.setClipRect(QRectF(0, y, std::max(s.width, m_model.width()), slice.to - slice.from), Qt::IntersectClip);
            paintBody(p, s, slice.from, slice.to, y, info, nullptr);
            p.restore();
            y += slice.to - slice.from;
        }
    }
    const PageModel::BandTemplate &footer = m_model.pageFooter();
    if (!footer.isEmpty()) {
        const double footerTop = pages.bodyHeight();
        paintBand(p, m_model.section(m_model.footerSection()), footer, footerTop, std::max(1, page.firstRow), info);
    }
    p.restore();
}

} // namespace wip::reports
