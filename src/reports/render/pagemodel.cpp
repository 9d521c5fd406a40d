#include "reports/render/pagemodel.h"

#include "reports/displayformat.h"
#include "reports/expression.h"
#include "reports/render/reportcolumns.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {

constexpr double kPadding = 3;        // points inside a cell on each side
constexpr double kMaxMeasuredChars = 40;
constexpr double kMaxCaptionWidthEm = 14; // wider captions wrap
constexpr double kSectionGap = 12;

bool isWide(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF)
        || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFF60)
        || (u >= 0x3000 && u <= 0x303F);
}

// Width of a display format's widest section ("#####.##;-#####.##; ").
int formatChars(const QString &format)
{
    if (format.isEmpty() || format.startsWith(QLatin1Char('[')))
        return format.contains(QLatin1String("time")) || format.contains(QLatin1String("date")) ? 19 : 0;
    int widest = 0;
    for (const QString &part : format.split(QLatin1Char(';')))
        widest = std::max(widest, int(part.size()));
    return widest;
}

// One thing placed in a band: what it shows and where.
struct Placed
{
    PageModel::ItemKind kind;
    QString name;
    QString under;
    Align align;
    double fontSize;
    bool bold;
    QString format;
    int expression = -1;
};

struct ColumnSlot
{
    double x;
    double width;
};

// Lays the placed things of one band out in lines: everything that sits under a
// column shares one line (at the place of the first such thing); every other thing
// takes a line of its own across the report's width.
PageModel::BandTemplate buildBand(const QVector<Placed> &placed,
                                  const QHash<QString, ColumnSlot> &slots,
                                  double reportWidth, double defaultFont)
{
    PageModel::BandTemplate band;
    double y = 0;
    int underLine = -1;     // index of the first item of the shared line
    double underTop = 0;
    double underHeight = 0;

    for (const Placed &p : placed) {
        const double font = p.fontSize > 0 ? p.fontSize : defaultFont;
        const double h = PageModel::lineHeight(font);
        PageModel::Item item;
        item.kind = p.kind;
        item.name = p.name;
        item.align = p.align;
        item.format = p.format;
        item.fontSize = p.fontSize;
        item.bold = p.bold;
        item.expression = p.expression;

        const auto slot = slots.constFind(p.under.toLower());
        if (!p.under.isEmpty() && slot != slots.cend()) {
            if (underLine < 0) {
                underLine = band.items.size();
                underTop = y;
                y += h;
                underHeight = h;
            } else if (h > underHeight) {
                y += h - underHeight;
                underHeight = h;
            }
            item.rect = QRectF(slot->x, underTop, slot->width, underHeight);
        } else {
            item.rect = QRectF(0, y, reportWidth, h);
            y += h;
        }
        band.items << item;
    }
    // Items of the shared line take its final height.
    if (underLine >= 0) {
        for (PageModel::Item &item : band.items) {
            if (item.rect.top() == underTop && item.rect.width() != reportWidth)
                item.rect.setHeight(underHeight);
        }
    }
    band.height = y;
    return band;
}

std::shared_ptr<Expression> parseShared(const QString &text)
{
    std::unique_ptr<Expression> e = Expression::parse(text);
    return std::shared_ptr<Expression>(std::move(e));
}

} // namespace

double PageModel::textWidth(const QString &text, double fontSize)
{
    double em = 0;
    for (QChar c : text)
        em += isWide(c) ? 1.0 : 0.56;
    return em * fontSize;
}

int PageModel::Section::rowCount() const
{
    return data ? data->rowCount() : 0;
}

int PageModel::Section::runAt(double y) const
{
    if (runs.empty())
        return -1;
    auto it = std::upper_bound(runs.begin(), runs.end(), y,
                               [](double v, const Run &r) { return v < r.y; });
    if (it == runs.begin())
        return 0;
    return int(it - runs.begin()) - 1;
}

int PageModel::Section::detailRunOf(int row) const
{
    // Detail runs are in row order and never overlap.
    auto it = std::upper_bound(detailRuns.begin(), detailRuns.end(), row,
                               [this](int r, int index) { return r < runs[index].firstRow; });
    if (it == detailRuns.begin())
        return -1;
    const int index = *(it - 1);
    return row <= runs[index].lastRow ? index : -1;
}

const PageModel::BandTemplate &PageModel::Section::templateOf(const Run &run) const
{
    switch (run.kind) {
    case RunKind::GroupHeader:
        return groupHeaders.at(run.level - 1);
    case RunKind::GroupTrailer:
        return groupTrailers.at(run.level - 1);
    case RunKind::Summary:
        return summary;
    case RunKind::Detail:
        break;
    }
    return detail;
}

