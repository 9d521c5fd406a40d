#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>

namespace wip::test {

// Reads the first worksheet of a workbook the way a spreadsheet program sees it:
// {"A1": ["s"|"n"|"b", "value"], ...}, the kind as stored (shared and inline
// strings alike are "s"). Runs python3's zipfile/XML reader; *error is set and an
// empty object returned when python3 is missing or the file is not a workbook.
QJsonObject readWorkbook(const QString &file, QString *error = nullptr);

// True when readWorkbook can work here (python3 is on the path).
bool canReadWorkbooks();

// readWorkbook for a test that reads many workbooks: one python3 kept running
// reads them one after the other, instead of one started per workbook.
class WorkbookReader
{
public:
    WorkbookReader();
    ~WorkbookReader();
    QJsonObject read(const QString &file, QString *error = nullptr);

private:
    QProcess m_process;
};

} // namespace wip::test
