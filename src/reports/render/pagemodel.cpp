#include "reports/render/pagemodel.h"

#include "reports/render/layoutconstants.h"

#include "reports/displayformat.h"
#include "reports/expression.h"
#include "reports/reportcriteria.h"
#include "reports/render/formgridlayout.h"
#include "reports/render/pagination.h"
#include "reports/render/sectionlayout.h"
#include "reports/render/textmetrics.h"

#include <QHash>
#include <algorithm>
#include <utility>
#include <cmath>

namespace wip::reports {

namespace {


} // namespace

double PageModel::textWidth(const QString &text, double fontSize, bool bold)
{
    return TextMetrics::of(fontSize, bold).widestLine(text);
}

double PageModel::printableWidth(const PageSetup &page)
{
    const QMarginsF m = Pagination::defaultMargins();
    return Pagination::pageSizePoints(page).width() - m.left() - m.right();
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

double PageModel::Section::extraBefore(int row) const
{
    if (extra.empty())
        return 0;
    return extra[size_t(std::clamp(row, 1, int(extra.size()) - 1))];
}

double PageModel::Section::rowTop(const Run &run, int row) const
{
    return run.y + (row - run.firstRow) * run.rowHeight + extraBefore(row) - extraBefore(run.firstRow);
}

double PageModel::Section::rowHeight(const Run &run, int row) const
{
    return run.rowHeight + extraBefore(row + 1) - extraBefore(row);
}

int PageModel::Section::rowAt(const Run &run, double y) const
{
    if (extra.empty() || run.kind != RunKind::Detail) {
        const int offset = run.rowHeight > 0 ? int(std::floor((y - run.y) / run.rowHeight + 1e-6)) : 0;
        return std::clamp(run.firstRow + offset, run.firstRow, run.lastRow);
    }
    int low = run.firstRow;
    int high = run.lastRow;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (rowTop(run, mid) <= y + 1e-6)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

PageModel::~PageModel() = default;

PageModel::PageModel(const ReportData &data, const Options &options)
    : m_options(options)
{
    const bool composite = data.definition().layout == LayoutKind::Composite;
    const PageSetup &own = data.definition().page;
    // On screen a window shows what it asked in its own fields; paper and files say it.
    const bool screen = options.purpose == Purpose::Screen;
    addSection(data, composite, composite && own.declared ? &own : nullptr,
               screen ? QString() : ReportCriteria::text(data));
    stackSections();
}

void PageModel::stackSections()
{
    m_sectionTops.clear();
    m_width = 0;
    double top = 0;
    for (const Section &s : m_sections) {
        m_sectionTops << top;
        const double h = s.headingHeight() + s.bodyHeight;
        if (h > 0)
            top += h + kSectionGap;
        m_width = std::max(m_width, s.width);
    }
    m_bodyEnd = top > 0 ? top - kSectionGap : 0;
    m_footerSection = -1;
    for (int i = 0; i < sectionCount(); ++i) {
        if (!m_sections[i].footer.isEmpty()) {
            m_footerSection = i;
            break;
        }
    }
}

double PageModel::minScale() const
{
    double smallest = m_options.fontSize;
    auto look = [&smallest](const BandTemplate &band) {
        for (const Item &item : band.items) {
            if (item.fontSize > 0)
                smallest = std::min(smallest, item.fontSize);
        }
    };
    for (const Section &s : m_sections) {
        for (const BandTemplate *band : {&s.header, &s.captions, &s.detail, &s.summary, &s.footer})
            look(*band);
        for (const BandTemplate &band : s.groupHeaders)
            look(band);
        for (const BandTemplate &band : s.groupTrailers)
            look(band);
    }
    return std::min(1.0, m_options.minFontSize / smallest);
}

void PageModel::addSection(const ReportData &data, bool composite, const PageSetup *composed, QString criteria)
{
    const Definition &def = data.definition();
    Section s;
    s.data = &data;
    s.name = def.name;
    s.page = composed ? *composed : def.page;
    // A composite without a heading of its own states its criteria under the
    // title of its first part, and again under each part that prints on a sheet
    // of its own (another paper or orientation), so that no sheet is without them.
    QString passed;
    if (composite) {
        const bool heading = std::any_of(def.texts.cbegin(), def.texts.cend(), [](const TextObject &t) {
            return t.band == Band::Header;
        });
        if (!heading)
            passed = std::exchange(criteria, QString());
    }
    // A report without any heading of its own carries the title it was shown under.
    const bool headed = std::any_of(def.texts.cbegin(), def.texts.cend(), [](const TextObject &t) {
        return t.band == Band::Header;
    }) || std::any_of(def.computed.cbegin(), def.computed.cend(), [](const ComputedField &f) {
        return f.band == Band::Header;
    });
    const bool paper = m_options.purpose != Purpose::Screen;
    const QString title = paper && m_sections.empty() && !headed && !composite ? data.windowTitle().trimmed() : QString();
    std::unique_ptr<SectionLayout> layout;
    if (def.layout == LayoutKind::Form) {
        FormGridLayout(s, def, m_options.fontSize).build(criteria);
    } else {
        layout = std::make_unique<SectionLayout>(m_options);
        layout->build(s, def, criteria, composite, title);
    }
    m_sections.push_back(std::move(s));
    m_layouts.push_back(std::move(layout));
    if (composite) {
        const PageSetup *previous = nullptr;
        for (const ReportData *nested : data.nested()) {
            if (!nested)
                continue;
            const PageSetup &page = nested->definition().page;
            const bool ownSheet = paper && !composed && previous && !previous->samePaper(page);
            addSection(*nested, nested->definition().layout == LayoutKind::Composite, composed,
                       !previous || ownSheet ? passed : QString());
            previous = &page;
        }
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
    const double y = m_sectionTops[section] + s.headingHeight() + s.rowTop(r, row);
    return QRectF(0, y, s.width, s.rowHeight(r, row));
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
    hit.row = s.rowAt(r, local);
    const double inRow = local - s.rowTop(r, hit.row);
    for (const Item &item : s.detail.items) {
        const QRectF cell = item.rect.adjusted(0, 0, 0, s.rowHeight(r, hit.row) - s.detail.height);
        if (cell.contains(QPointF(x, inRow))) {
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

bool PageModel::measureRows(int section, int firstRow, int lastRow)
{
    if (section < 0 || section >= sectionCount() || !m_layouts[size_t(section)])
        return false;
    if (!m_layouts[size_t(section)]->measureRows(m_sections[size_t(section)], firstRow, lastRow))
        return false;
    stackSections();
    return true;
}

bool PageModel::measureMore(int rows)
{
    for (size_t i = 0; i < m_sections.size(); ++i) {
        SectionLayout *layout = m_layouts[i].get();
        if (!layout || layout->measuredAll(m_sections[i]))
            continue;
        if (!layout->measureMore(m_sections[i], rows))
            return false;
        stackSections();
        return true;
    }
    return false;
}

bool PageModel::wrapsRows() const
{
    for (const auto &layout : m_layouts) {
        if (layout && layout->wrapsRows())
            return true;
    }
    return false;
}

void PageModel::wrapRows(int firstRow, int lastRow)
{
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (m_layouts[i])
            m_layouts[i]->wrapRows(m_sections[i], firstRow, lastRow);
    }
    stackSections();
}

bool PageModel::measuredAll() const
{
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (m_layouts[i] && !m_layouts[i]->measuredAll(m_sections[i]))
            return false;
    }
    return true;
}

std::pair<qint64, qint64> PageModel::measuredRows() const
{
    qint64 done = 0, all = 0;
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (!m_layouts[i] || m_options.purpose != Purpose::Print)
            continue;
        done += m_layouts[i]->measuredTo();
        all += m_sections[i].rowCount();
    }
    return {done, all};
}

bool PageModel::measureArea(double top, double bottom)
{
    bool changed = false;
    for (int si = 0; si < sectionCount(); ++si) {
        const Section &s = m_sections[size_t(si)];
        const double bodyTop = sectionTop(si) + s.headingHeight();
        const double from = std::max(0.0, top - bodyTop);
        const double to = std::min(s.bodyHeight, bottom - bodyTop);
        if (to <= from || s.runs.empty())
            continue;
        const Run &a = s.runs[size_t(std::max(0, s.runAt(from)))];
        const Run &b = s.runs[size_t(std::max(0, s.runAt(to)))];
        const int first = a.kind == RunKind::Detail ? s.rowAt(a, from) : a.firstRow;
        const int last = b.kind == RunKind::Detail ? s.rowAt(b, to) : b.lastRow;
        changed = measureRows(si, first, last) || changed;
    }
    return changed;
}

} // namespace wip::reports
