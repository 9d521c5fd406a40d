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
    out->append('"');
    const char16_t *p = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = p + text.size();
    while (p != end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            if (u >= 0x20 && u != u'"' && u != u'\\') {
                out->append(char(u));
                continue;
            }
            out->append('\\');
            switch (u) {
            case u'"': out->append('"'); break;
            case u'\\': out->append('\\'); break;
            case 0x8: out->append('b'); break;
            case 0xc: out->append('f'); break;
            case 0xa: out->append('n'); break;
            case 0xd: out->append('r'); break;
            case 0x9: out->append('t'); break;
            default:
                out->append("u00");
                out->append(hex[u >> 4]);
                out->append(hex[u & 0xf]);
            }
        } else if (u < 0x800) {
            out->append(char(0xc0 | (u >> 6)));
            out->append(char(0x80 | (u & 0x3f)));
        } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
            const char32_t c = QChar::surrogateToUcs4(u, *p++);
            out->append(char(0xf0 | (c >> 18)));
            out->append(char(0x80 | ((c >> 12) & 0x3f)));
            out->append(char(0x80 | ((c >> 6) & 0x3f)));
            out->append(char(0x80 | (c & 0x3f)));
        } else if (QChar::isSurrogate(u)) {
            out->append("\\u");
            for (int shift = 12; shift >= 0; shift -= 4)
                out->append(hex[(u >> shift) & 0xf]);
        } else {
            out->append(char(0xe0 | (u >> 12)));
            out->append(char(0x80 | ((u >> 6) & 0x3f)));
            out->append(char(0x80 | (u & 0x3f)));
        }
    }
    out->append('"');
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