PageModel::PageModel(const ReportData &data, const Options &options)
    : m_options(options)
{
    addSection(data, data.definition().layout == LayoutKind::Composite);

    double top = 0;
    for (const Section &s : m_sections) {
        m_sectionTops << top;
        const double h = s.headingHeight() + s.bodyHeight;
        if (h > 0)
            top += h + kSectionGap;
        m_width = std::max(m_width, s.width);
    }
    m_bodyEnd = top > 0 ? top - kSectionGap : 0;
    for (int i = 0; i < sectionCount(); ++i) {
        if (!m_sections[i].footer.isEmpty()) {
            m_footerSection = i;
            break;
        }
    }
}

void PageModel::addSection(const ReportData &data, bool composite)
{
    const Definition &def = data.definition();
    Section s;
    s.data = &data;
    s.name = def.name;
    if (composite) {
        layoutTabular(s, def);   // the composite's own header and footer
        s.captions = {};
        s.detail = {};
        s.runs.clear();
        s.bodyHeight = 0;
        m_sections.push_back(std::move(s));
        for (const ReportData *nested : data.nested()) {
            if (nested)
                addSection(*nested, nested->definition().layout == LayoutKind::Composite);
        }
        return;
    }
    if (def.layout == LayoutKind::Form)
        layoutForm(s, def);
    else
        layoutTabular(s, def);
    layoutRuns(s, def);
    m_sections.push_back(std::move(s));
}

namespace {

// Header, group, summary and footer bands of a section, placed against its columns.
void layoutBands(PageModel::Section &s, const Definition &def,
                 const QHash<QString, ColumnSlot> &slots, double fontSize)
{
    using Kind = PageModel::ItemKind;
    auto collect = [&](Band band, int group, bool perPage) {
        QVector<Placed> placed;
        for (const TextObject &t : def.texts) {
            if (t.band != band || (group && t.group != group))
                continue;
            placed << Placed{Kind::Text, t.name, t.under, t.align, double(t.fontSize), t.bold, {}};
        }
        for (const ComputedField &f : def.computed) {
            if (f.band != band || !f.visible || (group && f.group != group))
                continue;
            Placed p{Kind::Computed, f.name, f.under, f.align, 0, false, f.format};
            if (perPage) {
                p.kind = Kind::PageField;
                p.expression = int(s.expressions.size());
                s.expressions.push_back(parseShared(f.expression));
            }
            placed << p;
        }
        return placed;
    };

    // The report is at least as wide as its widest own-line header text.
    for (const TextObject &t : def.texts) {
        if (t.under.isEmpty()) {
            const double font = t.fontSize > 0 ? t.fontSize : fontSize;
            s.width = std::max(s.width, PageModel::textWidth(s.data->objectText(t.name), font) + 4 * kPadding);
        }
    }

    s.header = buildBand(collect(Band::Header, 0, true), slots, s.width, fontSize);
    s.footer = buildBand(collect(Band::Footer, 0, true), slots, s.width, fontSize);
    s.summary = buildBand(collect(Band::Summary, 0, false), slots, s.width, fontSize);
    int levels = 0;
    for (const Group &g : def.groups)
        levels = std::max(levels, g.level);
    for (int level = 1; level <= levels; ++level) {
        s.groupHeaders.push_back(buildBand(collect(Band::GroupHeader, level, false), slots, s.width, fontSize));
        s.groupTrailers.push_back(buildBand(collect(Band::GroupTrailer, level, false), slots, s.width, fontSize));
    }
}

// Width in points of a column: its width in characters when given, else the widest
// of its caption (up to a limit, longer captions wrap), its format and the values of
// the first rows.
// Width of the widest piece of a caption that cannot wrap: a run of Latin letters
// and digits ("WorkerNO"); Chinese text may wrap after any character.
double widestUnbreakable(const QString &text, double fontSize)
{
    double widest = 0;
    QString run;
    auto flush = [&] {
        widest = std::max(widest, PageModel::textWidth(run, fontSize));
        run.clear();
    };
    for (QChar c : text) {
        if (c.isSpace() || isWide(c)) {
            flush();
            if (isWide(c))
                widest = std::max(widest, PageModel::textWidth(QString(c), fontSize));
        } else {
            run += c;
        }
    }
    flush();
    return widest;
}

double measureColumn(const ReportColumn &c, const ReportData &data, int sampleRows, double fontSize)
{
    const double charW = 0.56 * fontSize;
    if (c.width > 0) {
        // The given width, widened only so that no caption word is cut.
        double w = c.width * charW;
        for (const QString &line : c.caption)
            w = std::max(w, widestUnbreakable(line, fontSize) + 2);
        return std::ceil(w + 2 * kPadding);
    }
    double w = 4 * charW;
    for (const QString &line : c.caption)
        w = std::max(w, std::min(PageModel::textWidth(line.trimmed(), fontSize), kMaxCaptionWidthEm * fontSize));
    w = std::max(w, formatChars(c.format) * charW);
    const int rows = std::min(sampleRows, data.rowCount());
    for (int r = 1; r <= rows; ++r) {
        QString text;
        try {
            text = formatValue(data.item(r, c.name), c.format);
        } catch (const std::exception &) {
            continue;
        }
        w = std::max(w, std::min(PageModel::textWidth(text, fontSize), kMaxMeasuredChars * charW));
    }
    return std::ceil(w + 2 * kPadding);
}

} // namespace

