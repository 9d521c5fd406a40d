#pragma once

#include "reports/reportdata.h"

#include <QString>

namespace wip::reports {

class PageModel;

// Writes a whole report to a PDF file: its pages on the paper of the definition's
// page setup (A4 unless it names another, landscape when it says so), with the
// header and captions repeated on every page and the footer's page numbers.
// Returns false and sets *error when the file cannot be written.
bool writePdf(const ReportData &data, const QString &fileName, QString *error = nullptr);
bool writePdf(const PageModel &model, const PageSetup &setup, const QString &fileName,
              QString *error = nullptr);

} // namespace wip::reports
