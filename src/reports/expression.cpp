#include "reports/expression.h"

#include "reports/displayformat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <vector>

namespace wip::reports {

namespace {

// Nesting of parentheses, calls and unary operators the parser descends into.
constexpr int kMaxNesting = 100;
// Depth of the finished tree (a + b + c ... grows it by one per term); bounds
// the recursion of evaluation and destruction.
constexpr int kMaxTreeDepth = 1000;

// ---------------------------------------------------------------------------
// Values

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool isNumeric(const QVariant &v) // numbers and booleans (true = 1) in arithmetic
{
    return isNumber(v) || v.typeId() == QMetaType::Bool;
}

bool isDateLike(const QVariant &v)
{
    const int t = v.typeId();
    return t == QMetaType::QDate || t == QMetaType::QDateTime || t == QMetaType::QTime;
}

bool isText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray
        || v.typeId() == QMetaType::QChar;
}

QDateTime toDateTime(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0));
    case QMetaType::QTime:
        return QDateTime(QDate(1900, 1, 1), v.toTime());
    default:
        break;
    }
    return {};
}

// "yyyy-mm-dd", "yyyy-mm-dd hh:mm[:ss]", also with 'T' or '/' separators.
QDateTime parseDateText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    static const QStringList dateTimeForms = {
        QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm"),
        QStringLiteral("yyyy-MM-ddTHH:mm:ss"), QStringLiteral("yyyy/MM/dd HH:mm:ss"),
        QStringLiteral("yyyy-MM-dd H:mm:ss"), QStringLiteral("yyyy-MM-dd H:mm"),
    };
    for (const QString &form : dateTimeForms) {
        const QDateTime dt = QDateTime::fromString(t, form);
        if (dt.isValid())
            return dt;
    }
    static const QStringList dateForms = {
        QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/MM/dd"),
        QStringLiteral("yyyy/M/d"), QStringLiteral("yyyyMMdd"),
    };
    for (const QString &form : dateForms) {
        const QDate d = QDate::fromString(t, form);
        if (d.isValid())
            return QDateTime(d, QTime(0, 0));
    }
    return {};
}

std::optional<double> textToNumber(const QString &text)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

// A count or position from a number, clamped so that the conversion is defined.
int toInt(double d)
{
    if (std::isnan(d))
        return 0;
    return int(std::clamp(d, -1.0e9, 1.0e9));
}

QVariant numberValue(double d)
{
    if (!std::isfinite(d))
        return QVariant();
    return QVariant(d);
}

bool nearlyEqual(double a, double b)
{
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    return std::fabs(a - b) <= 1e-9 * scale;
}

int compareNumbers(double a, double b)
{
    if (nearlyEqual(a, b))
        return 0;
    return a < b ? -1 : 1;
}

