#pragma once

#include "runtime/decimal.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

// How expressions treat the values they meet: which values are numbers, texts
// and dates, how two values compare, and the conversions the built-in functions
// share. Numbers are exact decimals (runtime/decimal.h). Internal to the
// expression evaluator.
namespace wip::reports::expr {

bool isNumber(const QVariant &v);    // a Decimal or any numeric type, not bool
bool isNumeric(const QVariant &v);   // numbers and booleans (true = 1) in arithmetic
bool isDateLike(const QVariant &v);  // QDate, QDateTime, QTime
bool isText(const QVariant &v);

QDateTime toDateTime(const QVariant &v);          // a date at midnight; a time on 1900-01-01
QDateTime parseDateText(const QString &text);     // the values module's date forms; invalid if not one
std::optional<Decimal> textToNumber(const QString &text);
std::optional<Decimal> toNumber(const QVariant &v); // numbers and booleans; nullopt otherwise
int toInt(const Decimal &d);                      // whole part, clamped to +-1e9
QVariant numberValue(const Decimal &d);           // NULL when invalid (overflow, division by zero)
QVariant numberValue(qint64 n);

// Compares two non-null values: numbers as numbers, dates as dates, texts as
// texts (case-sensitive). A text meets a number or a date as one when it reads as
// one, else as text. A number and a date do not compare (nullopt).
std::optional<int> compareOperands(const QVariant &a, const QVariant &b);

QString textOf(const QVariant &v);                // a text as it is, anything else as [general]
std::optional<Decimal> numberArg(const QVariant &v); // numbers, booleans and numeric texts
QDateTime dateTimeArg(const QVariant &v);           // dates and date texts

} // namespace wip::reports::expr
