#pragma once

#include "reports/streamedexport.h"

#include <QString>
#include <QVariantList>

namespace wip::reports {

class DataStore;
struct CompiledDefinition;
struct Definition;

// A report's PDF written from its rows read a run at a time and not kept, so
// that a month of a big factory's work (fifteen thousand pages) takes the
// memory of a run of rows and the layout's sums, not of the whole report. The
// rows are read in one snapshot of the database: once to measure every value
// and gather the totals, so that the columns are fitted and the pages counted
// before page 1 ("Page 1 of 15450"); once more to wrap long texts when a
// column's do; once to paint the pages, each as soon as its rows are read. The
// pages are those writePdf gives for the report retrieved whole.
//
// Read so: a tabular report that ReportRuns reads in runs and whose heading
// and footer sum nothing (they are evaluated on every page). Other reports,
// and one whose rows the database sorts otherwise than the report, are
// retrieved whole as before.
class StreamedPdf
{
public:
    static bool streams(const Definition &definition, const CompiledDefinition &compiled);

    // Store's report (its definition, texts and transaction set, not retrieved)
    // retrieved with args, written to fileName whole or not at all (OutputFile).
    // Cancelled (LongWork), no file is written.
    static StreamedExport::Outcome save(DataStore &store, const QVariantList &args, const QString &fileName,
                                        QString *error = nullptr);
};

} // namespace wip::reports
