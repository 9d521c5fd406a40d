#include "reports/retrieval.h"

#include "reports/crosstabpivot.h"
#include "reports/retrievalarguments.h"
#include "reports/rowsource.h"
#include "reports/sqliterowsource.h"
#include "runtime/hosterror.h"
#include "runtime/longwork.h"
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

std::unique_ptr<RowSource> Retrieval::open(const QVariantList &typedValues,
                                           const std::function<QString(const QString &)> &wrap, bool *savepoint,
                                           RowTable &rows)
{
    const Definition &def = m_definition;
    *savepoint = false;
    if (!m_tr.isConnected()) {
        fail(QStringLiteral("transaction not connected"), false, rows);
        return nullptr;
    }

    const DbKind kind = m_tr.kind();
    const QueryTemplate::Bound statement = m_compiled.query.bind([&](const QString &name, QueryTemplate::DayBound bound) {
        const int index = def.argumentIndex(name);
        if (index < 0 || index >= typedValues.size())
            return QVariant();
        return RetrievalArguments::bindable(def.arguments.at(index), typedValues.at(index), bound, kind);
    });

    // A failed statement would spoil the caller's open PostgreSQL transaction.
    *savepoint = kind == DbKind::PostgreSQL && m_tr.hasOpenWork() && m_tr.savepoint(kSavepoint);
    QString error;
    std::unique_ptr<RowSource> source =
        RowSource::open(m_tr, wrap ? wrap(statement.sql) : statement.sql, statement.values, &error);
    if (!source)
        fail(error, *savepoint, rows);
    return source;
}

int Retrieval::run(const QVariantList &typedValues, RowTable &rows)
{
    const Definition &def = m_definition;
    rows.reset(def.columns);
    bool savepoint = false;
    std::unique_ptr<RowSource> source = open(typedValues, {}, &savepoint, rows);
    if (!source)
        return -1;

    // The one row loop: each definition column from the query column of its name.
    const QVector<int> from = sourceColumns(*source, savepoint);
    const int columnCount = int(from.size());
    qint64 read = 0;
    m_cancelled = false;
    while (source->next()) {
        for (int c = 0; c < columnCount; ++c)
            rows.column(c).appendFrom(*source, from[c]);
        // Whoever waits sees the rows come in and may stop them.
        if ((++read & 1023) == 0 && !LongWork::progress(read)) {
            m_cancelled = true;
            break;
        }
    }
    const QString error = m_cancelled ? QStringLiteral("cancelled") : source->error();
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

std::optional<Retrieval::Summary> Retrieval::summarize(const QVariantList &typedValues, const QStringList &columns)
{
    const Definition &def = m_definition;
    if (def.crosstab || def.layout == LayoutKind::Composite || !m_tr.isConnected())
        return std::nullopt;
    const bool postgres = m_tr.kind() == DbKind::PostgreSQL;
    if (!postgres && !SqliteRowSource::installDecimalSum(m_tr.database()))
        return std::nullopt;

    // count(*) and one exact sum per column, over the rows of the definition's
    // own query. The names are the query's column names (checked to be a number
    // column of the definition, so a plain name).
    QStringList select = {QStringLiteral("count(*)")};
    for (const QString &name : columns) {
        const int c = def.columnIndex(name);
        if (c < 0 || def.columns.at(c).type != ValueType::Number)
            return std::nullopt;
        const QString column = def.columns.at(c).name;
        select << (postgres ? QStringLiteral("sum(cast(%1 as numeric))").arg(column)
                            : QStringLiteral("%1(%2)").arg(QLatin1String(SqliteRowSource::kDecimalSum), column));
    }
    const auto wrap = [&](const QString &sql) {
        return QStringLiteral("select %1 from (%2) wip_rows").arg(select.join(QLatin1String(", ")), sql);
    };

    RowTable unused;
    Summary summary;
    bool savepoint = false;
    std::unique_ptr<RowSource> source = open(typedValues, wrap, &savepoint, unused);
    if (!source)
        return summary;
    if (source->next()) {
        summary.rows = int(source->decimal(0).units());
        for (int i = 1; i <= columns.size(); ++i)
            summary.sums.append(source->isNull(i) ? Decimal() : source->decimal(i));
    }
    const QString error = source->error();
    source.reset();
    if (!error.isEmpty() || summary.rows < 0) {
        fail(error.isEmpty() ? QStringLiteral("no summary row") : error, savepoint, unused);
        return Summary{};
    }
    if (savepoint)
        m_tr.releaseSavepoint(kSavepoint);
    m_tr.statementDone(summary.rows);
    return summary;
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

void Retrieval::release(bool savepoint)
{
    if (savepoint)
        m_tr.releaseSavepoint(kSavepoint);
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

QVector<std::pair<int, bool>> Retrieval::sortKeys(const Definition &definition)
{
    QVector<std::pair<int, bool>> keys;   // column, descending
    for (const QString &s : definition.sort) {
        const QStringList parts = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const int column = parts.isEmpty() ? -1 : definition.columnIndex(parts.at(0));
        if (column >= 0)
            keys.append({column, parts.size() > 1 && parts.at(1).compare(QLatin1String("D"), Qt::CaseInsensitive) == 0});
    }
    return keys;
}

void Retrieval::sort(RowTable &rows) const
{
    rows.sort(sortKeys(m_definition));
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
