#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace wip::import {

// One column of a kind's files: the field it fills and the caption that heads
// it, the same in what export writes and what import reads.
struct ImportColumn
{
    QString name;            // the field: "mcode"
    QString caption;         // the header: "成色代码 Metal"
    bool required = false;   // a file without this column is refused (the code)
    int places = -1;         // a decimal: a number cell in a workbook with this many places
                             // shown (-1: as many as it has); text columns: kText
    bool exported = true;    // false: read when a file has it, never written (a picture file on this computer)

    static constexpr int kText = -2;
};

// One row of a file with its cells put in the kind's column order.
struct ImportRow
{
    int line = 0;            // the row's number in the file
    QStringList values;      // one per column of the kind; a column the file lacks: a null text
};

// The rows of a file matched to a kind's columns (ColumnMatch).
struct ImportTable
{
    QList<ImportColumn> columns;
    QList<bool> present;     // whether the file has each column
    QList<ImportRow> rows;
    QString folder;          // the file's folder: relative file names in cells are taken from there

    int index(const QString &name) const
    {
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (columns.at(i).name == name)
                return int(i);
        }
        return -1;
    }
    bool has(const QString &name) const
    {
        const int i = index(name);
        return i >= 0 && present.value(i);
    }
    QString value(const ImportRow &row, const QString &name) const { return row.values.value(index(name)); }
    QString caption(const QString &name) const
    {
        const int i = index(name);
        return i < 0 ? name : columns.at(i).caption;
    }
};

} // namespace wip::import
