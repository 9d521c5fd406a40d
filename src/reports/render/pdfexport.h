#pragma once

#include "reports/reportdata.h"

#include <QString>

namespace wip::reports {

class PageModel;

// Writes a whole report to a PDF file: each report on the paper of its definition
// (A4 unless it names another, landscape when it says so; the parts of a composite
// each on theirs), with the header and captions repeated on every page and the
// footer's page numbers. Returns false and sets *error when the file cannot be
// written.
bool writePdf(const ReportData &data, const QString &fileName, QString *error = nullptr);
bool writePdf(const PageModel &model, const QString &fileName, QString *error = nullptr);

} // namespace wip::reports
