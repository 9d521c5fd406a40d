#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

namespace wip::reports {

// JSON written piece by piece exactly as QJsonDocument's indented form writes
// it whole: the same escapes (control characters, quote and backslash; a lone
// surrogate as \uXXXX; everything else as UTF-8), numbers that are whole and
// within 2^53 as integers and others in their shortest form ("1e+17"), four
// blanks per level. A report too big to hold as one document is written this
// way row by row, and reads the same as the document would.
class IndentedJson
{
public:
    // A number, text, boolean or null (arrays and objects are laid out by the caller).
    static void appendValue(QByteArray *out, const QJsonValue &value);
    static void appendString(QByteArray *out, const QString &text);
    static void appendNumber(QByteArray *out, double value);

    // Text of a document (or part of one) moved right: prefix put before every line.
    static QByteArray indented(const QByteArray &text, const QByteArray &prefix);
};

} // namespace wip::reports
