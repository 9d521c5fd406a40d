#include "runtime/values.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace wip::values {

namespace {

// A cursor over the characters of a text (QChar) or of UTF-8 bytes (char): the
// grammar only ever looks at ASCII characters, so both read alike.
template<typename Char>
class Cursor
{
public:
    Cursor(const Char *data, qsizetype size)
        : m_data(data)
        , m_end(size)
    {
        while (m_pos < m_end && isBlank(at(m_pos)))
            ++m_pos;
        while (m_end > m_pos && isBlank(at(m_end - 1)))
            --m_end;
    }

    bool atEnd() const { return m_pos >= m_end; }
    char peek() const { return atEnd() ? '\0' : at(m_pos); }
    qsizetype position() const { return m_pos; }
    void reset(qsizetype position) { m_pos = position; }

    bool take(char c)
    {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }

    // Between min and max digits; their value, or -1 when fewer than min.
    int digits(int min, int max, int *count = nullptr)
    {
        int value = 0;
        int n = 0;
        while (n < max && isDigit(peek())) {
            value = value * 10 + (peek() - '0');
            ++m_pos;
            ++n;
        }
        if (count)
            *count = n;
        return n >= min ? value : -1;
    }

    bool skipBlanks()
    {
        const qsizetype from = m_pos;
        while (!atEnd() && isBlank(peek()))
            ++m_pos;
        return m_pos > from;
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    char at(qsizetype i) const
    {
        if constexpr (std::is_same_v<Char, QChar>) {
            const char16_t u = m_data[i].unicode();
            return u < 128 ? char(u) : '\x7f';
        } else {
            return m_data[i];
        }
    }

    const Char *m_data;
    qsizetype m_pos = 0;
    qsizetype m_end;
};

template<typename Char>
std::optional<QDate> readDate(Cursor<Char> &in)
{
    const qsizetype start = in.position();
    int yearDigits = 0;
    const int year = in.digits(4, 8, &yearDigits);
    if (year < 0)
        return std::nullopt;
    if (yearDigits == 8) {   // yyyymmdd
        const QDate d(year / 10000, year / 100 % 100, year % 100);
        return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
    }
    if (yearDigits != 4) {
        in.reset(start);
        return std::nullopt;
    }
    const char separator = in.peek();
    if (separator != '-' && separator != '/')
        return std::nullopt;
    in.take(separator);
    const int month = in.digits(1, 2);
    if (month < 0 || !in.take(separator))
        return std::nullopt;
    const int day = in.digits(1, 2);
    if (day < 0)
        return std::nullopt;
    const QDate d(year, month, day);
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

template<typename Char>
std::optional<QTime> readTime(Cursor<Char> &in)
{
    const int hour = in.digits(1, 2);
    if (hour < 0 || !in.take(':'))
        return std::nullopt;
    int minuteDigits = 0;
    const int minute = in.digits(2, 2, &minuteDigits);
    if (minute < 0)
        return std::nullopt;
    int second = 0;
    int msec = 0;
    if (in.take(':')) {
        second = in.digits(2, 2);
        if (second < 0)
            return std::nullopt;
        if (in.take('.')) {
            int places = 0;
            const int fraction = in.digits(1, 6, &places);
            if (fraction < 0)
                return std::nullopt;
            msec = places >= 3 ? fraction / int(std::pow(10, places - 3)) : fraction * int(std::pow(10, 3 - places));
        }
    }
    const QTime t(hour, minute, second, msec);
    return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}

template<typename Char>
std::optional<DateTimeText> readDateTimeText(const Char *data, qsizetype size)
{
    Cursor<Char> in(data, size);
    const std::optional<QDate> date = readDate(in);
    if (!date)
        return std::nullopt;
    DateTimeText result;
    result.date = *date;
    if (in.atEnd())
        return result;
    if (!in.take('T') && !in.skipBlanks())
        return std::nullopt;
    const std::optional<QTime> time = readTime(in);
    if (!time || !in.atEnd())
        return std::nullopt;
    result.time = *time;
    result.hasTime = true;
    return result;
}

// The exact value of [+|-] digits [. digits] [e [+|-] digits].
template<typename Char>
std::optional<Decimal> readNumber(Cursor<Char> &in)
{
    const bool negative = in.peek() == '-';
    if (negative || in.peek() == '+')
        in.take(in.peek());
    __int128 units = 0;
    int significant = 0;    // digits kept in units
    int scale = 0;          // places of units after the point
    int digits = 0;
    bool roundUp = false;   // the first digit dropped was 5 or more
    bool dropped = false;
    auto addDigit = [&](char c, bool fraction) {
        ++digits;
        if (significant >= 36) {   // beyond what any result can keep
            if (!dropped)
                roundUp = c >= '5';
            dropped = true;
            if (!fraction)
                --scale;           // a whole-number digit dropped: the scale moves down
            return;
        }
        if (units != 0 || c != '0')
            ++significant;
        units = units * 10 + (c - '0');
        if (fraction)
            ++scale;
    };
    while (Cursor<Char>::isDigit(in.peek())) {
        addDigit(in.peek(), false);
        in.take(in.peek());
    }
    if (in.take('.')) {
        while (Cursor<Char>::isDigit(in.peek())) {
            addDigit(in.peek(), true);
            in.take(in.peek());
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (in.peek() == 'e' || in.peek() == 'E') {
        in.take(in.peek());
        const bool negativeExponent = in.peek() == '-';
        if (negativeExponent || in.peek() == '+')
            in.take(in.peek());
        const int exponent = in.digits(1, 4);
        if (exponent < 0)
            return std::nullopt;
        scale += negativeExponent ? exponent : -exponent;
    }
    if (!in.atEnd())
        return std::nullopt;
    if (roundUp)
        units += 1;
    if (negative)
        units = -units;
    // Whole numbers beyond the point (1.2e3, or digits dropped above): scale back to 0.
    while (scale < 0) {
        if (units > std::numeric_limits<qint64>::max() || units < std::numeric_limits<qint64>::min())
            return std::nullopt;
        units *= 10;
        ++scale;
    }
    // Places beyond what a Decimal keeps, or units beyond 64 bits, are rounded away.
    while (scale > Decimal::kMaxScale
           || units > std::numeric_limits<qint64>::max() || units < std::numeric_limits<qint64>::min()) {
        if (scale == 0)
            return std::nullopt;
        const __int128 q = units / 10;
        const int r = int(units % 10);
        units = r >= 5 ? q + 1 : (r <= -5 ? q - 1 : q);
        --scale;
    }
    return Decimal::fromUnits(qint64(units), scale);
}

constexpr qint64 kMsecsPerDay = 86400000;
const qint64 kFirstDay = QDate(1, 1, 1).toJulianDay();

} // namespace

QDate noDate()
{
    return QDate(1900, 1, 1);
}

std::optional<DateTimeText> readDateTime(QStringView text)
{
    return readDateTimeText(text.data(), text.size());
}

std::optional<DateTimeText> readDateTime(QByteArrayView utf8)
{
    return readDateTimeText(utf8.data(), utf8.size());
}

std::optional<QDate> parseDate(QStringView text)
{
    const auto read = readDateTime(text);
    return read ? std::optional<QDate>(read->date) : std::nullopt;
}

std::optional<QDate> parseDateWithoutTime(QStringView text)
{
    const auto read = readDateTime(text);
    return read && !read->hasTime ? std::optional<QDate>(read->date) : std::nullopt;
}

std::optional<QDateTime> parseDateTime(QStringView text)
{
    const auto read = readDateTime(text);
    return read ? std::optional<QDateTime>(read->toDateTime()) : std::nullopt;
}

std::optional<QTime> parseTime(QStringView text)
{
    Cursor<QChar> in(text.data(), text.size());
    const std::optional<QTime> time = readTime(in);
    return time && in.atEnd() ? time : std::nullopt;
}

std::optional<Decimal> parseNumber(QStringView text)
{
    Cursor<QChar> in(text.data(), text.size());
    return readNumber(in);
}

std::optional<Decimal> parseNumber(QByteArrayView utf8)
{
    Cursor<char> in(utf8.data(), utf8.size());
    return readNumber(in);
}

qint64 wallClockMsecs(const QDate &date, const QTime &time)
{
    return (date.toJulianDay() - kFirstDay) * kMsecsPerDay + (time.isValid() ? time.msecsSinceStartOfDay() : 0);
}

QDateTime fromWallClockMsecs(qint64 msecs)
{
    const qint64 days = msecs >= 0 ? msecs / kMsecsPerDay : -((-msecs + kMsecsPerDay - 1) / kMsecsPerDay);
    return QDateTime(QDate::fromJulianDay(days + kFirstDay), QTime::fromMSecsSinceStartOfDay(int(msecs - days * kMsecsPerDay)));
}

QStringList formatSections(const QString &mask)
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

QString dateText(const QDate &date)
{
    return date.isValid() ? date.toString(u"yyyy-MM-dd") : QString();
}

QString dateTimeText(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return QString();
    // Written by hand: the calendar's general formatting costs more than the
    // rest of writing a date cell to a file.
    int year = 0, month = 0, day = 0;
    dateTime.date().getDate(&year, &month, &day);
    if (year < 1000 || year > 9999)
        return dateTime.toString(u"yyyy-MM-dd HH:mm:ss");
    const QTime time = dateTime.time();
    char16_t text[19];
    const auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char16_t(u'0' + value % 10);
    };
    put(0, year, 4);
    text[4] = u'-';
    put(5, month, 2);
    text[7] = u'-';
    put(8, day, 2);
    text[10] = u' ';
    put(11, time.hour(), 2);
    text[13] = u':';
    put(14, time.minute(), 2);
    text[16] = u':';
    put(17, time.second(), 2);
    return QString(reinterpret_cast<const QChar *>(text), 19);
}

QString dateOrDateTimeText(const QDateTime &dateTime)
{
    if (dateTime.isValid() && dateTime.time() == QTime(0, 0))
        return dateText(dateTime.date());
    return dateTimeText(dateTime);
}

QString timeText(const QTime &time)
{
    return time.isValid() ? time.toString(u"HH:mm:ss") : QString();
}

QString numberText(const Decimal &number)
{
    return number.toShortString();
}

QString numberText(double number)
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
    return text == u"-0" ? QStringLiteral("0") : text;
}

} // namespace wip::values
