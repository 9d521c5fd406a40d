// Expressions of computed fields and Find(): one table row per case, evaluated
// over a small report of six rows in three groups.

#include "reports/displayformat.h"
#include "reports/expression.h"
#include "reports/modifytext.h"
#include "runtime/decimal.h"
#include "runtime/values.h"

#include <QFile>
#include <QTest>

#include <map>

using namespace wip;
using namespace wip::reports;

namespace {

// Six rows of material transfers, grouped by mcode: rows 1-3 (A), 4-5 (B), 6 (C).
// Counts the column reads so tests can see how often aggregates run.
class TableContext : public ExpressionContext
{
public:
    TableContext()
    {
        const QDateTime t1(QDate(2004, 5, 1), QTime(8, 30));
        const QVariant null;
        addRow({{"mcode", "A"}, {"qty", 10.0}, {"wt", 1.5}, {"scno", "KC001"}, {"name", "O'Neil"},
                {"ldate", t1}, {"qty2", null}, {"view_fil_wipp_isshand", 0.0},
                {"view_fil_wipp_isshand_wt", 1.25}, {"material_purate", 0.75}});
        addRow({{"mcode", "A"}, {"qty", 20.0}, {"wt", 2.25}, {"scno", "KC002"}, {"name", "执模"},
                {"ldate", t1.addDays(1)}, {"qty2", null}, {"view_fil_wipp_isshand", 3.0},
                {"view_fil_wipp_isshand_wt", 4.5}, {"material_purate", 0.75}});
        addRow({{"mcode", "A"}, {"qty", null}, {"wt", 3.0}, {"scno", "KC003"}, {"name", ""},
                {"ldate", t1.addDays(2)}, {"qty2", null}, {"view_fil_wipp_isshand", 2.0},
                {"view_fil_wipp_isshand_wt", 0.5}, {"material_purate", 0.75}});
        addRow({{"mcode", "B"}, {"qty", 5.0}, {"wt", 0.5}, {"scno", "KC004"}, {"name", "b"},
                {"ldate", null}, {"qty2", null}, {"view_fil_wipp_isshand", 0.0},
                {"view_fil_wipp_isshand_wt", 9.0}, {"material_purate", 0.585}});
        addRow({{"mcode", "B"}, {"qty", 7.0}, {"wt", 0.25}, {"scno", "KC002"}, {"name", "c"},
                {"ldate", t1.addDays(-1)}, {"qty2", null}, {"view_fil_wipp_isshand", 1.0},
                {"view_fil_wipp_isshand_wt", 1.0}, {"material_purate", 0.585}});
        addRow({{"mcode", "C"}, {"qty", 0.0}, {"wt", 0.0}, {"scno", "KC006"}, {"name", "d"},
                {"ldate", t1}, {"qty2", null}, {"view_fil_wipp_isshand", 0.0},
                {"view_fil_wipp_isshand_wt", 0.0}, {"material_purate", 1.0}});
        // computed fields read through value(), like the DataStore's
        m_computed["compute_6"] = Expression::parse(QStringLiteral("sum(wt for all)"));
        m_computed["c_group"] = Expression::parse(QStringLiteral("sum(qty for group 1)"));
    }

    void addRow(const std::map<QString, QVariant> &row) { m_rows.push_back(row); }

    int rowCount() const override { return int(m_rows.size()); }
    bool hasName(const QString &name) const override
    {
        return m_computed.count(name.toLower()) || (!m_rows.empty() && m_rows[0].count(name.toLower()));
    }
    QVariant item(int row, const QString &name) const override
    {
        ++reads;
        const QString key = name.toLower();
        if (const auto c = m_computed.find(key); c != m_computed.end())
            return c->second->evaluate(*this, row);
        if (row < 1 || row > rowCount())
            return QVariant();
        return m_rows[size_t(row - 1)].at(key);
    }
    std::pair<int, int> groupRange(int level, int row) const override
    {
        if (level == 0 || rowCount() == 0)
            return {1, rowCount()};
        if (row <= 3)
            return {1, 3};
        if (row <= 5)
            return {4, 5};
        return {6, 6};
    }
    std::pair<int, int> crosstabRange(int row) const override { return {row, std::min(row + 1, rowCount())}; }
    QVariant crosstabSum(int n, int row) const override { return double(n * 100 + row); }
    int page(int row) const override { return row <= 3 ? 1 : 2; }
    int pageCount() const override { return 2; }
    QDateTime currentDateTime() const override { return QDateTime(QDate(2026, 12, 7), QTime(10, 15)); }
    AggregateCache *aggregateCache() const override { return useCache ? &cache : nullptr; }

