#include "runtime/trace.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;

// The runtime's trace output: the exact problem line, the log file, the captured lines.
class TestTrace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Trace::setLogFile(QString()); Trace::clearCaptured(); }
    void problemLineIsExact();
    void linesGoToTheLogFileAndTheCapture();
    void unwritableLogDoesNotStopTheProgram();
    void captureKeepsOnlyTheLatestLines();
};

void TestTrace::problemLineIsExact()
{
    QCOMPARE(Trace::problemLine(4), QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 4 ***"));
    QCOMPARE(Trace::problemLine(40), QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 40 ***"));
}

void TestTrace::linesGoToTheLogFileAndTheCapture()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("wip.log"));
    Trace::setLogFile(log);
    QCOMPARE(Trace::logFile(), log);
    Trace::clearCaptured();

    Trace::problem(4, QStringLiteral("dw_1 is not open"));
    Trace::problem(13);
    Trace::write(QStringLiteral("找不到记录"));
    const QStringList expected = {Trace::problemLine(4), QStringLiteral("dw_1 is not open"),
                                  Trace::problemLine(13), QStringLiteral("找不到记录")};
    QCOMPARE(Trace::captured(), expected);

    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), expected.join(QLatin1Char('\n')) + QLatin1Char('\n'));

    Trace::clearCaptured();
    QVERIFY(Trace::captured().isEmpty());
    Trace::setLogFile(QString());
    Trace::write(QStringLiteral("not in the file"));
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("not in the file"));
}

void TestTrace::unwritableLogDoesNotStopTheProgram()
{
    Trace::setLogFile(QStringLiteral("/proc/no/such/folder/wip.log"));
    Trace::clearCaptured();
    Trace::problem(20);
    QCOMPARE(Trace::captured(), QStringList{Trace::problemLine(20)});
}

void TestTrace::captureKeepsOnlyTheLatestLines()
{
    Trace::clearCaptured();
    for (int i = 1; i <= 10005; ++i)
        Trace::write(QString::number(i));
    const QStringList lines = Trace::captured();
    QCOMPARE(lines.size(), 10000);
    QCOMPARE(lines.first(), QStringLiteral("6"));
    QCOMPARE(lines.last(), QStringLiteral("10005"));
}

QTEST_GUILESS_MAIN(TestTrace)
#include "tst_trace.moc"
