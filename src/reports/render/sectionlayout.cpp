#include "reports/render/sectionlayout.h"

#include "reports/render/layoutconstants.h"

#include "reports/displayformat.h"
#include "reports/expression.h"
#include "reports/render/textmetrics.h"

#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {

using Item = PageModel::Item;
using Kind = PageModel::ItemKind;
using RunKind = PageModel::RunKind;
using Run = PageModel::Run;

constexpr double kMinReportWidth = 120;
constexpr int kBlockRows = 64;        // rows measured together on screen (a screenful)
constexpr double kTitleSize = 14;     // a title given to a report without one

// One thing placed in a band: what it shows and where.
struct Placed
{
    Kind kind;
    QString name;
    QString under;
    Align align;
    double fontSize;
    bool bold;
    QString format;
    int expression = -1;
};

// Lays the placed things of one band out in lines: everything that sits under a
// column shares one line (at the place of the first such thing); every other thing
// takes a line of its own across the report. Only heights are set here; the
// columns' places come with place().
PageModel::BandTemplate buildBand(const QVector<Placed> &placed, const QHash<QString, int> &columns,
                                  double defaultFont)
{
    PageModel::BandTemplate band;
    double y = 0;
    bool shared = false;
    double sharedTop = 0;
    double sharedHeight = 0;
    for (const Placed &p : placed) {
        const double h = PageModel::lineHeight(p.fontSize > 0 ? p.fontSize : defaultFont);
        Item item;
        item.kind = p.kind;
        item.name = p.name;
        item.under = p.under;
        item.align = p.align;
        item.format = p.format;
        item.fontSize = p.fontSize;
        item.bold = p.bold;
        item.expression = p.expression;
        const auto column = columns.constFind(p.under.toLower());
        if (!p.under.isEmpty() && column != columns.cend()) {
            if (!shared) {
                shared = true;
                sharedTop = y;
                sharedHeight = h;
                y += h;
            } else if (h > sharedHeight) {
                y += h - sharedHeight;
                sharedHeight = h;
            }
            item.column = *column;
            item.rect = QRectF(0, sharedTop, 0, sharedHeight);
        } else {
            item.across = true;
            item.rect = QRectF(0, y, 0, h);
            y += h;
        }
        band.items << item;
    }
    for (Item &item : band.items) {
        if (!item.across)
            item.rect.setHeight(sharedHeight);
    }
    band.height = y;
    return band;
}

// The text of a band item evaluated at a row (texts, labels, computed fields).
QString bandText(const ReportData &data, const Item &item, int row)
{
    try {
        switch (item.kind) {
        case Kind::Text:
            return data.objectText(item.name);
        case Kind::Label:
            return item.name;
        case Kind::Computed:
            return row >= 1 && row <= data.rowCount() ? formatValue(data.item(row, item.name), item.format) : QString();
        default:
            break;
        }
    } catch (const std::exception &) {
    }
    return QString();
}

std::vector<PageModel::BandTemplate *> bandsOf(PageModel::Section &s)
{
    std::vector<PageModel::BandTemplate *> out{&s.header, &s.summary, &s.footer};
    for (PageModel::BandTemplate &b : s.groupHeaders)
        out.push_back(&b);
    for (PageModel::BandTemplate &b : s.groupTrailers)
        out.push_back(&b);
    return out;
}

} // namespace

void SectionLayout::buildBands(PageModel::Section &s, const Definition &def, const QString &criteria,
                               const QHash<QString, int> &columns, double fontSize, const QString &title)
{
    auto collect = [&](Band band, int group, bool perPage) {
        QVector<Placed> placed;
        if (band == Band::Header && !title.isEmpty())
            placed << Placed{Kind::Label, title, {}, Align::Center, kTitleSize, true, {}};
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
                s.expressions.push_back(std::shared_ptr<Expression>(Expression::parse(f.expression)));
            }
            placed << p;
        }
        // The criteria line closes the heading.
        if (band == Band::Header && !criteria.isEmpty())
            placed << Placed{Kind::Label, criteria, {}, Align::Center, 0, false, {}};
        return placed;
    };
    s.header = buildBand(collect(Band::Header, 0, true), columns, fontSize);
    s.footer = buildBand(collect(Band::Footer, 0, true), columns, fontSize);
    s.summary = buildBand(collect(Band::Summary, 0, false), columns, fontSize);
    int levels = 0;
    for (const Group &g : def.groups)
        levels = std::max(levels, g.level);
    s.groupHeaders.clear();
    s.groupTrailers.clear();
    for (int level = 1; level <= levels; ++level) {
        s.groupHeaders.push_back(buildBand(collect(Band::GroupHeader, level, false), columns, fontSize));
        s.groupTrailers.push_back(buildBand(collect(Band::GroupTrailer, level, false), columns, fontSize));
    }
}

