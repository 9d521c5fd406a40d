#pragma once

#include "reports/render/pagemodel.h"

#include <QVector>

namespace wip::reports {

// Lays a form out (d_w_process_input): one row of the DataStore as a grid of
// framed cells - the headings across the top, a line per label with its fields
// under the headings, the extra fields below with their captions across the grid.
// Cells are as wide as their headings, labels and the widest value of their field
// (measured with the painting font); fields of columns are editable.
//
//          | 接收 | 转出 | 在做
//   唧蜡   |  10  |   4  |   6      <- wax_in, wax_out, c_wax
//   Remark | 加急 .................
class FormGridLayout
{
public:
    FormGridLayout(PageModel::Section &s, const Definition &def, double fontSize);
    // Builds the section's detail band, its other bands and its one run of rows.
    void build(const QString &criteria);

private:
    QString fieldFormat(const QString &name, PageModel::ItemKind *kind, Align *align) const;
    double fieldWidth(const QString &name) const;
    QString captionOf(const QString &name) const;
    void measureCells();
    void label(const QString &text, int cell, double width, Align align, bool bold);
    void field(const QString &name, int cell, double width);
    void captionedLines(const QStringList &fields);

    PageModel::Section &m_s;
    const Definition &m_def;
    FormLayout m_form;
    double m_font;
    double m_rowH;
    int m_cells = 2;
    QVector<double> m_widths;   // per cell of the grid: the label cell, then one per heading
    QVector<double> m_xs;       // left edges, and the right edge of the grid last
    double m_extraWidth = 0;    // the fields below the grid
    double m_y = 0;
};

} // namespace wip::reports
