#include "reports/crosstabpivot.h"

#include "reports/valuecompare.h"
#include "runtime/decimal.h"
#include "runtime/values.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>

namespace wip::reports {

namespace {

int compareKeys(const QVector<QVariant> &row, const QVector<int> &columns, const QVector<QVariant> &other,
                const QVector<int> &otherColumns)
{
    for (int i = 0; i < columns.size(); ++i) {
        const int c = compareValues(row.at(columns.at(i)), other.at(otherColumns.at(i)));
        if (c != 0)
            return c;
    }
    return 0;
}

// The sorted source rows as an expression context: "for crosstab" covers the
// rows of the cell that the evaluated row belongs to.
class SourceRows : public ExpressionContext
{
public:
    SourceRows(const Definition &definition, const std::vector<QVector<QVariant>> &rows)
        : m_definition(definition)
        , m_rows(rows)
    {
    }

    int rowCount() const override { return int(m_rows.size()); }
    bool hasName(const QString &name) const override { return m_definition.columnIndex(name) >= 0; }
    QVariant item(int row, const QString &name) const override
    {
        const int column = m_definition.columnIndex(name);
        if (column < 0 || row < 1 || row > rowCount())
            return {};
        return m_rows.at(size_t(row - 1)).at(column);
    }
    std::pair<int, int> groupRange(int, int) const override { return {1, rowCount()}; }
    std::pair<int, int> crosstabRange(int) const override { return m_cell; }
    AggregateCache *aggregateCache() const override { return nullptr; }

    void setCell(int first, int last) { m_cell = {first, last}; }

private:
    const Definition &m_definition;
    const std::vector<QVector<QVariant>> &m_rows;
    std::pair<int, int> m_cell{1, 0};
};

} // namespace

QString CrosstabPivot::keyText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return values::dateOrDateTimeText(value.toDateTime());
    case QMetaType::Double:
        return values::numberText(value.toDouble());
    default:
        if (Decimal::isDecimal(value))
            return values::numberText(*Decimal::fromVariant(value));
        return value.toString();
    }
}

namespace {

QVector<int> columnIndexes(const Definition &definition, const QStringList &names)
{
    QVector<int> indexes;
    for (const QString &name : names)
        indexes.append(definition.columnIndex(name));
    return indexes;
}

QVector<QVariant> keyOf(const QVector<QVariant> &row, const QVector<int> &keyColumns)
{
    QVector<QVariant> key;
    for (int c : keyColumns)
        key.append(row.at(c));
    return key;
}

// Compares two keys taken by keyOf.
bool keyLess(const QVector<QVariant> &a, const QVector<QVariant> &b)
{
    for (qsizetype i = 0; i < a.size(); ++i) {
        const int c = compareValues(a.at(i), b.at(i));
        if (c != 0)
            return c < 0;
    }
    return false;
}

// The distinct values of the column keys over the rows, sorted.
std::vector<QVector<QVariant>> distinctKeys(const std::vector<QVector<QVariant>> &rows, const QVector<int> &keyColumns)
{
    std::vector<QVector<QVariant>> keys;
    keys.reserve(rows.size());
    for (const QVector<QVariant> &row : rows)
        keys.push_back(keyOf(row, keyColumns));
    std::sort(keys.begin(), keys.end(), keyLess);
    std::vector<QVector<QVariant>> distinct;
    for (const QVector<QVariant> &key : keys) {
        if (distinct.empty() || keyLess(distinct.back(), key))
            distinct.push_back(key);
    }
    return distinct;
}

// The row keys' columns, then one column per distinct column-key value and value.
void addColumns(CrosstabPivot::Result &result, const Definition &definition, const QVector<int> &rowKeys,
                const std::vector<QVector<QVariant>> &columnValues)
{
    const Crosstab &crosstab = *definition.crosstab;
    // Without rows the value columns still exist, under the plain value names.
    const int columnCount = std::max<int>(1, int(columnValues.size()));
    for (int c : rowKeys)
        result.columns.append(definition.columns.at(c));
    result.valueColumns.resize(crosstab.values.size());
    for (int k = 0; k < columnCount; ++k) {
        QStringList keyTexts;
        if (k < int(columnValues.size())) {
            for (const QVariant &v : columnValues.at(size_t(k)))
                keyTexts.append(CrosstabPivot::keyText(v));
        }
        for (int v = 0; v < crosstab.values.size(); ++v) {
            Column column;
            column.name = columnCount == 1 ? crosstab.values.at(v).name
                                           : QStringLiteral("%1_%2").arg(crosstab.values.at(v).name).arg(k + 1);
            column.type = ValueType::Number;
            column.align = Align::Right;
            column.caption = {keyTexts.join(QLatin1Char(' '))};
            if (crosstab.values.size() > 1)
                column.caption.append(crosstab.values.at(v).name);
            result.valueColumns[v].append(int(result.columns.size()));
            result.columns.append(column);
        }
    }
}

// A key column declared a date stands for the day: steps finished at any time of
// a day fall in that day's column, not in one column per minute.
void keyDatesByDay(const Definition &definition, const QVector<int> &keyColumns,
                   std::vector<QVector<QVariant>> &rows)
{
    for (int c : keyColumns) {
        if (c < 0 || definition.columns.at(c).type != ValueType::Date)
            continue;
        for (QVector<QVariant> &row : rows) {
            QVariant &value = row[c];
            if (value.metaType().id() != QMetaType::QDateTime)
                continue;
            QDateTime day = value.toDateTime();
            day.setTime(QTime(0, 0));
            value = day;
        }
    }
}

// The end of the run of rows from `first` (before `end`) that share the key.
size_t runEnd(const std::vector<QVector<QVariant>> &rows, size_t first, size_t end, const QVector<int> &keyColumns)
{
    size_t last = first + 1;
    while (last < end && compareKeys(rows[first], keyColumns, rows[last], keyColumns) == 0)
        ++last;
    return last;
}

} // namespace