void PageModel::layoutTabular(Section &s, const Definition &def)
{
    const double font = m_options.fontSize;
    const double rowH = lineHeight(font);
    QHash<QString, ColumnSlot> slots;

    const QVector<ReportColumn> columns = reportColumns(*s.data);
    double x = 0;
    int captionLines = 0;
    for (const ReportColumn &c : columns) {
        const double w = measureColumn(c, *s.data, m_options.sampleRows, font);
        slots.insert(c.name.toLower(), ColumnSlot{x, w});

        Item cell;
        cell.kind = c.computed ? ItemKind::Computed : ItemKind::Column;
        cell.name = c.name;
        cell.rect = QRectF(x, 0, w, rowH);
        cell.align = c.align;
        cell.format = c.format;
        s.detail.items << cell;

        // Caption lines, each wrapped to the column's width.
        int lines = 0;
        for (const QString &line : c.caption) {
            const double tw = textWidth(line.trimmed(), font);
            lines += std::max(1, int(std::ceil(tw / std::max(1.0, w - 2 * kPadding) - 1e-9)));
        }
        captionLines = std::max(captionLines, lines);
        if (!c.caption.isEmpty()) {
            Item cap;
            cap.kind = ItemKind::Label;
            QStringList trimmed;
            for (const QString &line : c.caption)
                trimmed << line.trimmed();
            cap.name = trimmed.join(QLatin1Char('\n'));
            cap.rect = QRectF(x, 0, w, 0);
            cap.align = Align::Center;
            cap.wrap = true;
            cap.bold = true;
            s.captions.items << cap;
        }
        x += w;
    }
    s.detail.height = columns.isEmpty() ? 0 : rowH;
    s.captions.height = captionLines > 0 ? captionLines * lineHeight(font) + 2 : 0;
    for (Item &cap : s.captions.items)
        cap.rect.setHeight(s.captions.height);
    s.width = std::max(x, 120.0);
    layoutBands(s, def, slots, font);
}

namespace {

// A form field: a column, or else a computed field. Its format, with its kind and alignment.
QString formFieldFormat(const Definition &def, const QString &name, PageModel::ItemKind *kind, Align *align)
{
    const int ci = def.columnIndex(name);
    if (ci >= 0) {
        *kind = PageModel::ItemKind::Column;
        *align = def.columns.at(ci).align;
        return def.columns.at(ci).format;
    }
    *kind = PageModel::ItemKind::Computed;
    *align = Align::Right;
    if (const ComputedField *f = def.computedField(name)) {
        *align = f->align;
        return f->format;
    }
    return QString();
}

QString formFieldCaption(const Definition &def, const QString &name)
{
    const int ci = def.columnIndex(name);
    return ci >= 0 && !def.columns.at(ci).caption.isEmpty() ? def.columns.at(ci).caption.join(QLatin1Char(' ')) : name;
}

// Widths of a form grid's cells: the label cell, then one per heading. Head and
// extra fields put their caption in the label cell.
QVector<double> formCellWidths(const FormLayout &form, const Definition &def, int cells, double font)
{
    const double charW = 0.56 * font;
    auto fieldChars = [&](const QString &name) {
        const int ci = def.columnIndex(name);
        if (ci >= 0 && def.columns.at(ci).width > 0)
            return double(def.columns.at(ci).width);
        PageModel::ItemKind kind;
        Align align;
        return double(std::max(10, formatChars(formFieldFormat(def, name, &kind, &align))));
    };
    QVector<double> widths(cells, 0.0);
    for (int i = 0; i < form.headings.size(); ++i)
        widths[i] = PageModel::textWidth(form.headings.at(i), font) + 2 * kPadding;
    for (const FormLayout::Line &line : form.lines) {
        widths[0] = std::max(widths[0], PageModel::textWidth(line.label, font) + 2 * kPadding);
        for (int i = 0; i < line.fields.size(); ++i) {
            if (!line.fields.at(i).isEmpty())
                widths[i + 1] = std::max(widths[i + 1], fieldChars(line.fields.at(i)) * charW + 2 * kPadding);
        }
    }
    for (const QStringList *fields : {&form.headFields, &form.extraFields}) {
        for (const QString &name : *fields)
            widths[0] = std::max(widths[0], PageModel::textWidth(formFieldCaption(def, name), font) + 2 * kPadding);
    }
    for (double &w : widths)
        w = std::ceil(std::max(w, 4 * charW));
    return widths;
}

} // namespace

