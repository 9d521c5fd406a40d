// Display formats of the reports' columns and computed fields, one row per case.

#include "reports/displayformat.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace wip::reports;

class TestDisplayFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void numbers_data();
    void numbers();
    void datesAndTimes_data();
    void datesAndTimes();
    void valuesOfTheWrongKindShowAsGeneral_data();
    void valuesOfTheWrongKindShowAsGeneral();
};

void TestDisplayFormat::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    auto row = [](double value, const char *format, const char *expected) {
        QTest::addRow("%g | %s", value, format)
            << value << QString::fromUtf8(format) << QString::fromUtf8(expected);
    };
    // whole-number masks round half away from zero
    row(12.5, "####", "13");
    row(12.4, "####", "12");
    row(-12.5, "####", "-13");
    row(123456, "####", "123456");      // wider than the mask: every digit shows
    row(1e16, "####", "10000000000000000");
    row(0.3, "####", "0");
    row(7, "#### pcs", "7 pcs");
    // '#' decimals drop trailing zeros, '0' decimals always show
    row(1234.56, "####.#", "1234.6");
    row(12, "####.#", "12");
    row(0.5, "####.#", ".5");
    row(0.5, "####0.#", "0.5");
    row(0, "####.#", "0");
    row(0.04, "####.#", "0");
    row(12.25, "#####.#", "12.3");
    row(3.05, "######.#", "3.1");
    row(2.675, "#.##", "2.68");
    row(1.005, "0.00", "1.01");
    row(1, "0.00", "1.00");
    row(1.5, "0.0#", "1.5");
    row(1.567, "0.0#", "1.57");
    row(1, "0.0#", "1.0");
    row(5, "000", "005");
    row(-5, "000", "-005");
    row(1234.5678, "#########.###", "1234.568");
    // sections: positive;negative;zero - a blank zero section blanks zeros
    row(0, "#####.##;-#####.##; ", "");
    row(3.456, "#####.##;-#####.##; ", "3.46");
    row(-3.456, "#####.##;-#####.##; ", "-3.46");
    row(0.001, "#####.##;-#####.##; ", "");
    row(-0.001, "#####.##;-#####.##; ", "");
    row(1234.5678, "######.###;-######.###; ", "1234.568");
    row(-0.5, "######.###;-######.###; ", "-.5");
    row(0, "######.###;-######.###; ", "");
    row(-2.5, "#####.###;-#####.###", "-2.5");
    row(0, "#####.###;-#####.###", "0");
    row(-12.5, "#,##0.00;(#,##0.00)", "(12.50)");
    row(0, "#,##0.00;(#,##0.00);\"nil\"", "nil");
    row(-1, "#;", "");
    // grouping and literal text around the number
    row(1234567.891, "#,##0.00", "1,234,567.89");
    row(999.999, "#,##0.00", "1,000.00");
    row(-1234, "#,###", "-1,234");
    row(12.5, "$#,##0.00", "$12.50");
    row(45, "0\"%\"", "45%");
    row(3, "\\#0", "#3");
    // general
    row(123.456, "[general]", "123.456");
    row(3, "[General]", "3");
    row(3, "", "3");
    row(-0.0, "[general]", "0");
    row(0.1 + 0.2, "[general]", "0.3");
    row(1e20, "[general]", "100000000000000000000");
    row(1.0 / 3, "[general]", "0.33333333333333");
    row(std::numeric_limits<double>::quiet_NaN(), "####", "");
    row(std::numeric_limits<double>::infinity(), "[general]", "");
}

void TestDisplayFormat::numbers()
{
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(formatValue(value, format), expected);
}

