#pragma once

#include "import/importcolumn.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace wip::import {

// Writes rows under their columns' captions into the file a name ends in:
// ".csv" as UTF-8 with its byte-order mark (so that spreadsheet programs on
// Chinese Windows read it as such) and CRLF line ends, or ".xlsx", a workbook
// with one sheet: the captions in bold in a frozen first row, texts as text
// cells (a code "0012" stays 0012) and decimal columns as number cells shown
// with their places. What it writes, CsvReader and XlsxReader read back as the
// same texts. The file is written whole or not at all (OutputFile).
class SheetWriter
{
public:
    static bool write(const QString &path, const QList<ImportColumn> &columns, const QList<QStringList> &rows,
                      QString *error);
    // The bytes of the CSV file.
    static QByteArray csv(const QList<ImportColumn> &columns, const QList<QStringList> &rows);

private:
    static bool writeXlsx(const QString &path, const QList<ImportColumn> &columns, const QList<QStringList> &rows,
                          QString *error);
};

} // namespace wip::import