void PageModel::layoutForm(Section &s, const Definition &def)
{
    const double font = m_options.fontSize;
    const double rowH = lineHeight(font) + 4;
    const double charW = 0.56 * font;

    FormLayout form = def.form;
    // A form without a grid shows each visible column on a line of its own.
    if (form.lines.isEmpty()) {
        form.headings = QStringList{QString(), QString()};
        for (const Column &c : def.columns) {
            if (c.visible)
                form.lines.push_back({c.caption.isEmpty() ? c.name : c.caption.join(QLatin1Char(' ')), {c.name}});
        }
    }
    int cells = int(form.headings.size());
    for (const FormLayout::Line &line : form.lines)
        cells = std::max(cells, int(line.fields.size()) + 1);
    cells = std::max(cells, 2);

    const QVector<double> widths = formCellWidths(form, def, cells, font);
    QVector<double> xs(cells + 1, 0.0);
    for (int i = 0; i < cells; ++i)
        xs[i + 1] = xs[i] + widths[i];
    const double gridWidth = xs[cells];

    double y = 0;
    auto label = [&](const QString &text, double x, double w, Align align, bool bold) {
        Item it;
        it.kind = ItemKind::Label;
        it.name = text;
        it.rect = QRectF(x, y, w, rowH);
        it.align = align;
        it.bold = bold;
        it.framed = true;
        s.detail.items << it;
    };
    auto field = [&](const QString &name, double x, double w) {
        Item it;
        it.name = name;
        Align align;
        it.format = formFieldFormat(def, name, &it.kind, &align);
        it.align = align;
        it.rect = QRectF(x, y, w, rowH);
        it.framed = true;
        const int ci = def.columnIndex(name);
        it.editable = it.kind == ItemKind::Column && ci >= 0 && !def.columns.at(ci).protect;
        s.detail.items << it;
    };
    // Head and extra fields: the caption in the label cell, the field across the rest.
    auto captionedLines = [&](const QStringList &fields) {
        for (const QString &name : fields) {
            label(formFieldCaption(def, name), xs[0], widths[0], Align::Left, false);
            field(name, xs[1], std::max(gridWidth - xs[1], 30 * charW));
            y += rowH;
        }
    };

    captionedLines(form.headFields);
    if (!form.headings.isEmpty()) {
        for (int i = 0; i < cells; ++i)
            label(form.headings.value(i), xs[i], widths[i], Align::Center, true);
        y += rowH;
    }
    for (const FormLayout::Line &line : form.lines) {
        label(line.label, xs[0], widths[0], Align::Left, false);
        for (int i = 1; i < cells; ++i) {
            const QString name = line.fields.value(i - 1);
            if (name.isEmpty())
                label(QString(), xs[i], widths[i], Align::Left, false);
            else
                field(name, xs[i], widths[i]);
        }
        y += rowH;
    }
    captionedLines(form.extraFields);
    s.form = true;
    s.detail.height = y + rowH / 2;   // a little air between the rows' grids
    s.width = std::max(gridWidth, std::max(xs[1] + 30 * charW, 120.0));

    QHash<QString, ColumnSlot> slots;
    layoutBands(s, def, slots, font);
}

