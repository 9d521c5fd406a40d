#include "reports/datastore.h"
#include "reports/definitionloader.h"
#include "reports/widgets/argumentdialog.h"
#include "runtime/widgets/inputpromptservice.h"

#include <QTest>

using namespace wip;
using namespace wip::reports;

// Choices of a retrieval argument: how a definition declares them, which it
// refuses, and what the prompt binds when one is chosen.
class ArgumentChoicesTest : public QObject
{
    Q_OBJECT

    static QByteArray definitionWith(const QByteArray &choices)
    {
        return R"({"name": "d_t", "layout": "tabular", "query": "select scno from process where remark = :remark",
                   "arguments": [{"name": "remark", "type": "string", "choices": )"
               + choices + R"(}], "columns": [{"name": "scno", "type": "string"}]})";
    }

private Q_SLOTS:
    void choicesLoadAndRoundTrip()
    {
        QString error;
        const auto d = DefinitionLoader::loadJson(
            definitionWith(R"(["A", {"value": "1", "text": "1-无石Stone delay"}, {"value": "2"}])"),
            QStringLiteral("d_t.json"), &error);
        QVERIFY2(d, qPrintable(error));
        const Argument &a = d->arguments.first();
        QCOMPARE(a.choices, (QStringList{"A", "1-无石Stone delay", "2"}));
        QCOMPARE(a.choiceValues, (QStringList{"A", "1", "2"}));
        const auto again = DefinitionLoader::fromJson(DefinitionLoader::toJson(*d), QStringLiteral("d_t.json"), &error);
        QVERIFY2(again, qPrintable(error));
        QCOMPARE(again->arguments.first().choices, a.choices);
        QCOMPARE(again->arguments.first().choiceValues, a.choiceValues);
    }

    void faultyChoicesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("choices");
        QTest::newRow("not a list") << QByteArray(R"({"value": "1"})");
        QTest::newRow("a number") << QByteArray(R"([1])");
        QTest::newRow("no value") << QByteArray(R"([{"text": "x"}])");
        QTest::newRow("unknown key") << QByteArray(R"([{"value": "1", "label": "x"}])");
        QTest::newRow("empty text") << QByteArray(R"([""])");
        QTest::newRow("twice") << QByteArray(R"(["a", {"value": "b", "text": "a"}])");
    }
    void faultyChoicesAreRefused()
    {
        QFETCH(QByteArray, choices);
        QString error;
        QVERIFY(!DefinitionLoader::loadJson(definitionWith(choices), QStringLiteral("d_t.json"), &error));
        QVERIFY(error.contains(QStringLiteral("d_t.json")));
    }

    void aChosenTextBindsItsValue()
    {
        QString error;
        const auto d = DefinitionLoader::loadJson(
            definitionWith(R"([{"value": "1", "text": "1-无石Stone delay"}, {"value": "9", "text": "9-车石完成"}])"),
            QStringLiteral("d_t.json"), &error);
        QVERIFY2(d, qPrintable(error));
        InputPromptService::setScripted(true);
        InputPromptService::clear();
        installArgumentPrompter();
        const Argument &a = d->arguments.first();
        InputPromptService::queueAnswer(QStringLiteral("9-车石完成"));
        QCOMPARE(argumentPrompter()(a, *d), std::optional<QVariant>(QStringLiteral("9")));
        // A value typed as such stays what it is; the choices are offered first.
        InputPromptService::queueAnswer(QStringLiteral("7"));
        QCOMPARE(argumentPrompter()(a, *d), std::optional<QVariant>(QStringLiteral("7")));
        const QList<AskedValue> asked = InputPromptService::asked();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.at(1).choices.mid(0, 2), (QStringList{"1-无石Stone delay", "9-车石完成"}));
    }
};

QTEST_MAIN(ArgumentChoicesTest)
#include "tst_argumentchoices.moc"
