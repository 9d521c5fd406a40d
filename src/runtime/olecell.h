#pragma once

#include <QVariant>

namespace wip {

class OleWorksheet;

// A cell reference returned by OleWorksheet::cells(row, column): the target of
// `cells(row, column).value = content`. Valid while its worksheet is.
class OleCell
{
public:
    OleCell(OleWorksheet &sheet, int row, int column)
        : m_sheet(&sheet), m_row(row), m_column(column) {}

    // Stores the value: numbers stay numbers, texts texts, dates dates; null clears.
    void setValue(const QVariant &value);
    QVariant value() const;

    int row() const { return m_row; }
    int column() const { return m_column; }

private:
    OleWorksheet *m_sheet;
    int m_row;
    int m_column;
};

} // namespace wip
