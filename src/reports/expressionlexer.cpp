#include "reports/expressionlexer.h"

#include "reports/expression.h"
#include "runtime/values.h"

#include <cmath>

namespace wip::reports {

ExprToken ExpressionLexer::next()
{
    const int n = int(m_text.size());
    while (m_pos < n && m_text.at(m_pos).isSpace())
        ++m_pos;
    ExprToken t;
    t.pos = m_pos;
    if (m_pos >= n)
        return t;
    const QChar c = m_text.at(m_pos);
    if (c.isDigit() || (c == u'.' && m_pos + 1 < n && m_text.at(m_pos + 1).isDigit()))
        return number(t);
    if (c == u'\'' || c == u'"') {
        const int end = readQuotedString(m_text, m_pos, &t.text);
        if (end < 0) {
            t.kind = ExprTok::Bad;
            t.text = QStringLiteral("Unterminated string");
            m_pos = n;
            return t;
        }
        t.kind = ExprTok::String;
        m_pos = end;
        return t;
    }
    if (c.isLetter() || c == u'_') {
        int end = m_pos + 1;
        while (end < n && (m_text.at(end).isLetterOrNumber() || m_text.at(end) == u'_'
                           || m_text.at(end) == u'$' || m_text.at(end) == u'#'))
            ++end;
        t.kind = ExprTok::Name;
        t.text = m_text.mid(m_pos, end - m_pos);
        m_pos = end;
        return t;
    }
    ++m_pos;
    switch (c.unicode()) {
    case '(': t.kind = ExprTok::LParen; return t;
    case ')': t.kind = ExprTok::RParen; return t;
    case ',': t.kind = ExprTok::Comma; return t;
    case '+': t.kind = ExprTok::Plus; return t;
    case '-': t.kind = ExprTok::Minus; return t;
    case '*': t.kind = ExprTok::Star; return t;
    case '/': t.kind = ExprTok::Slash; return t;
    case '^': t.kind = ExprTok::Caret; return t;
    case '=': t.kind = ExprTok::Eq; return t;
    case '<':
        if (m_pos < n && m_text.at(m_pos) == u'>') { ++m_pos; t.kind = ExprTok::Ne; return t; }
        if (m_pos < n && m_text.at(m_pos) == u'=') { ++m_pos; t.kind = ExprTok::Le; return t; }
        t.kind = ExprTok::Lt;
        return t;
    case '>':
        if (m_pos < n && m_text.at(m_pos) == u'=') { ++m_pos; t.kind = ExprTok::Ge; return t; }
        t.kind = ExprTok::Gt;
        return t;
    default:
        break;
    }
    t.kind = ExprTok::Bad;
    t.text = QStringLiteral("Unexpected character '%1'").arg(c);
    return t;
}

ExprToken ExpressionLexer::number(ExprToken t)
{
    const int n = int(m_text.size());
    int end = m_pos;
    while (end < n && m_text.at(end).isDigit())
        ++end;
    if (end < n && m_text.at(end) == u'.') {
        ++end;
        while (end < n && m_text.at(end).isDigit())
            ++end;
    }
    if (end < n && (m_text.at(end) == u'e' || m_text.at(end) == u'E')) {
        int e = end + 1;
        if (e < n && (m_text.at(e) == u'+' || m_text.at(e) == u'-'))
            ++e;
        if (e < n && m_text.at(e).isDigit()) {
            while (e < n && m_text.at(e).isDigit())
                ++e;
            end = e;
        }
    }
    // Numbers are exact decimals: one that does not fit 18 digits is refused here.
    const auto value = values::parseNumber(QStringView(m_text).mid(m_pos, end - m_pos));
    t.kind = value ? ExprTok::Number : ExprTok::Bad;
    if (value) {
        t.number = value->toDouble();
        t.text = m_text.mid(m_pos, end - m_pos);   // read exactly by the parser
    } else {
        t.text = QStringLiteral("Bad number");
    }
    // "12abc" is not a number followed by a name
    if (t.kind == ExprTok::Number && end < n && (m_text.at(end).isLetter() || m_text.at(end) == u'_')) {
        t.kind = ExprTok::Bad;
        t.text = QStringLiteral("Bad number");
    }
    m_pos = end;
    return t;
}

} // namespace wip::reports
