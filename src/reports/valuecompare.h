#pragma once

#include "runtime/decimal.h"

#include <QVariant>

namespace wip::reports {

// Orders two typed report values: NULL first, then numbers (decimals and the
// other number types alike) by value, date-times
// by time, texts by their characters (code order, as the databases compare codes).
// Returns <0, 0 or >0.
int compareValues(const QVariant &a, const QVariant &b);

// A value reduced for many comparisons (sorting rows): numbers and date-times as
// doubles, texts by reference. Orders as compareValues does for the values of one
// column. The key refers to the value, which must outlive it.
struct SortKey
{
    enum class Kind : quint8 { Null, Number, Decimal, Text, Other };
    Kind kind = Kind::Null;
    double number = 0;                 // a number, or a date-time as wall-clock milliseconds
    const wip::Decimal *decimal = nullptr;
    const QString *text = nullptr;
    const QVariant *value = nullptr;   // Other: compared with compareValues
};
SortKey sortKey(const QVariant &value);
int compareSortKeys(const SortKey &a, const SortKey &b);

} // namespace wip::reports
