#include "reports/rowwindow.h"

namespace wip::reports {

RowWindow::RowWindow(const ReportData &report, std::shared_ptr<const CompiledDefinition> compiled)
    : m_report(report)
    , m_compiled(std::move(compiled))
{
    const Definition &def = report.definition();
    m_rows.reset(def.columns);
    for (int i = 0; i < def.columns.size(); ++i)
        m_names.insert(def.columns.at(i).name, i);
    for (int i = 0; i < m_compiled->fields.size(); ++i)
        m_names.insert(m_compiled->fields.at(i).name, -(i + 1));
}

void RowWindow::setRun(int firstRow, int rowCount)
{
    m_first = firstRow;
    m_rowCount = rowCount;
    m_computed.clear();
}

const ColumnData *RowWindow::columnValues(const QString &name, int *offset) const
{
    const auto index = m_names.lookup(name);
    if (!index || *index < 0)
        return nullptr;   // a computed field
    *offset = m_first;
    return &m_rows.column(*index);
}

QVariant RowWindow::item(int row, const QString &name) const
{
    const auto index = m_names.lookup(name);
    if (!index || row < m_first || row > lastRow())
        return {};
    if (*index >= 0)
        return m_rows.value(row - m_first, *index);
    return m_computed.value(*m_compiled, -*index - 1, row, *this, m_rows.rowCount(), m_first);
}

} // namespace wip::reports
