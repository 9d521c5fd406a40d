// The values module: every form of date, date-time and number text that Wip
// reads, and every form it refuses; the exact decimal's arithmetic, including the
// values that binary floating point gets wrong.

#include "runtime/decimal.h"
#include "runtime/values.h"

#include <QTest>

using namespace wip;

namespace {

Decimal dec(const char *text)
{
    const auto d = values::parseNumber(QString::fromLatin1(text));
    if (!d)
        qFatal("not a number in the test: %s", text);
    return *d;
}

} // namespace

class TestValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsDateTexts_data();
    void readsDateTexts();
    void readsDatabaseBytesLikeTexts();
    void readsTimeTexts_data();
    void readsTimeTexts();
    void readsNumberTexts_data();
    void readsNumberTexts();
    void decimalArithmetic_data();
    void decimalArithmetic();
    void decimalsFromDoubles_data();
    void decimalsFromDoubles();
    void decimalsOrderAndTravelInVariants();
    void sumsStayExact();
    void writesPlainForms();
    void splitsFormatSections_data();
    void splitsFormatSections();
    void wallClockMillisecondsRoundTrip();
};

// text -> expected date-time text ("" when refused), and whether a time was given.
void TestValues::readsDateTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("hasTime");
    auto ok = [](const char *name, const char *text, const char *expected, bool hasTime) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromLatin1(expected) << hasTime;
    };
    auto refused = [](const char *name, const char *text) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString() << false;
    };
    ok("dashes", "2024-03-05", "2024-03-05 00:00:00.000", false);
    ok("slashes", "2024/03/05", "2024-03-05 00:00:00.000", false);
    ok("one-digit month and day", "2024-3-5", "2024-03-05 00:00:00.000", false);
    ok("eight digits", "20240305", "2024-03-05 00:00:00.000", false);
    ok("blanks around", "  2024-03-05 \t", "2024-03-05 00:00:00.000", false);
    ok("leap day", "2024-02-29", "2024-02-29 00:00:00.000", false);
    ok("database text", "2024-03-05 14:30:07", "2024-03-05 14:30:07.000", true);
    ok("minutes only", "2024/12/31 08:00", "2024-12-31 08:00:00.000", true);
    ok("one-digit hour", "2024-03-05 8:05", "2024-03-05 08:05:00.000", true);
    ok("T separator", "2024-03-05T23:59:59", "2024-03-05 23:59:59.000", true);
    ok("milliseconds", "2024-03-05 10:00:00.250", "2024-03-05 10:00:00.250", true);
    ok("microseconds kept to the millisecond", "2024-03-05 23:59:59.999999", "2024-03-05 23:59:59.999", true);
    ok("one place of a second", "2024-03-05 10:00:00.5", "2024-03-05 10:00:00.500", true);
    ok("several blanks before the time", "2024-03-05   10:00", "2024-03-05 10:00:00.000", true);
    ok("tab before the time", "2024-03-05\t10:00", "2024-03-05 10:00:00.000", true);
    ok("slashes with a time", "2024/3/5 23:59", "2024-03-05 23:59:00.000", true);
    ok("eight digits with a time", "20240305 10:00:00", "2024-03-05 10:00:00.000", true);
    ok("line end after", "2024-03-05\r\n", "2024-03-05 00:00:00.000", false);
    ok("first and last days", "0001-01-01", "0001-01-01 00:00:00.000", false);
    ok("end of the calendar", "9999-12-31 23:59:59", "9999-12-31 23:59:59.000", true);
    refused("not a leap year", "2023-02-29");
    refused("month 13", "2024-13-01");
    refused("day 0", "2024-03-00");
    refused("mixed separators", "2024-03/05");
    refused("dots", "2024.03.05");
    refused("two-digit year", "24-03-05");
    refused("three-digit day", "2024-03-005");
    refused("empty", "");
    refused("blanks", "   ");
    refused("mask left blank", "    -  -  ");
    refused("words", "yesterday");
    refused("trailing junk", "2024-03-05x");
    refused("time without date", "14:30");
    refused("hour 24", "2024-03-05 24:00");
    refused("minute 60", "2024-03-05 10:60");
    refused("one-digit minutes", "2024-03-05 10:5");
    refused("time and junk", "2024-03-05 10:00 pm");
    refused("seven places of a second", "2024-03-05 10:00:00.1234567");
    refused("nothing after the point", "2024-03-05 10:00:00.");
    refused("full-width digits", "２０２４-03-05");
    refused("impossible eight digits", "20240230");
    refused("six digits", "202403");
    refused("T and nothing after", "2024-03-05T");
    refused("T after blanks", "2024-03-05 T10:00");
    refused("blank after T", "2024-03-05T 10:00");
    refused("time glued to the date", "2024-03-0510:00");
    refused("one-digit seconds", "2024-03-05 10:00:5");
    refused("five-digit year", "20240-03-05");
    refused("no day", "2024-03");
    refused("separator at the end", "2024-03-05-");
    refused("three-digit month", "2024-003-05");
    refused("seven digits", "2024035");
    refused("blank inside the date", "2024 -03-05");
}

