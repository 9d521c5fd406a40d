#include "reports/render/pagination.h"

#include "reports/render/layoutconstants.h"

#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {


using Run = PageModel::Run;
using RunKind = PageModel::RunKind;

// Height of the band (or row) that starts at body position `at`.
double bandHeightAt(const PageModel::Section &s, double at)
{
    const int ri = s.runAt(at);
    if (ri < 0)
        return 0;
    const Run &r = s.runs[ri];
    return r.kind == RunKind::Detail ? s.rowHeight(r, s.rowAt(r, at)) : r.height();
}

int firstRowFrom(const PageModel::Section &s, double at)
{
    for (int ri = std::max(0, s.runAt(at)); ri < int(s.runs.size()); ++ri) {
        const Run &r = s.runs[ri];
        if (r.kind != RunKind::Detail)
            continue;
        if (at <= r.y)
            return r.firstRow;
        return s.rowAt(r, at + kEps);
    }
    return 1;
}

bool hasContent(const PageModel::Section &s)
{
    return s.headingHeight() > 0 || s.bodyHeight > 0;
}

} // namespace

// Sections printed one after the other on one paper at one scale.
struct Pagination::Group
{
    QVector<int> sections;
    PageSetup paper;
    QSizeF size;
    double scale = 1;
    bool across = false;
};

QPageSize Pagination::pageSizeFor(const PageSetup &setup)
{
    const QString paper = setup.paper.trimmed().toUpper();
    if (paper == QLatin1String("A3"))
        return QPageSize(QPageSize::A3);
    if (paper == QLatin1String("A5"))
        return QPageSize(QPageSize::A5);
    if (paper == QLatin1String("B5"))
        return QPageSize(QPageSize::B5);
    if (paper == QLatin1String("LETTER"))
        return QPageSize(QPageSize::Letter);
    if (paper == QLatin1String("LEGAL"))
        return QPageSize(QPageSize::Legal);
    return QPageSize(QPageSize::A4);
}

QSizeF Pagination::pageSizePoints(const PageSetup &setup)
{
    const QSizeF s = pageSizeFor(setup).size(QPageSize::Point);
    return setup.landscape ? QSizeF(s.height(), s.width()) : s;
}

QPageLayout Pagination::pageLayout(const Page &page)
{
    // The paper of a printer's own size has no name of ours: it is taken as it is.
    const QPageSize size = pageSizePoints(page.paper) == page.size
        ? pageSizeFor(page.paper)
        : QPageSize(page.size.width() <= page.size.height() ? page.size : page.size.transposed(), QPageSize::Point);
    const bool landscape = page.size.width() > page.size.height();
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Point);
}

Pagination::Pagination(const PageModel &model, const QMarginsF &margins)
    : m_model(model), m_margins(margins)
{
    paginate(std::nullopt, QSizeF());
}

Pagination::Pagination(const PageModel &model, const QSizeF &pageSize, const QMarginsF &margins)
    : m_model(model), m_margins(margins)
{
    PageSetup common;
    common.landscape = pageSize.width() > pageSize.height();
    paginate(common, pageSize);
}

void Pagination::paginate(const std::optional<PageSetup> &common, const QSizeF &commonSize)
{
    const double minScale = m_model.minScale();
    QVector<Group> groups;
    QVector<int> pending;   // sections of headings only, waiting for the report they head
    for (int si = 0; si < m_model.sectionCount(); ++si) {
        const PageModel::Section &s = m_model.section(si);
        if (!hasContent(s))
            continue;
        // A section of headings only (a composite's own) prints with the report after it.
        const bool headingOnly = s.bodyHeight <= 0 && s.captions.height <= 0;
        if (headingOnly && si + 1 < m_model.sectionCount()) {
            pending << si;
            continue;
        }
        PageSetup paper = s.page;
        if (common)
            paper = *common;
        const QSizeF size = common ? commonSize : pageSizePoints(paper);
        const double printable = std::max(1.0, size.width() - m_margins.left() - m_margins.right());
        const bool across = s.width * minScale > printable + kEps && !s.columns.isEmpty();
        if (groups.isEmpty() || groups.last().across || across || !groups.last().paper.samePaper(paper))
            groups.push_back(Group{{}, paper, size, 1, across});
        groups.last().sections << pending << si;
        pending.clear();
    }
    if (!pending.isEmpty()) {
        const PageSetup paper = common ? *common : m_model.section(pending.first()).page;
        groups.push_back(Group{pending, paper, common ? commonSize : pageSizePoints(paper), 1, false});
    }
    for (Group &g : groups) {
        const double printable = std::max(1.0, g.size.width() - m_margins.left() - m_margins.right());
        double width = 0;
        for (int si : g.sections)
            width = std::max(width, m_model.section(si).width);
        g.scale = g.across ? minScale : std::clamp(printable / std::max(1.0, width), minScale, 1.0);
        paginateGroup(g);
    }
    if (m_pages.isEmpty()) {
        Page empty;
        empty.paper = common ? *common : (m_model.sectionCount() > 0 ? m_model.section(0).page : PageSetup());
        empty.size = common ? commonSize : pageSizePoints(empty.paper);
        empty.bodyHeight = empty.size.height() - m_margins.top() - m_margins.bottom();
        m_pages.push_back(empty);
    }
}

