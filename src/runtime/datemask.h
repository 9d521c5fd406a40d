#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <vector>

namespace wip {

// A date and time display mask, parsed once and applied to many values.
//
//   yyyy yy      year            m mm mmm mmmm   month (5, 05, May, May)
//   d dd         day             ddd dddd        weekday (Sat, Saturday)
//   h hh         hour            m mm            minutes after an hour or before seconds
//   s ss         seconds         f ff fff        fractions of a second
//   am/pm        12-hour clock   "text" \c       shown as written
//   [shortdate] = yyyy-mm-dd     [time] = hh:mm:ss
//
// Letters compare without regard to case ("YYYY-MM-DD H:MM" is year-month-day
// hour:minutes). Only the first ';' section counts.
class DateMask
{
public:
    explicit DateMask(const QString &format);

    // False when the mask shows no part of a date or time (a number mask, say).
    bool isDateMask() const { return m_hasPieces; }
    // True when it shows a year, month or day, which a bare time of day has not.
    bool needsCalendarDate() const;
    QString format(const QDate &date, const QTime &time) const;

private:
    enum class Piece {
        Literal, Year4, Year2, Month, Month2, MonthShort, MonthLong, Day, Day2, DayShort, DayLong,
        Hour, Hour2, Minute, Minute2, Second, Second2, Fraction, AmPm
    };
    struct Token
    {
        Piece piece = Piece::Literal;
        QString text;  // literal text, or the number of fraction digits
    };

    static Token pieceOf(QChar letter, int run);
    static std::vector<Token> tokenize(const QString &mask, bool *twelveHour);
    static void markMinutes(std::vector<Token> &tokens);

    std::vector<Token> m_tokens;
    bool m_twelveHour = false;
    bool m_hasPieces = false;
};

} // namespace wip