// Compares two non-null values: numbers as numbers, dates as dates, texts as
// texts (case-sensitive). A text meets a number or a date as one when it reads as
// one, else as text. A number and a date do not compare.
std::optional<int> compareOperands(const QVariant &a, const QVariant &b)
{
    if (isNumeric(a) && isNumeric(b))
        return compareNumbers(a.toDouble(), b.toDouble());
    if (isDateLike(a) && isDateLike(b)) {
        const QDateTime x = toDateTime(a), y = toDateTime(b);
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    if (isText(a) && isText(b)) {
        const int c = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
        return c == 0 ? 0 : (c < 0 ? -1 : 1);
    }
    if (isText(a) != isText(b)) {
        const bool textFirst = isText(a);
        const QVariant &textValue = textFirst ? a : b;
        const QVariant &other = textFirst ? b : a;
        const int sign = textFirst ? -1 : 1; // result as other-versus-text, flipped when text is first
        if (isNumeric(other)) {
            if (const auto n = textToNumber(textValue.toString()))
                return sign * compareNumbers(other.toDouble(), *n);
        } else if (isDateLike(other)) {
            const QDateTime dt = parseDateText(textValue.toString());
            if (dt.isValid()) {
                const QDateTime o = toDateTime(other);
                return sign * (o == dt ? 0 : (o < dt ? -1 : 1));
            }
        }
        const int c = QString::compare(generalText(other), textValue.toString());
        return sign * (c == 0 ? 0 : (c < 0 ? -1 : 1));
    }
    return std::nullopt;
}

QString textOf(const QVariant &v)
{
    return isText(v) ? v.toString() : generalText(v);
}

double roundHalfAway(double x, int decimals)
{
    decimals = std::clamp(decimals, -15, 15);
    const double p = std::pow(10.0, decimals);
    const double scaled = std::fabs(x) * p;
    double r = std::floor(scaled);
    if (scaled - r >= 0.5 - 1e-9 - scaled * 1e-15)
        r += 1;
    return std::copysign(r / p, x);
}

double truncateTo(double x, int decimals)
{
    decimals = std::clamp(decimals, -15, 15);
    const double p = std::pow(10.0, decimals);
    const double scaled = std::fabs(x) * p;
    double r = std::floor(scaled);
    if (scaled - r >= 1 - 1e-9 - scaled * 1e-15) // 0.29999999 * 100 is 29.999999...
        r += 1;
    return std::copysign(r / p, x);
}

// ---------------------------------------------------------------------------
// Tokens

enum class Tok {
    End, Number, String, Name, LParen, RParen, Comma,
    Plus, Minus, Star, Slash, Caret, Eq, Ne, Lt, Gt, Le, Ge, Bad
};

struct Token
{
    Tok kind = Tok::End;
    QString text;     // name as written, string value, or the bad character
    double number = 0;
    int pos = 0;      // 0-based
};

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) {}

    // Reads the next token; a Bad token carries its message in text.
    Token next()
    {
        const int n = int(m_text.size());
        while (m_pos < n && m_text.at(m_pos).isSpace())
            ++m_pos;
        Token t;
        t.pos = m_pos;
        if (m_pos >= n)
            return t;
        const QChar c = m_text.at(m_pos);
        if (c.isDigit() || (c == u'.' && m_pos + 1 < n && m_text.at(m_pos + 1).isDigit()))
            return number(t);
        if (c == u'\'' || c == u'"') {
            const int end = readQuotedString(m_text, m_pos, &t.text);
            if (end < 0) {
                t.kind = Tok::Bad;
                t.text = QStringLiteral("Unterminated string");
                m_pos = n;
                return t;
            }
            t.kind = Tok::String;
            m_pos = end;
            return t;
        }
        if (c.isLetter() || c == u'_') {
            int end = m_pos + 1;
            while (end < n && (m_text.at(end).isLetterOrNumber() || m_text.at(end) == u'_'
                               || m_text.at(end) == u'$' || m_text.at(end) == u'#'))
                ++end;
            t.kind = Tok::Name;
            t.text = m_text.mid(m_pos, end - m_pos);
            m_pos = end;
            return t;
        }
        ++m_pos;
        switch (c.unicode()) {
        case '(': t.kind = Tok::LParen; return t;
        case ')': t.kind = Tok::RParen; return t;
        case ',': t.kind = Tok::Comma; return t;
        case '+': t.kind = Tok::Plus; return t;
        case '-': t.kind = Tok::Minus; return t;
        case '*': t.kind = Tok::Star; return t;
        case '/': t.kind = Tok::Slash; return t;
        case '^': t.kind = Tok::Caret; return t;
        case '=': t.kind = Tok::Eq; return t;
        case '<':
            if (m_pos < n && m_text.at(m_pos) == u'>') { ++m_pos; t.kind = Tok::Ne; return t; }
            if (m_pos < n && m_text.at(m_pos) == u'=') { ++m_pos; t.kind = Tok::Le; return t; }
            t.kind = Tok::Lt;
            return t;
        case '>':
            if (m_pos < n && m_text.at(m_pos) == u'=') { ++m_pos; t.kind = Tok::Ge; return t; }
            t.kind = Tok::Gt;
            return t;
        default:
            break;
        }
        t.kind = Tok::Bad;
        t.text = QStringLiteral("Unexpected character '%1'").arg(c);
        return t;
    }

private:
    Token number(Token t)
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
        bool ok = false;
        t.number = m_text.mid(m_pos, end - m_pos).toDouble(&ok);
        t.kind = ok && std::isfinite(t.number) ? Tok::Number : Tok::Bad;
        if (t.kind == Tok::Bad)
            t.text = QStringLiteral("Bad number");
        // "12abc" is not a number followed by a name
        if (t.kind == Tok::Number && end < n && (m_text.at(end).isLetter() || m_text.at(end) == u'_')) {
            t.kind = Tok::Bad;
            t.text = QStringLiteral("Bad number");
        }
        m_pos = end;
        return t;
    }

    const QString &m_text;
    int m_pos = 0;
};

