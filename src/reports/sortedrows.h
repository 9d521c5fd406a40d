#pragma once

#include "reports/compileddefinition.h"
#include "reports/definition.h"
#include "reports/retrieval.h"
#include "reports/rowtable.h"

#include <QVariantList>
#include <QVector>

#include <memory>
#include <utility>

namespace wip {
class Transaction;
}

namespace wip::reports {

class RowSource;

// The rows of a definition in the order a retrieval sorts them into, read a run
// at a time and not kept, for a report written to a file as it is read (a month
// of finished work as CSV). The database sorts them: by the definition's sort
// keys, texts by their characters (SQLite's binary order, PostgreSQL's "C"
// collation), NULL first, and rows equal in every key in the order the query
// gives them: SQLite's sorter keeps that order, PostgreSQL is given the rows'
// numbers (row_number() over the query) to sort ties by.
//
// That is the order Retrieval's stable sort gives as long as the database
// compares the keys as the report does. Where it does not (a number column
// holding texts, dates written in two forms), read() finds a row out of the
// report's order, says so, and the caller reads the rows the ordinary way.
class SortedRows
{
public:
    SortedRows(const Definition &definition, const CompiledDefinition &compiled, Transaction &transaction);
    ~SortedRows();
    SortedRows(const SortedRows &) = delete;
    SortedRows &operator=(const SortedRows &) = delete;

    // Runs the sorted statement with the typed argument values. False on a
    // database error, which the transaction and the trace tell as after a
    // retrieval. A definition column the query does not return:
    // HostError(ErrUnknownColumn).
    bool open(const QVariantList &typedValues);

    // The next run of at most `count` rows into rows (reset to the definition's
    // columns first). Returns how many were read: 0 at the end, -1 on a database
    // error, kOutOfOrder when a row is not where the report's sort puts it.
    static constexpr int kOutOfOrder = -2;
    int read(RowTable &rows, int count);

    // Every row read: the transaction counts the statement done.
    void close();
    int rowsRead() const { return m_total; }

private:
    // Whether the row just read (rows' row `row`, the query's current row) comes
    // where the report's sort puts it.
    bool inOrder(const RowTable &rows, int row);
    // <0, 0, >0 as a row of a run sorts before, with or after a row before it:
    // one of the same run, or the last one of the run before (m_last).
    int compareKeys(const RowTable &rows, int row, const RowTable &before, int beforeRow) const;

    const Definition &m_definition;
    Retrieval m_retrieval;
    Transaction &m_tr;
    std::unique_ptr<RowSource> m_source;
    bool m_savepoint = false;
    QVector<int> m_from;                       // query column of each definition column
    int m_sequenceColumn = -1;                 // query column of the rows' order number
    QVector<std::pair<int, bool>> m_keys;      // definition column, descending
    RowTable m_last;                           // the last row read, to check the next run's first
    qint64 m_lastSequence = -1;
    int m_total = 0;
    bool m_atEnd = false;
};

} // namespace wip::reports
