#pragma once

#include "runtime/transaction.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

namespace wip {

// Writes many rows into one table quickly: rows are collected and sent as one
// multi-row INSERT of up to batchRows rows, through a statement prepared once and
// re-bound for every full batch. Every value is bound; dates are converted for the
// engine (sqlvalue.h). The caller owns the transaction around it.
class BatchInserter
{
public:
    BatchInserter(QSqlDatabase db, DbKind kind, const QString &table, const QStringList &columns,
                  int batchRows = 0);            // 0: as many as the engine's bound-value limit allows

    bool add(const QVariantList &row);           // false when a batch failed (see error())
    bool flush();                                // writes the rows still collected
    QString error() const { return m_error; }
    // When the first failure happened, on one clock for every inserter (0: none):
    // of several that failed, the earliest names the cause (after a full disk
    // SQLite undoes the transaction, and every later statement fails as well).
    quint64 failedAt() const { return m_failedAt; }
    long long written() const { return m_written; }

private:
    bool writeRows(int rows);
    void fail(const QString &why);
    QString statement(int rows) const;

    QSqlDatabase m_db;
    DbKind m_kind;
    QString m_table;
    QStringList m_columns;
    int m_batchRows;
    QVariantList m_pending;
    std::optional<QSqlQuery> m_full;             // prepared for a full batch
    QString m_error;
    long long m_written = 0;
    quint64 m_failedAt = 0;
};

} // namespace wip
