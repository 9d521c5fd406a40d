#include "reports/indentedjson.h"

#include <QLocale>

#include <cmath>

namespace wip::reports {

void IndentedJson::appendValue(QByteArray *out, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool: out->append(value.toBool() ? "true" : "false"); return;
    case QJsonValue::Double: appendNumber(out, value.toDouble()); return;
    case QJsonValue::String: appendString(out, value.toString()); return;
    default: out->append("null"); return;
    }
}

void IndentedJson::appendNumber(QByteArray *out, double value)
{
    if (!std::isfinite(value)) {
        out->append("null");
        return;
    }
    // A whole number a double holds exactly is kept as an integer.
    constexpr double exact = 9007199254740992.0;   // 2^53
    if (std::trunc(value) == value && std::fabs(value) <= exact) {
        out->append(QByteArray::number(qint64(value)));
        return;
    }
    out->append(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
}

void IndentedJson::appendString(QByteArray *out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    // Written into room made for the longest form (a UTF-16 unit never takes
    // more than six bytes: "\u001f", a lone surrogate's "\udc00"), then cut
    // to what was written: a report writes millions of these.
    const qsizetype at = out->size();
    out->resize(at + 2 + 6 * text.size());
    char *d = out->data() + at;
    *d++ = '"';
    const char16_t *p = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = p + text.size();
    while (p != end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            if (u >= 0x20 && u != u'"' && u != u'\\') {
                *d++ = char(u);
                continue;
            }
            *d++ = '\\';
            switch (u) {
            case u'"': *d++ = '"'; break;
            case u'\\': *d++ = '\\'; break;
            case 0x8: *d++ = 'b'; break;
            case 0xc: *d++ = 'f'; break;
            case 0xa: *d++ = 'n'; break;
            case 0xd: *d++ = 'r'; break;
            case 0x9: *d++ = 't'; break;
            default:
                *d++ = 'u';
                *d++ = '0';
                *d++ = '0';
                *d++ = hex[u >> 4];
                *d++ = hex[u & 0xf];
            }
        } else if (u < 0x800) {
            *d++ = char(0xc0 | (u >> 6));
            *d++ = char(0x80 | (u & 0x3f));
        } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
            const char32_t c = QChar::surrogateToUcs4(u, *p++);
            *d++ = char(0xf0 | (c >> 18));
            *d++ = char(0x80 | ((c >> 12) & 0x3f));
            *d++ = char(0x80 | ((c >> 6) & 0x3f));
            *d++ = char(0x80 | (c & 0x3f));
        } else if (QChar::isSurrogate(u)) {
            *d++ = '\\';
            *d++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *d++ = hex[(u >> shift) & 0xf];
        } else {
            *d++ = char(0xe0 | (u >> 12));
            *d++ = char(0x80 | ((u >> 6) & 0x3f));
            *d++ = char(0x80 | (u & 0x3f));
        }
    }
    *d++ = '"';
    out->resize(d - out->constData());
}

QByteArray IndentedJson::indented(const QByteArray &text, const QByteArray &prefix)
{
    if (prefix.isEmpty() || text.isEmpty())
        return text;
    QByteArray out;
    out.reserve(text.size() + prefix.size() * (text.count('\n') + 1));
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf('\n', start);
        const qsizetype end = newline < 0 ? text.size() : newline + 1;
        out.append(prefix);
        out.append(text.constData() + start, end - start);
        start = end;
    }
    return out;
}

} // namespace wip::reports
