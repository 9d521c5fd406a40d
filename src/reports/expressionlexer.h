#pragma once

#include <QString>

namespace wip::reports {

enum class ExprTok {
    End, Number, String, Name, LParen, RParen, Comma,
    Plus, Minus, Star, Slash, Caret, Eq, Ne, Lt, Gt, Le, Ge, Bad
};

struct ExprToken
{
    ExprTok kind = ExprTok::End;
    QString text;     // name as written, string value, number as written, or the message of a Bad token
    double number = 0;
    int pos = 0;      // 0-based
};

// Cuts an expression text into tokens, one at a time, so that a huge text is
// never held as a list. Keywords (and, or, not, for ...) come out as names.
// Internal to the expression parser.
class ExpressionLexer
{
public:
    explicit ExpressionLexer(const QString &text) : m_text(text) {}

    ExprToken next();

private:
    ExprToken number(ExprToken t);

    const QString &m_text;   // owned by the caller, outlives the lexer
    int m_pos = 0;
};

} // namespace wip::reports
