#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QVariant>

#include <optional>

namespace wip {

// The host's system functions that the windows call, under the host's names.
// Null goes in, null comes out: a null QString, QDate or QVariant argument gives a
// null result, as the windows' tests of null operands expect.

QDate Today();
QTime Now();
QDate RelativeDate(const QDate &date, int days);

// "yyyy-mm-dd" or "yyyy/mm/dd" (month and day with one or two digits), optionally
// followed by a time of day, which is ignored. A text that is not a valid date
// (empty, "2024-02-30", "soon") gives 1900-01-01, the host's "no date" value;
// a null text gives a null date.
QDate Date(const QString &text);
QDate Date(const QDateTime &dateTime);

QDateTime DateTime(const QDate &date, const QTime &time = QTime(0, 0));

// A value as text. Without a format: dates "yyyy-mm-dd", date-times
// "yyyy-mm-dd hh:mm:ss", times "hh:mm:ss", numbers in their shortest form.
// With a format: dates and times by the host's pattern letters (yyyy yy mmmm mmm
// mm m dddd ddd dd d for dates; hh h mm ss fff for times - "mm" is minutes next
// to hours or seconds), numbers by "0", "#", "," and "." ("#,##0.00"; a second
// section after ";" is used for negative numbers). Quoted text is copied.
QString String(const QVariant &value);
QString String(const QVariant &value, const QString &format);

QString Trim(const QString &text);
QString Left(const QString &text, int count);
QString Right(const QString &text, int count);
// Characters from start (1-based), count of them; count < 0: to the end.
// A start past the end gives an empty text.
QString Mid(const QString &text, int start, int count = -1);

// A value as a decimal number. Null stays null (nullopt); a text that is not a
// number gives 0, as in the host.
std::optional<double> Dec(const QVariant &value);

// True when the value holds a number of any numeric type or a Decimal (not a bool, not text).
bool isNumberValue(const QVariant &value);

} // namespace wip
