#include "reports/expression.h"

#include "reports/columndata.h"
#include "reports/displayformat.h"
#include "reports/expressionfunctions.h"
#include "reports/expressionnode.h"
#include "reports/expressionparser.h"
#include "reports/expressionvalues.h"

#include <cmath>
#include <optional>

// Evaluation of a parsed expression for one row: a walk over the tree, with NULL
// as a value that flows through arithmetic and comparisons, and aggregates that
// read their range of rows once and keep the result in the context's cache.

namespace wip::reports {

namespace {

using namespace expr;
using Kind = Expression::Node::Kind;

QVariant eval(const Expression::Node &node, const EvalEnv &env);

QVariant evalBinary(const Expression::Node &node, const EvalEnv &env)
{
    const QVariant a = eval(*node.children[0], env);
    const QVariant b = eval(*node.children[1], env);
    if (a.isNull() || b.isNull())
        return QVariant();

    switch (node.op) {
    case ExprTok::Plus:
        if (isText(a) || isText(b))
            return QString(textOf(a) + textOf(b));
        if (const auto x = toNumber(a), y = toNumber(b); x && y)
            return numberValue(*x + *y);
        return QVariant();
    case ExprTok::Minus:
    case ExprTok::Star:
    case ExprTok::Slash:
    case ExprTok::Caret: {
        const std::optional<Decimal> xn = toNumber(a), yn = toNumber(b);
        if (!xn || !yn)
            return QVariant();
        const Decimal x = *xn, y = *yn;
        switch (node.op) {
        case ExprTok::Minus: return numberValue(x - y);
        case ExprTok::Star: return numberValue(x * y);
        case ExprTok::Slash: return numberValue(x / y);   // NULL for y = 0
        default: return numberValue(Decimal::fromDouble(std::pow(x.toDouble(), y.toDouble())));
        }
    }
    default:
        break;
    }

    const std::optional<int> c = compareOperands(a, b);
    if (!c)
        return QVariant();
    switch (node.op) {
    case ExprTok::Eq: return *c == 0;
    case ExprTok::Ne: return *c != 0;
    case ExprTok::Lt: return *c < 0;
    case ExprTok::Gt: return *c > 0;
    case ExprTok::Le: return *c <= 0;
    case ExprTok::Ge: return *c >= 0;
    default: return QVariant();
    }
}

// What an aggregate has gathered so far over the values of its rows.
struct Gathered
{
    Decimal sum;
    qint64 count = 0;
    QVariant best;

    void add(AggregateKind kind, const QVariant &v)
    {
        if (v.isNull())
            return;
        switch (kind) {
        case AggregateKind::Count:
            ++count;
            break;
        case AggregateKind::Sum:
        case AggregateKind::Avg:
            if (const auto n = numberArg(v)) {
                sum += *n;
                ++count;
            }
            break;
        case AggregateKind::Min:
        case AggregateKind::Max: {
            if (best.isNull()) {
                best = v;
                break;
            }
            const auto c = compareOperands(v, best);
            if (c && ((kind == AggregateKind::Min && *c < 0) || (kind == AggregateKind::Max && *c > 0)))
                best = v;
            break;
        }
        case AggregateKind::None:
            break;
        }
    }

