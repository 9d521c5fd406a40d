#include "runtime/datemask.h"

#include "runtime/values.h"

#include <QStringList>

#include <algorithm>

namespace wip {

namespace {

// Replaces the named masks by the masks they stand for.
QString expandNamedMasks(QString mask)
{
    mask.replace(QStringLiteral("[shortdate]"), QStringLiteral("yyyy-mm-dd"), Qt::CaseInsensitive);
    mask.replace(QStringLiteral("[date]"), QStringLiteral("yyyy-mm-dd"), Qt::CaseInsensitive);
    mask.replace(QStringLiteral("[longdate]"), QStringLiteral("yyyy-mm-dd"), Qt::CaseInsensitive);
    mask.replace(QStringLiteral("[time]"), QStringLiteral("hh:mm:ss"), Qt::CaseInsensitive);
    return mask;
}

const char *const kMonthNames[] = {"January", "February", "March", "April", "May", "June", "July",
                                   "August", "September", "October", "November", "December"};
const char *const kDayNames[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                 "Saturday", "Sunday"};

QString two(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

} // namespace

DateMask::DateMask(const QString &format)
{
    const QString mask = expandNamedMasks(values::formatSections(format).at(0));
    if (mask.contains(u'[')) // a name we do not know: not a date mask
        return;
    m_tokens = tokenize(mask, &m_twelveHour);
    markMinutes(m_tokens);
    m_hasPieces = std::any_of(m_tokens.begin(), m_tokens.end(),
                              [](const Token &t) { return t.piece != Piece::Literal; });
}

DateMask::Token DateMask::pieceOf(QChar letter, int run)
{
    Token t;
    switch (letter.unicode()) {
    case 'y': t.piece = run >= 3 ? Piece::Year4 : Piece::Year2; break;
    case 'm':
        t.piece = run >= 4 ? Piece::MonthLong
                : run == 3 ? Piece::MonthShort
                : run == 2 ? Piece::Month2
                           : Piece::Month;
        break;
    case 'd':
        t.piece = run >= 4 ? Piece::DayLong
                : run == 3 ? Piece::DayShort
                : run == 2 ? Piece::Day2
                           : Piece::Day;
        break;
    case 'h': t.piece = run >= 2 ? Piece::Hour2 : Piece::Hour; break;
    case 's': t.piece = run >= 2 ? Piece::Second2 : Piece::Second; break;
    default:
        t.piece = Piece::Fraction;
        t.text = QString::number(std::min(run, 3));
        break;
    }
    return t;
}

std::vector<DateMask::Token> DateMask::tokenize(const QString &mask, bool *twelveHour)
{
    std::vector<Token> tokens;
    auto literal = [&tokens](const QString &s) {
        if (!tokens.empty() && tokens.back().piece == Piece::Literal)
            tokens.back().text += s;
        else
            tokens.push_back({Piece::Literal, s});
    };
    const int n = int(mask.size());
    for (int i = 0; i < n;) {
        const QChar c = mask.at(i);
        const QChar lc = c.toLower();
        if (c == u'\\' && i + 1 < n) {
            literal(QString(mask.at(i + 1)));
            i += 2;
        } else if (c == u'"') {
            const qsizetype end = mask.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? n : end;
            literal(mask.mid(i + 1, stop - i - 1));
            i = int(stop) + 1;
        } else if (mask.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            tokens.push_back({Piece::AmPm, QString()});
            *twelveHour = true;
            i += 5;
        } else if (lc == u'y' || lc == u'm' || lc == u'd' || lc == u'h' || lc == u's' || lc == u'f') {
            int run = 1;
            while (i + run < n && mask.at(i + run).toLower() == lc)
                ++run;
            tokens.push_back(pieceOf(lc, run));
            i += run;
        } else {
            literal(QString(c));
            ++i;
        }
    }
    return tokens;
}

// m and mm stand for minutes after an hour or before seconds.
void DateMask::markMinutes(std::vector<Token> &tokens)
{
    const int n = int(tokens.size());
    auto nearest = [&tokens, n](int i, int step) {
        for (int j = i + step; j >= 0 && j < n; j += step) {
            if (tokens[size_t(j)].piece != Piece::Literal)
                return tokens[size_t(j)].piece;
        }
        return Piece::Literal;
    };
    for (int i = 0; i < n; ++i) {
        Token &t = tokens[size_t(i)];
        if (t.piece != Piece::Month && t.piece != Piece::Month2)
            continue;
        const Piece before = nearest(i, -1);
        const Piece after = nearest(i, +1);
        if (before == Piece::Hour || before == Piece::Hour2 || after == Piece::Second || after == Piece::Second2)
            t.piece = t.piece == Piece::Month ? Piece::Minute : Piece::Minute2;
    }
}

bool DateMask::needsCalendarDate() const
{
    return std::any_of(m_tokens.begin(), m_tokens.end(), [](const Token &t) {
        switch (t.piece) {
        case Piece::Year4: case Piece::Year2: case Piece::Month: case Piece::Month2:
        case Piece::MonthShort: case Piece::MonthLong: case Piece::Day: case Piece::Day2:
        case Piece::DayShort: case Piece::DayLong:
            return true;
        default:
            return false;
        }
    });
}

QString DateMask::format(const QDate &date, const QTime &time) const
{
    QString out;
    for (const Token &t : m_tokens) {
        int hour = time.hour();
        if (m_twelveHour) {
            hour %= 12;
            if (hour == 0)
                hour = 12;
        }
        switch (t.piece) {
        case Piece::Literal: out += t.text; break;
        case Piece::Year4: out += QString::number(date.year()).rightJustified(4, u'0'); break;
        case Piece::Year2: out += two(date.year() % 100); break;
        case Piece::Month: out += QString::number(date.month()); break;
        case Piece::Month2: out += two(date.month()); break;
        case Piece::MonthShort: out += QLatin1String(kMonthNames[date.month() - 1]).left(3); break;
        case Piece::MonthLong: out += QLatin1String(kMonthNames[date.month() - 1]); break;
        case Piece::Day: out += QString::number(date.day()); break;
        case Piece::Day2: out += two(date.day()); break;
        case Piece::DayShort: out += QLatin1String(kDayNames[date.dayOfWeek() - 1]).left(3); break;
        case Piece::DayLong: out += QLatin1String(kDayNames[date.dayOfWeek() - 1]); break;
        case Piece::Hour: out += QString::number(hour); break;
        case Piece::Hour2: out += two(hour); break;
        case Piece::Minute: out += QString::number(time.minute()); break;
        case Piece::Minute2: out += two(time.minute()); break;
        case Piece::Second: out += QString::number(time.second()); break;
        case Piece::Second2: out += two(time.second()); break;
        case Piece::Fraction:
            out += QString::number(time.msec()).rightJustified(3, u'0').left(t.text.toInt());
            break;
        case Piece::AmPm: out += time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"); break;
        }
    }
    return out;
}

} // namespace wip
