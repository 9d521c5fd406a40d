// Feeds every seed of the fuzz targets (fuzz/corpus/<target>/, which holds the
// inputs that once found faults) through the same code as the fuzz targets, in the
// ordinary and the sanitizer builds, so an old fault cannot come back unnoticed
// where clang's fuzzer is not built. A broken property aborts the test.

#include "../../fuzz/fuzzsupport.cpp"

#define LLVMFuzzerTestOneInput fuzzExpression
#include "../../fuzz/fuzz_expression.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzzDisplayFormat
#include "../../fuzz/fuzz_displayformat.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzzModifyText
#include "../../fuzz/fuzz_modifytext.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzzDefinition
#include "../../fuzz/fuzz_definition.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzzSavedReport
#include "../../fuzz/fuzz_savedreport.cpp"
#undef LLVMFuzzerTestOneInput

#include <QDir>
#include <QFileInfo>
#include <QTest>

class TestFuzzCorpus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void seedsRunClean_data();
    void seedsRunClean();
};

using FuzzFunction = int (*)(const uint8_t *, size_t);
Q_DECLARE_METATYPE(FuzzFunction)

void TestFuzzCorpus::seedsRunClean_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<FuzzFunction>("function");
    QTest::newRow("expression") << QStringLiteral("fuzz_expression") << FuzzFunction(&fuzzExpression);
    QTest::newRow("display format") << QStringLiteral("fuzz_displayformat") << FuzzFunction(&fuzzDisplayFormat);
    QTest::newRow("Modify text") << QStringLiteral("fuzz_modifytext") << FuzzFunction(&fuzzModifyText);
    QTest::newRow("definition file") << QStringLiteral("fuzz_definition") << FuzzFunction(&fuzzDefinition);
    QTest::newRow("saved report") << QStringLiteral("fuzz_savedreport") << FuzzFunction(&fuzzSavedReport);
}

void TestFuzzCorpus::seedsRunClean()
{
    QFETCH(QString, target);
    QFETCH(FuzzFunction, function);
    // CTest points WIP_TEST_DATA at tests/reports/data.
    const QString data = qEnvironmentVariable("WIP_TEST_DATA",
                                              QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/data"));
    const QDir corpus(data + QStringLiteral("/../../../fuzz/corpus/") + target);
    const QFileInfoList seeds = corpus.entryInfoList(QDir::Files, QDir::Name);
    QVERIFY2(!seeds.isEmpty(), qPrintable(corpus.path()));
    for (const QFileInfo &seed : seeds) {
        QFile file(seed.filePath());
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(seed.filePath()));
        const QByteArray bytes = file.readAll();
        QCOMPARE(function(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())), 0);
    }
}

QTEST_GUILESS_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