CrosstabPivot::Result CrosstabPivot::build(const Definition &definition, std::vector<QVector<QVariant>> sourceRows,
                                           const QVector<const Expression *> &values)
{
    Result result;
    const QVector<int> rowKeys = columnIndexes(definition, definition.crosstab->rows);
    const QVector<int> columnKeys = columnIndexes(definition, definition.crosstab->columns);
    keyDatesByDay(definition, columnKeys, sourceRows);

    // Cells become contiguous runs: row keys, then column keys.
    std::stable_sort(sourceRows.begin(), sourceRows.end(), [&](const QVector<QVariant> &a, const QVector<QVariant> &b) {
        const int c = compareKeys(a, rowKeys, b, rowKeys);
        return c != 0 ? c < 0 : compareKeys(a, columnKeys, b, columnKeys) < 0;
    });
    const std::vector<QVector<QVariant>> columnValues = distinctKeys(sourceRows, columnKeys);
    addColumns(result, definition, rowKeys, columnValues);

    SourceRows context(definition, sourceRows);
    for (size_t first = 0; first < sourceRows.size();) {
        // The run of source rows of one pivot row, and in it the runs of its cells.
        const size_t end = runEnd(sourceRows, first, sourceRows.size(), rowKeys);
        QVector<QVariant> pivotRow(result.columns.size());
        for (int i = 0; i < rowKeys.size(); ++i)
            pivotRow[i] = sourceRows[first].at(rowKeys.at(i));
        for (size_t cell = first; cell < end;) {
            const size_t cellEnd = runEnd(sourceRows, cell, end, columnKeys);
            const auto pos = std::lower_bound(columnValues.begin(), columnValues.end(),
                                              keyOf(sourceRows[cell], columnKeys), keyLess);
            const int k = int(pos - columnValues.begin());
            context.setCell(int(cell) + 1, int(cellEnd));
            for (int v = 0; v < values.size(); ++v)
                pivotRow[result.valueColumns.at(v).at(k)] = values.at(v)->evaluate(context, int(cell) + 1);
            cell = cellEnd;
        }
        result.rows.push_back(pivotRow);
        first = end;
    }
    return result;
}

} // namespace wip::reports
