#include "runtime/decimal.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wip {

namespace {

using Wide = __int128;

constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
constexpr int kDoublePlaces = 15;   // places fromDouble tries: a double has at most 17 significant digits

constexpr Wide pow10(int n)
{
    Wide p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

constexpr double kDoublePow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

Wide absWide(Wide v)
{
    return v < 0 ? -v : v;
}

// v / d rounded half away from zero (d > 0).
Wide divideRounded(Wide v, Wide d)
{
    const Wide q = v / d;
    const Wide r = v % d;
    if (2 * absWide(r) >= d)
        return v < 0 ? q - 1 : q + 1;
    return q;
}

// v / d rounded towards minus infinity (d > 0).
Wide divideFloor(Wide v, Wide d)
{
    const Wide q = v / d;
    return (v % d != 0 && v < 0) ? q - 1 : q;
}

} // namespace

// A result in wide units: places beyond kMaxScale, and places that do not fit
// 64 bits, are rounded away; nothing left to give up makes it invalid.
static Decimal fit(Wide units, int scale)
{
    if (scale > Decimal::kMaxScale) {
        units = divideRounded(units, pow10(scale - Decimal::kMaxScale));
        scale = Decimal::kMaxScale;
    }
    while (absWide(units) > kInt64Max) {
        if (scale == 0)
            return Decimal::invalid();
        units = divideRounded(units, 10);
        --scale;
    }
    return Decimal::fromUnits(qint64(units), scale);
}

Decimal Decimal::fromUnits(qint64 units, int scale)
{
    if (scale < 0 || scale > kMaxScale)
        return invalid();
    return Decimal(units, scale);
}

Decimal Decimal::invalid()
{
    return Decimal(0, -1);
}

Decimal Decimal::fromDouble(double d)
{
    if (!std::isfinite(d))
        return invalid();
    // The fewest places whose decimal reads back as d: m / 10^s is correctly
    // rounded when m and 10^s are exact doubles, so it equals d exactly when
    // the decimal m * 10^-s is one of the decimals that read as d.
    for (int s = 0; s <= kDoublePlaces; ++s) {
        const double scaled = d * kDoublePow10[s];
        if (std::fabs(scaled) >= 9.0e18)
            return s == 0 ? invalid() : Decimal(std::llround(d * kDoublePow10[s - 1]), s - 1);
        const qint64 m = std::llround(scaled);
        if (double(m) / kDoublePow10[s] == d)
            return Decimal(m, s);
    }
    return Decimal(std::llround(d * kDoublePow10[kDoublePlaces]), kDoublePlaces);
}

std::optional<Decimal> Decimal::fromVariant(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return fromDouble(value.toDouble());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::Bool:
        return fromInt(value.toLongLong());
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        return u > qulonglong(kInt64Max) ? invalid() : fromInt(qint64(u));
    }
    default:
        if (isDecimal(value))
            return *static_cast<const Decimal *>(value.constData());
        return std::nullopt;
    }
}

bool Decimal::isDecimal(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<Decimal>();
}

QVariant Decimal::toVariant() const
{
    return isValid() ? QVariant::fromValue(*this) : null();
}

QVariant Decimal::null()
{
    return QVariant(QMetaType::fromType<Decimal>());
}

double Decimal::toDouble() const
{
    if (!isValid())
        return std::numeric_limits<double>::quiet_NaN();
    // Powers of ten a double holds exactly: one correctly rounded division.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (m_scale >= 0 && m_scale <= 22 && std::llabs(m_units) < (qint64(1) << 53))
        return double(m_units) / kPowers[m_scale];
    return std::strtod(toString().toLatin1().constData(), nullptr);
}

QString Decimal::toString() const
{
    if (!isValid())
        return QString();
    // The digits of |units| (as unsigned: the magnitude of INT64_MIN fits).
    const quint64 magnitude = m_units < 0 ? quint64(0) - quint64(m_units) : quint64(m_units);
    QString digits = QString::number(magnitude);
    if (m_scale > 0) {
        if (digits.size() <= m_scale)
            digits = QString(m_scale - digits.size() + 1, u'0') + digits;
        digits.insert(digits.size() - m_scale, u'.');
    }
    return m_units < 0 ? u'-' + digits : digits;
}

QString Decimal::toShortString() const
{
    return normalized().toString();
}

Decimal Decimal::normalized() const
{
    if (!isValid())
        return *this;
    qint64 units = m_units;
    int scale = m_scale;
    while (scale > 0 && units % 10 == 0) {
        units /= 10;
        --scale;
    }
    return Decimal(units, scale);
}

