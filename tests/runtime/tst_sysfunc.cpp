#include "runtime/hosterror.h"
#include "runtime/stringarray.h"
#include "runtime/sysfunc.h"

#include <QTest>

using namespace wip;

// The host's system functions, table-driven, and the 1-based string array.
class TestSysfunc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dateReadsEnteredTexts_data();
    void dateReadsEnteredTexts();
    void stringFormatsValues_data();
    void stringFormatsValues();
    void textFunctionsCountFromOne_data();
    void textFunctionsCountFromOne();
    void nullsStayNull();
    void decReadsNumbersAndTexts();
    void relativeDateAndDateTime();
    void stringArrayGrowsWhenWrittenPastItsEnd();
};

void TestSysfunc::dateReadsEnteredTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");
    const QDate none(1900, 1, 1);
    // The forms are the values module's (tst_values); Date adds the host's
    // "no date" for a text that is not one, and takes a date-time's day.
    QTest::newRow("dashes") << "2024-03-05" << QDate(2024, 3, 5);
    QTest::newRow("with time") << "2024-03-05 17:45:10" << QDate(2024, 3, 5);
    QTest::newRow("not a leap year") << "2023-02-29" << none;
    QTest::newRow("empty") << "" << none;
    QTest::newRow("mask left blank") << "    -  -  " << none;
    QTest::newRow("words") << "yesterday" << none;
}

void TestSysfunc::dateReadsEnteredTexts()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    QCOMPARE(Date(text), expected);
}

void TestSysfunc::stringFormatsValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    const QDate d(2024, 3, 5);
    const QDateTime dt(d, QTime(8, 7, 9));

    QTest::newRow("date default") << QVariant(d) << QString() << "2024-03-05";
    QTest::newRow("date iso") << QVariant(d) << "yyyy-mm-dd" << "2024-03-05";
    QTest::newRow("date upper case") << QVariant(d) << "YYYY-MM-DD" << "2024-03-05";
    QTest::newRow("date short") << QVariant(d) << "d/m/yy" << "5/3/24";
    QTest::newRow("date names") << QVariant(d) << "ddd, mmm d yyyy" << "Tue, Mar 5 2024";
    QTest::newRow("date long names") << QVariant(d) << "dddd mmmm" << "Tuesday March";
    QTest::newRow("datetime default") << QVariant(dt) << QString() << "2024-03-05 08:07:09";
    QTest::newRow("datetime minutes") << QVariant(dt) << "yyyy-mm-dd hh:mm" << "2024-03-05 08:07";
    QTest::newRow("time minutes before seconds") << QVariant(QTime(23, 4, 5)) << "mm:ss" << "04:05";
    QTest::newRow("time default") << QVariant(QTime(23, 4, 5)) << QString() << "23:04:05";
    QTest::newRow("quoted text") << QVariant(d) << "yyyy\"年\"mm\"月\"" << "2024年03月";
    QTest::newRow("whole number") << QVariant(12.0) << QString() << "12";
    QTest::newRow("fraction") << QVariant(12.25) << QString() << "12.25";
    QTest::newRow("integer") << QVariant(42) << QString() << "42";
    QTest::newRow("grouped") << QVariant(1234567.5) << "#,##0.00" << "1,234,567.50";
    QTest::newRow("optional decimals") << QVariant(2.0) << "0.##" << "2";
    QTest::newRow("rounded") << QVariant(2.346) << "0.00" << "2.35";
    QTest::newRow("negative") << QVariant(-3.5) << "0.0" << "-3.5";
    QTest::newRow("negative section") << QVariant(-3.5) << "0.0;(0.0)" << "(3.5)";
    QTest::newRow("grams") << QVariant(0.125) << "#,##0.000" << "0.125";
    QTest::newRow("text stays") << QVariant(QStringLiteral("03-倒模")) << QString() << "03-倒模";
}

void TestSysfunc::stringFormatsValues()
{
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(format.isNull() ? String(value) : String(value, format), expected);
}

void TestSysfunc::textFunctionsCountFromOne_data()
{
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("expected");
    // The rights text of a user: the level is its last character, the state the 2nd and 3rd.
    const QString ztbm = Trim(QStringLiteral("  A019 \t"));
    QTest::newRow("trim") << ztbm << "A019";
    QTest::newRow("right") << Right(ztbm, 1) << "9";
    QTest::newRow("mid") << Mid(ztbm, 2, 2) << "01";
    QTest::newRow("mid to end") << Mid(ztbm, 3) << "19";
    QTest::newRow("mid past end") << Mid(ztbm, 5, 2) << "";
    QTest::newRow("mid longer than text") << Mid(ztbm, 4, 10) << "9";
    QTest::newRow("mid start zero") << Mid(ztbm, 0, 2) << "";
    QTest::newRow("left reason code") << Left(QStringLiteral("1-无石Stone delay"), 1) << "1";
    QTest::newRow("left more than text") << Left(QStringLiteral("ab"), 5) << "ab";
    QTest::newRow("left none") << Left(QStringLiteral("ab"), 0) << "";
    QTest::newRow("right chinese") << Right(QStringLiteral("03-倒模"), 2) << "倒模";
}

