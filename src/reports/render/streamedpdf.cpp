#include "reports/render/streamedpdf.h"

#include "reports/datastore.h"
#include "reports/render/columnsizer.h"
#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/pdfexport.h"
#include "reports/render/pdfpages.h"
#include "reports/reportcolumns.h"
#include "reports/reportruns.h"
#include "reports/retrievalarguments.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"

#include <QFileInfo>

#include <functional>
#include <memory>
#include <optional>

namespace wip::reports {

namespace {

// The rows of a report read a run at a time, as its page model reads them:
// the run just read, the rows kept from the runs before for a page that began
// there, and row 1 and the last row from the reading that counted the rows
// (the heading of a page without rows, the summary). Every window it reads
// knows the totals of the whole report.
class PdfRunRows : public ReportData
{
public:
    PdfRunRows(const DataStore &store, std::shared_ptr<const CompiledDefinition> compiled)
        : m_store(store), m_compiled(std::move(compiled))
    {
    }

    // Row 1 and the last row, with every total, once every row went by.
    void setEnds(const RowWindow &first, const RowWindow &last, int rowCount)
    {
        m_first = &first;
        m_last = &last;
        m_rowCount = rowCount;
        m_kept.reset();
    }
    // A window of the next reading starts with every total.
    void prepare(RowWindow &run) const { *run.aggregateCache() = *m_first->aggregateCache(); }
    void setRun(const RowWindow *run) { m_run = run; }
    void dropKept() { m_kept.reset(); }
    // Keeps rows [from, last row of the run] (those a page not painted yet reads)
    // for the next run: from the rows kept before and the run's.
    void keepFrom(int from)
    {
        const int to = m_run->lastRow();
        if (from > to) {
            m_kept.reset();
            return;
        }
        auto kept = std::make_unique<RowWindow>(m_store, m_compiled);
        prepare(*kept);
        RowTable &rows = kept->rows();
        rows.reset(m_store.definition().columns);
        for (const RowWindow *source : {static_cast<const RowWindow *>(m_kept.get()), m_run}) {
            if (!source)
                continue;
            const int a = std::max(from, source->firstRow());
            const int b = source == m_run ? to : std::min(source->lastRow(), m_run->firstRow() - 1);
            const RowTable &sourceRows = source->rows();
            for (int c = 0; c < rows.columnCount(); ++c) {
                for (int r = a; r <= b; ++r)
                    rows.column(c).append(sourceRows.value(r - source->firstRow(), c));
            }
        }
        rows.adoptFilledRows();
        kept->setRun(from, m_rowCount);
        m_kept = std::move(kept);
    }

    const Definition &definition() const override { return m_store.definition(); }
    QString objectText(const QString &name) const override { return m_store.objectText(name); }
    QVariantList retrievalArguments() const override { return m_store.retrievalArguments(); }
    QString windowTitle() const override { return m_store.windowTitle(); }
    int rowCount() const override { return m_rowCount; }
    bool hasName(const QString &name) const override { return m_first && m_first->hasName(name); }
    std::pair<int, int> groupRange(int, int) const override { return {1, m_rowCount}; }
    AggregateCache *aggregateCache() const override { return m_first ? m_first->aggregateCache() : nullptr; }

    QVariant item(int row, const QString &name) const override
    {
        for (const RowWindow *w : {m_run, static_cast<const RowWindow *>(m_kept.get())}) {
            if (w && row >= w->firstRow() && row <= w->lastRow())
                return w->item(row, name);
        }
        if (m_first && row == 1)
            return m_first->item(row, name);
        if (m_last && row == m_last->firstRow())
            return m_last->item(row, name);
        return {};
    }

private:
    const DataStore &m_store;
    std::shared_ptr<const CompiledDefinition> m_compiled;
    const RowWindow *m_first = nullptr;
    const RowWindow *m_last = nullptr;
    const RowWindow *m_run = nullptr;
    std::unique_ptr<RowWindow> m_kept;
    int m_rowCount = 0;
};

using Outcome = StreamedExport::Outcome;
using Step = ReportRuns::Step;

Outcome outcomeOf(Step step)
{
    switch (step) {
    case Step::Done: return Outcome::Written;
    case Step::Cancelled:
    case Step::Stopped: return Outcome::Cancelled;
    default: return Outcome::NotRetrieved;
    }
}

// The passes over the rows, in the snapshot the caller opened.
class PdfPasses
{
public:
    PdfPasses(DataStore &store, const QVariantList &values, const QString &fileName, QString *error)
        : m_store(store)
        , m_values(values)
        , m_fileName(fileName)
        , m_error(error)
        , m_compiled(CompiledDefinition::of(store.definitionPtr()))
        , m_counted(store, m_compiled)
        , m_rows(store, m_compiled)
    {
    }

