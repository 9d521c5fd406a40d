#pragma once

#include "runtime/connectionsettings.h"

#include <QVariant>

namespace wip {

// Dates in the database: SQLite keeps every date and date-time as TEXT
// "YYYY-MM-DD HH:MM:SS"; PostgreSQL as timestamp. A QDate binds as that day at
// midnight, a QDateTime as its wall-clock text, the same on both. A Decimal binds
// as its exact text on PostgreSQL and as a number on SQLite.
QVariant toDbValue(const QVariant &value, DbKind kind);

// A value read from the database as the given kind of column: text dates of SQLite
// become QDateTime; numbers (numeric comes back as text, integer or double) become
// a Decimal (a typed NULL Decimal for NULL and for a text that is not a number).
enum class ColumnKind { Any, String, Number, Date, DateTime };
QVariant fromDbValue(const QVariant &value, ColumnKind kind);

} // namespace wip
