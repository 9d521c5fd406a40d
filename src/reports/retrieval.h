#pragma once

#include "reports/compileddefinition.h"
#include "reports/definition.h"
#include "reports/rowtable.h"

#include <QVariantList>
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
    // Per crosstab value: the pivot columns holding it (empty for other layouts).
    const QVector<QVector<int>> &crosstabValueColumns() const { return m_crosstabValueColumns; }

private:
    int fail(const QString &text, bool savepoint, RowTable &rows);
    QVector<int> sourceColumns(RowSource &source, bool savepoint);
    void sort(RowTable &rows) const;
    void pivot(RowTable &rows);

    const Definition &m_definition;
    const CompiledDefinition &m_compiled;
    Transaction &m_tr;
    QVector<QVector<int>> m_crosstabValueColumns;
};

} // namespace wip::reports
