#pragma once

#include "reports/reportdata.h"

#include <QString>

namespace wip::reports {

// Writes a report's rows to a spreadsheet workbook: one worksheet per report (a
// composite gives one per nested report), the column captions in the first row,
// then one line per row with numbers as numbers and dates as dates. The file is
// written whole or not at all (OutputFile): false, with *error saying why, leaves
// a file that was there as it was.
bool writeXlsx(const ReportData &data, const QString &fileName, QString *error = nullptr);

} // namespace wip::reports
