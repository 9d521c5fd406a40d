#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace wip::import {

// One row of a sheet below its header: its number as a spreadsheet program
// shows it (the CSV record, the workbook's row) and its cells, one per header
// column.
struct SheetRow
{
    int line = 0;
    QStringList cells;
    // The first column (1 = A) holding something without a caption above it; 0: none.
    int strayColumn = 0;
};

// The rows of a file as read: the first row that holds anything is the header
// (the columns' captions), the rows below it follow with empty rows left out.
//
//   代码 Code,名称 Name        header {"代码 Code", "名称 Name"}, headerLine 1
//   C1,First                   row 2 {"C1", "First"}
//   ,                          (empty: left out)
//   C2,Second,x                row 4 {"C2", "Second"}, strayColumn 3
struct Sheet
{
    QString format;       // what the file was read as: "CSV UTF-8", "CSV GB18030", "xlsx"
    int headerLine = 0;   // 0: the file holds no row at all
    QStringList header;
    QList<SheetRow> rows;
};

// Builds a Sheet from rows in their order, as a reader finds them: the header,
// then every row cut to the header's width.
class SheetBuilder
{
public:
    explicit SheetBuilder(QString format);

    void addRow(int line, QStringList cells);
    Sheet take();

private:
    Sheet m_sheet;
};

// "A" for column 1, "Z" for 26, "AA" for 27; the column's number from letters
// ("B" -> 2), 0 for a text that names none.
QString columnLetters(int column);
int columnNumber(QStringView letters);

} // namespace wip::import