    QVariant result(AggregateKind kind) const
    {
        switch (kind) {
        case AggregateKind::Count: return numberValue(count);
        case AggregateKind::Sum: return numberValue(sum);
        case AggregateKind::Avg: return count == 0 ? QVariant() : numberValue(sum / Decimal::fromInt(count));
        default: return best;
        }
    }
};

QVariant computeAggregate(const Expression::Node &node, const EvalEnv &env, int first, int last)
{
    const Expression::Node &arg = *node.children[0];
    const AggregateKind kind = node.function->aggregate;
    Gathered gathered;
    for (int r = first; r <= last; ++r)
        gathered.add(kind, eval(arg, EvalEnv{env.context, r}));
    return gathered.result(kind);
}

QVariant evalAggregate(const Expression::Node &node, const EvalEnv &env)
{
    const ExpressionContext &ctx = env.context;
    std::pair<int, int> range;
    switch (node.range) {
    case AggregateRange::All: range = ctx.groupRange(0, env.row); break;
    case AggregateRange::Group: range = ctx.groupRange(node.groupLevel, env.row); break;
    case AggregateRange::Crosstab: range = ctx.crosstabRange(env.row); break;
    }
    const int first = std::max(1, range.first);
    const int last = std::min(ctx.rowCount(), range.second);

    AggregateCache *cache = ctx.aggregateCache();
    if (!cache)
        return computeAggregate(node, env, first, last);
    const AggregateKey key{node.aggregateId, first, last};
    const auto it = cache->constFind(key);
    if (it != cache->constEnd())
        return it.value();
    const QVariant result = computeAggregate(node, env, first, last);
    cache->insert(key, result);
    return result;
}

QVariant eval(const Expression::Node &node, const EvalEnv &env)
{
    switch (node.kind) {
    case Kind::Literal:
        return node.literal;
    case Kind::Name: {
        if (!env.context.hasName(node.name))
            return QVariant();
        return env.context.item(env.row, node.name);
    }
    case Kind::Negate: {
        // A NULL number (a column's empty weight) stays NULL.
        const std::optional<Decimal> n = toNumber(eval(*node.children[0], env));
        if (!n)
            return QVariant();
        return numberValue(-*n);
    }
    case Kind::Not: {
        const QVariant v = eval(*node.children[0], env);
        if (v.isNull())
            return QVariant();
        return !Expression::isTrue(v);
    }
    case Kind::And:
        if (!Expression::isTrue(eval(*node.children[0], env)))
            return false;
        return Expression::isTrue(eval(*node.children[1], env));
    case Kind::Or:
        if (Expression::isTrue(eval(*node.children[0], env)))
            return true;
        return Expression::isTrue(eval(*node.children[1], env));
    case Kind::Binary:
        return evalBinary(node, env);
    case Kind::If:
        return Expression::isTrue(eval(*node.children[0], env)) ? eval(*node.children[1], env)
                                                                 : eval(*node.children[2], env);
    case Kind::Call: {
        QVariantList args;
        args.reserve(qsizetype(node.children.size()));
        for (const auto &child : node.children)
            args.append(eval(*child, env));
        return node.function->impl(args, env);
    }
    case Kind::Aggregate:
        return evalAggregate(node, env);
    }
    return QVariant();
}

void collectNames(const Expression::Node &node, QStringList *names)
{
    if (node.kind == Kind::Name && !names->contains(node.name))
        names->append(node.name);
    for (const auto &child : node.children)
        collectNames(*child, names);
}

void collectRowNames(const Expression::Node &node, QStringList *names)
{
    if (node.kind == Kind::Aggregate)
        return;
    if (node.kind == Kind::Name && !names->contains(node.name))
        names->append(node.name);
    for (const auto &child : node.children)
        collectRowNames(*child, names);
}

bool containsDivision(const Expression::Node &node)
{
    if ((node.kind == Kind::Binary && node.op == ExprTok::Slash)
        || (node.kind == Kind::Aggregate && node.function->aggregate == AggregateKind::Avg))
        return true;
    for (const auto &child : node.children) {
        if (containsDivision(*child))
            return true;
    }
    return false;
}

bool containsAggregate(const Expression::Node &node)
{
    if (node.kind == Kind::Aggregate)
        return true;
    for (const auto &child : node.children)
        if (containsAggregate(*child))
            return true;
    return false;
}

// Whether a subtree reads anything beyond the row it is evaluated in: an
// aggregate, or the number of rows.
bool readsBeyondRow(const Expression::Node &node)
{
    if (node.kind == Kind::Aggregate)
        return true;
    if (node.kind == Kind::Call && node.function && qstrcmp(node.function->name, "rowcount") == 0)
        return true;
    for (const auto &child : node.children)
        if (readsBeyondRow(*child))
            return true;
    return false;
}

void collectAggregates(const Expression::Node &node, std::vector<const Expression::Node *> *found)
{
    if (node.kind == Kind::Aggregate) {
        found->push_back(&node);
        return;
    }
    for (const auto &child : node.children)
        collectAggregates(*child, found);
}

} // namespace

struct Expression::Totals::Running
{
    const Node *node;
    Gathered gathered;
};

Expression::Totals::Totals() = default;
Expression::Totals::~Totals() = default;

bool Expression::Totals::accepts(const Expression &expression, const std::function<bool(const QString &)> &rowLocal)
{
    std::vector<const Node *> aggregates;
    collectAggregates(*expression.m_root, &aggregates);
    for (const Node *a : aggregates) {
        if (a->children.size() != 1 || readsBeyondRow(*a->children[0]))
            return false;
        QStringList names;
        collectNames(*a->children[0], &names);
        for (const QString &name : names) {
            if (!rowLocal(name))
                return false;
        }
    }
    return true;
}

void Expression::Totals::track(const Expression &expression)
{
    std::vector<const Node *> aggregates;
    collectAggregates(*expression.m_root, &aggregates);
    for (const Node *a : aggregates)
        m_running.push_back(Running{a, {}});
}

void Expression::Totals::add(const ExpressionContext &context, int first, int last)
{
    for (Running &r : m_running) {
        const Node &arg = *r.node->children[0];
        const AggregateKind kind = r.node->function->aggregate;
        // A sum, average or count of a number column: straight from its typed
        // values, as the loop below would add them.
        int offset = 0;
        const ColumnData *values = arg.kind == Node::Kind::Name
                && (kind == AggregateKind::Sum || kind == AggregateKind::Avg || kind == AggregateKind::Count)
            ? context.columnValues(arg.name, &offset)
            : nullptr;
        if (values && values->type() == ValueType::Number) {
            for (int row = first; row <= last; ++row) {
                if (values->isNull(row - offset))
                    continue;
                if (kind != AggregateKind::Count)
                    r.gathered.sum += values->decimalAt(row - offset);
                ++r.gathered.count;
            }
            continue;
        }
        for (int row = first; row <= last; ++row)
            r.gathered.add(kind, eval(arg, EvalEnv{context, row}));
    }
}

void Expression::Totals::put(AggregateCache *cache, int rowCount) const
{
    // The key evalAggregate looks for: every range of a report without groups
    // is rows 1 to rowCount (1 to 0 without rows).
    for (const Running &r : m_running)
        cache->insert(AggregateKey{r.node->aggregateId, 1, rowCount}, r.gathered.result(r.node->function->aggregate));
}

Expression::Expression() = default;
Expression::~Expression() = default;

std::unique_ptr<Expression> Expression::parse(const QString &text, QString *error)
{
    ExpressionParser parser(text);
    ExpressionParser::NodePtr root = parser.parseAll();
    if (!root) {
        if (error)
            *error = parser.error();
        return nullptr;
    }
    std::unique_ptr<Expression> expression(new Expression);
    expression->m_root = std::move(root);
    expression->m_text = text;
    if (error)
        error->clear();
    return expression;
}

QVariant Expression::evaluate(const ExpressionContext &context, int row) const
{
    return eval(*m_root, EvalEnv{context, row});
}

bool Expression::test(const ExpressionContext &context, int row) const
{
    return isTrue(evaluate(context, row));
}

bool Expression::isTrue(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isNumber(value))
        return !toNumber(value)->isZero();
    return false;
}

