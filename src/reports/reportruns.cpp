#include "reports/reportruns.h"

#include "reports/datastore.h"
#include "reports/retrievalarguments.h"
#include "reports/sortedrows.h"

#include <QSet>

namespace wip::reports {

namespace {

// The computed fields whose value in a row comes from that row alone, also
// through the fields they read (lower case names).
QSet<QString> rowLocalFields(const Definition &def, const CompiledDefinition &compiled)
{
    QSet<QString> local;
    bool grew = true;
    while (grew) {
        grew = false;
        for (int i = 0; i < compiled.fields.size(); ++i) {
            const QString name = compiled.fields.at(i).name.toLower();
            if (local.contains(name) || !compiled.expressions[size_t(i)]->readsOnlyItsRow())
                continue;
            bool readsLocal = true;
            for (const QString &read : compiled.expressions[size_t(i)]->referencedNames())
                readsLocal = readsLocal && (def.columnIndex(read) >= 0 || local.contains(read));
            if (readsLocal) {
                local.insert(name);
                grew = true;
            }
        }
    }
    return local;
}

// Keeps the one row of `from` at index `at` in `into`, numbered `row`.
void keepRow(const RowTable &from, int at, RowWindow &into, int row)
{
    RowTable &kept = into.rows();
    kept.reset(from.columns());
    for (int c = 0; c < kept.columnCount(); ++c)
        kept.column(c).append(from.value(at, c));
    kept.adoptFilledRows();
    into.setRun(row, row);
}

} // namespace

bool ReportRuns::streams(const Definition &def, const CompiledDefinition &compiled)
{
    if (def.layout != LayoutKind::Tabular || def.crosstab || !def.groups.isEmpty() || def.query.isEmpty())
        return false;
    const QSet<QString> local = rowLocalFields(def, compiled);
    const auto rowLocal = [&](const QString &name) { return def.columnIndex(name) >= 0 || local.contains(name); };
    for (int i = 0; i < compiled.fields.size(); ++i) {
        const ComputedField &field = compiled.fields.at(i);
        if (field.band == Band::Detail && !local.contains(field.name.toLower()))
            return false;
        if (!Expression::Totals::accepts(*compiled.expressions[size_t(i)], rowLocal))
            return false;
    }
    return true;
}

bool ReportRuns::streams(const Definition &definition)
{
    try {
        const auto copy = std::make_shared<const Definition>(definition);
        return streams(definition, *CompiledDefinition::of(copy));
    } catch (const std::exception &) {
        return false;
    }
}

ReportRuns::ReportRuns(DataStore &store, std::shared_ptr<const CompiledDefinition> compiled, bool totals)
    : m_store(store)
    , m_compiled(std::move(compiled))
    , m_totals(totals)
    , m_shownBefore(store.retrievalArguments())
    , m_window(store, m_compiled)
    , m_first(store, m_compiled)
    , m_last(store, m_compiled)
{
}

ReportRuns::~ReportRuns()
{
    m_store.setRetrievalArguments(m_shownBefore);
}

ReportRuns::Step ReportRuns::read(const QVariantList &values, int runSize, const std::function<bool()> &onRun,
                                  const std::function<bool(int)> &progress)
{
    const Definition &def = m_store.definition();
    m_store.setRetrievalArguments(values);
    Expression::Totals totals;
    for (const auto &expression : m_compiled->expressions) {
        if (m_totals)
            totals.track(*expression);
    }
    SortedRows rows(def, *m_compiled, *m_store.transObject());
    if (!rows.open(RetrievalArguments::typed(def, values)))
        return Step::NotRetrieved;
    int next = 1;
    for (;;) {
        const int n = rows.read(m_window.rows(), runSize);
        if (n == SortedRows::kOutOfOrder)
            return Step::OutOfOrder;
        if (n < 0)
            return Step::NotRetrieved;
        if (n == 0)
            break;
        m_window.setRun(next, next + n - 1);
        if (next == 1) {
            keepRow(m_window.rows(), 0, m_first, 1);
            m_first.setRun(1, n);
        }
        totals.add(m_window, next, next + n - 1);
        if (!onRun())
            return Step::Stopped;
        keepRow(m_window.rows(), n - 1, m_last, next + n - 1);
        next += n;
        if (progress && !progress(next - 1))
            return Step::Cancelled;
    }
    rows.close();
    m_rowCount = next - 1;
    m_first.setRun(1, m_rowCount);
    m_last.setRun(std::max(1, m_rowCount), m_rowCount);
    totals.put(m_first.aggregateCache(), m_rowCount);
    totals.put(m_last.aggregateCache(), m_rowCount);
    return Step::Done;
}

} // namespace wip::reports