void SectionLayout::placeBands(PageModel::Section &s, double fontSize)
{
    // The report is at least as wide as its widest line of its own.
    for (PageModel::BandTemplate *band : bandsOf(s)) {
        for (const Item &item : band->items) {
            if (!item.across || item.kind == Kind::PageField || item.kind == Kind::Computed)
                continue;
            const double font = item.fontSize > 0 ? item.fontSize : fontSize;
            const double w = PageModel::textWidth(bandText(*s.data, item, 1), font, item.bold);
            s.width = std::max(s.width, std::ceil(w + 4 * kPadding));
        }
    }
    for (PageModel::BandTemplate *band : bandsOf(s)) {
        for (Item &item : band->items) {
            if (item.across) {
                item.rect.setLeft(0);
                item.rect.setWidth(s.width);
            } else if (item.column >= 0 && item.column < s.columns.size()) {
                const PageModel::ColumnSlot &slot = s.columns.at(item.column);
                item.rect.setLeft(slot.x);
                item.rect.setWidth(slot.width);
            }
        }
    }
}

void SectionLayout::build(PageModel::Section &s, const Definition &def, const QString &criteria, bool composite,
                          const QString &title)
{
    const double font = m_options.fontSize;
    QVector<ReportColumn> columns;
    if (!composite)
        columns = reportColumns(*s.data, m_options.purpose == PageModel::Purpose::Screen ? ColumnUse::Screen
                                                                                          : ColumnUse::Output);
    m_sizer = ColumnSizer(columns, font);
    QHash<QString, int> index;
    m_keyCount = 0;
    for (int i = 0; i < columns.size(); ++i) {
        index.insert(columns.at(i).name.toLower(), i);
        if (m_keyCount == i && columns.at(i).rowKey)
            ++m_keyCount;
    }
    if (m_keyCount == 0 && !columns.isEmpty())
        m_keyCount = 1;   // without marked keys, the first column identifies the row

    // Paper: as wide as the printable width at the smallest print size.
    double smallest = font;
    for (const TextObject &t : def.texts) {
        if (t.fontSize > 0)
            smallest = std::min(smallest, double(t.fontSize));
    }
    m_target = print() ? PageModel::printableWidth(s.page) * smallest / m_options.minFontSize : 0;

    bool pictures = false;
    const double rowH = PageModel::lineHeight(font);
    for (int i = 0; i < columns.size(); ++i) {
        const ReportColumn &c = columns.at(i);
        pictures = pictures || c.picture;
        Item cell;
        cell.kind = c.computed ? Kind::Computed : Kind::Column;
        cell.name = c.name;
        cell.align = c.align;
        cell.format = c.format;
        cell.picture = c.picture;
        cell.column = i;
        s.detail.items << cell;
        if (!c.caption.isEmpty()) {
            Item cap;
            cap.kind = Kind::Label;
            QStringList lines;
            for (const QString &line : c.caption)
                lines << line.trimmed();
            cap.name = lines.join(QLatin1Char('\n'));
            cap.align = Align::Center;
            cap.wrap = true;
            cap.bold = true;
            cap.column = i;
            s.captions.items << cap;
        }
    }
    s.detail.height = columns.isEmpty() ? 0 : (pictures ? std::max(rowH, ColumnSizer::pictureHeight) : rowH);
    for (Item &cell : s.detail.items)
        cell.rect = QRectF(0, 0, 0, s.detail.height);

    buildBands(s, def, criteria, index, font, title);
    measureTexts(s);
    if (!composite)
        layoutRuns(s, def);

    const int n = s.rowCount();
    m_measuredBlocks.assign(size_t((n + kBlockRows - 1) / kBlockRows), false);
    if (print() && n > 0 && m_options.measured) {
        // Rows read a run at a time: their widths come measured; the bands
        // evaluated at row 1 and the last row are read here.
        m_measuredTo = n;
        m_sizer.takeValues(*m_options.measured);
        measureBands(s, 1, n);
        std::fill(m_measuredBlocks.begin(), m_measuredBlocks.end(), true);
    } else if (print() && n > 0) {
        // Paper measures from the top: every row, or the first rows of a
        // layout that measures the rest as it is asked to (measureMore).
        m_measuredTo = m_options.firstRows > 0 ? std::min(n, m_options.firstRows) : n;
        m_sizer.measureRows(*s.data, 1, m_measuredTo);
        measureBands(s, 1, m_measuredTo);
        std::fill(m_measuredBlocks.begin(), m_measuredBlocks.end(), true);
    }
    place(s);
    if (print() && !m_options.measured)
        wrapRows(s, 1);
}

