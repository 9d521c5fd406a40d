#pragma once

#include "reports/expressionlexer.h"
#include "reports/expressionnode.h"

#include <QString>
#include <memory>
#include <optional>

namespace wip::reports {

// Recursive-descent parser of the expression language, lowest precedence first:
//   or  <  and  <  not  <  = <> < > <= >=  <  + -  <  * /  <  unary -  <  ^
// Function calls are checked against the table of built-in functions (name and
// number of arguments); aggregates take "for all", "for group N" or "for crosstab".
// Nesting and tree depth are bounded, so a hostile text gives an error, not a
// stack overflow. Internal to Expression::parse.
class ExpressionParser
{
public:
    using NodePtr = std::unique_ptr<Expression::Node>;

    // Parentheses, calls and unary operators the parser descends into.
    static constexpr int kMaxNesting = 100;
    // Height of the finished tree (a + b + c ... grows it by one per term); bounds
    // the recursion of evaluation and destruction.
    static constexpr int kMaxTreeDepth = 1000;

    explicit ExpressionParser(const QString &text);

    // The tree of the whole text, or nullptr with error() set.
    NodePtr parseAll();
    // "<message> at position <1-based position>".
    QString error() const { return m_error; }

private:
    using Kind = Expression::Node::Kind;

    // Counts the parser's own recursion while in scope.
    struct Nest
    {
        explicit Nest(ExpressionParser &p) : parser(p) { ++parser.m_nesting; }
        ~Nest() { --parser.m_nesting; }
        bool tooDeep() const { return parser.m_nesting > kMaxNesting; }
        ExpressionParser &parser;
    };

    void advance();
    const ExprToken &peek();
    NodePtr fail(const QString &message);
    NodePtr failAt(const QString &message, int pos);
    bool isKeyword(const ExprToken &t, const char *word) const;
    static bool isComparison(ExprTok t);
    NodePtr join(Kind kind, ExprTok op, NodePtr left, NodePtr right, int pos);

    NodePtr parseOr();
    NodePtr parseAnd();
    NodePtr parseNot();
    NodePtr parseComparison();
    NodePtr parseAdditive();
    NodePtr parseMultiplicative();
    NodePtr parseUnary();
    NodePtr parsePower();
    NodePtr parsePrimary();
    NodePtr parseCall(const ExprToken &nameToken);
    bool parseRange(Expression::Node &node);

    ExpressionLexer m_lexer;
    ExprToken m_tok;
    std::optional<ExprToken> m_ahead;
    int m_nesting = 0;
    QString m_error;
};

} // namespace wip::reports