    mutable int reads = 0;
    bool useCache = true;
    mutable AggregateCache cache;

private:
    std::vector<std::map<QString, QVariant>> m_rows;
    std::map<QString, std::unique_ptr<Expression>> m_computed;
};

// A report without rows: totals of the summary band.
class EmptyContext : public ExpressionContext
{
public:
    int rowCount() const override { return 0; }
    bool hasName(const QString &name) const override { return name == u"qty" || name == u"scno"; }
    QVariant item(int, const QString &) const override { return QVariant(); }
    std::pair<int, int> groupRange(int, int) const override { return {1, 0}; }
};

// The value with its kind, so a number 3 and a text "3" do not pass for each other.
QString describe(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (Decimal::isDecimal(v))
        return QStringLiteral("n:") + Decimal::fromVariant(v)->toShortString();
    switch (v.typeId()) {
    case QMetaType::Double: return QStringLiteral("n:") + values::numberText(v.toDouble());
    case QMetaType::QString: return QStringLiteral("s:") + v.toString();
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("b:true") : QStringLiteral("b:false");
    case QMetaType::QDate:
    case QMetaType::QDateTime: return QStringLiteral("d:") + generalText(v);
    default: return QStringLiteral("?:") + v.toString();
    }
}

QString evaluateText(const QString &text, int row, const ExpressionContext &context)
{
    QString error;
    const auto e = Expression::parse(text, &error);
    if (!e)
        return QStringLiteral("ERROR");
    return describe(e->evaluate(context, row));
}

QStringList dataLines(const QString &fileName)
{
    const QByteArray dir = qgetenv("WIP_TEST_DATA");
    QFile file(QString::fromLocal8Bit(dir) + u'/' + fileName);
    if (dir.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (QString line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines.append(line);
    }
    return lines;
}

} // namespace

class TestExpression : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void evaluatesPerRow_data();
    void evaluatesPerRow();
    void parseErrorsNamePosition_data();
    void parseErrorsNamePosition();
    void rejectsInputsOfTheRejectFile();
    void hugeOrDeepInputIsRejectedWithoutCrash();
    void moderatelyDeepInputStillParses();
    void aggregateRunsOncePerGroup();
    void aggregatesOfDifferentFieldsDoNotShareCachedResults();
    void emptyReportTotals();
    void findStyleConditions();
    void referencedNamesAndAggregates_data();
    void referencedNamesAndAggregates();
    void quoteStringRoundTrips_data();
    void quoteStringRoundTrips();
};

