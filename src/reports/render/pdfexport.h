#pragma once

#include "reports/reportdata.h"

#include <QString>

namespace wip::reports {

class PageModel;

// Writes a whole report to a PDF file: each report on the paper of its definition
// (A4 unless it names another, landscape when it says so; the parts of a composite
// each on theirs), with the header and captions repeated on every page and the
// footer's page numbers. The file is written whole or not at all (OutputFile):
// false, with *error saying why (a full disk, a folder that may not be written
// to), leaves a file that was there as it was.
bool writePdf(const ReportData &data, const QString &fileName, QString *error = nullptr);
bool writePdf(const PageModel &model, const QString &fileName, QString *error = nullptr);

} // namespace wip::reports