// ---------------------------------------------------------------------------
// Built-in functions

struct EvalEnv
{
    const ExpressionContext &context;
    int row;
};

using FunctionImpl = QVariant (*)(const QVariantList &args, const EvalEnv &env);

enum class Aggregate { None, Sum, Count, Avg, Min, Max };

struct FunctionSpec
{
    const char *name;
    int minArgs;
    int maxArgs;
    FunctionImpl impl;       // nullptr for if and the aggregates (evaluated by the tree)
    Aggregate aggregate = Aggregate::None;
};

bool anyNull(const QVariantList &args)
{
    for (const QVariant &a : args)
        if (a.isNull())
            return true;
    return false;
}

std::optional<double> numberArg(const QVariant &v)
{
    if (isNumeric(v))
        return v.toDouble();
    if (isText(v))
        return textToNumber(v.toString());
    return std::nullopt;
}

QVariant fnToday(const QVariantList &, const EvalEnv &env) { return env.context.currentDateTime(); }
QVariant fnGetRow(const QVariantList &, const EvalEnv &env) { return double(env.row); }
QVariant fnPage(const QVariantList &, const EvalEnv &env) { return double(env.context.page(env.row)); }
QVariant fnPageCount(const QVariantList &, const EvalEnv &env) { return double(env.context.pageCount()); }
QVariant fnRowCount(const QVariantList &, const EvalEnv &env) { return double(env.context.rowCount()); }

QVariant fnCrosstabSum(const QVariantList &args, const EvalEnv &env)
{
    const auto n = numberArg(args.at(0));
    if (!n)
        return QVariant();
    return env.context.crosstabSum(toInt(*n), env.row);
}

QVariant fnString(const QVariantList &args, const EvalEnv &)
{
    if (args.at(0).isNull())
        return QVariant();
    if (args.size() > 1 && !args.at(1).isNull())
        return formatValue(args.at(0), textOf(args.at(1)));
    return textOf(args.at(0));
}

QVariant fnTrim(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : QVariant(textOf(args.at(0)).trimmed());
}

QVariant fnUpper(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : QVariant(textOf(args.at(0)).toUpper());
}

QVariant fnLower(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : QVariant(textOf(args.at(0)).toLower());
}

QVariant fnLen(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : QVariant(double(textOf(args.at(0)).size()));
}

QVariant fnLeft(const QVariantList &args, const EvalEnv &)
{
    const auto n = numberArg(args.at(1));
    if (args.at(0).isNull() || !n)
        return QVariant();
    return textOf(args.at(0)).left(std::max(0, toInt(*n)));
}

QVariant fnRight(const QVariantList &args, const EvalEnv &)
{
    const auto n = numberArg(args.at(1));
    if (args.at(0).isNull() || !n)
        return QVariant();
    return textOf(args.at(0)).right(std::max(0, toInt(*n)));
}

QVariant fnMid(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    const QString s = textOf(args.at(0));
    const auto start = numberArg(args.at(1));
    if (!start || *start < 1)
        return start ? QVariant(QString()) : QVariant();
    if (*start > s.size())
        return QString();
    if (args.size() > 2) {
        const auto len = numberArg(args.at(2));
        if (!len)
            return QVariant();
        return s.mid(toInt(*start) - 1, std::max(0, toInt(*len)));
    }
    return s.mid(toInt(*start) - 1);
}

QVariant fnPos(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    qsizetype from = 0;
    if (args.size() > 2) {
        const auto start = numberArg(args.at(2));
        if (!start)
            return QVariant();
        from = std::max(0, toInt(*start) - 1);
    }
    const qsizetype i = textOf(args.at(0)).indexOf(textOf(args.at(1)), from);
    return double(i + 1);
}

QVariant fnIsNull(const QVariantList &args, const EvalEnv &) { return args.at(0).isNull(); }

QVariant fnIsNumber(const QVariantList &args, const EvalEnv &)
{
    const QVariant &v = args.at(0);
    return isNumeric(v) || (isText(v) && textToNumber(v.toString()).has_value());
}

