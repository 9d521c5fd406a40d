#pragma once

#include "runtime/transaction.h"

#include <QVariant>

namespace wip {

// Dates in the database: SQLite keeps every date and date-time as TEXT
// "YYYY-MM-DD HH:MM:SS"; PostgreSQL as timestamp. A QDate binds as that day at
// midnight, so "between :a and :b" behaves the same on both.
QVariant toDbValue(const QVariant &value, DbKind kind);

// A value read from the database as the given kind of column: text dates of SQLite
// become QDateTime; numbers (numeric comes back as text or double) become double.
enum class ColumnKind { Any, String, Number, Date, DateTime };
QVariant fromDbValue(const QVariant &value, ColumnKind kind);

} // namespace wip
