#include "runtime/numbermask.h"

#include "runtime/values.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace wip {

namespace {

// One piece of a mask: a placeholder run or literal text.
struct MaskPart
{
    bool literal = true;
    QString text;   // literal text, or the placeholder characters
};

// Splits a section into literal text (quoted, \-escaped, or any character that is
// not a placeholder) and placeholder runs made of the given characters.
std::vector<MaskPart> splitParts(const QString &section, auto isPlaceholder)
{
    std::vector<MaskPart> parts;
    auto addLiteral = [&parts](const QString &s) {
        if (s.isEmpty())
            return;
        if (!parts.empty() && parts.back().literal)
            parts.back().text += s;
        else
            parts.push_back({true, s});
    };
    for (int i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (c == u'\\' && i + 1 < section.size()) {
            addLiteral(QString(section.at(++i)));
        } else if (c == u'"') {
            const qsizetype end = section.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? section.size() : end;
            addLiteral(section.mid(i + 1, stop - i - 1));
            i = int(stop);
        } else if (isPlaceholder(section, i)) {
            if (!parts.empty() && !parts.back().literal)
                parts.back().text += c;
            else
                parts.push_back({false, QString(c)});
        } else {
            addLiteral(QString(c));
        }
    }
    return parts;
}

// Digits of |value| rounded half away from zero to `decimals` places.
struct RoundedDigits
{
    QString integer;   // "0" for zero
    QString fraction;  // exactly `decimals` digits
    bool isZero = true;
};

RoundedDigits roundDigits(const Decimal &value, int decimals)
{
    RoundedDigits out;
    const Decimal rounded = value.abs().rounded(decimals);
    const QString text = rounded.toString();   // every place of its scale, at most `decimals`
    const qsizetype point = text.indexOf(u'.');
    out.integer = point < 0 ? text : text.left(point);
    out.fraction = point < 0 ? QString() : text.mid(point + 1);
    out.fraction += QString(decimals - out.fraction.size(), u'0');
    out.isZero = rounded.isZero();
    return out;
}

QString groupThousands(const QString &digits)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += u',';
        out += digits.at(i);
    }
    return out;
}

} // namespace

NumberMask::NumberMask(const QString &mask)
{
    const QStringList sections = values::formatSections(mask);
    for (qsizetype i = 0; i < std::min<qsizetype>(sections.size(), 3); ++i)
        m_sections.push_back(parseSection(sections.at(i)));
}

QString NumberMask::format(double value) const
{
    if (!std::isfinite(value))
        return QString();
    const Decimal d = Decimal::fromDouble(value);
    if (!d.isValid())   // beyond 18 digits: the whole number as it is
        return QString::number(value, 'f', 0);
    return format(d);
}

QString NumberMask::format(const Decimal &value) const
{
    if (!value.isValid())
        return QString();
    const Section &positive = m_sections.front();
    // The section is chosen by the value as the positive section shows it: 0.001
    // shown with two decimals is a zero.
    if (roundDigits(value, positive.decimals).isZero)
        return applySection(Decimal(), m_sections.size() > 2 ? m_sections[2] : positive, false);
    if (value.sign() < 0) {
        if (m_sections.size() > 1)
            return applySection(value, m_sections[1], false);
        return applySection(value, positive, true);
    }
    return applySection(value, positive, false);
}

Decimal NumberMask::shown(const Decimal &value) const
{
    const Section &positive = m_sections.front();
    if (!value.isValid() || !positive.hasDigits)
        return value;
    const Decimal inPositive = value.rounded(positive.decimals);
    if (inPositive.isZero() || value.sign() > 0)
        return inPositive.isZero() ? Decimal() : inPositive;
    const Section &negative = m_sections.size() > 1 ? m_sections[1] : positive;
    return negative.hasDigits ? value.rounded(negative.decimals) : value;
}

NumberMask::Section NumberMask::parseSection(const QString &section)
{
    Section s;
    // A '.' or ',' is part of the number only next to a digit placeholder.
    auto isPlaceholder = [](const QString &text, int i) {
        const QChar c = text.at(i);
        if (c == u'#' || c == u'0')
            return true;
        if (c == u'.' || c == u',') {
            for (int j = i + 1; j < text.size(); ++j) {
                const QChar d = text.at(j);
                if (d == u'#' || d == u'0')
                    return true;
                if (d != u'.' && d != u',')
                    break;
            }
            for (int j = i - 1; j >= 0; --j) {
                const QChar d = text.at(j);
                if (d == u'#' || d == u'0')
                    return true;
                if (d != u'.' && d != u',')
                    break;
            }
        }
        return false;
    };
    const std::vector<MaskPart> parts = splitParts(section, isPlaceholder);
    // The first placeholder run is the number; literals before and after it frame it.
    bool seenNumber = false;
    for (const MaskPart &part : parts) {
        if (part.literal) {
            (seenNumber ? s.suffix : s.prefix) += part.text;
            continue;
        }
        if (seenNumber) {
            s.suffix += part.text; // a second run of placeholders: shown as written
            continue;
        }
        seenNumber = true;
        s.hasDigits = true;
        const qsizetype point = part.text.indexOf(u'.');
        const QString intPart = point < 0 ? part.text : part.text.left(point);
        const QString decPart = point < 0 ? QString() : part.text.mid(point + 1);
        s.intZeros = int(intPart.count(u'0'));
        s.grouping = intPart.contains(u',');
        int place = 0;
        for (const QChar c : decPart) {
            if (c == u'#' || c == u'0') {
                ++place;
                if (c == u'0')
                    s.minDecimals = place;
            }
        }
        s.decimals = std::min(place, 15);
        s.minDecimals = std::min(s.minDecimals, s.decimals);
    }
    return s;
}

QString NumberMask::applySection(const Decimal &value, const Section &s, bool minus)
{
    if (!s.hasDigits) {
        const QString literal = s.prefix + s.suffix;
        return literal.trimmed().isEmpty() ? QString() : literal;
    }
    const RoundedDigits d = roundDigits(value, s.decimals);
    QString integer = d.integer == u"0" ? QString() : d.integer;
    if (integer.size() < s.intZeros)
        integer = integer.rightJustified(s.intZeros, u'0');
    QString fraction = d.fraction;
    while (fraction.size() > s.minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (integer.isEmpty() && fraction.isEmpty())
        integer = QStringLiteral("0");
    if (s.grouping)
        integer = groupThousands(integer);
    QString number = fraction.isEmpty() ? integer : integer + u'.' + fraction;
    return (minus ? QStringLiteral("-") : QString()) + s.prefix + number + s.suffix;
}

} // namespace wip