QVariant fnIsDate(const QVariantList &args, const EvalEnv &)
{
    const QVariant &v = args.at(0);
    return isDateLike(v) || (isText(v) && parseDateText(v.toString()).isValid());
}

QVariant fnNumber(const QVariantList &args, const EvalEnv &)
{
    if (args.at(0).isNull())
        return QVariant();
    const auto n = numberArg(args.at(0));
    return n ? QVariant(*n) : QVariant();
}

QVariant fnInteger(const QVariantList &args, const EvalEnv &)
{
    if (args.at(0).isNull())
        return QVariant();
    const auto n = numberArg(args.at(0));
    return n ? QVariant(std::trunc(*n)) : QVariant();
}

// Applies a function of one number; NULL and non-numbers give NULL.
template<double (*F)(double)>
QVariant numeric1(const QVariantList &args, const EvalEnv &)
{
    const auto n = args.at(0).isNull() ? std::nullopt : numberArg(args.at(0));
    return n ? numberValue(F(*n)) : QVariant();
}

double absOf(double x) { return std::fabs(x); }
double floorOf(double x) { return std::floor(x); }
double ceilOf(double x) { return std::ceil(x); }

QVariant fnRound(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    const auto n = numberArg(args.at(0));
    const auto d = args.size() > 1 ? numberArg(args.at(1)) : std::optional<double>(0);
    if (!n || !d)
        return QVariant();
    return numberValue(roundHalfAway(*n, toInt(*d)));
}

QVariant fnTruncate(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    const auto n = numberArg(args.at(0));
    const auto d = args.size() > 1 ? numberArg(args.at(1)) : std::optional<double>(0);
    if (!n || !d)
        return QVariant();
    return numberValue(truncateTo(*n, toInt(*d)));
}

QVariant fnMod(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    const auto a = numberArg(args.at(0));
    const auto b = numberArg(args.at(1));
    if (!a || !b || *b == 0)
        return QVariant();
    return numberValue(std::fmod(*a, *b));
}

QDateTime dateTimeArg(const QVariant &v)
{
    if (isDateLike(v))
        return toDateTime(v);
    if (isText(v))
        return parseDateText(v.toString());
    return {};
}

QVariant fnDate(const QVariantList &args, const EvalEnv &)
{
    const QDateTime dt = dateTimeArg(args.at(0));
    return dt.isValid() ? QVariant(dt.date()) : QVariant();
}

QVariant fnDateTime(const QVariantList &args, const EvalEnv &)
{
    QDateTime dt = dateTimeArg(args.at(0));
    if (!dt.isValid())
        return QVariant();
    if (args.size() > 1) {
        const QVariant &t = args.at(1);
        QTime time;
        if (t.typeId() == QMetaType::QTime)
            time = t.toTime();
        else if (t.typeId() == QMetaType::QDateTime)
            time = t.toDateTime().time();
        else if (isText(t)) {
            time = QTime::fromString(t.toString().trimmed(), QStringLiteral("HH:mm:ss"));
            if (!time.isValid())
                time = QTime::fromString(t.toString().trimmed(), QStringLiteral("H:mm"));
        }
        if (!time.isValid())
            return QVariant();
        dt.setTime(time);
    }
    return dt;
}

QVariant fnRelativeDate(const QVariantList &args, const EvalEnv &)
{
    const QDateTime dt = dateTimeArg(args.at(0));
    const auto n = args.at(1).isNull() ? std::nullopt : numberArg(args.at(1));
    if (!dt.isValid() || !n)
        return QVariant();
    return dt.date().addDays(toInt(*n));
}

template<int Part>
QVariant datePart(const QVariantList &args, const EvalEnv &)
{
    const QDateTime dt = dateTimeArg(args.at(0));
    if (!dt.isValid())
        return QVariant();
    switch (Part) {
    case 0: return double(dt.date().year());
    case 1: return double(dt.date().month());
    case 2: return double(dt.date().day());
    case 3: return double(dt.time().hour());
    case 4: return double(dt.time().minute());
    default: return double(dt.time().second());
    }
}

