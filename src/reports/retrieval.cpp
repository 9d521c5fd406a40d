#include "reports/retrieval.h"

#include "reports/crosstabpivot.h"
#include "reports/retrievalarguments.h"
#include "reports/rowsource.h"
#include "reports/sqliterowsource.h"
#include "reports/valuecompare.h"
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
    if (m_definition.crosstab)
        return std::nullopt;
    const std::optional<GroupedSummary> summed = sumRows(typedValues, {}, columns);
    if (!summed)
        return std::nullopt;
    if (summed->rows < 0)
        return Summary{};
    return Summary{summed->rows, summed->groups.first().sums};
}

std::optional<Retrieval::GroupedSummary> Retrieval::summarizeByGroup(const QVariantList &typedValues,
                                                                     const QStringList &keys, const QStringList &columns)
{
    std::optional<GroupedSummary> grouped = sumRows(typedValues, keys, columns);
    if (!grouped || grouped->rows < 0)
        return grouped;

    // In the order and the grouping of the rows' own comparison, as a crosstab
    // makes its rows: keys the database told apart that compare equal here
    // count as one.
    QVector<Group> &groups = grouped->groups;
    const auto compareKeys = [](const Group &a, const Group &b) {
        for (int k = 0; k < a.keys.size(); ++k) {
            if (const int c = compareValues(a.keys.at(k), b.keys.at(k)); c != 0)
                return c;
        }
        return 0;
    };
    std::stable_sort(groups.begin(), groups.end(), [&](const Group &a, const Group &b) { return compareKeys(a, b) < 0; });
    QVector<Group> merged;
    for (const Group &group : std::as_const(groups)) {
        if (merged.isEmpty() || compareKeys(merged.last(), group) != 0) {
            merged.append(group);
            continue;
        }
        merged.last().rows += group.rows;
        for (int i = 0; i < group.sums.size(); ++i)
            merged.last().sums[i] += group.sums.at(i);
    }
    groups = merged;
    return grouped;
}

std::optional<Retrieval::GroupedSummary> Retrieval::sumRows(const QVariantList &typedValues, const QStringList &keys,
                                                            const QStringList &columns)
{
    const Definition &def = m_definition;
    if (def.layout == LayoutKind::Composite || !m_tr.isConnected())
        return std::nullopt;
    const bool postgres = m_tr.kind() == DbKind::PostgreSQL;
    if (!postgres && !SqliteRowSource::installDecimalSum(m_tr.database()))
        return std::nullopt;

    // The keys, count(*) and one exact sum per column, over the rows of the
    // definition's own query. The names are the query's column names (checked to
    // be a text or a number column of the definition, so plain names).
    QVector<Column> keyColumns;
    QStringList select;
    for (const QString &name : keys) {
        const int c = def.columnIndex(name);
        if (c < 0 || def.columns.at(c).type != ValueType::String)
            return std::nullopt;
        keyColumns.append(def.columns.at(c));
        select << def.columns.at(c).name;
    }
    const QStringList groupBy = select;
    select << QStringLiteral("count(*)");
    for (const QString &name : columns) {
        const int c = def.columnIndex(name);
        if (c < 0 || def.columns.at(c).type != ValueType::Number)
            return std::nullopt;
        const QString column = def.columns.at(c).name;
        select << (postgres ? QStringLiteral("sum(cast(%1 as numeric))").arg(column)
                            : QStringLiteral("%1(%2)").arg(QLatin1String(SqliteRowSource::kDecimalSum), column));
    }
    const auto wrap = [&](const QString &sql) {
        QString statement = QStringLiteral("select %1 from (%2) wip_rows").arg(select.join(QLatin1String(", ")), sql);
        if (!groupBy.isEmpty())
            statement += QStringLiteral(" group by ") + groupBy.join(QLatin1String(", "));
        return statement;
    };

    RowTable keyRows;   // the groups' keys, read as the retrieval reads them
    keyRows.reset(keyColumns);
    GroupedSummary summed;
    bool savepoint = false;
    std::unique_ptr<RowSource> source = open(typedValues, wrap, &savepoint, keyRows);
    if (!source)
        return summed;
    const int countColumn = int(keyColumns.size());
    bool counted = true;
    while (source->next()) {
        for (int k = 0; k < countColumn; ++k)
            keyRows.column(k).appendFrom(*source, k);
        Group group;
        counted = counted && !source->isNull(countColumn);
        group.rows = counted ? int(source->decimal(countColumn).units()) : -1;
        for (int i = 1; i <= columns.size(); ++i)
            group.sums.append(source->isNull(countColumn + i) ? Decimal() : source->decimal(countColumn + i));
        summed.groups.append(group);
    }
    const QString error = source->error();
    source.reset();
    // Without keys the one row of count(*) comes back whatever the rows.
    if (!error.isEmpty() || !counted || (keys.isEmpty() && summed.groups.size() != 1)) {
        fail(error.isEmpty() ? QStringLiteral("no summary row") : error, savepoint, keyRows);
        return GroupedSummary{};
    }
    release(savepoint);
    keyRows.adoptFilledRows();
    summed.rows = 0;
    for (int g = 0; g < summed.groups.size(); ++g) {
        for (int k = 0; k < countColumn; ++k)
            summed.groups[g].keys.append(keyRows.value(g, k));
        summed.rows += summed.groups.at(g).rows;
    }
    m_tr.statementDone(summed.rows);
    return summed;
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