void TestExpression::evaluatesPerRow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *text, int r, const char *expected) {
        QTest::addRow("%s @%d", text, r) << QString::fromUtf8(text) << r << QString::fromUtf8(expected);
    };
    // arithmetic and precedence
    row("1 + 2 * 3", 1, "n:7");
    row("(1 + 2) * 3", 1, "n:9");
    row("7 - 2 - 1", 1, "n:4");
    row("8 / 2 / 2", 1, "n:2");
    row("10 / 4", 1, "n:2.5");
    row("-2 ^ 2", 1, "n:-4");
    row("2 ^ 3 ^ 2", 1, "n:512");
    row("--3", 1, "n:3");
    row("+5", 1, "n:5");
    row("1e3 + .5", 1, "n:1000.5");
    row("0.1 + 0.2", 1, "n:0.3");
    row("1 / 0", 1, "NULL");
    row("qty / (qty - 10)", 1, "NULL");
    row("'a' * 2", 1, "NULL");
    // names in any case, NULL propagation
    row("qty", 1, "n:10");
    row("QTY * 2", 2, "n:40");
    row(" wax_in_missing ", 1, "NULL");
    row("qty2", 1, "NULL");
    row("qty2 + 1", 1, "NULL");
    row("-qty2", 1, "NULL");
    row("qty + wt", 3, "NULL");
    row("compute_6  *  material_purate", 1, "n:5.625");
    row("compute_6  *  material_purate", 4, "n:4.3875");
    // texts, concatenation and escapes
    row("'Page ' + page() + ' of ' + pageCount()", 1, "s:Page 1 of 2");
    row("'Page ' + page() + ' of ' + pagecount()", 5, "s:Page 2 of 2");
    row("'a' + 1.5", 1, "s:a1.5");
    row("'x' + 3.0", 1, "s:x3");
    row("1 + '2'", 1, "s:12");
    row("\"dq\" + 'sq'", 1, "s:dqsq");
    row("'it~'s'", 1, "s:it's");
    row("\"say ~\"hi~\"\"", 1, "s:say \"hi\"");
    row("'~~'", 1, "s:~");
    row("'a~nb~tc'", 1, "s:a\nb\tc");
    row("'' + ''", 1, "s:");
    row("name + qty2", 1, "NULL");
    row("name + ' ' + qty", 2, "s:执模 20");
    row("'d:' + ldate", 1, "s:d:2004-05-01 08:30:00");
    // comparisons: numbers as numbers, texts as texts, dates as dates
    row("qty = 10", 1, "b:true");
    row("qty <> 10", 1, "b:false");
    row("qty >= 20", 2, "b:true");
    row("qty <= 9", 1, "b:false");
    row("qty > 5 and qty < 15", 1, "b:true");
    row("mcode = 'A'", 1, "b:true");
    row("mcode = 'a'", 1, "b:false");
    row("mcode < 'B'", 1, "b:true");
    row("'10' = 10", 1, "b:true");
    row("'9' < '10'", 1, "b:false");
    row("9 < 10", 1, "b:true");
    row("'abc' = 1", 1, "b:false");
    row("0.1 + 0.2 = 0.3", 1, "b:true");
    // Numbers are exact decimals: what doubles get wrong, and what decimals cannot avoid.
    row("0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 = 1", 1, "b:true");
    row("4.35 * 100", 1, "n:435");
    row("3493.87 + 1926.73 + 13687.52 + 13887.68 + 922.05", 1, "n:33917.85");
    row("12.5 * 0.585", 1, "n:7.3125");
    row("1 / 3", 1, "n:0.333333333333");
    row("1 / 3 * 3", 1, "n:0.999999999999");
    row("round(1 / 3 * 3, 2)", 1, "n:1");
    row("1.005 * 1000 / 1000 = 1.005", 1, "b:true");
    row("name = 'O~'Neil'", 1, "b:true");
    row("ldate = '2004-05-01 08:30:00'", 1, "b:true");
    row("ldate > '2004-05-01'", 1, "b:true");
    row("ldate < '2004-05-02'", 1, "b:true");
    row("ldate > ldate", 1, "b:false");
    row("ldate = 1", 1, "NULL");
    row("qty2 = 1", 1, "NULL");
    row("qty2 <> 1", 1, "NULL");
    row("not (qty2 = 1)", 1, "NULL");
    // and / or / not: NULL counts as false
    row("qty2 = 1 or qty = 10", 1, "b:true");
    row("qty2 = 1 and qty = 10", 1, "b:false");
    row("qty2 = 1 or qty2 = 2", 1, "b:false");
    row("not qty = 10", 1, "b:false");
    row("NOT qty = 11", 1, "b:true");
    row("1 = 0 and 1 = 0 or 1 = 1", 1, "b:true");
    row("1 = 1 or 1 = 0 and 1 = 0", 1, "b:true");
    row("(1 = 1 or 1 = 0) and 1 = 0", 1, "b:false");
    // if
    row("if(qty = 10, 'ten', 'other')", 1, "s:ten");
    row("if(qty = 10, 'ten', 'other')", 2, "s:other");
    row("if(qty2 = 0, 0, 1)", 1, "n:1");
    row("If(1, 2, 1 / 0)", 1, "n:2");
    row("if( view_fil_wipp_isshand =0, 0,  view_fil_wipp_isshand_wt )", 1, "n:0");
    row("if( view_fil_wipp_isshand =0, 0,  view_fil_wipp_isshand_wt )", 2, "n:4.5");
    // functions
    row("getrow()", 3, "n:3");
    row("getrow() = rowcount()", 6, "b:true");
    row("today()", 4, "d:2026-12-07 10:15:00");
    row("now()", 1, "d:2026-12-07 10:15:00");
    row("crosstabsum(1)", 2, "n:102");
    row("crosstabsum(2)", 3, "n:203");
    row("string(qty)", 1, "s:10");
    row("string(wt, '0.00')", 1, "s:1.50");
    row("string(ldate, 'yyyy-mm-dd')", 1, "s:2004-05-01");
    row("string(qty2)", 1, "NULL");
    row("trim('  a b  ')", 1, "s:a b");
    row("left('abcdef', 2)", 1, "s:ab");
    row("right('abcdef', 2)", 1, "s:ef");
    row("right('abc', 10)", 1, "s:abc");
    row("left('abc', -1)", 1, "s:");
    row("left('abc', 1e17) + right('abc', 1e17) + mid('abc', 2, 1e17)", 1, "s:abcabcbc");
    row("mid('abc', 1e17)", 1, "s:");
    row("round(2.5, 1e17)", 1, "n:2.5");
    row("1e300", 1, "ERROR");   // numbers are decimals of at most 18 digits
    row("mid('abcdef', 2, 3)", 1, "s:bcd");
    row("mid('abcdef', 4)", 1, "s:def");
    row("mid('abc', 10)", 1, "s:");
    row("mid('abc', 0)", 1, "s:");
    row("len('执模')", 1, "n:2");
    row("len(qty2)", 1, "NULL");
    row("upper('abc') + lower('DEF')", 1, "s:ABCdef");
    row("pos('abcabc', 'c')", 1, "n:3");
    row("pos('abcabc', 'c', 4)", 1, "n:6");
    row("pos('abc', 'z')", 1, "n:0");
    row("isnull(qty2)", 1, "b:true");
    row("isnull(qty)", 1, "b:false");
    row("isnumber('12.5')", 1, "b:true");
    row("isnumber('12x')", 1, "b:false");
    row("isdate('2004-02-29')", 1, "b:true");
    row("isdate('2004-13-01')", 1, "b:false");
    row("abs(-2.5)", 1, "n:2.5");
    row("round(2.675, 2)", 1, "n:2.68");
    row("round(1.005, 2)", 1, "n:1.01");
    row("round(-1.005, 2)", 1, "n:-1.01");
    row("round(-2.5, 0)", 1, "n:-3");
    row("round(2.5)", 1, "n:3");
    row("round(1234.5, -2)", 1, "n:1200");
    row("truncate(2.679, 2)", 1, "n:2.67");
    row("truncate(-2.679, 1)", 1, "n:-2.6");
    row("truncate(0.29, 2)", 1, "n:0.29");
    row("int(-2.5)", 1, "n:-3");
    row("ceiling(2.1)", 1, "n:3");
    row("mod(7, 3)", 1, "n:1");
    row("mod(7, 0)", 1, "NULL");
    row("number('12.5') + 1", 1, "n:13.5");
    row("dec(' 3 ')", 1, "n:3");
    row("real('x')", 1, "NULL");
    row("long('7.9')", 1, "n:7");
    row("date('2004-05-01')", 1, "d:2004-05-01");
    row("date(ldate)", 1, "d:2004-05-01");
    row("date('2004-02-30')", 1, "NULL");
    row("datetime('2004-05-01', '08:30:00')", 1, "d:2004-05-01 08:30:00");
    row("relativedate(date('2004-02-28'), 2)", 1, "d:2004-03-01");
    row("year(ldate) * 100 + month(ldate)", 1, "n:200405");
    row("day(ldate) + hour(ldate) + minute(ldate) + second(ldate)", 1, "n:39");
    // aggregates
    row("sum(qty for all)", 1, "n:42");
    row("sum(qty for all)", 6, "n:42");
    row("sum(qty)", 3, "n:42");
    row("SUM(qty FOR ALL)", 3, "n:42");
    row("count(qty for all)", 1, "n:5");
    row("count(scno for all)", 2, "n:6");
    row("avg(qty for all)", 1, "n:8.4");
    row("min(qty for all)", 1, "n:0");
    row("max(qty for all)", 1, "n:20");
    row("max(mcode for all)", 1, "s:C");
    row("min(ldate for all)", 1, "d:2004-04-30 08:30:00");
    row("sum(  qty  for group 1 )", 2, "n:30");
    row("sum(  qty  for group 1 )", 4, "n:12");
    row("sum(  qty  for group 1 )", 6, "n:0");
    row("count(qty for group 1)", 3, "n:2");
    row("sum( qty  -  wt  for all)", 1, "n:37.5");
    row("sum(qty * 2 for all) / count(qty for all)", 1, "n:16.8");
    row("sum(  wt  for group 1 ) *  material_purate", 4, "n:0.43875");
    row("sum(if( view_fil_wipp_isshand =0, 0,  view_fil_wipp_isshand_wt ) for group 1)", 1, "n:5");
    row("sum(if( view_fil_wipp_isshand =0, 0,  view_fil_wipp_isshand_wt ) for group 1)", 5, "n:1");
    row("sum(sum(qty for group 1) for all)", 1, "n:114");
    row("sum(c_group for all)", 1, "n:114");
    row("sum(qty2 for all)", 1, "n:0");
    row("count(qty2 for all)", 1, "n:0");
    row("avg(qty2 for all)", 1, "NULL");
    row("max(qty2 for all)", 1, "NULL");
    row("sum(qty for crosstab)", 1, "n:30");
    row("sum(qty for crosstab)", 6, "n:0");
    row("sum(name for all)", 1, "n:0");
    // rejected
    row("", 1, "ERROR");
    row("sum(qty for page)", 1, "ERROR");
    row("scno='O'Neil'", 1, "ERROR");
}