bool SectionLayout::measuredAll(const PageModel::Section &s) const
{
    return !print() || m_measuredTo >= s.rowCount();
}

bool SectionLayout::measureMore(PageModel::Section &s, int rows)
{
    if (measuredAll(s) || rows <= 0)
        return false;
    const int from = m_measuredTo + 1;
    m_measuredTo = std::min(s.rowCount(), m_measuredTo + rows);
    bool grew = m_sizer.measureRows(*s.data, from, m_measuredTo);
    grew = measureBands(s, from, m_measuredTo) || grew;
    const double height = s.bodyHeight;
    if (grew) {
        place(s);
        wrapRows(s, 1);   // the columns moved: every measured row again
        return true;
    }
    wrapRows(s, from);
    return s.bodyHeight != height;
}

// Static texts under columns (subtotal labels, "TOTAL") widen their columns.
void SectionLayout::measureTexts(PageModel::Section &s)
{
    for (PageModel::BandTemplate *band : bandsOf(s)) {
        for (const Item &item : band->items) {
            if (item.column >= 0 && item.kind == Kind::Text) {
                const double font = item.fontSize > 0 ? item.fontSize : m_options.fontSize;
                m_sizer.measureUnder(item.column, s.data->objectText(item.name), font, item.bold);
            }
        }
    }
}

// Computed fields under columns in the group bands and the summary that are
// evaluated at rows [first, last] widen their columns.
bool SectionLayout::measureBands(PageModel::Section &s, int first, int last)
{
    bool grew = false;
    auto start = std::lower_bound(s.runs.begin(), s.runs.end(), first,
                                  [](const Run &r, int row) { return r.lastRow < row; });
    for (auto it = start; it != s.runs.end() && it->firstRow <= last; ++it) {
        if (it->kind == RunKind::Detail)
            continue;
        const int row = it->kind == RunKind::GroupHeader ? it->firstRow : it->lastRow;
        if (row < first || row > last)
            continue;
        for (const Item &item : s.templateOf(*it).items) {
            if (item.column < 0 || item.kind != Kind::Computed)
                continue;
            const double font = item.fontSize > 0 ? item.fontSize : m_options.fontSize;
            grew = m_sizer.measureUnder(item.column, bandText(*s.data, item, row), font, item.bold) || grew;
        }
    }
    return grew;
}

bool SectionLayout::measureRows(PageModel::Section &s, int first, int last)
{
    if (m_measuredBlocks.empty() || last < first)
        return false;
    const int n = s.rowCount();
    first = std::clamp(first, 1, n);
    last = std::clamp(last, 1, n);
    bool grew = false;
    for (int b = (first - 1) / kBlockRows; b <= (last - 1) / kBlockRows && b < int(m_measuredBlocks.size()); ++b) {
        if (m_measuredBlocks[size_t(b)])
            continue;
        m_measuredBlocks[size_t(b)] = true;
        const int from = b * kBlockRows + 1;
        const int to = std::min(n, from + kBlockRows - 1);
        grew = m_sizer.measureRows(*s.data, from, to) || grew;
        grew = measureBands(s, from, to) || grew;
    }
    if (grew)
        place(s);
    return grew;
}

// Widths of the columns, then the places of every item.
void SectionLayout::place(PageModel::Section &s)
{
    const double font = m_options.fontSize;
    double keyWidth = 0;
    for (int i = 0; i < m_keyCount && i < m_sizer.count(); ++i)
        keyWidth += m_sizer.natural(i);
    const ColumnSizer::Fit fit = m_sizer.fit(m_target, keyWidth);
    s.across = fit.across;
    s.columns.clear();
    m_wrapped = QVector<bool>(m_sizer.count(), false);
    double x = 0;
    for (int i = 0; i < m_sizer.count(); ++i) {
        const double w = fit.widths.at(i);
        s.columns << PageModel::ColumnSlot{m_sizer.column(i).name, x, w, i < m_keyCount};
        const ColumnSizer::Measure &m = m_sizer.measure(i);
        m_wrapped[i] = print() && m.wraps && (w < m_sizer.natural(i) - 1e-6 || m.breaks);
        x += w;
    }
    s.keyWidth = 0;
    for (int i = 0; i < m_keyCount && i < s.columns.size(); ++i)
        s.keyWidth += s.columns.at(i).width;
    for (Item &cell : s.detail.items) {
        const PageModel::ColumnSlot &slot = s.columns.at(cell.column);
        cell.rect = QRectF(slot.x, 0, slot.width, s.detail.height);
        cell.wrap = m_wrapped.at(cell.column);
    }
    // Captions wrap inside their columns, in the bold they are painted in.
    const TextMetrics &bold = TextMetrics::of(font, true);
    int lines = 0;
    for (const Item &cap : s.captions.items) {
        const double inner = s.columns.at(cap.column).width - 2 * kPadding;
        lines = std::max(lines, int(bold.wrap(cap.name, inner).size()));
    }
    s.captions.height = lines > 0 ? lines * PageModel::lineHeight(font) + 2 : 0;
    for (Item &cap : s.captions.items) {
        const PageModel::ColumnSlot &slot = s.columns.at(cap.column);
        cap.rect = QRectF(slot.x, 0, slot.width, s.captions.height);
    }
    s.width = std::max(x, kMinReportWidth);
    placeBands(s, font);
}

