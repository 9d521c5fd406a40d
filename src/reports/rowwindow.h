#pragma once

#include "reports/compileddefinition.h"
#include "reports/computedvalues.h"
#include "reports/nameindex.h"
#include "reports/reportdata.h"
#include "reports/rowtable.h"

#include <QHash>
#include <memory>

namespace wip::reports {

// A report read a run of rows at a time, seen through its current run: rows
// keep their numbers in the whole report (row 5 001 is row 1 of the second run
// of 5 000), so getrow() and every reader of ReportData see what they would see
// in the whole report, for the rows of the run. Definition and texts are those
// of the report it stands for (a DataStore set up but not retrieved).
//
// Computed fields are evaluated on the run's rows; their aggregates find their
// results in aggregateCache(), put there by Expression::Totals once every row
// went by. Without groups every range is the whole report.
class RowWindow : public ReportData
{
public:
    RowWindow(const ReportData &report, std::shared_ptr<const CompiledDefinition> compiled);

    // The run's rows, filled by the reader; then setRun() says where they stand.
    RowTable &rows() { return m_rows; }
    const RowTable &rows() const { return m_rows; }
    // rows() hold rows firstRow on of a report that has rowCount rows as far as
    // known (the rows read so far; all of them once every row went by).
    void setRun(int firstRow, int rowCount);
    int firstRow() const { return m_first; }
    int lastRow() const { return m_first + m_rows.rowCount() - 1; }

    const Definition &definition() const override { return m_report.definition(); }
    QString objectText(const QString &name) const override { return m_report.objectText(name); }
    QVariantList retrievalArguments() const override { return m_report.retrievalArguments(); }
    QString windowTitle() const override { return m_report.windowTitle(); }

    int rowCount() const override { return m_rowCount; }
    bool hasName(const QString &name) const override { return m_names.lookup(name).has_value(); }
    QVariant item(int row, const QString &name) const override;
    std::pair<int, int> groupRange(int, int) const override { return {1, m_rowCount}; }
    AggregateCache *aggregateCache() const override { return &m_aggregates; }
    const ColumnData *columnValues(const QString &name, int *offset) const override;

private:
    const ReportData &m_report;
    std::shared_ptr<const CompiledDefinition> m_compiled;
    RowTable m_rows;
    NameIndex m_names;
    int m_first = 1;
    int m_rowCount = 0;
    mutable ComputedValues m_computed;
    mutable AggregateCache m_aggregates;
};

} // namespace wip::reports