void TestValues::readsDateTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(bool, hasTime);
    const auto read = values::readDateTime(text);
    if (expected.isEmpty()) {
        QVERIFY2(!read, qPrintable(text));
        QVERIFY(!values::parseDate(text));
        QVERIFY(!values::parseDateTime(text));
        return;
    }
    QVERIFY2(read, qPrintable(text));
    QCOMPARE(read->toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), expected);
    QCOMPARE(read->hasTime, hasTime);
    QCOMPARE(values::parseDate(text), std::optional<QDate>(read->date));
    QCOMPARE(values::parseDateWithoutTime(text).has_value(), !hasTime);
    QCOMPARE(values::parseDateTime(text)->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), expected);
}

void TestValues::readsDatabaseBytesLikeTexts()
{
    // The UTF-8 bytes of a database value read as the same text would.
    const char *texts[] = {"2004-03-01 14:30:00", "2004-03-01", "2004-3-1 9:05", "2004-02-30", "", "采购 2004"};
    for (const char *t : texts) {
        const auto fromBytes = values::readDateTime(QByteArrayView(t));
        const auto fromText = values::readDateTime(QString::fromUtf8(t));
        QCOMPARE(fromBytes.has_value(), fromText.has_value());
        if (fromBytes)
            QCOMPARE(fromBytes->toDateTime(), fromText->toDateTime());
    }
    QCOMPARE(values::parseTime(u"7:05"), std::optional<QTime>(QTime(7, 5)));
    QCOMPARE(values::parseTime(u" 23:59:58 "), std::optional<QTime>(QTime(23, 59, 58)));
    QVERIFY(!values::parseTime(u"7"));
    QVERIFY(!values::parseTime(u"25:00"));
}

// text -> time ("" when refused); a time alone, as a time mask reads it
void TestValues::readsTimeTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *text, const char *expected) {
        QTest::newRow(text) << QString::fromUtf8(text) << QString::fromLatin1(expected);
    };
    row("7:05", "07:05:00.000");
    row(" 23:59:58 ", "23:59:58.000");
    row("00:00", "00:00:00.000");
    row("12:30:15.5", "12:30:15.500");
    row("12:30:15.123456", "12:30:15.123");
    row("7", "");
    row("25:00", "");
    row("24:00", "");
    row("12:60", "");
    row("12:30:60", "");
    row("123:00", "");
    row("12:3", "");
    row("12:30:", "");
    row("12:30:15.", "");
    row("12.30", "");
    row("2024-03-05 12:30", "");
    row("", "");
}

void TestValues::readsTimeTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const auto read = values::parseTime(text);
    QCOMPARE(read ? read->toString(QStringLiteral("HH:mm:ss.zzz")) : QString(), expected);
}