QVector<Pagination::ColumnBand> Pagination::columnBands(const PageModel::Section &s, double width)
{
    QVector<ColumnBand> bands;
    int first = 0;
    while (first < s.columns.size() && s.columns.at(first).key)
        ++first;
    for (int i = first; i < s.columns.size();) {
        ColumnBand band;
        band.keyWidth = s.keyWidth;
        band.page = width;
        band.from = s.columns.at(i).x;
        band.to = s.columns.at(i).x + s.columns.at(i).width;
        ++i;
        while (i < s.columns.size()
               && band.keyWidth + s.columns.at(i).x + s.columns.at(i).width - band.from <= width + kEps) {
            band.to = s.columns.at(i).x + s.columns.at(i).width;
            ++i;
        }
        bands << band;
    }
    if (bands.isEmpty())
        bands << ColumnBand{s.keyWidth, s.keyWidth, s.keyWidth, width};
    return bands;
}

void Pagination::paginateGroup(const Group &g)
{
    const double printableW = std::max(1.0, g.size.width() - m_margins.left() - m_margins.right());
    const double printableH = std::max(1.0, g.size.height() - m_margins.top() - m_margins.bottom());
    double bodyHeight = printableH / g.scale - m_model.pageFooter().height;
    // A page always has room for one row under the tallest heading.
    for (int si : g.sections) {
        const PageModel::Section &s = m_model.section(si);
        bodyHeight = std::max(bodyHeight, s.headingHeight() + s.detail.height + s.summary.height);
    }

    QVector<Page> pages;
    Page current;
    double used = 0;
    auto newPage = [&] {
        pages.push_back(current);
        current = Page();
        used = 0;
    };
    for (int si : g.sections) {
        const PageModel::Section &s = m_model.section(si);
        const double heading = s.headingHeight();
        if (used > 0)
            used += kSectionGap;
        if (s.bodyHeight <= kEps) {
            if (used > 0 && used + heading > bodyHeight)
                newPage();
            current.slices.push_back({si, 0, 0, true});
            used += heading;
            continue;
        }
        double pos = 0;
        while (pos < s.bodyHeight - kEps) {
            const double avail = bodyHeight - used - heading;
            const double first = bandHeightAt(s, pos);
            if (avail < first - kEps && used > 0) {
                newPage();
                continue;
            }
            const double end = breakPoint(s, pos, pos + std::max(avail, first));
            if (current.slices.isEmpty())
                current.firstRow = firstRowFrom(s, pos);
            current.slices.push_back({si, pos, end, true});
            used += heading + (end - pos);
            pos = end;
            if (pos < s.bodyHeight - kEps)
                newPage();
        }
    }
    if (!current.slices.isEmpty())
        pages.push_back(current);

    QVector<ColumnBand> bands;
    if (g.across)
        bands = columnBands(m_model.section(g.sections.last()), printableW / g.scale);
    for (Page &page : pages) {
        page.size = g.size;
        page.paper = g.paper;
        page.scale = g.scale;
        page.bodyHeight = bodyHeight;
        if (bands.isEmpty()) {
            m_pages.push_back(page);
            continue;
        }
        page.bandCount = int(bands.size());
        for (int b = 0; b < bands.size(); ++b) {
            page.band = bands.at(b);
            page.bandIndex = b;
            m_pages.push_back(page);
        }
    }
}

// The lowest band boundary in (from, limit]; a group that starts on a new page
// ends the page before it. When not even one band fits, the band at `from` is
// taken whole (it is clipped when painted).
double Pagination::breakPoint(const PageModel::Section &s, double from, double limit) const
{
    if (limit >= s.bodyHeight - kEps)
        limit = s.bodyHeight;
    const int ri = std::max(0, s.runAt(from));
    for (int i = ri + 1; i < int(s.runs.size()) && s.runs[i].y < limit + kEps; ++i) {
        if (s.runs[i].breakBefore && s.runs[i].y > from + kEps)
            return s.runs[i].y;
    }
    if (limit >= s.bodyHeight - kEps)
        return s.bodyHeight;

    const Run &r = s.runs[s.runAt(limit)];
    double candidate;
    if (limit >= r.y + r.height() - kEps) {
        candidate = r.y + r.height();
    } else if (r.kind == RunKind::Detail) {
        const int row = s.rowAt(r, limit);
        const double top = s.rowTop(r, row);
        candidate = top + s.rowHeight(r, row) <= limit + kEps ? top + s.rowHeight(r, row) : top;
    } else {
        candidate = r.y;
    }
    if (candidate <= from + kEps)
        candidate = std::min(s.bodyHeight, from + bandHeightAt(s, from));
    return candidate;
}

std::pair<int, int> Pagination::rowsOf(int index) const
{
    int first = 0;
    int last = 0;
    const auto take = [&](int row) {
        first = first == 0 ? row : std::min(first, row);
        last = std::max(last, row);
    };
    // The runs and rows the painter visits for each slice of the page.
    for (const Slice &slice : m_pages.at(index).slices) {
        const PageModel::Section &s = m_model.section(slice.section);
        if (s.runs.empty() || slice.to <= slice.from)
            continue;
        for (int ri = std::max(0, s.runAt(slice.from)); ri < int(s.runs.size()); ++ri) {
            const Run &run = s.runs[size_t(ri)];
            if (run.y >= slice.to - kEps)
                break;
            if (run.kind == RunKind::GroupHeader) {
                take(run.firstRow);
            } else if (run.kind != RunKind::Detail) {
                take(run.lastRow);
            } else {
                take(s.rowAt(run, std::max(slice.from, run.y)));
                take(s.rowAt(run, slice.to - kEps));
            }
        }
    }
    return {first, last};
}

} // namespace wip::reports
