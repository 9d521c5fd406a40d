#pragma once

#include "runtime/decimal.h"

#include <QString>

namespace wip::reference {

// A metal's fineness: its purity, the share of fine metal as an exact decimal
// of at most three places above 0 and at most 1 (18K gold 0.750, PT950
// platinum 0.950), and the hallmark stamped on the pieces, which states the
// same purity in thousandths:
//
//   gold       "750"  or "AU750"      purity 0.750
//   platinum   "PT950" ("Pt 950")     purity 0.950
//   either     ""                     not stamped (solder)
//
// Case and a blank between the letters and the digits do not matter. A hallmark
// with other letters, or other than three digits, or a number that is not the
// purity in thousandths, is refused, as are platinum without "PT" and gold with it.
class Fineness
{
public:
    // The purity a text gives, when it is one.
    static std::optional<Decimal> purity(const QString &text);
    // Why a text is no purity ("1.2 不在 0 与 1 之间 ..."); empty when it is one.
    static QString purityProblem(const QString &text);
    // Why a hallmark does not go with a metal of that type (GOLD, PT) and
    // purity; empty when it does.
    static QString hallmarkProblem(const QString &hallmark, const QString &metalType, const Decimal &purity);
    // The hallmark a metal of that type and purity is stamped with: "750", "PT950".
    static QString hallmarkFor(const QString &metalType, const Decimal &purity);
};

} // namespace wip::reference
