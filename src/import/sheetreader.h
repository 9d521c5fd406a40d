#pragma once

#include "import/sheet.h"

#include <QString>

#include <optional>

namespace wip::import {

// Reads a file of rows, whichever kind it is: a workbook (.xlsx, known by its
// zip signature whatever its name) through XlsxReader, anything else as CSV
// through CsvReader. An old binary workbook (.xls) is refused with a word on how
// to save it.
class SheetReader
{
public:
    static constexpr qint64 kMaxCsvBytes = 256LL * 1024 * 1024;

    // nullopt with *error naming the file and why it does not read.
    static std::optional<Sheet> read(const QString &path, QString *error);
};

} // namespace wip::import
