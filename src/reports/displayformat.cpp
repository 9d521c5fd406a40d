#include "reports/displayformat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <vector>

namespace wip::reports {

namespace {

bool isNumberValue(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool isDateValue(const QVariant &v)
{
    const int t = v.typeId();
    return t == QMetaType::QDate || t == QMetaType::QDateTime || t == QMetaType::QTime;
}

// Splits a mask at ';' outside "quoted" parts and \-escapes.
QStringList splitSections(const QString &mask)
{
    QStringList sections;
    QString current;
    bool inQuote = false;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == u'\\' && i + 1 < mask.size()) {
            current += c;
            current += mask.at(++i);
            continue;
        }
        if (c == u'"')
            inQuote = !inQuote;
        if (c == u';' && !inQuote) {
            sections.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    sections.append(current);
    return sections;
}

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

// ---------------------------------------------------------------------------
// Numbers

struct NumberSection
{
    QString prefix;
    QString suffix;
    bool hasDigits = false;   // false: the section is literal text only (e.g. " ")
    int decimals = 0;         // digit places after the point
    int minDecimals = 0;      // places that always show ('0' after the point)
    int intZeros = 0;         // '0' places before the point: the minimum integer digits
    bool grouping = false;    // ',' in the integer part
};

NumberSection parseNumberSection(const QString &section)
{
    NumberSection s;
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

// Digits of |value| rounded half away from zero to `decimals` places.
struct RoundedDigits
{
    QString integer;   // "0" for zero
    QString fraction;  // exactly `decimals` digits
    bool isZero = true;
};

RoundedDigits roundDigits(double value, int decimals)
{
    RoundedDigits out;
    const double a = std::fabs(value);
    const double p = std::pow(10.0, decimals);
    const double scaled = a * p;
    if (scaled < 9.0e15) {
        double r = std::floor(scaled);
        // 2.675 * 100 is 267.49999999999997: count what is within rounding noise of .5 as .5
        if (scaled - r >= 0.5 - 1e-9 - scaled * 1e-15)
            r += 1;
        const auto whole = static_cast<qint64>(r);
        const auto pp = static_cast<qint64>(p);
        out.integer = QString::number(whole / pp);
        out.fraction = decimals > 0 ? QString::number(whole % pp).rightJustified(decimals, u'0')
                                    : QString();
        out.isZero = whole == 0;
    } else {
        const QString text = QString::number(a, 'f', decimals);
        const qsizetype point = text.indexOf(u'.');
        out.integer = point < 0 ? text : text.left(point);
        out.fraction = point < 0 ? QString() : text.mid(point + 1);
        out.isZero = false;
    }
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

QString applyNumberSection(double value, const NumberSection &s, bool minus)
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

bool hasNumberPlaceholder(const QString &mask)
{
    return mask.contains(u'#') || mask.contains(u'0');
}

QString formatNumber(double value, const QString &mask)
{
    if (!std::isfinite(value))
        return QString();
    const QStringList sections = splitSections(mask);
    const NumberSection positive = parseNumberSection(sections.at(0));
    const bool zero = roundDigits(value, positive.decimals).isZero;
    if (zero) {
        if (sections.size() > 2)
            return applyNumberSection(0, parseNumberSection(sections.at(2)), false);
        return applyNumberSection(0, positive, false);
    }
    if (value < 0) {
        if (sections.size() > 1)
            return applyNumberSection(value, parseNumberSection(sections.at(1)), false);
        return applyNumberSection(value, positive, true);
    }
    return applyNumberSection(value, positive, false);
}

// ---------------------------------------------------------------------------
// Dates

enum class DatePiece {
    Literal, Year4, Year2, Month, Month2, MonthShort, MonthLong, Day, Day2, DayShort, DayLong,
    Hour, Hour2, Minute, Minute2, Second, Second2, Fraction, AmPm
};

struct DateToken
{
    DatePiece piece = DatePiece::Literal;
    QString text;  // literal text, or the fraction placeholder count
};

std::vector<DateToken> tokenizeDateMask(const QString &mask, bool *twelveHour)
{
    std::vector<DateToken> tokens;
    auto literal = [&tokens](const QString &s) {
        if (!tokens.empty() && tokens.back().piece == DatePiece::Literal)
            tokens.back().text += s;
        else
            tokens.push_back({DatePiece::Literal, s});
    };
    *twelveHour = false;
    const int n = int(mask.size());
    for (int i = 0; i < n;) {
        const QChar c = mask.at(i);
        const QChar lc = c.toLower();
        if (c == u'\\' && i + 1 < n) {
            literal(QString(mask.at(i + 1)));
            i += 2;
            continue;
        }
        if (c == u'"') {
            const qsizetype end = mask.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? n : end;
            literal(mask.mid(i + 1, stop - i - 1));
            i = int(stop) + 1;
            continue;
        }
        if (mask.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            tokens.push_back({DatePiece::AmPm, QString()});
            *twelveHour = true;
            i += 5;
            continue;
        }
        if (lc == u'y' || lc == u'm' || lc == u'd' || lc == u'h' || lc == u's' || lc == u'f') {
            int run = 1;
            while (i + run < n && mask.at(i + run).toLower() == lc)
                ++run;
            DateToken t;
            switch (lc.unicode()) {
            case 'y': t.piece = run >= 3 ? DatePiece::Year4 : DatePiece::Year2; break;
            case 'm':
                t.piece = run >= 4 ? DatePiece::MonthLong
                        : run == 3 ? DatePiece::MonthShort
                        : run == 2 ? DatePiece::Month2
                                   : DatePiece::Month;
                break;
            case 'd':
                t.piece = run >= 4 ? DatePiece::DayLong
                        : run == 3 ? DatePiece::DayShort
                        : run == 2 ? DatePiece::Day2
                                   : DatePiece::Day;
                break;
            case 'h': t.piece = run >= 2 ? DatePiece::Hour2 : DatePiece::Hour; break;
            case 's': t.piece = run >= 2 ? DatePiece::Second2 : DatePiece::Second; break;
            default:
                t.piece = DatePiece::Fraction;
                t.text = QString::number(std::min(run, 3));
                break;
            }
            tokens.push_back(t);
            i += run;
            continue;
        }
        literal(QString(c));
        ++i;
    }

    // m and mm stand for minutes after an hour or before seconds.
    for (size_t i = 0; i < tokens.size(); ++i) {
        DateToken &t = tokens[i];
        if (t.piece != DatePiece::Month && t.piece != DatePiece::Month2)
            continue;
        bool minutes = false;
        for (size_t j = i; j-- > 0;) {
            if (tokens[j].piece == DatePiece::Literal)
                continue;
            minutes = tokens[j].piece == DatePiece::Hour || tokens[j].piece == DatePiece::Hour2;
            break;
        }
        if (!minutes) {
            for (size_t j = i + 1; j < tokens.size(); ++j) {
                if (tokens[j].piece == DatePiece::Literal)
                    continue;
                minutes = tokens[j].piece == DatePiece::Second || tokens[j].piece == DatePiece::Second2;
                break;
            }
        }
        if (minutes)
            t.piece = t.piece == DatePiece::Month ? DatePiece::Minute : DatePiece::Minute2;
    }
    return tokens;
}

const char *const kMonthNames[] = {"January", "February", "March", "April", "May", "June", "July",
                                   "August", "September", "October", "November", "December"};
const char *const kDayNames[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                 "Saturday", "Sunday"};

bool hasDatePieces(const std::vector<DateToken> &tokens)
{
    return std::any_of(tokens.begin(), tokens.end(),
                       [](const DateToken &t) { return t.piece != DatePiece::Literal; });
}

bool needsCalendarDate(const std::vector<DateToken> &tokens)
{
    return std::any_of(tokens.begin(), tokens.end(), [](const DateToken &t) {
        switch (t.piece) {
        case DatePiece::Year4: case DatePiece::Year2: case DatePiece::Month: case DatePiece::Month2:
        case DatePiece::MonthShort: case DatePiece::MonthLong: case DatePiece::Day: case DatePiece::Day2:
        case DatePiece::DayShort: case DatePiece::DayLong:
            return true;
        default:
            return false;
        }
    });
}

QString two(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

QString applyDateMask(const QDate &date, const QTime &time, const std::vector<DateToken> &tokens,
                      bool twelveHour)
{
    QString out;
    for (const DateToken &t : tokens) {
        int hour = time.hour();
        if (twelveHour) {
            hour %= 12;
            if (hour == 0)
                hour = 12;
        }
        switch (t.piece) {
        case DatePiece::Literal: out += t.text; break;
        case DatePiece::Year4: out += QString::number(date.year()).rightJustified(4, u'0'); break;
        case DatePiece::Year2: out += two(date.year() % 100); break;
        case DatePiece::Month: out += QString::number(date.month()); break;
        case DatePiece::Month2: out += two(date.month()); break;
        case DatePiece::MonthShort: out += QLatin1String(kMonthNames[date.month() - 1]).left(3); break;
        case DatePiece::MonthLong: out += QLatin1String(kMonthNames[date.month() - 1]); break;
        case DatePiece::Day: out += QString::number(date.day()); break;
        case DatePiece::Day2: out += two(date.day()); break;
        case DatePiece::DayShort: out += QLatin1String(kDayNames[date.dayOfWeek() - 1]).left(3); break;
        case DatePiece::DayLong: out += QLatin1String(kDayNames[date.dayOfWeek() - 1]); break;
        case DatePiece::Hour: out += QString::number(hour); break;
        case DatePiece::Hour2: out += two(hour); break;
        case DatePiece::Minute: out += QString::number(time.minute()); break;
        case DatePiece::Minute2: out += two(time.minute()); break;
        case DatePiece::Second: out += QString::number(time.second()); break;
        case DatePiece::Second2: out += two(time.second()); break;
        case DatePiece::Fraction:
            out += QString::number(time.msec()).rightJustified(3, u'0').left(t.text.toInt());
            break;
        case DatePiece::AmPm: out += time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"); break;
        }
    }
    return out;
}

// Replaces the named masks by the masks they stand for.
QString expandNamedMasks(QString mask)
{
    mask.replace(QStringLiteral("[shortdate]"), QStringLiteral("yyyy-mm-dd"), Qt::CaseInsensitive);
    mask.replace(QStringLiteral("[date]"), QStringLiteral("yyyy-mm-dd"), Qt::CaseInsensitive);
    mask.replace(QStringLiteral("[longdate]"), QStringLiteral("yyyy-mm-dd"), Qt::CaseInsensitive);
    mask.replace(QStringLiteral("[time]"), QStringLiteral("hh:mm:ss"), Qt::CaseInsensitive);
    return mask;
}

} // namespace

QString generalNumberText(double number)
{
    if (!std::isfinite(number))
        return QString();
    const double a = std::fabs(number);
    QString text;
    if (a >= 1e15) {
        text = QString::number(number, 'f', 0);
    } else {
        const int intDigits = a < 1 ? 1 : int(std::floor(std::log10(a))) + 1;
        text = QString::number(number, 'f', std::clamp(15 - intDigits, 0, 15));
        if (text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
    }
    if (text == u"-0")
        text = QStringLiteral("0");
    return text;
}

QString generalText(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    if (isNumberValue(value))
        return generalNumberText(value.toDouble());
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.toString(QStringLiteral("yyyy-MM-dd"));
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    default:
        return value.toString();
    }
}

QString formatValue(const QVariant &value, const QString &format)
{
    if (value.isNull() || !value.isValid())
        return QString();
    const QString trimmed = format.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("[general]"), Qt::CaseInsensitive) == 0
        || trimmed.startsWith(u'@'))
        return generalText(value);

    if (isNumberValue(value)) {
        if (!hasNumberPlaceholder(format) || format.contains(u'['))
            return generalText(value);
        return formatNumber(value.toDouble(), format);
    }
    if (isDateValue(value)) {
        const QString mask = expandNamedMasks(splitSections(format).at(0));
        if (mask.contains(u'['))
            return generalText(value);
        bool twelveHour = false;
        const std::vector<DateToken> tokens = tokenizeDateMask(mask, &twelveHour);
        if (!hasDatePieces(tokens))
            return generalText(value);
        if (value.typeId() == QMetaType::QTime) {
            if (needsCalendarDate(tokens))
                return generalText(value);
            return applyDateMask(QDate(1900, 1, 1), value.toTime(), tokens, twelveHour);
        }
        if (value.typeId() == QMetaType::QDate)
            return applyDateMask(value.toDate(), QTime(0, 0), tokens, twelveHour);
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return QString();
        return applyDateMask(dt.date(), dt.time(), tokens, twelveHour);
    }
    return generalText(value);
}

} // namespace wip::reports
