#pragma once

#include "import/sheet.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace wip::import {

// Reads a CSV file as spreadsheet programs save it.
//
// The encoding: UTF-8 with or without its byte-order mark; UTF-16 with its mark
// ("Unicode text"); otherwise, when the bytes are no valid UTF-8, GB18030, as a
// spreadsheet program on Chinese Windows saves "CSV". The separator is the comma,
// or the semicolon or tab when the first row has more of those than commas.
// A field in double quotes may hold separators, line breaks and doubled quotes:
//
//   代码,名称               two columns
//   "C1","Lee, ""Jo"""     C1 | Lee, "Jo"
//   C2,"two                C2 | two\nlines     (one row, number 3)
//   lines"
//
// Rows are numbered as a spreadsheet program shows them: one number a record,
// however many lines its quoted fields span.
class CsvReader
{
public:
    // The text of bytes, and the encoding it was read in; nullopt when the bytes
    // are neither UTF-8 nor GB18030.
    static std::optional<QString> decode(const QByteArray &bytes, QString *encoding);

    // The sheet of the file's bytes; nullopt with *error when they do not read
    // (an encoding none of the above, a quote never closed).
    static std::optional<Sheet> read(const QByteArray &bytes, QString *error);

private:
    static QChar separator(QStringView text);
};

} // namespace wip::import
