#include "reports/sortedrows.h"

#include "reports/rowsource.h"
#include "runtime/transaction.h"

namespace wip::reports {

namespace {

const QString kSequence = QStringLiteral("wip_sequence");

} // namespace

SortedRows::SortedRows(const Definition &definition, const CompiledDefinition &compiled, Transaction &transaction)
    : m_definition(definition)
    , m_retrieval(definition, compiled, transaction)
    , m_tr(transaction)
    , m_keys(Retrieval::sortKeys(definition))
{
}

SortedRows::~SortedRows() = default;

bool SortedRows::open(const QVariantList &typedValues)
{
    const bool postgres = m_tr.isConnected() && m_tr.kind() == DbKind::PostgreSQL;
    QStringList order;
    for (const auto &[column, descending] : m_keys) {
        const Column &c = m_definition.columns.at(column);
        QString key = QStringLiteral("wip_sorted.") + c.name;
        if (c.type == ValueType::String)
            key = postgres ? QStringLiteral("cast(%1 as text) collate \"C\"").arg(key) : key + QLatin1String(" collate binary");
        key += descending ? QLatin1String(" desc nulls last") : QLatin1String(" nulls first");
        order << key;
    }
    // PostgreSQL sorts ties in any order: they are put in the query's by its
    // row numbers. SQLite's sorter keeps them as they come, and numbering the
    // rows would make it copy them all once more first.
    if (postgres)
        order << kSequence;
    const auto wrap = [&](const QString &sql) {
        return postgres ? QStringLiteral("select wip_sorted.*, row_number() over () as %1 from (%2) wip_sorted order by %3")
                              .arg(kSequence, sql, order.join(QLatin1String(", ")))
                        : QStringLiteral("select * from (%1) wip_sorted order by %2").arg(sql, order.join(QLatin1String(", ")));
    };
    RowTable unused;
    // Without sort keys the report keeps the query's order: nothing to wrap.
    m_source = m_retrieval.open(typedValues, m_keys.isEmpty() ? std::function<QString(const QString &)>() : wrap,
                                &m_savepoint, unused);
    if (!m_source)
        return false;
    m_from = m_retrieval.sourceColumns(*m_source, m_savepoint);
    m_sequenceColumn = m_source->columnIndex(kSequence);
    QVector<Column> keyColumns;
    for (const auto &key : m_keys)
        keyColumns.append(m_definition.columns.at(key.first));
    m_last.reset(keyColumns);
    m_lastSequence = -1;
    m_total = 0;
    m_atEnd = false;
    return true;
}

int SortedRows::compareKeys(const RowTable &rows, int row, const RowTable &before, int beforeRow) const
{
    // before is the run itself, or m_last, which holds the key columns alone.
    const bool last = &before == &m_last;
    for (int k = 0; k < m_keys.size(); ++k) {
        const auto &[column, descending] = m_keys.at(k);
        const int c = rows.column(column).compare(row, before.column(last ? k : column), beforeRow);
        if (c != 0)
            return descending ? -c : c;
    }
    return 0;
}

int SortedRows::read(RowTable &rows, int count)
{
    rows.reset(m_definition.columns);
    if (!m_source)
        return -1;
    if (m_atEnd)   // a statement asked again after its end would start over
        return 0;
    const int columnCount = int(m_from.size());
    int n = 0;
    for (; n < count && !(m_atEnd = !m_source->next()); ++n) {
        for (int c = 0; c < columnCount; ++c)
            rows.column(c).appendFrom(*m_source, m_from[c]);
        if (!m_keys.isEmpty() && !inOrder(rows, n)) {
            m_source.reset();
            m_retrieval.release(m_savepoint);
            rows.clear();
            return kOutOfOrder;
        }
    }
    if (n < count) {
        const QString error = m_source->error();
        if (!error.isEmpty()) {
            m_source.reset();
            return m_retrieval.fail(error, m_savepoint, rows);
        }
    }
    rows.adoptFilledRows();
    if (n > 0 && !m_keys.isEmpty()) {
        m_last.clear();
        for (int k = 0; k < m_keys.size(); ++k)
            m_last.column(k).append(rows.value(n - 1, m_keys.at(k).first));
        m_last.adoptFilledRows();
    }
    m_total += n;
    return n;
}

bool SortedRows::inOrder(const RowTable &rows, int row)
{
    // The row must come after the one before it, as a stable sort puts it:
    // after it by the keys, or equal and later in the query's order.
    const qint64 sequence = m_sequenceColumn >= 0 ? m_source->decimal(m_sequenceColumn).units() : 0;
    if (m_total + row > 0) {
        const int order = row == 0 ? compareKeys(rows, 0, m_last, 0) : compareKeys(rows, row, rows, row - 1);
        if (order < 0 || (order == 0 && sequence < m_lastSequence))
            return false;
    }
    m_lastSequence = sequence;
    return true;
}

void SortedRows::close()
{
    if (!m_source)
        return;
    m_source.reset();
    m_retrieval.release(m_savepoint);
    m_tr.statementDone(m_total);
}

} // namespace wip::reports
