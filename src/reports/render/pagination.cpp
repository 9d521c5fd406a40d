#include "reports/render/pagination.h"

#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {
constexpr double kEps = 1e-6;
constexpr double kSectionGap = 12;

// Height of the band that starts at body position `at`.
double bandHeightAt(const PageModel::Section &s, double at)
{
    const int ri = s.runAt(at);
    if (ri < 0)
        return 0;
    const PageModel::Run &r = s.runs[ri];
    return r.kind == PageModel::RunKind::Detail ? r.rowHeight : r.height();
}

int firstRowFrom(const PageModel::Section &s, double at)
{
    for (int ri = std::max(0, s.runAt(at)); ri < int(s.runs.size()); ++ri) {
        const PageModel::Run &r = s.runs[ri];
        if (r.kind != PageModel::RunKind::Detail)
            continue;
        if (at <= r.y)
            return r.firstRow;
        return std::min(r.lastRow, r.firstRow + int(std::floor((at - r.y) / r.rowHeight + kEps)));
    }
    return 1;
}
} // namespace

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

Pagination::Pagination(const PageModel &model, const QSizeF &pageSize, const QMarginsF &margins)
    : m_model(model), m_pageSize(pageSize), m_margins(margins)
{
    const double printableW = std::max(1.0, pageSize.width() - margins.left() - margins.right());
    const double printableH = std::max(1.0, pageSize.height() - margins.top() - margins.bottom());
    if (model.width() > printableW)
        m_scale = printableW / model.width();
    m_bodyHeight = printableH / m_scale - model.pageFooter().height;
    // A page always has room for one row under the tallest heading.
    double minimum = 0;
    for (const PageModel::Section &s : model.sections())
        minimum = std::max(minimum, s.headingHeight() + s.detail.height + s.summary.height);
    m_bodyHeight = std::max(m_bodyHeight, minimum);

    Page current;
    double used = 0;
    auto newPage = [&] {
        m_pages.push_back(current);
        current = Page();
        used = 0;
    };

    for (int si = 0; si < model.sectionCount(); ++si) {
        const PageModel::Section &s = model.section(si);
        const double heading = s.headingHeight();
        if (heading <= 0 && s.bodyHeight <= 0)
            continue;
        if (used > 0)
            used += kSectionGap;
        if (s.bodyHeight <= kEps) {
            if (used > 0 && used + heading > m_bodyHeight)
                newPage();
            current.slices.push_back({si, 0, 0, true});
            used += heading;
            continue;
        }
        double pos = 0;
        while (pos < s.bodyHeight - kEps) {
            const double avail = m_bodyHeight - used - heading;
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
    if (!current.slices.isEmpty() || m_pages.isEmpty())
        m_pages.push_back(current);
}

// The lowest band boundary in (from, limit]; a group that starts on a new page
// ends the page before it. When not even one band fits, the band at `from` is
// taken whole (it is clipped when painted).
double Pagination::breakPoint(const PageModel::Section &s, double from, double limit) const
{
    if (limit >= s.bodyHeight - kEps)
        limit = s.bodyHeight;
    int ri = std::max(0, s.runAt(from));
    for (int i = ri + 1; i < int(s.runs.size()) && s.runs[i].y < limit + kEps; ++i) {
        if (s.runs[i].breakBefore && s.runs[i].y > from + kEps)
            return s.runs[i].y;
    }
    if (limit >= s.bodyHeight - kEps)
        return s.bodyHeight;

    const int li = s.runAt(limit);
    const PageModel::Run &r = s.runs[li];
    double candidate;
    if (limit >= r.y + r.height() - kEps)
        candidate = r.y + r.height();
    else if (r.kind == PageModel::RunKind::Detail)
        candidate = r.y + std::floor((limit - r.y) / r.rowHeight + kEps) * r.rowHeight;
    else
        candidate = r.y;
    if (candidate <= from + kEps)
        candidate = std::min(s.bodyHeight, from + bandHeightAt(s, from));
    return candidate;
}

} // namespace wip::reports
