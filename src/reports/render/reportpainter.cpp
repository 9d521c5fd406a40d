#include "reports/render/reportpainter.h"

#include "reports/render/layoutconstants.h"

#include "reports/displayformat.h"
#include "reports/expression.h"
#include "reports/render/picturestore.h"
#include "reports/render/textmetrics.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {


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

// Where an item of the model goes on a page across: the key columns stay, the
// columns of the band move to follow them, lines of their own span the page.
// False when the item is not on this page.
bool placeOnPage(const PageModel::Item &item, const Pagination::ColumnBand &band, QRectF *rect)
{
    if (item.across) {
        rect->setLeft(0);
        rect->setWidth(std::max(band.width(), band.page));
        return true;
    }
    if (rect->left() < band.keyWidth - kEps)
        return true;
    if (rect->left() >= band.from - kEps && rect->left() < band.to - kEps) {
        rect->translate(band.keyWidth - band.from, 0);
        return true;
    }
    return false;
}

} // namespace

QString ReportPainter::fontFamily()
{
    return TextMetrics::fontFamily();
}

QFont ReportPainter::font(double pointSize, bool bold, const QPaintDevice *device)
{
    return TextMetrics::font(pointSize, bold, device);
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

// A page field that numbers pages says which columns a page across shows.
QString ReportPainter::pageText(const PageModel::Section &s, const PageModel::Item &item, int row,
                                const PageInfo &info) const
{
    QString text = itemText(s, item, row, info.page, info.count);
    if (info.bands > 1 && item.kind == PageModel::ItemKind::PageField && !text.isEmpty()) {
        const ComputedField *f = s.data->definition().computedField(item.name);
        if (f && f->expression.contains(QLatin1String("page("), Qt::CaseInsensitive))
            text += QStringLiteral(" (columns %1 of %2)").arg(info.band + 1).arg(info.bands);
    }
    return text;
}

void ReportPainter::paintText(QPainter &p, const QRectF &cell, const PageModel::Item &item, const QString &text,
                              const PageInfo &info) const
{
    const double size = item.fontSize > 0 ? item.fontSize : m_model.options().fontSize;
    const TextMetrics &metrics = TextMetrics::of(size, item.bold);
    const QRectF inner = cell.adjusted(kPadding, 0, -kPadding, 0);
    QStringList lines;
    if (item.wrap) {
        lines = metrics.wrap(text, inner.width());
    } else {
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
        lines << line;
    }
    const double lineH = PageModel::lineHeight(size);
    const double block = lines.size() * lineH;
    double y = cell.top() + std::max(0.0, (cell.height() - block) / 2);
    // Set only when it changes: a font set anew looks its glyphs up again, a
    // tenth of the time of a printed page.
    if (const QFont f = font(size, item.bold, p.device()); p.font() != f)
        p.setFont(f);
    // Each line is placed where the layout measured it: its width decides where an
    // aligned line starts, and it is drawn at a point (no layout of Qt's own, and
    // so no clipping).
    const double baseline = (lineH - metrics.ascent() - metrics.descent()) / 2 + metrics.ascent();
    for (const QString &line : std::as_const(lines)) {
        double x = inner.left();
        if (item.align != Align::Left) {
            const double free = inner.width() - metrics.width(line);
            x += item.align == Align::Right ? free : free / 2;
        }
        p.drawText(QPointF(x, y + baseline), line);
        if (m_observer)
            m_observer(PaintedText{cell, line, p.font(), size, info.scale}, p);
        y += lineH;
    }
}

void ReportPainter::paintPicture(QPainter &p, const QRectF &cell, const QString &fileName) const
{
    if (fileName.trimmed().isEmpty())
        return;
    const QRectF inner = cell.adjusted(kPadding, 2, -kPadding, -2);
    const QImage image = PictureStore::image(fileName);
    if (image.isNull()) {
        // Missing or broken: a crossed box says so without hiding the row.
        const double side = std::min(inner.width(), inner.height());
        const QRectF box(inner.center().x() - side / 2, inner.center().y() - side / 2, side, side);
        p.save();
        p.setPen(QPen(QColor(170, 170, 170), 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
        p.drawLine(box.topLeft(), box.bottomRight());
        p.drawLine(box.topRight(), box.bottomLeft());
        p.restore();
        return;
    }
    const QSizeF fitted = QSizeF(image.size()).scaled(inner.size(), Qt::KeepAspectRatio);
    const QRectF target(inner.center().x() - fitted.width() / 2, inner.center().y() - fitted.height() / 2,
                        fitted.width(), fitted.height());
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, image);
    p.restore();
}

void ReportPainter::paintBand(QPainter &p, const PageModel::Section &s, const PageModel::BandTemplate &band,
                              double top, int row, const PageInfo &info, const QColor &text, double height) const
{
    const QPen textPen(text);
    const QPen framePen(QColor(150, 150, 150), 0);
    for (const PageModel::Item &item : band.items) {
        QRectF r = item.rect.translated(0, top);
        // A row that wraps is taller than its band; its cells grow with it.
        if (height > 0 && !s.form)
            r.setHeight(height);
        if (info.window && !placeOnPage(item, *info.window, &r))
            continue;
        if (item.across && info.across > 0)
            r.setWidth(info.across);
        if (item.framed) {
            p.setPen(framePen);
            p.drawRect(r);
        }
        const QString text = pageText(s, item, row, info);
        if (text.isEmpty())
            continue;
        if (item.picture) {
            paintPicture(p, r, text);
            continue;
        }
        p.setPen(textPen);
        paintText(p, r, item, text, info);
    }
}

void ReportPainter::paintHeading(QPainter &p, const PageModel::Section &s, double top, int row,
                                 const PageInfo &info) const
{
    paintBand(p, s, s.header, top, row, info);
    if (s.captions.height > 0) {
        const double y = top + s.header.height;
        paintBand(p, s, s.captions, y, row, info);
        const double width = info.window ? info.window->width() : s.width;
        p.setPen(QPen(QColor(90, 90, 90), 0));
        p.drawLine(QPointF(0, y + s.captions.height - 1), QPointF(width, y + s.captions.height - 1));
    }
}

void ReportPainter::paintBody(QPainter &p, const PageModel::Section &s, double from, double to, double top,
                              const PageInfo &info, const Marks *marks) const
{
    if (s.runs.empty() || to <= from)
        return;
    const bool marked = marks && &m_model.section(marks->section) == &s;
    const double width = info.window ? info.window->width() : s.width;
    for (int ri = std::max(0, s.runAt(from)); ri < int(s.runs.size()); ++ri) {
        const PageModel::Run &run = s.runs[ri];
        if (run.y >= to - kEps)
            break;
        if (run.kind != PageModel::RunKind::Detail) {
            const double y = top + run.y - from;
            if (run.kind == PageModel::RunKind::Summary) {
                p.setPen(QPen(QColor(90, 90, 90), 0));
                p.drawLine(QPointF(0, y), QPointF(width, y));
            }
            const int row = run.kind == PageModel::RunKind::GroupHeader ? run.firstRow : run.lastRow;
            paintBand(p, s, s.templateOf(run), y, row, info);
            continue;
        }
        // Only the rows that meet [from, to) are visited.
        const int first = s.rowAt(run, std::max(from, run.y));
        const int last = s.rowAt(run, to - kEps);
        for (int row = first; row <= last; ++row) {
            const double rowTop = s.rowTop(run, row);
            if (rowTop >= to - kEps)
                break;
            const double y = top + rowTop - from;
            const double h = s.rowHeight(run, row);
            const QRectF rowRect(0, y, width, h);
            // The current row of a list stands out as the selected ones do: a row
            // that a find moved to is seen at once.
            const bool current = marked && marks->showCurrent && row == marks->currentRow && !s.form;
            const bool selected = current || (marked && marks->selected && marks->selected(row));
            if (selected) {
                p.fillRect(rowRect, marks->highlight);
            } else {
                // A window's own colour first; else the definition's fill, on
                // screen and paper alike.
                QColor colour = marked && marks->background ? marks->background(row) : QColor();
                if (!colour.isValid() && s.data && !s.form)
                    colour = QColor(rowFillColor(*s.data, row));
                if (colour.isValid())
                    p.fillRect(rowRect, colour);
            }
            paintBand(p, s, s.detail, y, row, info, selected ? marks->highlightedText : QColor(Qt::black), h);
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
    PageInfo info;
    info.page = index + 1;
    info.count = pages.pageCount();
    info.band = page.bandIndex;
    info.bands = page.bandCount;
    info.scale = page.scale;
    info.window = page.band;
    p.save();
    p.setBrush(Qt::NoBrush);
    p.translate(pages.margins().left(), pages.margins().top());
    p.scale(page.scale, page.scale);

    double y = 0;
    bool firstSlice = true;
    const int row = std::max(1, page.firstRow);
    for (const Pagination::Slice &slice : page.slices) {
        const PageModel::Section &s = m_model.section(slice.section);
        if (!firstSlice)
            y += kSectionGap;
        firstSlice = false;
        if (slice.heading) {
            paintHeading(p, s, y, row, info);
            y += s.headingHeight();
        }
        if (slice.to > slice.from) {
            paintBody(p, s, slice.from, slice.to, y, info, nullptr);
            y += slice.to - slice.from;
        }
    }
    // The footer of the first report that has one, at the foot of every page and
    // never wider than the page (a composite's parts may be on narrower paper).
    const PageModel::BandTemplate &footer = m_model.pageFooter();
    if (!footer.isEmpty()) {
        const PageModel::Section &owner = m_model.section(m_model.footerSection());
        const double printable = (page.size.width() - pages.margins().left() - pages.margins().right()) / page.scale;
        PageInfo foot = info;
        foot.across = info.window ? std::max(info.window->width(), info.window->page) : std::min(owner.width, printable);
        paintBand(p, owner, footer, page.bodyHeight, row, foot);
    }
    p.restore();
    if (footer.isEmpty() && pages.pageCount() > 1)
        paintPageNumber(p, pages, page, info);
}

// A report of several sheets whose definition numbers none still says where each
// sheet belongs: "Page 3 of 14 (columns 3 of 14)" in the bottom margin, at the
// smallest print size, flush with the report's right edge.
void ReportPainter::paintPageNumber(QPainter &p, const Pagination &pages, const Pagination::Page &page,
                                    const PageInfo &info) const
{
    QString text = QStringLiteral("Page %1 of %2").arg(info.page).arg(info.count);
    if (info.bands > 1)
        text += QStringLiteral(" (columns %1 of %2)").arg(info.band + 1).arg(info.bands);
    const QMarginsF &m = pages.margins();
    const double printable = page.size.width() - m.left() - m.right();
    double across = 0;
    for (const Pagination::Slice &slice : page.slices)
        across = std::max(across, m_model.section(slice.section).width);
    if (page.band)
        across = page.band->width();
    PageModel::Item item;
    item.align = Align::Right;
    item.fontSize = m_model.options().minFontSize;
    const double lineH = PageModel::lineHeight(item.fontSize);
    const double wide = TextMetrics::of(item.fontSize, false).width(text) + 2 * kPadding;
    const QRectF cell(0, 0, std::min(printable, std::max(across * page.scale, wide)), lineH);
    PageInfo plain = info;
    plain.scale = 1;
    p.save();
    p.translate(m.left(), page.size.height() - m.bottom() + std::max(0.0, (m.bottom() - lineH) / 3));
    paintText(p, cell, item, text, plain);
    p.restore();
}

} // namespace wip::reports
