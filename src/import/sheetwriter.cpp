#include "import/sheetwriter.h"

#include "runtime/outputfile.h"

#include <QFile>
#include <QFileInfo>
#include <xlsxwriter.h>

#include <algorithm>

namespace wip::import {

namespace {

constexpr int kMaxColumnChars = 40;

QString csvField(const QString &text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char(';'))
        || text.contains(QLatin1Char('\t')) || text != text.trimmed();
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// How wide a text is in a spreadsheet's character units: Chinese counts double.
int displayChars(const QString &text)
{
    int n = 0;
    for (const QChar c : text)
        n += c.unicode() >= 0x2E80 ? 2 : 1;
    return n;
}

QByteArray numberFormat(int places)
{
    if (places <= 0)
        return places == 0 ? QByteArrayLiteral("0") : QByteArrayLiteral("General");
    return QByteArrayLiteral("0.") + QByteArray(places, '0');
}

bool writeBook(const QString &file, const QList<ImportColumn> &columns, const QList<QStringList> &rows, QString *why)
{
    const QByteArray path = QFile::encodeName(file);
    QByteArray scratch = QFile::encodeName(QFileInfo(file).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;   // rows go to the file as they are written
    options.tmpdir = scratch.data();
    lxw_workbook *book = workbook_new_opt(path.constData(), &options);
    if (!book) {
        *why = QStringLiteral("the workbook could not be created");
        return false;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    QList<lxw_format *> numberFormats;
    QList<int> widths;
    for (const ImportColumn &c : columns) {
        lxw_format *f = nullptr;
        if (c.places != ImportColumn::kText) {
            f = workbook_add_format(book);
            format_set_num_format(f, numberFormat(c.places).constData());
        }
        numberFormats << f;
        widths << displayChars(c.caption);
    }
    for (const QStringList &row : rows) {
        for (qsizetype c = 0; c < columns.size(); ++c)
            widths[c] = std::max(widths[c], displayChars(row.value(c)));
    }
    for (qsizetype c = 0; c < columns.size(); ++c)
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), std::min(widths[c], kMaxColumnChars) + 2, nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    for (qsizetype c = 0; c < columns.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), columns[c].caption.toUtf8().constData(), bold);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const lxw_row_t at = lxw_row_t(r + 1);
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QString text = rows[r].value(c);
            if (text.isEmpty())
                continue;
            bool number = false;
            const double d = numberFormats[c] ? text.toDouble(&number) : 0.0;
            if (number)
                worksheet_write_number(sheet, at, lxw_col_t(c), d, numberFormats[c]);
            else
                worksheet_write_string(sheet, at, lxw_col_t(c), text.toUtf8().constData(), nullptr);
        }
    }
    const lxw_error result = workbook_close(book);
    if (result != LXW_NO_ERROR) {
        *why = QString::fromUtf8(lxw_strerror(result));
        return false;
    }
    return true;
}

} // namespace

QByteArray SheetWriter::csv(const QList<ImportColumn> &columns, const QList<QStringList> &rows)
{
    QString text;
    QStringList cells;
    for (const ImportColumn &c : columns)
        cells << csvField(c.caption);
    text += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const QStringList &row : rows) {
        cells.clear();
        for (qsizetype c = 0; c < columns.size(); ++c)
            cells << csvField(row.value(c));
        text += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

bool SheetWriter::write(const QString &path, const QList<ImportColumn> &columns, const QList<QStringList> &rows,
                        QString *error)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return writeXlsx(path, columns, rows, error);
    if (suffix != QLatin1String("csv")) {
        *error = QStringLiteral("%1: 文件名要以 .csv 或 .xlsx 结尾 (name the file .csv or .xlsx)").arg(path);
        return false;
    }
    return OutputFile::save(QFileInfo(path).absoluteFilePath(), csv(columns, rows), error);
}

bool SheetWriter::writeXlsx(const QString &path, const QList<ImportColumn> &columns, const QList<QStringList> &rows,
                            QString *error)
{
    const auto writer = [&](const QString &file, QString *why) { return writeBook(file, columns, rows, why); };
    return OutputFile::saveByName(QFileInfo(path).absoluteFilePath(), writer, error);
}

} // namespace wip::import