QString Expression::text() const
{
    return m_text;
}

QStringList Expression::referencedNames() const
{
    QStringList names;
    collectNames(*m_root, &names);
    return names;
}

QStringList Expression::rowNames() const
{
    QStringList names;
    collectRowNames(*m_root, &names);
    return names;
}

namespace {

// The column a root "sum(name for <range>)" sums, lower case; empty for anything else.
QString summedNameOver(const Expression::Node &n, AggregateRange range)
{
    if (n.kind != Expression::Node::Kind::Aggregate || n.range != range || !n.function
        || n.function->aggregate != AggregateKind::Sum || n.children.size() != 1
        || n.children[0]->kind != Expression::Node::Kind::Name)
        return QString();
    return n.children[0]->name;
}

} // namespace

QString Expression::summedName() const
{
    return summedNameOver(*m_root, AggregateRange::All);
}

QString Expression::crosstabSummedName() const
{
    return summedNameOver(*m_root, AggregateRange::Crosstab);
}

int Expression::crosstabSumValue() const
{
    const Node &n = *m_root;
    if (n.kind != Node::Kind::Call || !n.function || qstrcmp(n.function->name, "crosstabsum") != 0
        || n.children.size() != 1 || n.children[0]->kind != Node::Kind::Literal)
        return 0;
    const std::optional<Decimal> value = Decimal::fromVariant(n.children[0]->literal);
    if (!value || !value->isValid() || value->scale() != 0 || value->units() < 1 || value->units() > 1000)
        return 0;
    return int(value->units());
}

bool Expression::readsOnlyItsRow() const
{
    return !readsBeyondRow(*m_root);
}

bool Expression::hasAggregate() const
{
    return containsAggregate(*m_root);
}

bool Expression::divides() const
{
    return containsDivision(*m_root);
}

QString quoteString(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'\'';
    for (const QChar c : text) {
        if (c == u'~' || c == u'\'')
            out += u'~';
        out += c;
    }
    out += u'\'';
    return out;
}

int readQuotedString(const QString &text, int start, QString *value)
{
    const int n = int(text.size());
    if (start < 0 || start >= n)
        return -1;
    const QChar quote = text.at(start);
    if (quote != u'\'' && quote != u'"')
        return -1;
    QString out;
    for (int i = start + 1; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == quote) {
            if (value)
                *value = out;
            return i + 1;
        }
        if (c == u'~') {
            if (++i >= n)
                return -1;
            const QChar e = text.at(i);
            switch (e.unicode()) {
            case 'n': out += u'\n'; break;
            case 't': out += u'\t'; break;
            case 'r': out += u'\r'; break;
            default: out += e; break; // ~' ~" ~~ and any other character stand for themselves
            }
            continue;
        }
        out += c;
    }
    return -1;
}

} // namespace wip::reports