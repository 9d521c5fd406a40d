#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace wip {
class Decimal;
class NumberMask;
}

namespace wip::reports {

// Display formats of columns and computed fields.
//  numbers: masks of #, 0, '.', ',' in up to three ';'-separated sections
//           (positive;negative;zero) - "#####.##;-#####.##; " blanks zeros;
//           a negative number without a negative section gets a leading '-'.
//  dates:   yyyy yy mm dd hh h mm(after h = minutes) ss, any case for YYYY/DD;
//           "[shortdate]" = yyyy-mm-dd, "[time]" = hh:mm:ss, "[general]".
// NULL shows as an empty text.
QString formatValue(const QVariant &value, const QString &format);

// formatValue for the many cells of a column, the format looked at once: a
// number column's exact Decimals, as formatValue shows them.
class NumberFormat
{
public:
    explicit NumberFormat(const QString &format);
    QString operator()(const Decimal &value) const;

private:
    QString m_format;
    std::shared_ptr<const NumberMask> m_mask;   // none: formatValue's own way
};

// The number a display format shows, as an exact Decimal: the value rounded to
// the places of the mask section it is shown in (1.5000726 with "##0.00" gives
// 1.5). Other values, and formats that are no number mask, are returned as they are.
QVariant shownNumber(const QVariant &value, const QString &format);

// The "[general]" text of a value: numbers without needless decimals ("12.5",
// "3", "33917.85"), dates "yyyy-mm-dd" or, with a time of day,
// "yyyy-mm-dd hh:mm:ss", texts as they are, NULL "". Also what string + number
// gives in an expression.
QString generalText(const QVariant &value);

} // namespace wip::reports
