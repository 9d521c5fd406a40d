#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace wip::reports {

class ColumnData;

// Where an aggregate's result is kept in a context's cache: the aggregate (its
// node in a parsed expression) and the range of rows it covers.
struct AggregateKey
{
    quint64 id = 0;
    int first = 0;
    int last = 0;

    friend bool operator==(const AggregateKey &a, const AggregateKey &b)
    {
        return a.id == b.id && a.first == b.first && a.last == b.last;
    }
    friend size_t qHash(const AggregateKey &key, size_t seed = 0) { return qHashMulti(seed, key.id, key.first, key.last); }
};
using AggregateCache = QHash<AggregateKey, QVariant>;

// What an expression reads: the rows of a DataStore (or of a saved report). Rows
// are 1-based. Aggregates ask for the range of rows they cover.
class ExpressionContext
{
public:
    virtual ~ExpressionContext() = default;
    virtual int rowCount() const = 0;
    virtual bool hasName(const QString &name) const = 0;          // column or computed field, any case
    // A column or computed field of a row, typed (number, text, date-time) or a
    // null QVariant: for NULL, and for a row out of range or an unknown name.
    virtual QVariant item(int row, const QString &name) const = 0;
    // Rows [first, last] of the group of the given level (1 = outermost) that holds row.
    // Level 0 means all rows. Without groups every level covers all rows.
    virtual std::pair<int, int> groupRange(int level, int row) const = 0;
    // Source rows of the crosstab cell that row stands for (for "for crosstab").
    virtual std::pair<int, int> crosstabRange(int row) const { return {1, rowCount()}; }
    // crosstabsum(n): the sum of the n-th crosstab value over the row's columns.
    virtual QVariant crosstabSum(int n, int row) const { return QVariant(); }
    virtual int page(int row) const { return 1; }
    virtual int pageCount() const { return 1; }
    // What today() and now() return: the print date and time. Tests and golden
    // files override it to get a fixed clock.
    virtual QDateTime currentDateTime() const { return QDateTime::currentDateTime(); }
    // Cache for aggregate results, owned by the context; cleared when rows change.
    virtual AggregateCache *aggregateCache() const { return nullptr; }
    // For readers of many rows (a file written as it is read, totals gathered
    // as the rows go by): the typed values of a result column, row r at index
    // r - *offset, where the context holds them so; nullptr where it does not
    // (read item() then).
    virtual const ColumnData *columnValues(const QString &name, int *offset) const
    {
        Q_UNUSED(name);
        Q_UNUSED(offset);
        return nullptr;
    }
};

// An expression of a computed field or of Find(): parsed once into a tree,
// evaluated per row. Numbers are exact decimals (runtime/decimal.h); NULL propagates through arithmetic and
// comparisons; sum/count skip NULLs; x / 0 is NULL. Names compare without regard
// to case. Functions: if, sum, count, avg, min, max (x for all | group N | crosstab),
// crosstabsum(n), getrow(), today(), now(), page(), pagecount(), string(x[, fmt]),
// trim, left, right, mid, len, upper, lower, isnull, abs, round, truncate.
// Also: rowcount(), date, datetime, number/real/dec/long/integer, int, ceiling, mod, pos,
// year, month, day, hour, minute, second, relativedate, isnumber, isdate.
//
// Comparisons: numbers as numbers (exactly: 0.1 + 0.2 = 0.3), dates as
// dates, texts as texts (case-sensitive); a text meets a number or a date as one
// when it reads as one. A text + anything concatenates, numbers in their
// [general] form ('Page ' + page() gives "Page 1"). and/or count NULL as false.
// today() and now() give the context's currentDateTime(), the print time.
//
// Aggregates: sum(x) means sum(x for all). sum and count of a range without
// values give 0 (an empty report totals to 0, which a "; " zero section blanks);
// avg, min and max of no values give NULL. An aggregate is computed once per
// range when the context offers an aggregateCache().
// Deeper nesting than about a hundred parentheses, or a tree deeper than a
// thousand levels, is rejected when parsing.
class Expression
{
public:
    ~Expression();

    // nullptr and *error set when the text does not parse.
    static std::unique_ptr<Expression> parse(const QString &text, QString *error = nullptr);

    QVariant evaluate(const ExpressionContext &context, int row) const;
    // True when the expression is true for the row (Find, if): NULL, false, 0,
    // texts and dates are false.
    bool test(const ExpressionContext &context, int row) const;
    static bool isTrue(const QVariant &value);
    QString text() const;
    QStringList referencedNames() const;   // column / computed names it reads (lower case)
    // The names it reads outside every aggregate, so of the row it is evaluated in:
    // "sum(weight for all) * purate" reads purate of one row, "sum(weight * purate
    // for all)" reads none.
    QStringList rowNames() const;
    bool hasAggregate() const;
    // Whether its value in a row comes from that row alone: no aggregate, no
    // rowcount(). Such a field can be computed while the rows are read a run at
    // a time, before the last row is known.
    bool readsOnlyItsRow() const;
    // Whether it divides ("/", avg): its value is then a ratio, exact only to the
    // twelve places a quotient gets, not a figure added up from exact ones.
    bool divides() const;
    // The column this expression sums over every row when it is exactly
    // "sum(name for all)" (or "sum(name)"), lower case; empty for anything else.
    QString summedName() const;
    // The same for "sum(name for crosstab)": the column a crosstab value sums over
    // the source rows of its cell.
    QString crosstabSummedName() const;
    // n when the expression is exactly "crosstabsum(n)" (a crosstab total adding up
    // the cells of the n-th value across its row), 0 for anything else.
    int crosstabSumValue() const;

    struct Node;

    // The aggregates of expressions over every row of a report that is read a
    // run of rows at a time and not kept (a month written to a file as it is
    // read): add() each run as it goes by, then put() the results where
    // evaluating the expressions finds them, the context's aggregate cache, as
    // if they had been computed over all the rows at once. For reports without
    // groups, where every range covers all rows.
    class Totals
    {
    public:
        Totals();
        ~Totals();
        Totals(const Totals &) = delete;
        Totals &operator=(const Totals &) = delete;
        // Whether each aggregate of the expression reads its row alone: no
        // aggregate or rowcount() inside it, and each name it reads one that
        // rowLocal says is read from the row alone (a computed field may not be).
        static bool accepts(const Expression &expression, const std::function<bool(const QString &)> &rowLocal);
        // Gathers the expression's aggregates; it must outlive this object.
        void track(const Expression &expression);
        // Rows [first, last] of the context, in order, each once.
        void add(const ExpressionContext &context, int first, int last);
        void put(AggregateCache *cache, int rowCount) const;

    private:
        struct Running;
        std::vector<Running> m_running;
    };

private:
    Expression();
    std::unique_ptr<Node> m_root;
    QString m_text;
};

// Quotes a text for an expression or a Modify text: the result, with its quotes,
// is read back as exactly that text ("O'Neil" -> 'O~'Neil').
QString quoteString(const QString &text);

// Reads the quoted text that starts at text[start] (' or ") up to its closing
// quote, resolving ~ escapes (~' ~" ~~ ~n ~t ~r; ~ before any other character
// stands for that character). Returns the index after the closing quote, or -1
// when the quote is not closed.
int readQuotedString(const QString &text, int start, QString *value);

} // namespace wip::reports