const FunctionSpec kFunctions[] = {
    {"if", 3, 3, nullptr},
    {"sum", 1, 1, nullptr, Aggregate::Sum},
    {"count", 1, 1, nullptr, Aggregate::Count},
    {"avg", 1, 1, nullptr, Aggregate::Avg},
    {"min", 1, 1, nullptr, Aggregate::Min},
    {"max", 1, 1, nullptr, Aggregate::Max},
    {"crosstabsum", 1, 1, fnCrosstabSum},
    {"getrow", 0, 0, fnGetRow},
    {"today", 0, 0, fnToday},
    {"now", 0, 0, fnToday},
    {"page", 0, 0, fnPage},
    {"pagecount", 0, 0, fnPageCount},
    {"rowcount", 0, 0, fnRowCount},
    {"string", 1, 2, fnString},
    {"trim", 1, 1, fnTrim},
    {"left", 2, 2, fnLeft},
    {"right", 2, 2, fnRight},
    {"mid", 2, 3, fnMid},
    {"len", 1, 1, fnLen},
    {"upper", 1, 1, fnUpper},
    {"lower", 1, 1, fnLower},
    {"pos", 2, 3, fnPos},
    {"isnull", 1, 1, fnIsNull},
    {"isnumber", 1, 1, fnIsNumber},
    {"isdate", 1, 1, fnIsDate},
    {"abs", 1, 1, numeric1<absOf>},
    {"int", 1, 1, numeric1<floorOf>},
    {"ceiling", 1, 1, numeric1<ceilOf>},
    {"round", 1, 2, fnRound},
    {"truncate", 1, 2, fnTruncate},
    {"mod", 2, 2, fnMod},
    {"number", 1, 1, fnNumber},
    {"real", 1, 1, fnNumber},
    {"dec", 1, 1, fnNumber},
    {"double", 1, 1, fnNumber},
    {"long", 1, 1, fnInteger},
    {"integer", 1, 1, fnInteger},
    {"date", 1, 1, fnDate},
    {"datetime", 1, 2, fnDateTime},
    {"relativedate", 2, 2, fnRelativeDate},
    {"year", 1, 1, datePart<0>},
    {"month", 1, 1, datePart<1>},
    {"day", 1, 1, datePart<2>},
    {"hour", 1, 1, datePart<3>},
    {"minute", 1, 1, datePart<4>},
    {"second", 1, 1, datePart<5>},
};

const FunctionSpec *findFunction(const QString &lowerName)
{
    for (const FunctionSpec &f : kFunctions)
        if (lowerName == QLatin1String(f.name))
            return &f;
    return nullptr;
}

enum class Range { All, Group, Crosstab };

std::atomic<quint64> g_nextAggregateId{1};

} // namespace

// ---------------------------------------------------------------------------
// The tree

struct Expression::Node
{
    enum class Kind { Literal, Name, Negate, Not, Binary, And, Or, If, Call, Aggregate };

    Kind kind = Kind::Literal;
    QVariant literal;                 // Literal
    QString name;                     // Name (lower case)
    Tok op = Tok::End;                // Binary
    const FunctionSpec *function = nullptr; // Call, Aggregate
    Range range = Range::All;         // Aggregate
    int groupLevel = 0;               // Aggregate, Range::Group
    quint64 aggregateId = 0;          // Aggregate: key of its cached results
    int depth = 1;
    std::vector<std::unique_ptr<Node>> children;

    explicit Node(Kind k) : kind(k) {}

    void add(std::unique_ptr<Node> child)
    {
        depth = std::max(depth, child->depth + 1);
        children.push_back(std::move(child));
    }
};

namespace {

using NodePtr = std::unique_ptr<Expression::Node>;
using Kind = Expression::Node::Kind;

class Parser
{
public:
    explicit Parser(const QString &text) : m_lexer(text) { advance(); }

    NodePtr parseAll()
    {
        NodePtr root = parseOr();
        if (!root)
            return nullptr;
        if (m_tok.kind != Tok::End)
            return fail(m_tok.kind == Tok::RParen ? QStringLiteral("Unexpected ')'")
                                                  : QStringLiteral("Unexpected text"));
        return root;
    }

    QString error() const { return m_error; }

private:
    void advance()
    {
        if (m_ahead) {
            m_tok = *m_ahead;
            m_ahead.reset();
        } else {
            m_tok = m_lexer.next();
        }
    }

    const Token &peek()
    {
        if (!m_ahead)
            m_ahead = m_lexer.next();
        return *m_ahead;
    }