void TestExpression::evaluatesPerRow()
{
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(QString, expected);
    TableContext context;
    QCOMPARE(evaluateText(text, row, context), expected);
    context.useCache = false;
    QCOMPARE(evaluateText(text, row, context), expected);
}

void TestExpression::parseErrorsNamePosition_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("end") << "1 +" << "Unexpected end of expression at position 4";
    QTest::newRow("character") << "qty + #" << "Unexpected character '#' at position 7";
    QTest::newRow("open paren") << "(1 + 2" << "Expecting ')' at position 7";
    QTest::newRow("close paren") << "1 + 2)" << "Unexpected ')' at position 6";
    QTest::newRow("range") << "sum(qty for page)"
                           << "Expecting 'all', 'group N' or 'crosstab' after 'for' at position 13";
    QTest::newRow("group level") << "sum(qty for group x)" << "Expecting a group level at position 19";
    QTest::newRow("unknown function") << "foo(1)" << "Unknown function 'foo' at position 1";
    QTest::newRow("too few") << "if(1, 2)" << "Too few arguments for if() at position 8";
    QTest::newRow("too many") << "left('a', 1, 2)" << "Too many arguments for left() at position 14";
    QTest::newRow("string") << "scno = 'abc" << "Unterminated string at position 8";
    QTest::newRow("quote in value") << "scno='O'Neil'" << "Unexpected text at position 9";
}