// The value at `places` (negative: tens, hundreds...), the places beyond given up
// by `divide` (rounding or truncating).
static Decimal toPlaces(qint64 units, int scale, int places, Wide (*divide)(Wide, Wide))
{
    places = std::max(places, -Decimal::kMaxScale);
    const int drop = scale - places;
    if (drop > 36)
        return Decimal::fromInt(0);
    const Wide kept = divide(Wide(units), pow10(drop));
    if (places < 0)
        return fit(kept * pow10(-places), 0);
    return fit(kept, places);
}

Decimal Decimal::rounded(int places) const
{
    if (!isValid() || places >= m_scale)
        return *this;
    return toPlaces(m_units, m_scale, places, divideRounded);
}

Decimal Decimal::truncated(int places) const
{
    if (!isValid() || places >= m_scale)
        return *this;
    return toPlaces(m_units, m_scale, places, [](Wide v, Wide d) { return v / d; });
}

Decimal Decimal::floor() const
{
    if (!isValid() || m_scale == 0)
        return *this;
    return fit(divideFloor(Wide(m_units), pow10(m_scale)), 0);
}

Decimal Decimal::ceiling() const
{
    return -(-*this).floor();
}

Decimal Decimal::abs() const
{
    return m_units < 0 ? -*this : *this;
}

Decimal Decimal::operator-() const
{
    if (!isValid())
        return *this;
    return fit(-Wide(m_units), m_scale);
}

Decimal operator+(const Decimal &a, const Decimal &b)
{
    if (!a.isValid() || !b.isValid())
        return Decimal::invalid();
    if (a.m_scale == b.m_scale) {
        qint64 sum;
        if (!__builtin_add_overflow(a.m_units, b.m_units, &sum))
            return Decimal(sum, a.m_scale);
    }
    const int scale = std::max(a.m_scale, b.m_scale);
    return fit(Wide(a.m_units) * pow10(scale - a.m_scale) + Wide(b.m_units) * pow10(scale - b.m_scale), scale);
}

Decimal operator-(const Decimal &a, const Decimal &b)
{
    return a + (-b);
}

Decimal &Decimal::operator+=(const Decimal &other)
{
    *this = *this + other;
    return *this;
}

Decimal operator*(const Decimal &a, const Decimal &b)
{
    if (!a.isValid() || !b.isValid())
        return Decimal::invalid();
    return fit(Wide(a.m_units) * Wide(b.m_units), a.m_scale + b.m_scale);
}

Decimal operator/(const Decimal &a, const Decimal &b)
{
    if (!a.isValid() || !b.isValid() || b.m_units == 0)
        return Decimal::invalid();
    // a / b at `scale` places is a.units * 10^(scale - a.scale + b.scale) / b.units;
    // the factor is kept to 10^19 so the numerator fits 128 bits.
    int scale = std::min<int>(Decimal::kMaxScale, std::max(a.m_scale, b.m_scale) + Decimal::kDivisionPlaces);
    scale = std::max(0, std::min(scale, 19 + a.m_scale - b.m_scale));
    const int exponent = scale - a.m_scale + b.m_scale;
    Wide numerator = Wide(a.m_units);
    Wide divisor = Wide(b.m_units);
    if (exponent >= 0)
        numerator *= pow10(exponent);
    else
        divisor *= pow10(-exponent);
    if (divisor < 0) {
        numerator = -numerator;
        divisor = -divisor;
    }
    return fit(divideRounded(numerator, divisor), scale);
}

Decimal Decimal::remainder(const Decimal &divisor) const
{
    if (!isValid() || !divisor.isValid() || divisor.m_units == 0)
        return invalid();
    const int scale = std::max(m_scale, divisor.m_scale);
    const Wide x = Wide(m_units) * pow10(scale - m_scale);
    const Wide y = Wide(divisor.m_units) * pow10(scale - divisor.m_scale);
    return fit(x % y, scale);
}

int Decimal::compare(const Decimal &a, const Decimal &b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid() ? 0 : (a.isValid() ? 1 : -1);
    if (a.m_scale == b.m_scale)
        return a.m_units < b.m_units ? -1 : (a.m_units > b.m_units ? 1 : 0);
    const int scale = std::max(a.m_scale, b.m_scale);
    const Wide x = Wide(a.m_units) * pow10(scale - a.m_scale);
    const Wide y = Wide(b.m_units) * pow10(scale - b.m_scale);
    return x < y ? -1 : (x > y ? 1 : 0);
}

namespace {

// QVariant's toDouble() and toString() of a Decimal, for code that only wants a
// number or a text of whatever it holds.
[[maybe_unused]] const bool registered = [] {
    QMetaType::registerConverter<Decimal, double>(&Decimal::toDouble);
    QMetaType::registerConverter<Decimal, QString>(&Decimal::toShortString);
    return true;
}();

} // namespace

} // namespace wip
