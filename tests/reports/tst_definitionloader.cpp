#include "reports/catalogue.h"
#include "reports/definitionloader.h"
#include "testdatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace wip;
using namespace wip::reports;

// Loading definition files: every fault is refused with the file and the fault
// named; what loads survives a round trip through JSON; the catalogue finds
// definitions in any case and checks them against a database.
class TestDefinitionLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogueLoadsOnceFromManyThreads();   // first: nothing has used the catalogue yet
    void faultsAreNamedWithTheFile_data();
    void faultsAreNamedWithTheFile();
    void definitionSurvivesRoundTrip();
    void everyKnownDefinitionRoundTrips();
    void catalogueFindsAnyCaseAndRefusesUnknownNested();
    void columnsAreCheckedAgainstTheDatabase();
};

namespace {

// A definition that loads; the faulty ones change one thing in it.
QJsonObject validDefinition()
{
    return QJsonDocument::fromJson(R"json({
      "name": "d_bad",
      "query": "select scno, qty from proch where gongxu_code = :gx",
      "arguments": [ {"name": "gx", "type": "string"} ],
      "columns": [ {"name": "scno", "type": "string"}, {"name": "qty", "type": "number"} ],
      "texts": [ {"name": "t_head", "text": "x", "band": "header"} ],
      "computed": [ {"name": "c_total", "expression": "sum(qty for all)", "band": "summary"} ],
      "groups": [ {"level": 1, "by": ["scno"]} ],
      "sort": ["scno"]
    })json").object();
}

QByteArray changed(const std::function<void(QJsonObject &)> &change)
{
    QJsonObject o = validDefinition();
    change(o);
    return QJsonDocument(o).toJson();
}

template <typename T>
void setAt(QJsonObject &o, const QString &list, int index, const QString &key, const T &value)
{
    QJsonArray a = o[list].toArray();
    QJsonObject e = a[index].toObject();
    e[key] = value;
    a[index] = e;
    o[list] = a;
}

QStringList definitionFiles()
{
    QStringList files;
    for (const QString &folder : QStringList{qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine"),
                                  QStringLiteral(":/definitions")}) {
        QDirIterator it(folder, {QStringLiteral("*.json")}, QDir::Files);
        while (it.hasNext())
            files.append(it.next());
    }
    return files;
}

} // namespace

void TestDefinitionLoader::catalogueLoadsOnceFromManyThreads()
{
    // Several threads ask at once; all see the same definitions, each loaded once.
    constexpr int threads = 4;
    std::vector<std::shared_ptr<const Definition>> found(threads);
    std::vector<QStringList> names(threads);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
        workers.emplace_back([i, &found, &names] {
            found[size_t(i)] = Catalogue::instance().find(QStringLiteral("D_WIP_TODAY1"));
            names[size_t(i)] = Catalogue::instance().names();
        });
    }
    for (std::thread &t : workers)
        t.join();
    for (int i = 1; i < threads; ++i) {
        QCOMPARE(found[size_t(i)], found[0]);
        QCOMPARE(names[size_t(i)], names[0]);
    }
    QCOMPARE(bool(found[0]), QFile::exists(QStringLiteral(":/definitions/d_wip_today1.json")));
}