    // nullopt: the database sorts the rows otherwise than the report, which
    // is then to be retrieved whole.
    std::optional<Outcome> write()
    {
        OutputFile out(m_fileName);
        if (!out.open())
            return notWritten(out.message());
        // Measured as read: the widths of every value and the totals.
        ColumnSizer sizer(reportColumns(m_rows, ColumnUse::Output), PageModel::Options().fontSize);
        const Step counted = m_counted.read(m_values, StreamedExport::runSize(), [&] {
            const RowWindow &run = m_counted.run();
            sizer.measureRows(run, run.firstRow(), run.lastRow());
            return true;
        }, [](int rows) { return LongWork::progress(rows); });
        if (counted == Step::OutOfOrder)
            return std::nullopt;
        if (counted != Step::Done)
            return outcomeOf(counted);
        const int n = m_counted.rowCount();
        m_rows.setEnds(m_counted.first(), m_counted.last(), n);

        PageModel::Options options;
        options.measured = &sizer;
        PageModel model(m_rows, options);
        if (n > 0 && model.wrapsRows()) {
            const std::optional<Outcome> wrapped = read(n, [&model](const RowWindow &run) {
                model.wrapRows(run.firstRow(), run.lastRow());
            }, [n](int rows) { return LongWork::progress(rows, n); });
            if (wrapped)
                return wrapped;
        }

        const Pagination pages(model);
        PdfPages pdf(pages, &out, m_fileName);
        QString why;
        if (!pdf.begin(&why))
            return notWritten(out.failed() ? out.message() : why);
        const auto paintReady = [&](int lastRead) {
            while (pdf.painted() < pages.pageCount() && pages.rowsOf(pdf.painted()).second <= lastRead) {
                if (!LongWork::progress(pdf.painted(), pages.pageCount()))
                    return false;
                pdf.paintNext();
            }
            return true;
        };
        if (n > 0) {
            const std::optional<Outcome> painted = read(n, [&](const RowWindow &run) {
                if (paintReady(run.lastRow())) {
                    const int next = pdf.painted();
                    m_rows.keepFrom(next < pages.pageCount() ? pages.rowsOf(next).first : run.lastRow() + 1);
                }
            }, [](int) { return !LongWork::cancelled(); });
            if (painted) {
                pdf.finish(nullptr);
                return painted;
            }
        }
        // The pages left read row 1 and the last row alone (an empty report).
        if (!paintReady(std::max(1, n))) {
            pdf.finish(nullptr);
            return Outcome::Cancelled;
        }
        if (!pdf.finish(&why) || !out.commit())
            return notWritten(out.failed() ? out.message() : why);
        return Outcome::Written;
    }

private:
    // Reads the rows again, in the snapshot of the first reading; nullopt when
    // every row went by as before.
    std::optional<Outcome> read(int rowCount, const std::function<void(const RowWindow &)> &onRun,
                                const std::function<bool(int)> &progress)
    {
        ReportRuns runs(m_store, m_compiled, false);
        m_rows.prepare(runs.run());
        m_rows.setRun(&runs.run());
        const Step step = runs.read(m_values, StreamedExport::runSize(), [&] {
            onRun(runs.run());
            return !LongWork::cancelled();
        }, progress);
        m_rows.dropKept();
        m_rows.setRun(nullptr);
        if (step != Step::Done)
            return outcomeOf(step == Step::OutOfOrder ? Step::NotRetrieved : step);
        if (runs.rowCount() != rowCount) {
            // Not within a snapshot (work was open): the rows changed meanwhile.
            return notWritten(QStringLiteral("the report's rows changed while they were read (%1, then %2); "
                                             "write it again").arg(rowCount).arg(runs.rowCount()));
        }
        return std::nullopt;
    }

    Outcome notWritten(const QString &why)
    {
        if (m_error)
            *m_error = why;
        return Outcome::NotWritten;
    }

    DataStore &m_store;
    const QVariantList &m_values;
    QString m_fileName;
    QString *m_error;
    std::shared_ptr<const CompiledDefinition> m_compiled;
    ReportRuns m_counted;   // kept: its ends hold the totals, and the store shows the arguments meanwhile
    PdfRunRows m_rows;
};

} // namespace

bool StreamedPdf::streams(const Definition &definition, const CompiledDefinition &compiled)
{
    if (!ReportRuns::streams(definition, compiled))
        return false;
    for (int i = 0; i < compiled.fields.size(); ++i) {
        const Band band = compiled.fields.at(i).band;
        if ((band == Band::Header || band == Band::Footer) && compiled.expressions[size_t(i)]->hasAggregate())
            return false;
    }
    return true;
}

StreamedExport::Outcome StreamedPdf::save(DataStore &store, const QVariantList &args, const QString &fileName,
                                          QString *error)
{
    LongWork work(QStringLiteral("正在生成PDF… Writing the PDF…"));
    const std::optional<QVariantList> values = RetrievalArguments::complete(store.definition(), args);
    if (!values)
        return Outcome::NotRetrieved;
    const QString path = QFileInfo(fileName).absoluteFilePath();
    if (streams(store.definition(), *CompiledDefinition::of(store.definitionPtr()))) {
        Transaction &tr = *store.transObject();
        // One snapshot for every reading; inside open work, the work's own.
        const bool snapshot = tr.beginReading();
        std::optional<Outcome> outcome = PdfPasses(store, *values, path, error).write();
        if (snapshot)
            tr.rollback();
        if (outcome)
            return *outcome;
        Trace::write(QStringLiteral("%1: the database sorts its rows otherwise than the report; "
                                    "retrieved whole to be written").arg(store.definition().name));
    }
    if (store.Retrieve(*values) < 0)
        return Outcome::NotRetrieved;
    const bool written = writePdf(store, path, error);
    store.Reset();
    if (written)
        return Outcome::Written;
    return LongWork::cancelled() ? Outcome::Cancelled : Outcome::NotWritten;
}

} // namespace wip::reports
