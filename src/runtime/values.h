#pragma once

#include "runtime/decimal.h"

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTime>

#include <optional>

// How Wip reads and writes the texts of dates, date-times and numbers: the one
// grammar that database texts, typed fields, retrieval arguments, expressions,
// saved reports and the command line share, and their plain written forms.
//
// Dates and date-times (blanks around the text are ignored):
//   date        yyyy-m-d  or  yyyy/m/d     month and day of one or two digits, one
//                                          separator throughout ("2004-3-1")
//               yyyymmdd                   eight digits ("20040301")
//   date-time   <date> then blanks or 'T', then h:mm, h:mm:ss or h:mm:ss.f
//               ("2004-03-01 14:30", "2004-03-01T14:30:00.250", up to six places
//               of a second, kept to the millisecond)
// Impossible dates and times ("2004-02-30", "24:00") are refused, as is
// anything else.
//
// Numbers: [+|-] digits [. digits] or [+|-] . digits, then optionally e or E and
// a whole exponent ("12", "-0.585", ".5", "1.2e3"), blanks around ignored. No
// thousands separators, no "inf" or "nan". Read exactly into a Decimal.
//
// A text the grammar refuses gives nullopt. What a caller then does differs by
// caller and is said at its call: the host's Dec counts it as 0, its Date as
// noDate(), the expression functions as NULL, retrieval arguments refuse it.
namespace wip::values {

// The host's "no date", which Date() gives for a text that is not a date.
QDate noDate();

struct DateTimeText
{
    QDate date;
    QTime time{0, 0};
    bool hasTime = false;
    QDateTime toDateTime() const { return QDateTime(date, time); }   // local wall clock
};

// The grammar above, on a text or on the UTF-8 bytes of a database value.
std::optional<DateTimeText> readDateTime(QStringView text);
std::optional<DateTimeText> readDateTime(QByteArrayView utf8);

std::optional<QDate> parseDate(QStringView text);             // a date, or the day of a date-time
std::optional<QDate> parseDateWithoutTime(QStringView text);  // a date and nothing more
std::optional<QDateTime> parseDateTime(QStringView text);     // a date-time, or a date at midnight
std::optional<QTime> parseTime(QStringView text);             // h:mm, h:mm:ss or h:mm:ss.f
std::optional<Decimal> parseNumber(QStringView text);
std::optional<Decimal> parseNumber(QByteArrayView utf8);           // the same on database bytes

// Wall-clock milliseconds from 0001-01-01 of a date and time, and back: a
// date-time as one integer, in the order of the calendar, with no time zone
// (the databases store wall-clock times).
qint64 wallClockMsecs(const QDate &date, const QTime &time);
QDateTime fromWallClockMsecs(qint64 msecs);

// The ';'-separated sections of a display format (';' inside "quotes" or after a
// backslash does not separate). Always at least one, possibly empty.
QStringList formatSections(const QString &format);

// Written forms.
QString dateText(const QDate &date);                 // "2004-03-01"; "" for an invalid date
QString dateTimeText(const QDateTime &dateTime);     // "2004-03-01 14:30:00" (the databases' text form)
QString dateOrDateTimeText(const QDateTime &dateTime); // the date alone at midnight, else as dateTimeText
QString timeText(const QTime &time);                 // "14:30:00"
QString numberText(const Decimal &number);           // "33917.85": every place that is not a trailing zero
QString numberText(double number);                   // the same for a double: at most 15 significant digits

} // namespace wip::values
