#include "import/sheet.h"

#include <utility>

namespace wip::import {

namespace {

bool blank(const QString &cell)
{
    return cell.trimmed().isEmpty();
}

} // namespace

SheetBuilder::SheetBuilder(QString format)
{
    m_sheet.format = std::move(format);
}

void SheetBuilder::addRow(int line, QStringList cells)
{
    qsizetype used = cells.size();
    while (used > 0 && blank(cells.at(used - 1)))
        --used;
    if (used == 0)
        return;
    cells.resize(used);
    if (m_sheet.headerLine == 0) {
        m_sheet.headerLine = line;
        m_sheet.header = cells;
        return;
    }
    SheetRow row;
    row.line = line;
    const qsizetype width = m_sheet.header.size();
    for (qsizetype c = 0; c < used && row.strayColumn == 0; ++c) {
        if (!blank(cells.at(c)) && (c >= width || blank(m_sheet.header.at(c))))
            row.strayColumn = int(c) + 1;
    }
    cells.resize(width);
    row.cells = std::move(cells);
    m_sheet.rows.append(std::move(row));
}

Sheet SheetBuilder::take()
{
    Sheet next;
    next.format = m_sheet.format;
    return std::exchange(m_sheet, std::move(next));
}

QString columnLetters(int column)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

int columnNumber(QStringView letters)
{
    int n = 0;
    for (const QChar c : letters) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z' || n > 1000000)
            return 0;
        n = n * 26 + (u - u'A' + 1);
    }
    return n;
}

} // namespace wip::import