// text -> the decimal read, every place of its scale ("" when refused)
void TestValues::readsNumberTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *text, const char *expected) {
        QTest::newRow(text) << QString::fromUtf8(text) << QString::fromLatin1(expected);
    };
    row("12", "12");
    row("-12", "-12");
    row("+12", "12");
    row(" 12.125 ", "12.125");
    row("33917.85", "33917.85");
    row("0.585", "0.585");
    row("33917.850", "33917.850");   // PostgreSQL's numeric(18,3) text keeps its scale
    row(".5", "0.5");
    row("-.5", "-0.5");
    row("5.", "5");
    row("007", "7");
    row("1.2e3", "1200");
    row("1.25E-2", "0.0125");
    row("-0", "0");
    row("9223372036854775807", "9223372036854775807");
    row("0.123456789012345678", "0.123456789012345678");
    row("0.1234567890123456789", "0.123456789012345679");   // rounded to eighteen places
    row("123456789012.123456789", "123456789012.1234568");  // places given up to fit 64 bits
    row("", "");
    row(" ", "");
    row("abc", "");
    row("12abc", "");
    row("1,234.5", "");
    row("1 234", "");
    row("--1", "");
    row(".", "");
    row("-", "");
    row("1e", "");
    row("e3", "");
    row("inf", "");
    row("nan", "");
    row("0x10", "");
    row("1e+3", "1000");
    row("+.5", "0.5");
    row("-5.0e-1", "-0.50");
    row("1e-30", "0.000000000000000000");            // beyond eighteen places: rounds to 0
    row("0e9999", "0");
    row("12\t", "12");
    row("1e12345", "");                               // at most four digits of exponent
    row("1e99", "");                                  // beyond 64 bits
    row("1.2.3", "");
    row("1e2.5", "");
    row("- 5", "");
    row("+-5", "");
    row("\u22125", "");                               // the minus sign of typesetting
    row("5-", "");
    row("１２", "");
    row("99999999999999999999", "");   // no place left to give up
}

void TestValues::readsNumberTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const auto read = values::parseNumber(text);
    if (expected.isEmpty()) {
        QVERIFY2(!read, qPrintable(text));
        return;
    }
    QVERIFY2(read, qPrintable(text));
    QCOMPARE(read->toString(), expected);
}

// a op b -> expected, every place of the result's scale
void TestValues::decimalArithmetic_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const char *op, const char *a, const char *b, const char *expected) {
        QTest::newRow(name) << QString::fromLatin1(op) << QString::fromLatin1(a) << QString::fromLatin1(b)
                            << QString::fromLatin1(expected);
    };
    // Doubles get these wrong: 0.30000000000000004, 434.99999999999994, 1.0 ...
    row("0.1 + 0.2", "+", "0.1", "0.2", "0.3");
    row("4.35 * 100", "*", "4.35", "100", "435.00");
    row("1.005 to 2 places", "round", "1.005", "2", "1.01");
    row("2.675 to 2 places", "round", "2.675", "2", "2.68");
    row("1.15 * 3", "*", "1.15", "3", "3.45");
    row("33917.85 - 0.05", "-", "33917.85", "0.05", "33917.80");
    row("weight * purity", "*", "12.5", "0.585", "7.3125");
    row("mixed scales", "+", "1.5", "0.125", "1.625");
    row("negative halves away", "round", "-2.5", "0", "-3");
    row("round to tens", "round", "1234.5", "-1", "1230");
    row("round to hundreds", "round", "1250", "-2", "1300");
    row("rounding a shorter scale", "round", "1.5", "3", "1.5");
    row("truncate", "truncate", "2.679", "2", "2.67");
    row("truncate negative", "truncate", "-2.679", "2", "-2.67");
    row("truncate 0.29 * 100", "truncate", "29.00", "0", "29");
    row("1 / 3", "/", "1", "3", "0.333333333333");
    row("2 / 3", "/", "2", "3", "0.666666666667");
    row("10 / 4", "/", "10", "4", "2.500000000000");
    row("-7 / 2", "/", "-7", "2", "-3.500000000000");
    row("division by zero", "/", "1", "0", "");
    row("remainder", "mod", "7.5", "2", "1.5");
    row("negative remainder", "mod", "-7", "3", "-1");
    row("remainder by zero", "mod", "7", "0", "");
    row("floor", "floor", "-2.5", "0", "-3");
    row("ceiling", "ceiling", "2.1", "0", "3");
    row("products keep eighteen places", "*", "0.123456789", "0.123456789", "0.015241578750190521");
    row("overflow gives up places", "*", "9000000000", "1000000000.5", "9000000004500000000");
    row("overflow beyond all places", "*", "9000000000000000000", "10", "");
    row("sum that overflows", "+", "9223372036854775807", "1", "");
}