void TestExpression::parseErrorsNamePosition()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QString error;
    QVERIFY(!Expression::parse(text, &error));
    QCOMPARE(error, message);
}

void TestExpression::rejectsInputsOfTheRejectFile()
{
    const QStringList lines = dataLines(QStringLiteral("rejected_expressions.txt"));
    QVERIFY2(lines.size() > 20, "rejected_expressions.txt not found through WIP_TEST_DATA");
    for (const QString &line : lines) {
        QString error;
        const auto e = Expression::parse(line, &error);
        QVERIFY2(!e, qPrintable(QStringLiteral("accepted: ") + line));
        QVERIFY2(error.contains(QLatin1String(" at position ")), qPrintable(line + u" -> " + error));
    }
}

void TestExpression::hugeOrDeepInputIsRejectedWithoutCrash()
{
    const int n = 200000;
    const QStringList inputs = {
        QString(n, u'(') + u'1' + QString(n, u')'),
        QString(n, u'-') + u'1',
        QStringLiteral("not ").repeated(n) + u'1',
        u'1' + QStringLiteral("+1").repeated(n),
        QStringLiteral("abs(").repeated(n) + u'1' + QString(n, u')'),
        QStringLiteral("sum(").repeated(n),
    };
    for (const QString &input : inputs) {
        QString error;
        QVERIFY(!Expression::parse(input, &error));
        QVERIFY2(error.contains(QLatin1String("too")), qPrintable(error));
    }
}

