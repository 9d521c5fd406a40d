// Inputs that once crashed the report engine or made it misbehave, found by the
// fuzz targets under fuzz/ and by the sanitizer build; each is fed again here
// through the same entry point. A case names the fault it guards against.

#include "reports/displayformat.h"

#include <QDate>
#include <QTest>

using namespace wip::reports;

class TestRegressions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void invalidDatesFormatAsEmpty_data();
    void invalidDatesFormatAsEmpty();
};

// A date without a calendar day (a null QDate, or a Julian day outside the
// calendar) used to index the month and weekday names at -1.
void TestRegressions::invalidDatesFormatAsEmpty_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("format");

    const QDate outside = QDate::fromJulianDay(std::numeric_limits<qint64>::min());
    QTest::newRow("null date, month name") << QDate() << QStringLiteral("mmm");
    QTest::newRow("null date, long month and day names") << QDate() << QStringLiteral("dddd mmmm");
    QTest::newRow("null date, numbers") << QDate() << QStringLiteral("yyyy-mm-dd");
    QTest::newRow("outside the calendar, fuzz input")
        << outside << QStringLiteral("+D3HY:MMMYY--M-\x04M-M-MYYYM-MDD3H:MM");
    QTest::newRow("outside the calendar, short day") << outside << QStringLiteral("ddd");
}

void TestRegressions::invalidDatesFormatAsEmpty()
{
    QFETCH(QDate, date);
    QFETCH(QString, format);
    QVERIFY(!date.isValid());
    QCOMPARE(formatValue(QVariant(date), format), QString());
    QCOMPARE(generalText(QVariant(date)), QString());
    // A valid date in the same format still names its month and day.
    QVERIFY(!formatValue(QVariant(QDate(2024, 2, 29)), format).isEmpty());
}

QTEST_GUILESS_MAIN(TestRegressions)
#include "tst_regressions.moc"
