#include "reports/expressionparser.h"

#include "runtime/values.h"

#include <atomic>
#include <cmath>

namespace wip::reports {

namespace {
std::atomic<quint64> s_nextAggregateId{1};
}

ExpressionParser::ExpressionParser(const QString &text)
    : m_lexer(text)
{
    advance();
}

ExpressionParser::NodePtr ExpressionParser::parseAll()
{
    NodePtr root = parseOr();
    if (!root)
        return nullptr;
    if (m_tok.kind != ExprTok::End)
        return fail(m_tok.kind == ExprTok::RParen ? QStringLiteral("Unexpected ')'")
                                                  : QStringLiteral("Unexpected text"));
    return root;
}

void ExpressionParser::advance()
{
    if (m_ahead) {
        m_tok = *m_ahead;
        m_ahead.reset();
    } else {
        m_tok = m_lexer.next();
    }
}

const ExprToken &ExpressionParser::peek()
{
    if (!m_ahead)
        m_ahead = m_lexer.next();
    return *m_ahead;
}

ExpressionParser::NodePtr ExpressionParser::fail(const QString &message)
{
    return failAt(message, m_tok.pos);
}

ExpressionParser::NodePtr ExpressionParser::failAt(const QString &message, int pos)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("%1 at position %2").arg(message).arg(pos + 1);
    return nullptr;
}