void TestExpression::moderatelyDeepInputStillParses()
{
    TableContext context;
    const auto nested = Expression::parse(QString(40, u'(') + u'1' + QString(40, u')') + QStringLiteral(" + qty"));
    QVERIFY(nested);
    QCOMPARE(nested->evaluate(context, 1).toDouble(), 11.0);

    const auto chain = Expression::parse(QStringLiteral("qty") + QStringLiteral(" + 1").repeated(500));
    QVERIFY(chain);
    QCOMPARE(chain->evaluate(context, 2).toDouble(), 520.0);
}

void TestExpression::aggregateRunsOncePerGroup()
{
    TableContext context;
    const auto group = Expression::parse(QStringLiteral("sum(qty for group 1)"));
    const auto all = Expression::parse(QStringLiteral("sum(qty for all)"));
    QVERIFY(group && all);

    QVector<double> groupValues;
    for (int row = 1; row <= context.rowCount(); ++row)
        groupValues.append(group->evaluate(context, row).toDouble());
    QCOMPARE(groupValues, (QVector<double>{30, 30, 30, 12, 12, 0}));
    QCOMPARE(context.reads, 6); // each row read once, not once per row of its group

    context.reads = 0;
    for (int row = 1; row <= context.rowCount(); ++row)
        QCOMPARE(all->evaluate(context, row).toDouble(), 42.0);
    QCOMPARE(context.reads, 6);

    // without a cache the same values come out, at the cost of reading every range again
    context.useCache = false;
    context.reads = 0;
    for (int row = 1; row <= context.rowCount(); ++row)
        QCOMPARE(group->evaluate(context, row).toDouble(), groupValues[row - 1]);
    QCOMPARE(context.reads, 3 * 3 + 2 * 2 + 1);
}

void TestExpression::aggregatesOfDifferentFieldsDoNotShareCachedResults()
{
    TableContext context;
    const auto qty = Expression::parse(QStringLiteral("sum(qty for all)"));
    const auto wt = Expression::parse(QStringLiteral("sum(wt for all)"));
    const auto qtyAgain = Expression::parse(QStringLiteral("sum(qty for all)"));
    QCOMPARE(qty->evaluate(context, 1).toDouble(), 42.0);
    QCOMPARE(wt->evaluate(context, 1).toDouble(), 7.5);
    QCOMPARE(qtyAgain->evaluate(context, 1).toDouble(), 42.0);
    // rows changed and the owner cleared the cache: new values are read
    context.cache.clear();
    context.addRow({{"mcode", "C"}, {"qty", 8.0}, {"wt", 1.0}});
    QCOMPARE(qty->evaluate(context, 1).toDouble(), 50.0);
}

void TestExpression::emptyReportTotals()
{
    EmptyContext context;
    QCOMPARE(evaluateText(QStringLiteral("sum(qty for all)"), 0, context), QStringLiteral("n:0"));
    QCOMPARE(evaluateText(QStringLiteral("count(scno for all)"), 1, context), QStringLiteral("n:0"));
    QCOMPARE(evaluateText(QStringLiteral("sum(qty for group 1)"), 1, context), QStringLiteral("n:0"));
    QCOMPARE(evaluateText(QStringLiteral("max(qty for all)"), 0, context), QStringLiteral("NULL"));
    QCOMPARE(evaluateText(QStringLiteral("avg(qty for all)"), 0, context), QStringLiteral("NULL"));
    // the "blank for zero" format of the totals shows nothing
    const auto total = Expression::parse(QStringLiteral("sum(qty for all)"));
    QCOMPARE(formatValue(total->evaluate(context, 0), QStringLiteral("######.###;-######.###; ")), QString());
}