void TestValues::decimalArithmetic()
{
    QFETCH(QString, operation);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, expected);
    const Decimal x = dec(qPrintable(a));
    const Decimal y = dec(qPrintable(b));
    Decimal result;
    if (operation == u"+")
        result = x + y;
    else if (operation == u"-")
        result = x - y;
    else if (operation == u"*")
        result = x * y;
    else if (operation == u"/")
        result = x / y;
    else if (operation == u"mod")
        result = x.remainder(y);
    else if (operation == u"round")
        result = x.rounded(int(y.units()));
    else if (operation == u"truncate")
        result = x.truncated(int(y.units()));
    else if (operation == u"floor")
        result = x.floor();
    else if (operation == u"ceiling")
        result = x.ceiling();
    QCOMPARE(result.toString(), expected);
    QCOMPARE(result.isValid(), !expected.isEmpty());
}

// a double as SQLite gives it back -> the decimal it stands for
void TestValues::decimalsFromDoubles_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0.585") << 0.585 << "0.585";
    QTest::newRow("33917.85") << 33917.85 << "33917.85";
    QTest::newRow("whole") << 12.0 << "12";
    QTest::newRow("negative") << -0.125 << "-0.125";
    QTest::newRow("milligrams") << 1234.567 << "1234.567";
    QTest::newRow("a quotient") << (2.0 / 7.0) << "0.285714285714286";
    QTest::newRow("a sum gone astray") << (0.1 + 0.2) << "0.300000000000000";
    QTest::newRow("small") << 1e-13 << "0.0000000000001";
    QTest::newRow("too small to keep") << 1e-16 << "0.000000000000000";
    QTest::newRow("large with places") << 123456789.125 << "123456789.125";
    QTest::newRow("large") << 123456789012345.0 << "123456789012345";
    QTest::newRow("NaN") << std::nan("") << "";
    QTest::newRow("infinity") << HUGE_VAL << "";
    QTest::newRow("beyond 18 digits") << 1e19 << "";
}

void TestValues::decimalsFromDoubles()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    const Decimal d = Decimal::fromDouble(value);
    QCOMPARE(d.toString(), expected);
    if (d.isValid() && std::fabs(value) > 1e-15 && value != 0.1 + 0.2 && value != 2.0 / 7.0)
        QCOMPARE(d.toDouble(), value);   // the decimal stands for that very double
}

void TestValues::decimalsOrderAndTravelInVariants()
{
    QVERIFY(dec("1.50") == dec("1.5"));
    QVERIFY(dec("-1") < dec("0.001"));
    QVERIFY(dec("2.675") > dec("2.67499999"));
    QVERIFY(Decimal::invalid() < dec("-999"));
    QCOMPARE(dec("1.50").normalized().toString(), QStringLiteral("1.5"));
    QCOMPARE(dec("100").normalized().toString(), QStringLiteral("100"));

    // In a QVariant: equal by value, readable as double and text, NULL when invalid.
    const QVariant v = dec("33917.850").toVariant();
    QVERIFY(Decimal::isDecimal(v));
    QCOMPARE(v, dec("33917.85").toVariant());
    QCOMPARE(v.toDouble(), 33917.85);
    QCOMPARE(v.toString(), QStringLiteral("33917.85"));
    QVERIFY(Decimal::invalid().toVariant().isNull());
    QVERIFY(Decimal::null().isNull());
    QVERIFY(Decimal::isDecimal(Decimal::null()));
    QCOMPARE(Decimal::fromVariant(QVariant(7)), std::optional<Decimal>(dec("7")));
    QCOMPARE(Decimal::fromVariant(QVariant(0.585)), std::optional<Decimal>(dec("0.585")));
    QCOMPARE(Decimal::fromVariant(QVariant(true)), std::optional<Decimal>(dec("1")));
    QVERIFY(!Decimal::fromVariant(QVariant(QStringLiteral("7"))));
    QVERIFY(!Decimal::fromVariant(QVariant()));
}

