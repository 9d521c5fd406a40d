#include "import/columnmatch.h"

#include <QRegularExpression>

namespace wip::import {

namespace {

QString normalized(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.trimmed().replace(blanks, QStringLiteral(" ")).toCaseFolded();
}

QStringList captionList(const QList<ImportColumn> &columns)
{
    QStringList list;
    for (const ImportColumn &c : columns)
        list << c.caption;
    return list;
}

} // namespace

int ColumnMatch::find(const QList<ImportColumn> &columns, const QString &header)
{
    const QString wanted = normalized(header);
    if (wanted.isEmpty())
        return -1;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString caption = normalized(columns.at(i).caption);
        const qsizetype space = caption.indexOf(QLatin1Char(' '));
        if (wanted == caption || wanted == normalized(columns.at(i).name)
            || (space > 0 && (wanted == caption.left(space) || wanted == caption.mid(space + 1))))
            return int(i);
    }
    return -1;
}

ImportTable ColumnMatch::match(const QList<ImportColumn> &columns, const Sheet &sheet, QList<ImportProblem> *problems)
{
    ImportTable table;
    table.columns = columns;
    table.present = QList<bool>(columns.size(), false);
    if (sheet.headerLine == 0) {
        problems->append({0, QString(), QStringLiteral("文件是空的, 第一行应是列名 (the file holds no rows)")});
        return table;
    }
    // A first row that names none of the columns is no header at all (a title
    // above it, another kind's file): said once, rather than cell by cell.
    bool named = false;
    for (const QString &header : sheet.header)
        named = named || find(columns, header) >= 0;
    if (!named) {
        problems->append({sheet.headerLine, QString(),
                          QStringLiteral("第一行要是列名 (the first row holds the captions): %1; 导出的文件和模板的第一行就是")
                              .arg(captionList(columns).join(QStringLiteral(", ")))});
        return table;
    }
    QList<int> source(columns.size(), -1);   // the sheet's column of each of ours
    for (qsizetype c = 0; c < sheet.header.size(); ++c) {
        const QString header = sheet.header.at(c).trimmed();
        if (header.isEmpty())
            continue;
        const int i = find(columns, header);
        if (i < 0) {
            problems->append({sheet.headerLine, header,
                              QStringLiteral("没有这一列 (no such column); 列名是 %1")
                                  .arg(captionList(columns).join(QStringLiteral(", ")))});
        } else if (source.at(i) >= 0) {
            problems->append({sheet.headerLine, header,
                              QStringLiteral("与 %1 列重复 (the column is given twice)").arg(columnLetters(source.at(i) + 1))});
        } else {
            source[i] = int(c);
            table.present[i] = true;
        }
    }
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).required && !table.present.at(i))
            problems->append({sheet.headerLine, columns.at(i).caption, QStringLiteral("文件没有这一列 (the file lacks it)")});
    }
    table.rows.reserve(sheet.rows.size());
    for (const SheetRow &row : sheet.rows) {
        if (row.strayColumn > 0)
            problems->append({row.line, QStringLiteral("%1 列").arg(columnLetters(row.strayColumn)),
                              QStringLiteral("有内容, 但上面没有列名 (a cell outside the named columns)")});
        ImportRow r;
        r.line = row.line;
        r.values.reserve(columns.size());
        for (qsizetype i = 0; i < columns.size(); ++i)
            r.values.append(source.at(i) < 0 ? QString() : row.cells.value(source.at(i), QStringLiteral("")));
        table.rows.append(std::move(r));
    }
    return table;
}

} // namespace wip::import