// The find dialogs build "scno='<value>'" from what the user typed.
void TestExpression::findStyleConditions()
{
    TableContext context;
    const auto find = Expression::parse(QStringLiteral("scno='KC002'"));
    QVERIFY(find);
    QVector<int> matches;
    for (int row = 1; row <= context.rowCount(); ++row)
        if (find->test(context, row))
            matches.append(row);
    QCOMPARE(matches, (QVector<int>{2, 5}));

    const auto none = Expression::parse(QStringLiteral("scno=''"));
    QVERIFY(none);
    for (int row = 1; row <= context.rowCount(); ++row)
        QVERIFY(!none->test(context, row));

    // NULL, texts and dates do not count as true
    const auto nullCondition = Expression::parse(QStringLiteral("qty2 = 1"));
    QVERIFY(!nullCondition->test(context, 1));
    QVERIFY(!Expression::isTrue(QStringLiteral("true")));
    QVERIFY(Expression::isTrue(2.0));
    QVERIFY(!Expression::isTrue(0.0));

    QVERIFY(!Expression::parse(QStringLiteral("scno='KC'1'")));
    QVERIFY(!Expression::parse(QStringLiteral("cust_order='a'b'")));
    QVERIFY(Expression::parse(QStringLiteral("cust_order=") + quoteString(QStringLiteral("a'b"))));
}

void TestExpression::referencedNamesAndAggregates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("aggregate");

    QTest::newRow("if") << "if( view_fil_wipp_isshand =0, 0,  view_fil_wipp_isshand_wt )"
                        << QStringList{"view_fil_wipp_isshand", "view_fil_wipp_isshand_wt"} << false;
    QTest::newRow("case and repeats") << "sum(QTY for all) + Qty * qty" << QStringList{"qty"} << true;
    QTest::newRow("nested aggregate") << "if(a = 1, sum(b for group 2), c)"
                                      << QStringList{"a", "b", "c"} << true;
    QTest::newRow("string is no name") << "'qty' + getrow()" << QStringList{} << false;
    QTest::newRow("computed") << "compute_6  *  material_purate"
                              << QStringList{"compute_6", "material_purate"} << false;
    QTest::newRow("crosstabsum") << "crosstabsum(1)" << QStringList{} << false;
    QTest::newRow("crosstab") << "sum(qty for crosstab)" << QStringList{"qty"} << true;
    QTest::newRow("page") << "'Page ' + page() + ' of ' + pageCount()" << QStringList{} << false;
}

void TestExpression::referencedNamesAndAggregates()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    QFETCH(bool, aggregate);
    const auto e = Expression::parse(text);
    QVERIFY(e);
    QCOMPARE(e->referencedNames(), names);
    QCOMPARE(e->hasAggregate(), aggregate);
    QCOMPARE(e->text(), text);
}

void TestExpression::quoteStringRoundTrips_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted");

    QTest::newRow("empty") << "" << "''";
    QTest::newRow("plain") << "plain" << "'plain'";
    QTest::newRow("apostrophe") << "O'Neil" << "'O~'Neil'";
    QTest::newRow("double quotes") << "say \"hi\"" << "'say \"hi\"'";
    QTest::newRow("tilde") << "~" << "'~~'";
    QTest::newRow("tilde quote") << "~'" << "'~~~''";
    QTest::newRow("tilde n") << "~n" << "'~~n'";
    QTest::newRow("quotes only") << "''''" << "'~'~'~'~''";
    QTest::newRow("chinese") << "04-执模WIP报表" << "'04-执模WIP报表'";
    QTest::newRow("controls") << "tab\tline\nend" << "'tab\tline\nend'";
    QTest::newRow("date range") << "2004-05-01 至 2004-05-31" << "'2004-05-01 至 2004-05-31'";
}

void TestExpression::quoteStringRoundTrips()
{
    QFETCH(QString, text);
    QFETCH(QString, quoted);
    QCOMPARE(quoteString(text), quoted);

    TableContext context;
    const auto e = Expression::parse(quoteString(text));
    QVERIFY(e);
    QCOMPARE(e->evaluate(context, 1).toString(), text);

    const ModifyText modify = ModifyText::parse(QStringLiteral("t_head.text=") + quoteString(text));
    QVERIFY2(modify.isValid(), qPrintable(modify.error()));
    QCOMPARE(modify.assignments().size(), 1);
    QCOMPARE(modify.assignments().at(0).value, text);
}

QTEST_GUILESS_MAIN(TestExpression)
#include "runtime/values.h"
#include "tst_expression.moc"