void TestDefinitionLoader::faultsAreNamedWithTheFile_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("fault");

    QTest::newRow("valid") << changed([](QJsonObject &) {}) << QString();
    QTest::newRow("not json") << QByteArray("{\"name\": ") << "not valid JSON";
    QTest::newRow("not an object") << QByteArray("[1, 2]") << "JSON object";
    QTest::newRow("unknown key") << changed([](QJsonObject &o) { o["colour"] = "red"; }) << "unknown key \"colour\"";
    QTest::newRow("unknown column key") << changed([](QJsonObject &o) { setAt(o, "columns", 0, "widht", 3); })
                                        << "unknown key \"widht\" in column 1";
    QTest::newRow("name differs from file") << changed([](QJsonObject &o) { o["name"] = "d_other"; })
                                            << "differs from the file name";
    QTest::newRow("bad layout") << changed([](QJsonObject &o) { o["layout"] = "sideways"; }) << "layout \"sideways\"";
    QTest::newRow("bad column type") << changed([](QJsonObject &o) { setAt(o, "columns", 1, "type", QString("money")); })
                                     << "type \"money\"";
    QTest::newRow("bad argument type") << changed([](QJsonObject &o) { setAt(o, "arguments", 0, "type", QString("list")); })
                                       << "type \"list\"";
    QTest::newRow("bad band") << changed([](QJsonObject &o) { setAt(o, "texts", 0, "band", QString("middle")); })
                              << "band \"middle\"";
    QTest::newRow("width not a number") << changed([](QJsonObject &o) { setAt(o, "columns", 0, "width", QString("wide")); })
                                        << "\"width\"";
    QTest::newRow("expression does not parse")
        << changed([](QJsonObject &o) { setAt(o, "computed", 0, "expression", QString("sum(qty for")); })
        << "does not parse";
    QTest::newRow("computed reads unknown column")
        << changed([](QJsonObject &o) { setAt(o, "computed", 0, "expression", QString("sum(weight for all)")); })
        << "reads \"weight\"";
    QTest::newRow("group by unknown column") << changed([](QJsonObject &o) {
        o["groups"] = QJsonArray{QJsonObject{{"level", 1}, {"by", QJsonArray{"metal"}}}};
    }) << "group 1 names the column \"metal\"";
    QTest::newRow("group levels out of order") << changed([](QJsonObject &o) {
        o["groups"] = QJsonArray{QJsonObject{{"level", 2}, {"by", QJsonArray{"scno"}}}};
    }) << "level 2";
    QTest::newRow("sort by unknown column") << changed([](QJsonObject &o) { o["sort"] = QJsonArray{"deldate"}; })
                                            << "the sort names the column \"deldate\"";
    QTest::newRow("sort direction") << changed([](QJsonObject &o) { o["sort"] = QJsonArray{"qty X"}; }) << "sort \"qty X\"";
    QTest::newRow("undeclared placeholder")
        << changed([](QJsonObject &o) { o["query"] = "select scno, qty from proch where scno = :kcno"; }) << "\":kcno\"";
    QTest::newRow("date compared with =") << changed([](QJsonObject &o) {
        o["query"] = "select scno, qty from proch where gongxu_code = :gx and edtime = :d";
        o["arguments"] = QJsonArray{QJsonObject{{"name", "gx"}}, QJsonObject{{"name", "d"}, {"type", "date"}}};
    }) << "\":d\" is a date, a whole day";
    QTest::newRow("date range") << changed([](QJsonObject &o) {
        o["query"] = "select scno, qty from proch where gongxu_code = :gx and edtime between :d and :d";
        o["arguments"] = QJsonArray{QJsonObject{{"name", "gx"}}, QJsonObject{{"name", "d"}, {"type", "date"}}};
    }) << QString();
    QTest::newRow("no query") << changed([](QJsonObject &o) { o.remove("query"); }) << "needs a \"query\"";
    QTest::newRow("duplicate column") << changed([](QJsonObject &o) {
        QJsonArray a = o["columns"].toArray();
        a.append(QJsonObject{{"name", "SCNO"}});
        o["columns"] = a;
    }) << "column \"scno\" is declared twice";
    QTest::newRow("computed named like a column")
        << changed([](QJsonObject &o) { setAt(o, "computed", 0, "name", QString("qty")); }) << "computed field \"qty\"";
    QTest::newRow("text under unknown column")
        << changed([](QJsonObject &o) { setAt(o, "texts", 0, "under", QString("weight")); }) << "field \"weight\"";
    QTest::newRow("trailer of a missing group") << changed([](QJsonObject &o) {
        setAt(o, "computed", 0, "band", QString("trailer"));
        setAt(o, "computed", 0, "group", 2);
    }) << "group 2";
    QTest::newRow("column name that is not a name")
        << changed([](QJsonObject &o) { setAt(o, "columns", 0, "name", QString("scno; drop table x")); })
        << "is not a name";
    QTest::newRow("db that is not table.column")
        << changed([](QJsonObject &o) { setAt(o, "columns", 0, "db", QString("proch.scno = 1 or 1")); })
        << "is not table.column";
    QTest::newRow("update key unknown") << changed([](QJsonObject &o) {
        o["update"] = QJsonObject{{"table", "proch"}, {"key", QJsonArray{"proch_id"}}};
    }) << "the update key names the column \"proch_id\"";
    QTest::newRow("update table not a name") << changed([](QJsonObject &o) {
        o["update"] = QJsonObject{{"table", "proch where 1=1"}, {"key", QJsonArray{"scno"}}};
    }) << "is not a name";
    QTest::newRow("crosstab layout without crosstab") << changed([](QJsonObject &o) { o["layout"] = "crosstab"; })
                                                       << "needs \"crosstab\"";
    QTest::newRow("crosstab on unknown column") << changed([](QJsonObject &o) {
        o["layout"] = "crosstab";
        o["crosstab"] = QJsonObject{{"rows", QJsonArray{"scno"}}, {"columns", QJsonArray{"edtime"}},
                                    {"values", QJsonArray{QJsonObject{{"name", "qty"}, {"expression", "sum(qty for crosstab)"}}}}};
    }) << "the crosstab columns names the column \"edtime\"";
    QTest::newRow("composite with a query") << changed([](QJsonObject &o) {
        o["layout"] = "composite";
        o["nested"] = QJsonArray{QJsonObject{{"definition", "d_x"}}};
    }) << "a composite has no query";
    QTest::newRow("nested argument undeclared") << changed([](QJsonObject &o) {
        o = QJsonObject{{"name", "d_bad"}, {"layout", "composite"},
                        {"nested", QJsonArray{QJsonObject{{"definition", "d_x"}, {"arguments", QJsonArray{"proc"}}}}}};
    }) << "argument \"proc\"";
}

