#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <compare>
#include <optional>

namespace wip {

// An exact decimal number: a whole count of units of 10^-scale. Weights to the
// milligram, purities, prices, pieces and every other numeric(p,s) value of the
// factory's database are held, added up, rounded and shown as one, so 33917.85
// stays 33917.85 however many rows it is summed from, and rounding 2.675 to two
// places gives 2.68 without any tolerance.
//
//   Decimal::fromUnits(3391785, 2)       33917.85  (units 3391785, scale 2)
//   0.1 + 0.2                            0.3       (not 0.30000000000000004)
//   12.5 * 0.585                         7.3125    (scales add up: 1 + 3)
//   1 / 3                                0.333333333333  (twelve places more than the operands)
//   2.675.rounded(2)                     2.68      (half away from zero)
//
// Sums and products keep every place up to kMaxScale; a result too large for 18
// digits gives up places first and is invalid (like NaN) only beyond that, as is
// a division by zero. Invalid values propagate through arithmetic; callers that
// show a NULL for them test isValid(). 1.50 and 1.5 are equal and order the same.
class Decimal
{
public:
    static constexpr int kMaxScale = 18;
    static constexpr int kDivisionPlaces = 12;   // places a quotient gets beyond its operands'

    constexpr Decimal() = default;
    static Decimal fromUnits(qint64 units, int scale);
    static constexpr Decimal fromInt(qint64 value) { return Decimal(value, 0); }
    // The shortest decimal of at most fifteen places that reads back as d (so a
    // SQLite REAL written as 0.585 is 0.585 again); a double that none matches is
    // rounded to as many of those places as 18 digits hold. NaN, infinities and
    // values beyond 18 digits are invalid.
    static Decimal fromDouble(double d);
    static Decimal invalid();

    // A number held in a QVariant: a Decimal, any integer or floating-point type,
    // or a bool (1 or 0). Texts and anything else: nullopt (reading texts is the
    // values module's work, runtime/values.h).
    static std::optional<Decimal> fromVariant(const QVariant &value);
    static bool isDecimal(const QVariant &value);
    QVariant toVariant() const;                   // QVariant holding this Decimal; NULL when invalid
    static QVariant null();                       // a NULL of this type (a NULL number cell)

    bool isValid() const { return m_scale >= 0; }
    bool isZero() const { return m_units == 0 && isValid(); }
    int sign() const { return m_units < 0 ? -1 : (m_units > 0 ? 1 : 0); }
    qint64 units() const { return m_units; }
    int scale() const { return m_scale; }

    double toDouble() const;                      // the nearest double (NaN when invalid)
    // Every place of the scale: "33917.850", "-0.005", "12". "" when invalid.
    QString toString() const;
    // Without the zeros that end the fraction: "33917.85", "12", "0".
    QString toShortString() const;
    Decimal normalized() const;                   // the same value with no trailing zero places

    // To `places` decimal places (negative: to tens, hundreds ...), halves away
    // from zero; truncated() drops the places beyond. A value with fewer places
    // is returned as it is.
    Decimal rounded(int places) const;
    Decimal truncated(int places) const;
    Decimal floor() const;
    Decimal ceiling() const;
    Decimal abs() const;

    Decimal operator-() const;
    friend Decimal operator+(const Decimal &a, const Decimal &b);
    friend Decimal operator-(const Decimal &a, const Decimal &b);
    friend Decimal operator*(const Decimal &a, const Decimal &b);
    friend Decimal operator/(const Decimal &a, const Decimal &b);   // invalid when b is zero
    Decimal &operator+=(const Decimal &other);
    Decimal remainder(const Decimal &divisor) const;                // sign of *this; invalid for 0

    // By value; an invalid value orders before every valid one and equals another invalid one.
    friend bool operator==(const Decimal &a, const Decimal &b) { return compare(a, b) == 0; }
    friend std::strong_ordering operator<=>(const Decimal &a, const Decimal &b)
    {
        const int c = compare(a, b);
        return c < 0 ? std::strong_ordering::less : (c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
    }
    static int compare(const Decimal &a, const Decimal &b);

private:
    constexpr Decimal(qint64 units, int scale) : m_units(units), m_scale(qint8(scale)) {}

    qint64 m_units = 0;
    qint8 m_scale = 0;   // -1: invalid
};

} // namespace wip

Q_DECLARE_TYPEINFO(wip::Decimal, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(wip::Decimal)