bool ExpressionParser::isKeyword(const ExprToken &t, const char *word) const
{
    return t.kind == ExprTok::Name && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

ExpressionParser::NodePtr ExpressionParser::join(Kind kind, ExprTok op, NodePtr left, NodePtr right, int pos)
{
    auto node = std::make_unique<Expression::Node>(kind);
    node->op = op;
    node->add(std::move(left));
    node->add(std::move(right));
    if (node->depth > kMaxTreeDepth)
        return failAt(QStringLiteral("Expression too long"), pos);
    return node;
}

ExpressionParser::NodePtr ExpressionParser::parseOr()
{
    Nest nest(*this);
    if (nest.tooDeep())
        return fail(QStringLiteral("Expression nested too deeply"));
    NodePtr left = parseAnd();
    while (left && isKeyword(m_tok, "or")) {
        const int pos = m_tok.pos;
        advance();
        NodePtr right = parseAnd();
        if (!right)
            return nullptr;
        left = join(Kind::Or, ExprTok::End, std::move(left), std::move(right), pos);
    }
    return left;
}

ExpressionParser::NodePtr ExpressionParser::parseAnd()
{
    NodePtr left = parseNot();
    while (left && isKeyword(m_tok, "and")) {
        const int pos = m_tok.pos;
        advance();
        NodePtr right = parseNot();
        if (!right)
            return nullptr;
        left = join(Kind::And, ExprTok::End, std::move(left), std::move(right), pos);
    }
    return left;
}

ExpressionParser::NodePtr ExpressionParser::parseNot()
{
    if (isKeyword(m_tok, "not")) {
        Nest nest(*this);
        if (nest.tooDeep())
            return fail(QStringLiteral("Expression nested too deeply"));
        advance();
        NodePtr operand = parseNot();
        if (!operand)
            return nullptr;
        auto node = std::make_unique<Expression::Node>(Kind::Not);
        node->add(std::move(operand));
        return node;
    }
    return parseComparison();
}

bool ExpressionParser::isComparison(ExprTok t)
{
    return t == ExprTok::Eq || t == ExprTok::Ne || t == ExprTok::Lt || t == ExprTok::Gt || t == ExprTok::Le
        || t == ExprTok::Ge;
}

ExpressionParser::NodePtr ExpressionParser::parseComparison()
{
    NodePtr left = parseAdditive();
    while (left && isComparison(m_tok.kind)) {
        const ExprTok op = m_tok.kind;
        const int pos = m_tok.pos;
        advance();
        NodePtr right = parseAdditive();
        if (!right)
            return nullptr;
        left = join(Kind::Binary, op, std::move(left), std::move(right), pos);
    }
    return left;
}

ExpressionParser::NodePtr ExpressionParser::parseAdditive()
{
    NodePtr left = parseMultiplicative();
    while (left && (m_tok.kind == ExprTok::Plus || m_tok.kind == ExprTok::Minus)) {
        const ExprTok op = m_tok.kind;
        const int pos = m_tok.pos;
        advance();
        NodePtr right = parseMultiplicative();
        if (!right)
            return nullptr;
        left = join(Kind::Binary, op, std::move(left), std::move(right), pos);
    }
    return left;
}

ExpressionParser::NodePtr ExpressionParser::parseMultiplicative()
{
    NodePtr left = parseUnary();
    while (left && (m_tok.kind == ExprTok::Star || m_tok.kind == ExprTok::Slash)) {
        const ExprTok op = m_tok.kind;
        const int pos = m_tok.pos;
        advance();
        NodePtr right = parseUnary();
        if (!right)
            return nullptr;
        left = join(Kind::Binary, op, std::move(left), std::move(right), pos);
    }
    return left;
}

ExpressionParser::NodePtr ExpressionParser::parseUnary()
{
    if (m_tok.kind == ExprTok::Minus || m_tok.kind == ExprTok::Plus) {
        Nest nest(*this);
        if (nest.tooDeep())
            return fail(QStringLiteral("Expression nested too deeply"));
        const bool negate = m_tok.kind == ExprTok::Minus;
        advance();
        NodePtr operand = parseUnary();
        if (!operand || !negate)
            return operand;
        auto node = std::make_unique<Expression::Node>(Kind::Negate);
        node->add(std::move(operand));
        return node;
    }
    return parsePower();
}

ExpressionParser::NodePtr ExpressionParser::parsePower()
{
    NodePtr base = parsePrimary();
    if (base && m_tok.kind == ExprTok::Caret) {
        const int pos = m_tok.pos;
        advance();
        NodePtr exponent = parseUnary(); // right-associative: 2^3^2 = 2^9
        if (!exponent)
            return nullptr;
        return join(Kind::Binary, ExprTok::Caret, std::move(base), std::move(exponent), pos);
    }
    return base;
}

ExpressionParser::NodePtr ExpressionParser::parsePrimary()
{
    const ExprToken t = m_tok;
    switch (t.kind) {
    case ExprTok::Number: {
        advance();
        auto node = std::make_unique<Expression::Node>(Kind::Literal);
        node->literal = values::parseNumber(t.text)->toVariant();   // the lexer read it
        return node;
    }
    case ExprTok::String: {
        advance();
        auto node = std::make_unique<Expression::Node>(Kind::Literal);
        node->literal = t.text;
        return node;
    }
    case ExprTok::LParen: {
        advance();
        NodePtr inner = parseOr();
        if (!inner)
            return nullptr;
        if (m_tok.kind != ExprTok::RParen)
            return fail(QStringLiteral("Expecting ')'"));
        advance();
        return inner;
    }
    case ExprTok::Name: {
        const QString lower = t.text.toLower();
        if (lower == u"and" || lower == u"or" || lower == u"not")
            return fail(QStringLiteral("Unexpected '%1'").arg(t.text));
        if (peek().kind == ExprTok::LParen)
            return parseCall(t);
        advance();
        auto node = std::make_unique<Expression::Node>(Kind::Name);
        node->name = lower;
        return node;
    }
    case ExprTok::Bad:
        return fail(t.text);
    case ExprTok::End:
        return fail(QStringLiteral("Unexpected end of expression"));
    case ExprTok::RParen:
        return fail(QStringLiteral("Unexpected ')'"));
    case ExprTok::Comma:
        return fail(QStringLiteral("Unexpected ','"));
    default:
        return fail(QStringLiteral("Expecting a value"));
    }
}

ExpressionParser::NodePtr ExpressionParser::parseCall(const ExprToken &nameToken)
{
    const QString lower = nameToken.text.toLower();
    const BuiltinFunction *builtin = findBuiltinFunction(lower);
    if (!builtin)
        return fail(QStringLiteral("Unknown function '%1'").arg(nameToken.text));
    advance(); // name
    advance(); // (
    Nest nest(*this);
    if (nest.tooDeep())
        return fail(QStringLiteral("Expression nested too deeply"));

    const Kind kind = builtin->aggregate != AggregateKind::None ? Kind::Aggregate
                    : builtin->impl == nullptr              ? Kind::If
                                                         : Kind::Call;
    auto node = std::make_unique<Expression::Node>(kind);
    node->function = builtin;
    int count = 0;
    if (m_tok.kind != ExprTok::RParen) {
        while (true) {
            if (count >= builtin->maxArgs)
                return fail(QStringLiteral("Too many arguments for %1()").arg(lower));
            NodePtr arg = parseOr();
            if (!arg)
                return nullptr;
            node->add(std::move(arg));
            ++count;
            if (node->depth > kMaxTreeDepth)
                return fail(QStringLiteral("Expression too long"));
            if (kind == Kind::Aggregate && isKeyword(m_tok, "for")) {
                if (!parseRange(*node))
                    return nullptr;
                break;
            }
            if (m_tok.kind != ExprTok::Comma)
                break;
            advance();
        }
    }
    if (m_tok.kind != ExprTok::RParen)
        return fail(QStringLiteral("Expecting ')' or ','"));
    if (count < builtin->minArgs)
        return fail(QStringLiteral("Too few arguments for %1()").arg(lower));
    advance();
    if (kind == Kind::Aggregate)
        node->aggregateId = s_nextAggregateId.fetch_add(1);
    return node;
}

bool ExpressionParser::parseRange(Expression::Node &node)
{
    advance();
    if (isKeyword(m_tok, "all")) {
        node.range = AggregateRange::All;
        advance();
    } else if (isKeyword(m_tok, "crosstab")) {
        node.range = AggregateRange::Crosstab;
        advance();
    } else if (isKeyword(m_tok, "group")) {
        advance();
        if (m_tok.kind != ExprTok::Number || m_tok.number < 1 || m_tok.number > 99
            || m_tok.number != std::floor(m_tok.number)) {
            fail(QStringLiteral("Expecting a group level"));
            return false;
        }
        node.range = AggregateRange::Group;
        node.groupLevel = int(m_tok.number);
        advance();
    } else {
        fail(QStringLiteral("Expecting 'all', 'group N' or 'crosstab' after 'for'"));
        return false;
    }
    return true;
}

} // namespace wip::reports
