#pragma once

#include "reports/reportdata.h"
#include "reports/streamedexport.h"

#include <QString>

namespace wip::reports {

// Writes a report's rows to a spreadsheet workbook: one worksheet per report (a
// composite gives one per nested report), the column captions in the first row,
// then one line per row with numbers as numbers and dates as dates. The file is
// written whole or not at all (OutputFile): false, with *error saying why, leaves
// a file that was there as it was.
bool writeXlsx(const ReportData &data, const QString &fileName, QString *error = nullptr);

class DataStore;

// The same workbook for store's report (definition, texts and transaction
// set, not retrieved) retrieved with args, written as its rows are read where
// the report allows (StreamedExport::streams, and a heading that reads only
// the first row), so that a month of a big factory's work takes the memory of
// a run of rows; other reports, and nested reports of a composite that are
// not read so, are retrieved whole. Cancelled (LongWork), the file is not written.
StreamedExport::Outcome writeXlsx(DataStore &store, const QVariantList &args, const QString &fileName,
                                  QString *error = nullptr);

} // namespace wip::reports