void TestSysfunc::textFunctionsCountFromOne()
{
    QFETCH(QString, result);
    QFETCH(QString, expected);
    QCOMPARE(result, expected);
    QVERIFY(!result.isNull());           // empty results are empty, not null
}

void TestSysfunc::nullsStayNull()
{
    QVERIFY(Trim(QString()).isNull());
    QVERIFY(Right(QString(), 1).isNull());
    QVERIFY(Mid(QString(), 2, 2).isNull());
    QVERIFY(Left(QString(), 1).isNull());
    QVERIFY(Date(QString()).isNull());
    QVERIFY(String(QVariant()).isNull());
    QVERIFY(String(QVariant(QMetaType::fromType<QDate>()), QStringLiteral("yyyy")).isNull());
    QVERIFY(RelativeDate(QDate(), 3).isNull());
    QVERIFY(!DateTime(QDate(), QTime(1, 0)).isValid());
    QVERIFY(!Trim(QStringLiteral("   ")).isNull());
}

void TestSysfunc::decReadsNumbersAndTexts()
{
    QCOMPARE(Dec(QVariant(3)), std::optional<double>(3.0));
    QCOMPARE(Dec(QVariant(QStringLiteral(" 12.125 "))), std::optional<double>(12.125));
    QCOMPARE(Dec(QVariant(QStringLiteral("abc"))), std::optional<double>(0.0));
    QVERIFY(!Dec(QVariant()));
    QVERIFY(!Dec(QVariant(QMetaType::fromType<double>())));
    // In-work quantity with a null operand stays null: no subtraction happens.
    const auto in = Dec(QVariant(10)), out = Dec(QVariant());
    QVERIFY(in && !out);
}

void TestSysfunc::relativeDateAndDateTime()
{
    QCOMPARE(RelativeDate(QDate(2024, 3, 1), -6), QDate(2024, 2, 24));
    QCOMPARE(RelativeDate(QDate(2023, 12, 30), 3), QDate(2024, 1, 2));
    QCOMPARE(String(RelativeDate(Today(), -6)), Today().addDays(-6).toString(QStringLiteral("yyyy-MM-dd")));
    QCOMPARE(DateTime(QDate(2024, 3, 1), QTime(9, 30)), QDateTime(QDate(2024, 3, 1), QTime(9, 30)));
    QCOMPARE(Date(QDateTime(QDate(2024, 3, 1), QTime(9, 30))), QDate(2024, 3, 1));
    const QDateTime now = DateTime(Today(), Now());
    QVERIFY(qAbs(now.secsTo(QDateTime::currentDateTime())) < 5);
}

void TestSysfunc::stringArrayGrowsWhenWrittenPastItsEnd()
{
    StringArray a;
    QCOMPARE(UpperBound(a), 0);
    a[3] = QStringLiteral("SC003");
    QCOMPARE(a.UpperBound(), 3);
    QCOMPARE(a.at(1), QString());
    QVERIFY(!a.at(1).isNull());
    QCOMPARE(a[3], QStringLiteral("SC003"));
    a.set(1, QStringLiteral("SC001"));
    QCOMPARE(a.values(), QStringList({QStringLiteral("SC001"), QString(), QStringLiteral("SC003")}));

    // Blanking keeps the size, as the order analysis does before filling it again.
    for (int j = 1; j <= UpperBound(a); ++j)
        a[j] = QString();
    a[1] = QStringLiteral("SC009");
    QCOMPARE(UpperBound(a), 3);
    QCOMPARE(a.at(1), QStringLiteral("SC009"));

    const StringArray &readOnly = a;
    for (const int bad : {0, 4, -1}) {
        try {
            (void)readOnly[bad];
            QFAIL("reading outside the array must fail");
        } catch (const HostError &e) {
            QCOMPARE(e.code(), int(ErrArrayBounds));
        }
    }
    QVERIFY_THROWS_EXCEPTION(HostError, a.set(0, QStringLiteral("x")));

    scno_sel().clear();
    scno_sel()[2] = QStringLiteral("K2");
    QCOMPARE(UpperBound(scno_sel()), 2);
    scno_sel().clear();
}

QTEST_GUILESS_MAIN(TestSysfunc)
#include "tst_sysfunc.moc"
