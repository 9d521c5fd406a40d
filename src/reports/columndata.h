#pragma once

#include "reports/definition.h"
#include "runtime/decimal.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <limits>
#include <optional>
#include <vector>

namespace wip::reports {

class RowSource;

// The values of one column of a DataStore's rows, kept in the column's type:
//
//   number      Decimal per row (NULL is an invalid Decimal)
//   string      QString per row (NULL is a null QString); the row sources hand a
//               repeated text over as one shared string
//   date(time)  wall-clock milliseconds per row (values::wallClockMsecs), read once
//               at retrieval; the QDateTime of a cell is built on its first read
//               and kept, since building a local date-time costs more than
//               reading a row
//
// Sorting, grouping and aggregates work on the typed values; value() gives the
// QVariant the report's readers see (a Decimal, a QString, a QDateTime, or a NULL
// of the column's type). Rows are 0-based here.
class ColumnData
{
public:
    explicit ColumnData(ValueType type = ValueType::String);

    ValueType type() const { return m_type; }
    qsizetype size() const;
    void reserve(qsizetype rows);

    // The next row's value from a row source's column.
    void appendFrom(RowSource &source, int sourceColumn);
    // A value already of the column's type (convertForColumn), or a typed NULL.
    void append(const QVariant &value);

    QVariant value(qsizetype row) const;
    bool isNull(qsizetype row) const;
    const Decimal &decimalAt(qsizetype row) const;   // number columns
    const QString &textAt(qsizetype row) const { return m_texts[size_t(row)]; }   // string columns
    // <0, 0, >0 as row a orders before, with or after row b (NULL first).
    int compare(qsizetype a, qsizetype b) const;
    // The same between row a here and row b of another column of this type.
    int compare(qsizetype a, const ColumnData &other, qsizetype b) const;

    void set(qsizetype row, const QVariant &value);
    void insert(qsizetype row, const QVariant &value);
    void remove(qsizetype row);
    // Row i becomes the row that was order[i].
    void reorder(const std::vector<size_t> &order);

    // The NULL of a column type, as value() gives it.
    static QVariant null(ValueType type);
    // A value converted to a column type (numbers from numbers or numeric text, ""
    // being NULL; dates from QDate, QDateTime or a date text); nullopt when it
    // does not convert.
    static std::optional<QVariant> convert(const QVariant &value, ValueType type);

private:
    static constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();
    bool isDate() const { return m_type == ValueType::Date || m_type == ValueType::DateTime; }
    void store(qsizetype row, const QVariant &value, bool inserting);

    ValueType m_type;
    std::vector<Decimal> m_numbers;
    std::vector<QString> m_texts;
    std::vector<qint64> m_wallClock;
    mutable std::vector<QDateTime> m_dateTimes;   // built on first read; invalid until then
};

} // namespace wip::reports
