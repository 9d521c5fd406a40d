#include "runtime/olecell.h"

#include "runtime/oleworksheet.h"

namespace wip {

void OleCell::setValue(const QVariant &value)
{
    m_sheet->setCell(m_row, m_column, value);
}

QVariant OleCell::value() const
{
    return m_sheet->cell(m_row, m_column);
}

} // namespace wip
