#pragma once

#include <QVariant>

namespace wip::reports {

// Orders two typed report values: NULL first, then numbers by value, date-times
// by time, texts by their characters (code order, as the databases compare codes).
// Returns <0, 0 or >0.
int compareValues(const QVariant &a, const QVariant &b);

} // namespace wip::reports
