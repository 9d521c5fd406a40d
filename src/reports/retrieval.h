#pragma once

#include "reports/compileddefinition.h"
#include "reports/definition.h"
#include "reports/rowtable.h"
#include "runtime/decimal.h"

#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <QVector>

namespace wip {
class Transaction;
}

namespace wip::reports {

class RowSource;

// One retrieval of a definition's rows from the database:
//
//   1. the query is bound: each placeholder gets its argument's value, a date
//      as the start or the end of its day (RetrievalArguments);
//   2. the statement runs - inside a savepoint when the transaction has work
//      open on PostgreSQL, where a failed statement would spoil that work;
//   3. one loop reads every row from a RowSource (SQLite's own library or Qt's
//      driver) into the typed columns of a RowTable;
//   4. the rows are sorted by the definition's sort, stably;
//   5. a crosstab's source rows become its pivot rows.
//
// The transaction's sqlCode, sqlErrText and sqlNRows tell how it went, as after
// any statement.
class Retrieval
{
public:
    Retrieval(const Definition &definition, const CompiledDefinition &compiled, Transaction &transaction);

    // Fills rows (the definition's columns, or the pivot's for a crosstab) from the
    // typed argument values (RetrievalArguments::typed). Returns the row count, or
    // -1 on a database error (the driver's text in the trace; rows left empty).
    // A definition column the query does not return: HostError(ErrUnknownColumn).
    int run(const QVariantList &typedValues, RowTable &rows);

    // What a caller needing only figures asks for: the row count the query gives
    // and the exact sum of each named number column over those rows, computed by
    // the database instead of read row by row - the same figures as retrieving the
    // rows and summing them (NULLs and values that are no number skipped, 0 without
    // values): PostgreSQL sums numeric exactly, and on SQLite wip_decimal_sum adds
    // each value as the retrieval would read it. rows is -1 on a database error.
    struct Summary
    {
        int rows = -1;
        QVector<Decimal> sums;   // one per column asked for
    };
    // nullopt when the database cannot give exact sums here (SQLite read through
    // Qt's driver), when a name is no number column of the definition, or for a
    // crosstab: the caller then retrieves the rows.
    std::optional<Summary> summarize(const QVariantList &typedValues, const QStringList &columns);

    // The definition's sort keys: column index and whether descending.
    static QVector<std::pair<int, bool>> sortKeys(const Definition &definition);

    // Whether the last run() stopped because the person waiting cancelled it
    // (LongWork); it returned -1 then.
    bool cancelled() const { return m_cancelled; }

    // The same figures per group of rows that share the values of the key columns
    // (text columns of the definition): what a crosstab's row totals need, asked
    // of the database with GROUP BY instead of reading the rows. The groups come in
    // the order and the grouping that the rows' own comparison (compareValues)
    // gives, as a crosstab's pivot rows; their keys are read as a retrieval reads
    // them. rows (all groups' rows) is -1 on a database error. nullopt as for
    // summarize, and when a key is no text column of the definition.
    struct Group
    {
        QVector<QVariant> keys;   // one per key column
        int rows = 0;
        QVector<Decimal> sums;    // one per column asked for
    };
    struct GroupedSummary
    {
        int rows = -1;
        QVector<Group> groups;
    };
    std::optional<GroupedSummary> summarizeByGroup(const QVariantList &typedValues, const QStringList &keys,
                                                   const QStringList &columns);

    // Per crosstab value: the pivot columns holding it (empty for other layouts).
    const QVector<QVector<int>> &crosstabValueColumns() const { return m_crosstabValueColumns; }

private:
    friend class SortedRows;

    // The definition's statement bound to the typed values and opened, with a
    // savepoint first when one is needed (*savepoint says); wrap turns the bound
    // SQL into the statement run. Null after fail() when it does not open.
    std::unique_ptr<RowSource> open(const QVariantList &typedValues, const std::function<QString(const QString &)> &wrap,
                                    bool *savepoint, RowTable &rows);
    int fail(const QString &text, bool savepoint, RowTable &rows);
    // The statement is done with: the savepoint taken for it, if any, released.
    void release(bool savepoint);

    // "select <keys>, count(*), <sums> from (<query>) wip_rows [group by <keys>]":
    // one group per result row, in the database's order. nullopt when the
    // database cannot sum exactly here or a name is not of its kind; rows -1
    // after fail() when the statement fails.
    std::optional<GroupedSummary> sumRows(const QVariantList &typedValues, const QStringList &keys,
                                          const QStringList &columns);
    QVector<int> sourceColumns(RowSource &source, bool savepoint);
    void sort(RowTable &rows) const;
    void pivot(RowTable &rows);

    const Definition &m_definition;
    const CompiledDefinition &m_compiled;
    Transaction &m_tr;
    QVector<QVector<int>> m_crosstabValueColumns;
    bool m_cancelled = false;
};

} // namespace wip::reports