void TestValues::sumsStayExact()
{
    // A grand total of gold weights that doubles make 33917.850000000006.
    const char *weights[] = {"3493.87", "1926.73", "13687.52", "13887.68", "922.05"};
    Decimal total;
    double doubles = 0;
    for (const char *w : weights) {
        total += dec(w);
        doubles += QByteArray(w).toDouble();
    }
    QCOMPARE(total.toShortString(), QStringLiteral("33917.85"));
    QVERIFY(doubles != 33917.85);   // why this type exists
    QCOMPARE(total.toDouble(), 33917.85);

    // Ten thousand times 0.1 is exactly 1000.
    Decimal many;
    for (int i = 0; i < 10000; ++i)
        many += dec("0.1");
    QCOMPARE(many.toShortString(), QStringLiteral("1000"));
}

void TestValues::writesPlainForms()
{
    const QDateTime afternoon(QDate(2004, 3, 1), QTime(14, 30, 5));
    const QDateTime midnight(QDate(2004, 3, 1), QTime(0, 0));
    QCOMPARE(values::dateText(QDate(2004, 3, 1)), QStringLiteral("2004-03-01"));
    QCOMPARE(values::dateText(QDate()), QString());
    QCOMPARE(values::dateTimeText(afternoon), QStringLiteral("2004-03-01 14:30:05"));
    QCOMPARE(values::dateTimeText(midnight), QStringLiteral("2004-03-01 00:00:00"));
    QCOMPARE(values::dateOrDateTimeText(midnight), QStringLiteral("2004-03-01"));
    QCOMPARE(values::dateOrDateTimeText(afternoon), QStringLiteral("2004-03-01 14:30:05"));
    QCOMPARE(values::timeText(QTime(7, 5)), QStringLiteral("07:05:00"));
    QCOMPARE(values::numberText(dec("33917.850")), QStringLiteral("33917.85"));
    QCOMPARE(values::numberText(dec("-0.000")), QStringLiteral("0"));
    QCOMPARE(values::numberText(12.5), QStringLiteral("12.5"));
    QCOMPARE(values::numberText(3.0), QStringLiteral("3"));
    QCOMPARE(values::numberText(0.1 + 0.2), QStringLiteral("0.3"));
    QCOMPARE(values::numberText(-0.0), QStringLiteral("0"));
    QCOMPARE(values::numberText(1e16), QStringLiteral("10000000000000000"));
    // Every written form reads back as itself.
    QCOMPARE(values::parseDateTime(values::dateTimeText(afternoon)), std::optional<QDateTime>(afternoon));
    QCOMPARE(values::parseNumber(values::numberText(dec("-1234.5678"))), std::optional<Decimal>(dec("-1234.5678")));
}

// a display format -> its sections, joined by '|'
void TestValues::splitsFormatSections_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const char *format, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(format) << QString::fromUtf8(expected);
    };
    row("empty", "", "");
    row("one section", "#,##0.00", "#,##0.00");
    row("positive and negative", "#,##0.00;(#,##0.00)", "#,##0.00|(#,##0.00)");
    row("four sections", "0;-0;zero;none", "0|-0|zero|none");
    row("empty sections", ";;", "||");
    row("quoted semicolon", "0\"; \"0;-0", "0\"; \"0|-0");
    row("escaped semicolon", "0\\;0;-0", "0\\;0|-0");
    row("backslash at the end", "0\\", "0\\");
    row("quote left open", "0\";0", "0\";0");
}

void TestValues::splitsFormatSections()
{
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(values::formatSections(format).join(u'|'), expected);
}

void TestValues::wallClockMillisecondsRoundTrip()
{
    const QDateTime times[] = {
        QDateTime(QDate(1, 1, 1), QTime(0, 0)),
        QDateTime(QDate(1899, 12, 31), QTime(23, 59, 59, 999)),
        QDateTime(QDate(2004, 3, 1), QTime(14, 30)),
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)),
    };
    qint64 previous = -1;
    for (const QDateTime &t : times) {
        const qint64 ms = values::wallClockMsecs(t.date(), t.time());
        QVERIFY(ms > previous);   // calendar order
        previous = ms;
        QCOMPARE(values::fromWallClockMsecs(ms), t);
    }
}

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
