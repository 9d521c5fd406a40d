#include "reports/render/formgridlayout.h"

#include "reports/render/layoutconstants.h"

#include "reports/render/columnsizer.h"
#include "reports/render/sectionlayout.h"
#include "reports/render/textmetrics.h"

#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {

constexpr double kFieldChars = 10;      // a field without a width: ten characters
constexpr double kExtraChars = 30;      // the fields below the grid

using Item = PageModel::Item;
using Kind = PageModel::ItemKind;

} // namespace

FormGridLayout::FormGridLayout(PageModel::Section &s, const Definition &def, double fontSize)
    : m_s(s), m_def(def), m_form(def.form), m_font(fontSize), m_rowH(PageModel::lineHeight(fontSize) + 4)
{
    // A form without a grid shows each visible column on a line of its own.
    if (m_form.lines.isEmpty()) {
        m_form.headings = QStringList{QString(), QString()};
        for (const Column &c : def.columns) {
            if (c.visible)
                m_form.lines.push_back({c.caption.isEmpty() ? c.name : c.caption.join(QLatin1Char(' ')), {c.name}});
        }
    }
    m_cells = int(m_form.headings.size());
    for (const FormLayout::Line &line : m_form.lines)
        m_cells = std::max(m_cells, int(line.fields.size()) + 1);
    m_cells = std::max(m_cells, 2);
}

QString FormGridLayout::fieldFormat(const QString &name, Kind *kind, Align *align) const
{
    const int ci = m_def.columnIndex(name);
    if (ci >= 0) {
        *kind = Kind::Column;
        *align = m_def.columns.at(ci).align;
        return m_def.columns.at(ci).format;
    }
    *kind = Kind::Computed;
    *align = Align::Right;
    if (const ComputedField *f = m_def.computedField(name)) {
        *align = f->align;
        return f->format;
    }
    return QString();
}

// As wide as its given width, ten characters, or its widest value.
double FormGridLayout::fieldWidth(const QString &name) const
{
    const TextMetrics &regular = TextMetrics::of(m_font, false);
    const int ci = m_def.columnIndex(name);
    double w = (ci >= 0 && m_def.columns.at(ci).width > 0 ? m_def.columns.at(ci).width : kFieldChars)
        * regular.width(u"0");
    ReportColumn column;
    column.name = name;
    Kind kind;
    Align align;
    column.format = fieldFormat(name, &kind, &align);
    for (int row = 1; row <= m_s.rowCount(); ++row)
        w = std::max(w, regular.widestLine(ColumnSizer::cellText(*m_s.data, row, column)));
    return w + 2 * kPadding;
}

QString FormGridLayout::captionOf(const QString &name) const
{
    const int ci = m_def.columnIndex(name);
    return ci >= 0 && !m_def.columns.at(ci).caption.isEmpty() ? m_def.columns.at(ci).caption.join(QLatin1Char(' '))
                                                              : name;
}

void FormGridLayout::measureCells()
{
    const TextMetrics &regular = TextMetrics::of(m_font, false);
    const TextMetrics &bold = TextMetrics::of(m_font, true);
    m_widths = QVector<double>(m_cells, 0.0);
    for (int i = 0; i < m_form.headings.size(); ++i)
        m_widths[i] = bold.width(m_form.headings.at(i)) + 2 * kPadding;
    for (const FormLayout::Line &line : m_form.lines) {
        m_widths[0] = std::max(m_widths[0], regular.width(line.label) + 2 * kPadding);
        for (int i = 0; i < line.fields.size(); ++i) {
            if (!line.fields.at(i).isEmpty())
                m_widths[i + 1] = std::max(m_widths[i + 1], fieldWidth(line.fields.at(i)));
        }
    }
    m_extraWidth = kExtraChars * regular.width(u"0");
    for (const QStringList *fields : {&m_form.headFields, &m_form.extraFields}) {
        for (const QString &name : *fields) {
            m_widths[0] = std::max(m_widths[0], regular.width(captionOf(name)) + 2 * kPadding);
            m_extraWidth = std::max(m_extraWidth, fieldWidth(name));
        }
    }
    m_xs = QVector<double>(m_cells + 1, 0.0);
    for (int i = 0; i < m_cells; ++i) {
        m_widths[i] = std::ceil(std::max(m_widths[i], 4 * regular.width(u"0")));
        m_xs[i + 1] = m_xs[i] + m_widths[i];
    }
}

void FormGridLayout::label(const QString &text, int cell, double width, Align align, bool bold)
{
    Item it;
    it.kind = Kind::Label;
    it.name = text;
    it.rect = QRectF(m_xs[cell], m_y, width, m_rowH);
    it.align = align;
    it.bold = bold;
    it.framed = true;
    m_s.detail.items << it;
}

void FormGridLayout::field(const QString &name, int cell, double width)
{
    Item it;
    it.name = name;
    Align align;
    it.format = fieldFormat(name, &it.kind, &align);
    it.align = align;
    it.rect = QRectF(m_xs[cell], m_y, width, m_rowH);
    it.framed = true;
    // Protected columns (stamped dates, the key) are shown but not typed into.
    const int ci = m_def.columnIndex(name);
    it.editable = it.kind == Kind::Column && ci >= 0 && !m_def.columns.at(ci).protect;
    m_s.detail.items << it;
}

// Head and extra fields: the caption in the label cell, the field across the rest.
void FormGridLayout::captionedLines(const QStringList &fields)
{
    const double across = std::max(m_xs[m_cells] - m_xs[1], m_extraWidth);
    for (const QString &name : fields) {
        label(captionOf(name), 0, m_widths[0], Align::Left, false);
        field(name, 1, across);
        m_y += m_rowH;
    }
}

void FormGridLayout::build(const QString &criteria)
{
    measureCells();
    captionedLines(m_form.headFields);
    if (!m_form.headings.isEmpty()) {
        for (int i = 0; i < m_cells; ++i)
            label(m_form.headings.value(i), i, m_widths[i], Align::Center, true);
        m_y += m_rowH;
    }
    for (const FormLayout::Line &line : m_form.lines) {
        label(line.label, 0, m_widths[0], Align::Left, false);
        for (int i = 1; i < m_cells; ++i) {
            const QString name = line.fields.value(i - 1);
            if (name.isEmpty())
                label(QString(), i, m_widths[i], Align::Left, false);
            else
                field(name, i, m_widths[i]);
        }
        m_y += m_rowH;
    }
    const double gridWidth = m_xs[m_cells];
    captionedLines(m_form.extraFields);
    m_s.form = true;
    m_s.detail.height = m_y + m_rowH / 2;   // a little air between the rows' grids
    m_s.width = std::max({gridWidth, m_xs[1] + m_extraWidth, 120.0});

    SectionLayout::buildBands(m_s, m_def, criteria, {}, m_font);
    SectionLayout::placeBands(m_s, m_font);
    // One grid per row, the rows one run.
    if (m_s.rowCount() > 0) {
        PageModel::Run r;
        r.kind = PageModel::RunKind::Detail;
        r.firstRow = 1;
        r.lastRow = m_s.rowCount();
        r.rowHeight = m_s.detail.height;
        m_s.runs = {r};
        m_s.detailRuns = {0};
    }
    SectionLayout::placeRuns(m_s);
}

} // namespace wip::reports
