#pragma once

#include "runtime/decimal.h"

#include <QString>

#include <optional>

namespace wip {

// What a clerk types or a scale sends at the desk, read exactly: weights in
// grams as plain numbers of at most three decimals (the milligram), pieces as
// whole numbers. Nothing goes through a double.
//
//   "31.25"  31.25 g      "0.005"  0.005 g     "12"  12 g
//   "1.2345" refused (four decimals)   "-1", "1e3", "1,5", "", "abc" refused
class DeskInput
{
public:
    // The grams of text, or nullopt with *why (Chinese, naming the field).
    static std::optional<Decimal> weight(const QString &text, const QString &field, QString *why);
    // A whole number of pieces (0 allowed), or nullopt with *why.
    static std::optional<Decimal> pieces(const QString &text, const QString &field, QString *why);
    // A whole number of stones (0 allowed), or nullopt with *why.
    static std::optional<Decimal> stones(const QString &text, const QString &field, QString *why);
    // Grams with three decimals: "31.250".
    static QString grams(const Decimal &value);
    // Pieces as a whole number: "10".
    static QString count(const Decimal &value);
};

} // namespace wip