void PageModel::layoutRuns(Section &s, const Definition &def)
{
    const int n = s.rowCount();
    const double rowH = s.detail.height;
    const int levels = int(s.groupHeaders.size());
    QVector<bool> newPage(levels + 1, false);
    for (const Group &g : def.groups) {
        if (g.level >= 1 && g.level <= levels)
            newPage[g.level] = g.newPage;
    }

    double y = 0;
    bool pendingBreak = false;  // a page break asked for by a band that takes no room
    auto push = [&](RunKind kind, int level, int first, int last, double height, bool breakBefore) {
        if (height <= 0) {
            pendingBreak = pendingBreak || breakBefore;
            return;
        }
        breakBefore = breakBefore || pendingBreak;
        pendingBreak = false;
        // Consecutive detail rows extend the last run.
        if (kind == RunKind::Detail && !breakBefore && !s.runs.empty()) {
            Run &prev = s.runs.back();
            if (prev.kind == RunKind::Detail && prev.lastRow + 1 == first) {
                prev.lastRow = last;
                y += height * (last - first + 1);
                return;
            }
        }
        Run r;
        r.kind = kind;
        r.level = level;
        r.firstRow = first;
        r.lastRow = last;
        r.y = y;
        r.rowHeight = height;
        r.breakBefore = breakBefore;
        s.runs.push_back(r);
        y += r.height();
    };

    // Walks the groups of one level inside rows [first, last]; the DataStore says
    // where each group ends, so headers and trailers match its sums.
    bool firstGroupSeen = false;
    auto walk = [&](auto &&self, int level, int first, int last) -> void {
        if (level > levels) {
            push(RunKind::Detail, 0, first, last, rowH, false);
            return;
        }
        int r = first;
        while (r <= last) {
            int end = last;
            try {
                end = s.data->groupRange(level, r).second;
            } catch (const std::exception &) {
            }
            end = std::clamp(end, r, last);
            const bool breakBefore = newPage[level] && firstGroupSeen;
            push(RunKind::GroupHeader, level, r, r, s.groupHeaders[level - 1].height, breakBefore);
            if (level == 1)
                firstGroupSeen = true;
            self(self, level + 1, r, end);
            push(RunKind::GroupTrailer, level, end, end, s.groupTrailers[level - 1].height, false);
            r = end + 1;
        }
    };
    if (n > 0) {
        walk(walk, 1, 1, n);
        push(RunKind::Summary, 0, n, n, s.summary.height, false);
    } else if (!s.summary.isEmpty() && !s.form) {
        // An empty report still shows its summary texts ("TOTAL") under the captions.
        push(RunKind::Summary, 0, 0, 0, s.summary.height, false);
    }
    s.bodyHeight = y;
    for (int i = 0; i < int(s.runs.size()); ++i) {
        if (s.runs[i].kind == RunKind::Detail)
            s.detailRuns.push_back(i);
    }
}

double PageModel::height() const
{
    return footerTop() + pageFooter().height;
}

double PageModel::footerTop() const
{
    return m_bodyEnd;
}

const PageModel::BandTemplate &PageModel::pageFooter() const
{
    static const BandTemplate none;
    return m_footerSection >= 0 ? m_sections[m_footerSection].footer : none;
}

QRectF PageModel::rowRect(int section, int row) const
{
    if (section < 0 || section >= sectionCount())
        return {};
    const Section &s = m_sections[section];
    const int ri = s.detailRunOf(row);
    if (ri < 0)
        return {};
    const Run &r = s.runs[ri];
    const double y = m_sectionTops[section] + s.headingHeight() + r.y + (row - r.firstRow) * r.rowHeight;
    return QRectF(0, y, s.width, r.rowHeight);
}

QRectF PageModel::itemRect(int section, int row, const Item &item) const
{
    const QRectF rr = rowRect(section, row);
    if (rr.isNull())
        return {};
    return item.rect.translated(0, rr.top());
}

PageModel::Hit PageModel::hitTest(double x, double y) const
{
    Hit hit;
    if (m_sections.empty() || y < 0)
        return hit;
    auto it = std::upper_bound(m_sectionTops.cbegin(), m_sectionTops.cend(), y);
    int si = int(it - m_sectionTops.cbegin()) - 1;
    if (si < 0)
        return hit;
    hit.section = si;
    const Section &s = m_sections[si];
    const double local = y - m_sectionTops[si] - s.headingHeight();
    if (local < 0 || local >= s.bodyHeight)
        return hit;
    const int ri = s.runAt(local);
    if (ri < 0)
        return hit;
    const Run &r = s.runs[ri];
    if (r.kind != RunKind::Detail)
        return hit;
    hit.row = std::clamp(r.firstRow + int((local - r.y) / r.rowHeight), r.firstRow, r.lastRow);
    const double inRow = local - r.y - (hit.row - r.firstRow) * r.rowHeight;
    for (const Item &item : s.detail.items) {
        if (item.rect.contains(QPointF(x, inRow))) {
            hit.item = &item;
            break;
        }
    }
    return hit;
}

QVector<const PageModel::Item *> PageModel::editableItems(int section) const
{
    QVector<const Item *> out;
    if (section < 0 || section >= sectionCount())
        return out;
    for (const Item &item : m_sections[section].detail.items) {
        if (item.editable)
            out << &item;
    }
    return out;
}

} // namespace wip::reports