    NodePtr fail(const QString &message)
    {
        return failAt(message, m_tok.pos);
    }

    NodePtr failAt(const QString &message, int pos)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1 at position %2").arg(message).arg(pos + 1);
        return nullptr;
    }

    bool isKeyword(const Token &t, const char *word) const
    {
        return t.kind == Tok::Name && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    // Guards the parser's own recursion.
    struct Nest
    {
        explicit Nest(Parser &p) : parser(p) { ++parser.m_nesting; }
        ~Nest() { --parser.m_nesting; }
        bool tooDeep() const { return parser.m_nesting > kMaxNesting; }
        Parser &parser;
    };

    NodePtr join(Kind kind, Tok op, NodePtr left, NodePtr right, int pos)
    {
        auto node = std::make_unique<Expression::Node>(kind);
        node->op = op;
        node->add(std::move(left));
        node->add(std::move(right));
        if (node->depth > kMaxTreeDepth)
            return failAt(QStringLiteral("Expression too long"), pos);
        return node;
    }

    NodePtr parseOr()
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
            left = join(Kind::Or, Tok::End, std::move(left), std::move(right), pos);
        }
        return left;
    }

    NodePtr parseAnd()
    {
        NodePtr left = parseNot();
        while (left && isKeyword(m_tok, "and")) {
            const int pos = m_tok.pos;
            advance();
            NodePtr right = parseNot();
            if (!right)
                return nullptr;
            left = join(Kind::And, Tok::End, std::move(left), std::move(right), pos);
        }
        return left;
    }

    NodePtr parseNot()
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

    static bool isComparison(Tok t)
    {
        return t == Tok::Eq || t == Tok::Ne || t == Tok::Lt || t == Tok::Gt || t == Tok::Le
            || t == Tok::Ge;
    }

    NodePtr parseComparison()
    {
        NodePtr left = parseAdditive();
        while (left && isComparison(m_tok.kind)) {
            const Tok op = m_tok.kind;
            const int pos = m_tok.pos;
            advance();
            NodePtr right = parseAdditive();
            if (!right)
                return nullptr;
            left = join(Kind::Binary, op, std::move(left), std::move(right), pos);
        }
        return left;
    }

    NodePtr parseAdditive()
    {
        NodePtr left = parseMultiplicative();
        while (left && (m_tok.kind == Tok::Plus || m_tok.kind == Tok::Minus)) {
            const Tok op = m_tok.kind;
            const int pos = m_tok.pos;
            advance();
            NodePtr right = parseMultiplicative();
            if (!right)
                return nullptr;
            left = join(Kind::Binary, op, std::move(left), std::move(right), pos);
        }
        return left;
    }

    NodePtr parseMultiplicative()
    {
        NodePtr left = parseUnary();
        while (left && (m_tok.kind == Tok::Star || m_tok.kind == Tok::Slash)) {
            const Tok op = m_tok.kind;
            const int pos = m_tok.pos;
            advance();
            NodePtr right = parseUnary();
            if (!right)
                return nullptr;
            left = join(Kind::Binary, op, std::move(left), std::move(right), pos);
        }
        return left;
    }

    NodePtr parseUnary()
    {
        if (m_tok.kind == Tok::Minus || m_tok.kind == Tok::Plus) {
            Nest nest(*this);
            if (nest.tooDeep())
                return fail(QStringLiteral("Expression nested too deeply"));
            const bool negate = m_tok.kind == Tok::Minus;
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

    NodePtr parsePower()
    {
        NodePtr base = parsePrimary();
        if (base && m_tok.kind == Tok::Caret) {
            const int pos = m_tok.pos;
            advance();
            NodePtr exponent = parseUnary(); // right-associative: 2^3^2 = 2^9
            if (!exponent)
                return nullptr;
            return join(Kind::Binary, Tok::Caret, std::move(base), std::move(exponent), pos);
        }
        return base;
    }

    NodePtr parsePrimary()
    {
        const Token t = m_tok;
        switch (t.kind) {
        case Tok::Number: {
            advance();
            auto node = std::make_unique<Expression::Node>(Kind::Literal);
            node->literal = t.number;
            return node;
        }
        case Tok::String: {
            advance();
            auto node = std::make_unique<Expression::Node>(Kind::Literal);
            node->literal = t.text;
            return node;
        }
        case Tok::LParen: {
            advance();
            NodePtr inner = parseOr();
            if (!inner)
                return nullptr;
            if (m_tok.kind != Tok::RParen)
                return fail(QStringLiteral("Expecting ')'"));
            advance();
            return inner;
        }
        case Tok::Name: {
            const QString lower = t.text.toLower();
            if (lower == u"and" || lower == u"or" || lower == u"not")
                return fail(QStringLiteral("Unexpected '%1'").arg(t.text));
            if (peek().kind == Tok::LParen)
                return parseCall(t);
            advance();
            auto node = std::make_unique<Expression::Node>(Kind::Name);
            node->name = lower;
            return node;
        }
        case Tok::Bad:
            return fail(t.text);
        case Tok::End:
            return fail(QStringLiteral("Unexpected end of expression"));
        case Tok::RParen:
            return fail(QStringLiteral("Unexpected ')'"));
        case Tok::Comma:
            return fail(QStringLiteral("Unexpected ','"));
        default:
            return fail(QStringLiteral("Expecting a value"));
        }
    }

    NodePtr parseCall(const Token &nameToken)
    {
        const QString lower = nameToken.text.toLower();
        const FunctionSpec *spec = findFunction(lower);
        if (!spec)
            return fail(QStringLiteral("Unknown function '%1'").arg(nameToken.text));
        advance(); // name
        advance(); // (
        Nest nest(*this);
        if (nest.tooDeep())
            return fail(QStringLiteral("Expression nested too deeply"));

        const Kind kind = spec->aggregate != Aggregate::None ? Kind::Aggregate
                        : spec->impl == nullptr              ? Kind::If
                                                             : Kind::Call;
        auto node = std::make_unique<Expression::Node>(kind);
        node->function = spec;
        int count = 0;
        if (m_tok.kind != Tok::RParen) {
            while (true) {
                if (count >= spec->maxArgs)
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
                if (m_tok.kind != Tok::Comma)
                    break;
                advance();
            }
        }
        if (m_tok.kind != Tok::RParen)
            return fail(QStringLiteral("Expecting ')' or ','"));
        if (count < spec->minArgs)
            return fail(QStringLiteral("Too few arguments for %1()").arg(lower));
        advance();
        if (kind == Kind::Aggregate)
            node->aggregateId = g_nextAggregateId.fetch_add(1);
        return node;
    }

    // "for all" | "for group N" | "for crosstab"; m_tok is "for".
    bool parseRange(Expression::Node &node)
    {
        advance();
        if (isKeyword(m_tok, "all")) {
            node.range = Range::All;
            advance();
        } else if (isKeyword(m_tok, "crosstab")) {
            node.range = Range::Crosstab;
            advance();
        } else if (isKeyword(m_tok, "group")) {
            advance();
            if (m_tok.kind != Tok::Number || m_tok.number < 1 || m_tok.number > 99
                || m_tok.number != std::floor(m_tok.number)) {
                fail(QStringLiteral("Expecting a group level"));
                return false;
            }
            node.range = Range::Group;
            node.groupLevel = int(m_tok.number);
            advance();
        } else {
            fail(QStringLiteral("Expecting 'all', 'group N' or 'crosstab' after 'for'"));
            return false;
        }
        return true;
    }

    Lexer m_lexer;
    Token m_tok;
    std::optional<Token> m_ahead;
    int m_nesting = 0;
    QString m_error;
};

// ---------------------------------------------------------------------------
// Evaluation

QVariant eval(const Expression::Node &node, const EvalEnv &env);

QVariant evalBinary(const Expression::Node &node, const EvalEnv &env)
{
    const QVariant a = eval(*node.children[0], env);
    const QVariant b = eval(*node.children[1], env);
    if (a.isNull() || b.isNull())
        return QVariant();

    switch (node.op) {
    case Tok::Plus:
        if (isText(a) || isText(b))
            return QString(textOf(a) + textOf(b));
        if (isNumeric(a) && isNumeric(b))
            return numberValue(a.toDouble() + b.toDouble());
        return QVariant();
    case Tok::Minus:
    case Tok::Star:
    case Tok::Slash:
    case Tok::Caret: {
        if (!isNumeric(a) || !isNumeric(b))
            return QVariant();
        const double x = a.toDouble(), y = b.toDouble();
        switch (node.op) {
        case Tok::Minus: return numberValue(x - y);
        case Tok::Star: return numberValue(x * y);
        case Tok::Slash: return y == 0 ? QVariant() : numberValue(x / y);
        default: return numberValue(std::pow(x, y));
        }
    }
    default:
        break;
    }

    const std::optional<int> c = compareOperands(a, b);
    if (!c)
        return QVariant();
    switch (node.op) {
    case Tok::Eq: return *c == 0;
    case Tok::Ne: return *c != 0;
    case Tok::Lt: return *c < 0;
    case Tok::Gt: return *c > 0;
    case Tok::Le: return *c <= 0;
    case Tok::Ge: return *c >= 0;
    default: return QVariant();
    }
}

QVariant computeAggregate(const Expression::Node &node, const EvalEnv &env, int first, int last)
{
    const Expression::Node &arg = *node.children[0];
    const Aggregate kind = node.function->aggregate;
    double sum = 0;
    int count = 0;
    QVariant best;
    for (int r = first; r <= last; ++r) {
        const QVariant v = eval(arg, EvalEnv{env.context, r});
        if (v.isNull())
            continue;
        switch (kind) {
        case Aggregate::Count:
            ++count;
            break;
        case Aggregate::Sum:
        case Aggregate::Avg:
            if (const auto n = numberArg(v)) {
                sum += *n;
                ++count;
            }
            break;
        case Aggregate::Min:
        case Aggregate::Max: {
            if (best.isNull()) {
                best = v;
                break;
            }
            const auto c = compareOperands(v, best);
            if (c && ((kind == Aggregate::Min && *c < 0) || (kind == Aggregate::Max && *c > 0)))
                best = v;
            break;
        }
        case Aggregate::None:
            break;
        }
    }
    switch (kind) {
    case Aggregate::Count: return double(count);
    case Aggregate::Sum: return numberValue(sum);
    case Aggregate::Avg: return count == 0 ? QVariant() : numberValue(sum / count);
    default: return best;
    }
}

// Key of an aggregate's result in the context's cache: a marker, the node's id
// and the range, packed into ten UTF-16 units (built per evaluation, so cheap).
QString aggregateKey(quint64 id, int first, int last)
{
    const auto f = quint32(first), l = quint32(last);
    const char16_t units[] = {
        u'\x01', u'A',
        char16_t(id >> 48), char16_t(id >> 32), char16_t(id >> 16), char16_t(id),
        char16_t(f >> 16), char16_t(f), char16_t(l >> 16), char16_t(l),
    };
    return QString(reinterpret_cast<const QChar *>(units), qsizetype(std::size(units)));
}

QVariant evalAggregate(const Expression::Node &node, const EvalEnv &env)
{
    const ExpressionContext &ctx = env.context;
    std::pair<int, int> range;
    switch (node.range) {
    case Range::All: range = ctx.groupRange(0, env.row); break;
    case Range::Group: range = ctx.groupRange(node.groupLevel, env.row); break;
    case Range::Crosstab: range = ctx.crosstabRange(env.row); break;
    }
    const int first = std::max(1, range.first);
    const int last = std::min(ctx.rowCount(), range.second);

    QHash<QString, QVariant> *cache = ctx.aggregateCache();
    if (!cache)
        return computeAggregate(node, env, first, last);
    const QString key = aggregateKey(node.aggregateId, first, last);
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
        return env.context.value(node.name, env.row);
    }
    case Kind::Negate: {
        const QVariant v = eval(*node.children[0], env);
        if (!isNumeric(v))
            return QVariant();
        return numberValue(-v.toDouble());
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

bool containsAggregate(const Expression::Node &node)
{
    if (node.kind == Kind::Aggregate)
        return true;
    for (const auto &child : node.children)
        if (containsAggregate(*child))
            return true;
    return false;
}

} // namespace

// ---------------------------------------------------------------------------

Expression::Expression() = default;
Expression::~Expression() = default;

std::unique_ptr<Expression> Expression::parse(const QString &text, QString *error)
{
    Parser parser(text);
    NodePtr root = parser.parseAll();
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
        return value.toDouble() != 0;
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

bool Expression::hasAggregate() const
{
    return containsAggregate(*m_root);
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