void TestDefinitionLoader::faultsAreNamedWithTheFile()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("d_bad.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(json);
    file.close();

    QString error;
    const auto definition = DefinitionLoader::loadFile(path, &error);
    if (fault.isEmpty()) {
        QVERIFY2(definition, qPrintable(error));
        QCOMPARE(definition->sourceFile, path);
        return;
    }
    QVERIFY2(!definition, "a faulty definition loaded");
    QVERIFY2(error.startsWith(path + QLatin1String(": ")) && error.contains(fault), qPrintable(error));
}

void TestDefinitionLoader::definitionSurvivesRoundTrip()
{
    QString error;
    const auto loaded = DefinitionLoader::loadFile(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine/d_test_steps.json"), &error);
    QVERIFY2(loaded, qPrintable(error));
    const auto back = DefinitionLoader::fromJson(DefinitionLoader::toJson(*loaded), QStringLiteral("round trip"), &error);
    QVERIFY2(back, qPrintable(error));
    const Definition &d = *back;

    QCOMPARE(d.name, QStringLiteral("d_test_steps"));
    QCOMPARE(d.arguments.size(), 3);
    QCOMPARE(d.arguments.at(0).type, ArgumentType::StringList);
    QCOMPARE(d.arguments.at(2).type, ArgumentType::Date);
    QCOMPARE(d.columns.size(), 6);
    QCOMPARE(d.columns.at(1).caption, (QStringList{"订单", "KCNO"}));
    QCOMPARE(d.columns.at(1).dbName, QStringLiteral("proch.scno"));
    QCOMPARE(d.columns.at(4).format, QStringLiteral("####.#"));
    QCOMPARE(d.columns.at(4).align, Align::Right);
    QCOMPARE(d.columns.at(5).type, ValueType::DateTime);
    QCOMPARE(d.sort, (QStringList{"gongxu_code", "proch_id D"}));
    QCOMPARE(d.texts.at(1).band, Band::Summary);
    QCOMPARE(d.texts.at(1).under, QStringLiteral("scno"));
    QCOMPARE(d.computed.at(1).band, Band::GroupTrailer);
    QCOMPARE(d.computed.at(1).group, 1);
    QCOMPARE(d.computed.at(0).caption, QStringList{"NO."});
    QCOMPARE(d.groups.at(0).by, QStringList{"gongxu_code"});
    QCOMPARE(d.columnIndex(QStringLiteral("QTY")), 4);
    QVERIFY(d.computedField(QStringLiteral("C_Total")));
    QVERIFY(d.textObject(QStringLiteral("T_HEAD")));
    QCOMPARE(d.argumentIndex(QStringLiteral("ETIME")), 2);
    QCOMPARE(d.columnIndex(QStringLiteral("nothere")), -1);

    const auto form = DefinitionLoader::loadFile(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine/d_test_process_input.json"), &error);
    QVERIFY2(form, qPrintable(error));
    const auto formBack = DefinitionLoader::fromJson(DefinitionLoader::toJson(*form), QStringLiteral("round trip"), &error);
    QVERIFY2(formBack, qPrintable(error));
    QCOMPARE(formBack->form.headings, (QStringList{"", "接收", "转出", "在做"}));
    QCOMPARE(formBack->form.lines.at(0).fields, (QStringList{"wax_in", "wax_out", "c_wax"}));
    QCOMPARE(formBack->form.extraFields, QStringList{"remark"});
    QCOMPARE(formBack->updateTable, QStringLiteral("process"));
    QCOMPARE(formBack->keyColumns, QStringList{"process_id"});
}

void TestDefinitionLoader::everyKnownDefinitionRoundTrips()
{
    const QStringList files = definitionFiles();
    QVERIFY(!files.isEmpty());
    for (const QString &path : files) {
        QString error;
        const auto loaded = DefinitionLoader::loadFile(path, &error);
        QVERIFY2(loaded, qPrintable(error));
        const QJsonObject json = DefinitionLoader::toJson(*loaded);
        const auto back = DefinitionLoader::fromJson(json, path, &error);
        QVERIFY2(back, qPrintable(error));
        QVERIFY2(DefinitionLoader::toJson(*back) == json, qPrintable(path));
    }
}

void TestDefinitionLoader::catalogueFindsAnyCaseAndRefusesUnknownNested()
{
    Catalogue &catalogue = Catalogue::instance();
    QVERIFY2(catalogue.loadErrors().isEmpty(), qPrintable(catalogue.loadErrors().join(QLatin1Char('\n'))));
    if (QFile::exists(QStringLiteral(":/definitions/d_wip_today1.json"))) {
        QVERIFY(catalogue.find(QStringLiteral("D_WIP_TODAY1")));
        QCOMPARE(catalogue.find(QStringLiteral("d_WIP_today1"))->name, QStringLiteral("d_wip_today1"));
    }
    QVERIFY(!catalogue.find(QStringLiteral("d_no_such_report")));

    QTemporaryDir dir;
    auto write = [&dir](const QString &name, const QByteArray &json) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(json) == json.size();
    };
    QVERIFY(write(QStringLiteral("d_cat_a.json"), R"json({"name": "d_cat_a", "query": "select scno from sconh",
                                                      "columns": [{"name": "scno"}]})json"));
    QVERIFY(write(QStringLiteral("d_cat_ok.json"), R"json({"name": "d_cat_ok", "layout": "composite",
                                                       "nested": [{"definition": "D_CAT_A"}]})json"));
    QVERIFY(write(QStringLiteral("d_cat_lost.json"), R"json({"name": "d_cat_lost", "layout": "composite",
                                                         "nested": [{"definition": "d_cat_missing"}]})json"));
    QVERIFY(write(QStringLiteral("d_cat_bad.json"), R"json({"name": "d_cat_bad", "layout": "tabular"})json"));
    QStringList errors;
    QVERIFY(!catalogue.addDirectory(dir.path(), &errors));
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors.join(QLatin1Char('\n')).contains(dir.filePath(QStringLiteral("d_cat_lost.json")) + QLatin1String(": nested report \"d_cat_missing\"")),
             qPrintable(errors.join(QLatin1Char('\n'))));
    QVERIFY2(errors.join(QLatin1Char('\n')).contains(dir.filePath(QStringLiteral("d_cat_bad.json"))), qPrintable(errors.join(QLatin1Char('\n'))));
    // The good ones are in, the faulty ones are not.
    QVERIFY(catalogue.find(QStringLiteral("D_Cat_A")));
    QVERIFY(catalogue.find(QStringLiteral("d_cat_ok")));
    QVERIFY(!catalogue.find(QStringLiteral("d_cat_lost")));
    QVERIFY(!catalogue.find(QStringLiteral("d_cat_bad")));
    QVERIFY(catalogue.names().contains(QStringLiteral("d_cat_a")));
}

