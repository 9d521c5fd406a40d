#include "reports/retrieval.h"

#include "reports/crosstabpivot.h"
#include "reports/retrievalarguments.h"
#include "reports/rowsource.h"
#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"

namespace wip::reports {

namespace {

const QString kSavepoint = QStringLiteral("wip_retrieve");

} // namespace

Retrieval::Retrieval(const Definition &definition, const CompiledDefinition &compiled, Transaction &transaction)
    : m_definition(definition)
    , m_compiled(compiled)
    , m_tr(transaction)
{
}

int Retrieval::run(const QVariantList &typedValues, RowTable &rows)
{
    const Definition &def = m_definition;
    rows.reset(def.columns);
    if (!m_tr.isConnected())
        return fail(QStringLiteral("transaction not connected"), false, rows);

    const DbKind kind = m_tr.kind();
    const QueryTemplate::Bound statement = m_compiled.query.bind([&](const QString &name, QueryTemplate::DayBound bound) {
        const int index = def.argumentIndex(name);
        if (index < 0 || index >= typedValues.size())
            return QVariant();
        return RetrievalArguments::bindable(def.arguments.at(index), typedValues.at(index), bound, kind);
    });

    // A failed statement would spoil the caller's open PostgreSQL transaction.
    const bool savepoint = kind == DbKind::PostgreSQL && m_tr.hasOpenWork() && m_tr.savepoint(kSavepoint);
    QString error;
    std::unique_ptr<RowSource> source = RowSource::open(m_tr, statement.sql, statement.values, &error);
    if (!source)
        return fail(error, savepoint, rows);

    // The one row loop: each definition column from the query column of its name.
    const QVector<int> from = sourceColumns(*source, savepoint);
    const int columnCount = int(from.size());
    while (source->next()) {
        for (int c = 0; c < columnCount; ++c)
            rows.column(c).appendFrom(*source, from[c]);
    }
    error = source->error();
    source.reset();
    if (!error.isEmpty())
        return fail(error, savepoint, rows);
    if (savepoint)
        m_tr.releaseSavepoint(kSavepoint);
    rows.adoptFilledRows();
    m_tr.statementDone(rows.rowCount());

    sort(rows);
    if (def.crosstab)
        pivot(rows);
    return rows.rowCount();
}

int Retrieval::fail(const QString &text, bool savepoint, RowTable &rows)
{
    if (savepoint && m_tr.rollbackToSavepoint(kSavepoint))
        m_tr.releaseSavepoint(kSavepoint);
    m_tr.statementFailed(text);
    Trace::write(QStringLiteral("Retrieve %1: database error: %2").arg(m_definition.name, text));
    rows.clear();
    return -1;
}

QVector<int> Retrieval::sourceColumns(RowSource &source, bool savepoint)
{
    QVector<int> from;
    for (const Column &column : m_definition.columns) {
        const int index = source.columnIndex(column.name);
        if (index < 0) {
            const QStringList returned = source.columnNames();
            if (savepoint)
                m_tr.releaseSavepoint(kSavepoint);
            throw HostError(ErrUnknownColumn,
                            QStringLiteral("%1: the query returns no column %2 (it returns %3)")
                                .arg(m_definition.sourceFile.isEmpty() ? m_definition.name : m_definition.sourceFile,
                                     column.name, returned.join(QLatin1String(", "))));
        }
        from.append(index);
    }
    return from;
}

void Retrieval::sort(RowTable &rows) const
{
    QVector<std::pair<int, bool>> keys;   // column, descending
    for (const QString &s : m_definition.sort) {
        const QStringList parts = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const int column = parts.isEmpty() ? -1 : m_definition.columnIndex(parts.at(0));
        if (column >= 0)
            keys.append({column, parts.size() > 1 && parts.at(1).compare(QLatin1String("D"), Qt::CaseInsensitive) == 0});
    }
    rows.sort(keys);
}

void Retrieval::pivot(RowTable &rows)
{
    std::vector<QVector<QVariant>> sourceRows;
    sourceRows.reserve(size_t(rows.rowCount()));
    for (int r = 0; r < rows.rowCount(); ++r)
        sourceRows.push_back(rows.rowValues(r));
    QVector<const Expression *> valueExpressions;
    for (const auto &e : m_compiled.crosstabValues)
        valueExpressions.append(e.get());
    CrosstabPivot::Result result = CrosstabPivot::build(m_definition, std::move(sourceRows), valueExpressions);
    rows.reset(result.columns);
    for (const QVector<QVariant> &values : result.rows) {
        for (int c = 0; c < values.size(); ++c)
            rows.column(c).append(values.at(c));
    }
    rows.adoptFilledRows();
    m_crosstabValueColumns = result.valueColumns;
}

} // namespace wip::reports
