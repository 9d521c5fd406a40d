#pragma once

#include "runtime/decimal.h"

#include <QString>
#include <vector>

namespace wip {

// A number display mask, parsed once and applied to many values.
//
//   "#####.##;-#####.##; "   positive;negative;zero - the blank zero section blanks zeros
//   "####"   12.5 -> "13"    rounds half away from zero to the mask's decimals,
//                            exactly: 2.675 with "0.00" is "2.68"
//   "####.#" 0.5  -> ".5"    '#' shows only needed digits; "####0.#" gives "0.5"
//   "0.0#"   1    -> "1.0"   '0' always shows a digit
//   "#,##0.00"               ',' groups thousands
//
// A number wider than the mask still shows all its integer digits; a negative
// number without a negative section gets a leading '-'. Text in quotes, after a
// backslash, or any other character around the digits is shown as written.
class NumberMask
{
public:
    explicit NumberMask(const QString &mask);

    QString format(const Decimal &value) const;   // "" for an invalid value
    QString format(double value) const;           // the decimal the double stands for; "" for NaN and infinities
    // The number the mask shows: value rounded to the places of the section it is
    // shown in (1.5000726 with "##0.00" is 1.50). Invalid values, and a mask of
    // text only, give value as it is.
    Decimal shown(const Decimal &value) const;

private:
    struct Section
    {
        QString prefix;
        QString suffix;
        bool hasDigits = false;   // false: the section is literal text only (e.g. " ")
        int decimals = 0;         // digit places after the point
        int minDecimals = 0;      // places that always show ('0' after the point)
        int intZeros = 0;         // '0' places before the point: the minimum integer digits
        bool grouping = false;    // ',' in the integer part
    };

    static Section parseSection(const QString &section);
    static QString applySection(const Decimal &value, const Section &s, bool minus);

    std::vector<Section> m_sections;   // 1 to 3
};

} // namespace wip
