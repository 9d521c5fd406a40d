#pragma once

#include <QString>
#include <QVariant>

namespace wip::reports {

// Display formats of columns and computed fields.
//  numbers: masks of #, 0, '.', ',' in up to three ';'-separated sections
//           (positive;negative;zero) - "#####.##;-#####.##; " blanks zeros;
//           a negative number without a negative section gets a leading '-'.
//  dates:   yyyy yy mm dd hh h mm(after h = minutes) ss, any case for YYYY/DD;
//           "[shortdate]" = yyyy-mm-dd, "[time]" = hh:mm:ss, "[general]".
// NULL shows as an empty text.
QString formatValue(const QVariant &value, const QString &format);

} // namespace wip::reports