void TestDefinitionLoader::columnsAreCheckedAgainstTheDatabase()
{
    test::TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    auto load = [](const QByteArray &json, const QString &file) {
        QString error;
        auto d = DefinitionLoader::loadJson(json, file, &error);
        return d ? std::make_shared<const Definition>(*d) : nullptr;
    };
    const auto good = load(R"json({"name": "d_chk_good", "query": "select scno, qty from proch where scno in (:l) and edtime between :a and :b",
                               "arguments": [{"name": "l", "type": "stringlist"}, {"name": "a", "type": "date"}, {"name": "b", "type": "date"}],
                               "columns": [{"name": "scno"}, {"name": "qty", "type": "number"}]})json",
                           QStringLiteral("d_chk_good.json"));
    const auto misspelt = load(R"json({"name": "d_chk_misspelt", "query": "select scno, qty from proch",
                                   "columns": [{"name": "scno"}, {"name": "qtty", "type": "number"}]})json",
                               QStringLiteral("d_chk_misspelt.json"));
    const auto order = load(R"json({"name": "d_chk_order", "query": "select qty, scno from proch",
                                "columns": [{"name": "scno"}, {"name": "qty", "type": "number"}]})json",
                            QStringLiteral("d_chk_order.json"));
    const auto table = load(R"json({"name": "d_chk_table", "query": "select scno from no_such_table",
                                "columns": [{"name": "scno"}]})json",
                            QStringLiteral("d_chk_table.json"));
    QVERIFY(good && misspelt && order && table);

    const QStringList faults = checkDefinitionsAgainstDatabase({good, misspelt, order, table}, db.tr().database());
    QCOMPARE(faults.size(), 3);
    QVERIFY2(faults.at(0).startsWith(QLatin1String("d_chk_misspelt.json: ")) && faults.at(0).contains(QLatin1String("qtty")),
             qPrintable(faults.at(0)));
    QVERIFY2(faults.at(1).startsWith(QLatin1String("d_chk_order.json: ")), qPrintable(faults.at(1)));
    QVERIFY2(faults.at(2).startsWith(QLatin1String("d_chk_table.json: ")), qPrintable(faults.at(2)));
}

QTEST_GUILESS_MAIN(TestDefinitionLoader)
#include "tst_definitionloader.moc"