void TestDisplayFormat::datesAndTimes_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QDateTime morning(QDate(2004, 5, 1), QTime(8, 5, 9));
    const QDateTime evening(QDate(2004, 5, 1), QTime(20, 30, 0));
    const QDateTime midnight(QDate(2004, 5, 1), QTime(0, 0));
    auto row = [](const char *name, const QVariant &value, const char *format, const char *expected) {
        QTest::addRow("%s | %s", name, format)
            << value << QString::fromUtf8(format) << QString::fromUtf8(expected);
    };
    row("morning", morning, "yyyy-mm-dd", "2004-05-01");
    row("morning", morning, "[shortdate] [time]", "2004-05-01 08:05:09");
    row("morning", morning, "[SHORTDATE]", "2004-05-01");
    row("morning", morning, "yyyy-mm-dd h:mm:ss", "2004-05-01 8:05:09");
    row("morning", morning, "yyyy-mm-dd  h:mm:ss", "2004-05-01  8:05:09");
    row("morning", morning, "YYYY-MM-DD H:MM", "2004-05-01 8:05");
    row("morning", morning, "YYYY-MM-DD H:MM:SS", "2004-05-01 8:05:09");
    row("morning", morning, "YYYY-MM-DD h:MM", "2004-05-01 8:05");
    row("morning", morning, "YYYY-mm-dd", "2004-05-01");
    row("morning", morning, "yy/m/d", "04/5/1");
    row("morning", morning, "dd/mm/yyyy", "01/05/2004");
    row("morning", morning, "mm:ss", "05:09");
    row("morning", morning, "hh:mm", "08:05");
    row("morning", morning, "hh:mm am/pm", "08:05 AM");
    row("evening", evening, "h:mm AM/PM", "8:30 PM");
    row("evening", evening, "hh:mm", "20:30");
    row("morning", morning, "mmm d, yyyy", "May 1, 2004");
    row("morning", morning, "dddd mmmm", "Saturday May");
    row("morning", morning, "yyyy\"年\"m\"月\"d\"日\"", "2004年5月1日");
    row("morning", morning, "yyyy-mm-dd;[general]", "2004-05-01");
    row("morning", morning, "[general]", "2004-05-01 08:05:09");
    row("morning", morning, "", "2004-05-01 08:05:09");
    row("midnight", midnight, "[general]", "2004-05-01");
    row("midnight", midnight, "yyyy-mm-dd hh:mm:ss", "2004-05-01 00:00:00");
    row("date", QDate(2004, 12, 31), "yyyy-mm-dd hh:mm", "2004-12-31 00:00");
    row("date", QDate(2004, 12, 31), "[general]", "2004-12-31");
    row("time", QTime(13, 4, 5), "hh:mm", "13:04");
    row("time", QTime(13, 4, 5), "[time]", "13:04:05");
    row("time", QTime(13, 4, 5), "[general]", "13:04:05");
    row("time", QTime(13, 4, 5), "yyyy-mm-dd", "13:04:05");
    row("null", QVariant(), "yyyy-mm-dd", "");
    row("null date-time", QVariant(QMetaType::fromType<QDateTime>()), "yyyy-mm-dd", "");
}

void TestDisplayFormat::datesAndTimes()
{
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(formatValue(value, format), expected);
}

void TestDisplayFormat::valuesOfTheWrongKindShowAsGeneral_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QDateTime morning(QDate(2004, 5, 1), QTime(8, 5, 9));
    QTest::newRow("date, number mask") << QVariant(morning) << "####" << "2004-05-01 08:05:09";
    QTest::newRow("date, blank-zero mask") << QVariant(morning) << "#####.##;-#####.##; "
                                           << "2004-05-01 08:05:09";
    QTest::newRow("number, date mask") << QVariant(12.5) << "yyyy-mm-dd" << "12.5";
    QTest::newRow("number, named date mask") << QVariant(12.5) << "[shortdate] [time]" << "12.5";
    QTest::newRow("integer, number mask") << QVariant(42) << "#####.#" << "42";
    QTest::newRow("text, number mask") << QVariant(QStringLiteral("12.5")) << "####" << "12.5";
    QTest::newRow("text, date mask") << QVariant(QStringLiteral("KC001")) << "yyyy-mm-dd" << "KC001";
    QTest::newRow("text, general") << QVariant(QStringLiteral(" 04-执模 ")) << "[general]" << " 04-执模 ";
    QTest::newRow("text, @ mask") << QVariant(QStringLiteral("abc")) << "@@@@" << "abc";
    QTest::newRow("empty text") << QVariant(QString()) << "####" << "";
    QTest::newRow("null text") << QVariant(QMetaType::fromType<QString>()) << "[general]" << "";
    QTest::newRow("null number") << QVariant(QMetaType::fromType<double>()) << "#####.##;-#####.##; " << "";
    QTest::newRow("boolean") << QVariant(true) << "[general]" << "true";
}

void TestDisplayFormat::valuesOfTheWrongKindShowAsGeneral()
{
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(formatValue(value, format), expected);
}

QTEST_GUILESS_MAIN(TestDisplayFormat)
#include "tst_displayformat.moc"
