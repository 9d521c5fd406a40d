#pragma once

#include "runtime/decimal.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <optional>

namespace wip {
class Transaction;
}

namespace wip::reports {

// Where a retrieval reads its rows: a statement run on a transaction, read row by
// row, each value asked for in the type of the report column it fills. The
// retrieval has one row loop over this interface (Retrieval); each database path
// turns its own raw values into the types here, so a report holds the same values
// whichever path read it (tests/reports/tst_sqlitereader.cpp compares them):
//
//   number   an exact Decimal: integers as they are, SQLite's doubles as the decimal
//            they stand for, PostgreSQL's numeric text exactly; anything else invalid
//   text     the text; numbers and dates as their written forms (runtime/values.h)
//   date     wall-clock milliseconds (values::wallClockMsecs) of a date-time or a
//            date text of the values module's forms; nullopt for anything else
//
// NULL is asked for first (isNull); the readers are not called for it.
class RowSource
{
public:
    virtual ~RowSource() = default;

    // The statement (with "?" placeholders) prepared on the transaction's
    // connection, the values bound and run: SQLite's own library where the build
    // can reach it (SqliteRowSource), else Qt's driver (QtRowSource). Null and
    // *error set when it does not prepare, bind or run.
    static std::unique_ptr<RowSource> open(Transaction &transaction, const QString &sql, const QVariantList &values,
                                           QString *error);

    virtual QStringList columnNames() const = 0;
    // The query column of that name, compared without regard to case; -1 when none.
    int columnIndex(const QString &name) const;

    // The next row; false at the end and on an error (error() then says which).
    virtual bool next() = 0;
    virtual QString error() const = 0;

    virtual bool isNull(int column) = 0;
    virtual Decimal decimal(int column) = 0;
    virtual QString text(int column) = 0;
    virtual std::optional<qint64> wallClock(int column) = 0;
    // The value as the driver gives it, for columns of no report type (tests).
    virtual QVariant raw(int column) = 0;
    // The date-time the driver already built for the column (Qt's PostgreSQL
    // driver does), or an invalid one: the retrieval keeps it rather than build it
    // again from wallClock() when the cell is read.
    virtual QDateTime builtDateTime(int column) const { return {}; }
};

} // namespace wip::reports