// Paper: the rows whose values wrap take as many lines as their tallest cell.
// Rows [from, to] of those measured are wrapped anew, those above keep theirs
// (none added anything when no sum is kept), those below take one line.
void SectionLayout::wrapRows(PageModel::Section &s, int from, int to) const
{
    const int n = s.rowCount();
    QVector<int> columns;
    for (int i = 0; i < m_wrapped.size(); ++i) {
        if (m_wrapped.at(i))
            columns << i;
    }
    if (columns.isEmpty() || n == 0) {
        if (!s.extra.empty()) {
            s.extra.clear();
            placeRuns(s);
        }
        return;
    }
    std::vector<double> extra = std::move(s.extra);
    if (extra.size() != size_t(n) + 2)
        extra.assign(size_t(n) + 2, 0.0);
    const TextMetrics &metrics = TextMetrics::of(m_options.fontSize, false);
    const double line = PageModel::lineHeight(m_options.fontSize);
    const int last = std::min({n, m_measuredTo, to});
    for (int row = std::max(1, from); row <= last; ++row) {
        int most = 1;
        for (int i : columns) {
            const QString text = ColumnSizer::cellText(*s.data, row, m_sizer.column(i));
            if (!text.isEmpty())
                most = std::max(most, metrics.lineCount(text, s.columns.at(i).width - 2 * kPadding));
        }
        extra[size_t(row) + 1] = extra[size_t(row)] + std::max(0.0, most * line - s.detail.height);
    }
    // The rows not measured yet add nothing: they repeat the last measured
    // row's sum (already there when the new rows did not wrap).
    if (extra.back() != extra[size_t(last) + 1])
        std::fill(extra.begin() + last + 2, extra.end(), extra[size_t(last) + 1]);
    if (extra.back() > 0)
        s.extra = std::move(extra);
    else
        s.extra.clear();
    placeRuns(s);
}

void SectionLayout::placeRuns(PageModel::Section &s)
{
    double y = 0;
    for (Run &r : s.runs) {
        r.y = y;
        r.extent = r.kind == RunKind::Detail
            ? r.rowHeight * (r.lastRow - r.firstRow + 1) + s.extraBefore(r.lastRow + 1) - s.extraBefore(r.firstRow)
            : r.rowHeight;
        y += r.extent;
    }
    s.bodyHeight = y;
}

void SectionLayout::layoutRuns(PageModel::Section &s, const Definition &def) const
{
    const int n = s.rowCount();
    const double rowH = s.detail.height;
    const int levels = int(s.groupHeaders.size());
    QVector<bool> newPage(levels + 1, false);
    for (const Group &g : def.groups) {
        if (g.level >= 1 && g.level <= levels)
            newPage[g.level] = g.newPage;
    }

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
                return;
            }
        }
        Run r;
        r.kind = kind;
        r.level = level;
        r.firstRow = first;
        r.lastRow = last;
        r.rowHeight = height;
        r.breakBefore = breakBefore;
        s.runs.push_back(r);
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
    if (n > 0 && rowH > 0) {
        walk(walk, 1, 1, n);
        push(RunKind::Summary, 0, n, n, s.summary.height, false);
    } else if (!s.summary.isEmpty()) {
        // An empty report still shows its summary texts ("TOTAL") under the captions.
        push(RunKind::Summary, 0, 0, 0, s.summary.height, false);
    }
    s.detailRuns.clear();
    for (int i = 0; i < int(s.runs.size()); ++i) {
        if (s.runs[i].kind == RunKind::Detail)
            s.detailRuns.push_back(i);
    }
    placeRuns(s);
}

} // namespace wip::reports
