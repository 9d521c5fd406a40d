#pragma once

#include "reports/compileddefinition.h"
#include "reports/expression.h"
#include "reports/rowwindow.h"

#include <QVariantList>

#include <functional>
#include <memory>

namespace wip::reports {

class DataStore;
struct Definition;

// A tabular report's rows read from the database a run at a time, in the
// report's order (SortedRows), and not kept: each run is seen through run(), a
// RowWindow in which rows keep their numbers in the whole report. The
// aggregates of the computed fields are gathered as the runs go by
// (Expression::Totals); once every row was read, first() holds row 1 and last()
// the last row, both with every aggregate, for what a file gives before or
// after the rows (a JSON object's computed fields, a workbook's summary).
//
// Meanwhile the store shows the arguments it is read with (its headings and
// criteria follow them as after a retrieval); they are put back afterwards.
class ReportRuns
{
public:
    enum class Step {
        Done,
        NotRetrieved,  // a database error (the transaction and the trace say which)
        OutOfOrder,    // the database sorts the rows otherwise than the report: retrieve it whole
        Stopped,       // onRun said stop (the file could not be written)
        Cancelled,     // progress said stop
    };

    // Whether the definition's rows can be read so: a tabular report without
    // groups or a crosstab, whose detail fields read their own row and whose
    // other fields' aggregates Expression::Totals can gather.
    static bool streams(const Definition &definition, const CompiledDefinition &compiled);
    // The same with the definition compiled here; false when it does not compile.
    static bool streams(const Definition &definition);

    // Without totals the aggregates are not gathered (a CSV file shows none).
    ReportRuns(DataStore &store, std::shared_ptr<const CompiledDefinition> compiled, bool totals = true);
    ~ReportRuns();
    ReportRuns(const ReportRuns &) = delete;
    ReportRuns &operator=(const ReportRuns &) = delete;

    RowWindow &run() { return m_window; }
    const RowWindow &first() const { return m_first; }
    const RowWindow &last() const { return m_last; }
    int rowCount() const { return m_rowCount; }

    // Reads the report with the complete argument values (RetrievalArguments::complete), runSize rows
    // at a time, calling onRun after each run is in run(); progress gets the
    // rows read so far.
    Step read(const QVariantList &values, int runSize, const std::function<bool()> &onRun,
              const std::function<bool(int rowsRead)> &progress);

private:
    DataStore &m_store;
    std::shared_ptr<const CompiledDefinition> m_compiled;
    bool m_totals;
    QVariantList m_shownBefore;
    RowWindow m_window, m_first, m_last;
    int m_rowCount = 0;
};

} // namespace wip::reports
