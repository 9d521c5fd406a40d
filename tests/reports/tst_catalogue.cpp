#include "database/schema.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/definitionloader.h"
#include "runtime/trace.h"
#include "testdatabase.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <map>
#include <memory>

using namespace wip;
using namespace wip::reports;
using wip::test::Engine;
using wip::test::TestDatabase;

// The catalogue of report definitions. Every definition file in the source tree is
// loaded and its query run on a fresh schema database (SQLite, and PostgreSQL when
// configured), so a broken file, a misspelt column or SQL one engine refuses fails
// the build's tests with the file named. The second half retrieves chosen
// definitions against rows worked out by hand (data/catalogue/orders.json).
class TestCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyDefinitionFileLoads_data();
    void everyDefinitionFileLoads();
    void everyQueryRunsOnAFreshSchema_data();
    void everyQueryRunsOnAFreshSchema();

    void progressListsKeepOpenOrdersDueInTheRange_data() { test::addEngineRows(); }
    void progressListsKeepOpenOrdersDueInTheRange();
    void progressListsByIssueDateAndRemark_data() { test::addEngineRows(); }
    void progressListsByIssueDateAndRemark();
    void stoneReportsCompareStonesInWithStonesNeeded_data() { test::addEngineRows(); }
    void stoneReportsCompareStonesInWithStonesNeeded();
    void stepAndSettingReportsKeepOpenStepsAndRealStones_data() { test::addEngineRows(); }
    void stepAndSettingReportsKeepOpenStepsAndRealStones();
    void goldNeedGroupsTheChosenOrdersByMetal_data() { test::addEngineRows(); }
    void goldNeedGroupsTheChosenOrdersByMetal();
    void workerSheetsSplitFinishedFromPending_data() { test::addEngineRows(); }
    void workerSheetsSplitFinishedFromPending();
    void statisticsSumPerProcessAndWorker_data() { test::addEngineRows(); }
    void statisticsSumPerProcessAndWorker();
    void compositesPassTheirArgumentsToBothReports_data() { test::addEngineRows(); }
    void compositesPassTheirArgumentsToBothReports();
    void transferSheetsByNoteNumber_data() { test::addEngineRows(); }
    void transferSheetsByNoteNumber();

private:
    TestDatabase &sharedDatabase(Engine engine);
    std::map<Engine, std::unique_ptr<TestDatabase>> m_shared;
};

namespace {

QString definitionsFolder()
{
    return QDir::cleanPath(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/../../../src/reports/definitions"));
}

QString fixturePath()
{
    return qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/catalogue/orders.json");
}

QStringList definitionFiles()
{
    return QDir(definitionsFolder()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
}

// The value type a schema column reads back as.
std::optional<ValueType> schemaType(const QString &dbName)
{
    const QStringList parts = dbName.split(u'.');
    if (parts.size() != 2)
        return std::nullopt;
    const TableDef *table = Schema::table(parts[0]);
    if (!table)
        return std::nullopt;          // a view: its columns come from its query
    const ColumnDef *column = table->column(parts[1]);
    if (!column)
        return ValueType::String;     // reported below as missing
    switch (column->type) {
    case ColumnType::Id:
    case ColumnType::Integer:
    case ColumnType::Number:
        return ValueType::Number;
    case ColumnType::DateTime:
        return ValueType::DateTime;
    case ColumnType::Text:
        return ValueType::String;
    }
    return std::nullopt;
}

// A value of the argument's type that matches nothing in an empty database.
QVariant sampleArgument(ArgumentType type)
{
    switch (type) {
    case ArgumentType::String:
        return QStringLiteral("X");
    case ArgumentType::Number:
        return 1.0;
    case ArgumentType::Date:
        return QDate(2026, 1, 1);
    case ArgumentType::DateTime:
        return QDateTime(QDate(2026, 1, 1), QTime(0, 0));
    case ArgumentType::StringList:
        return QStringList{QStringLiteral("X1"), QStringLiteral("X2")};
    case ArgumentType::NumberList:
        return QVariantList{1.0, 2.0};
    }
    return {};
}

QStringList strings(const DataStore &ds, const QString &column)
{
    QStringList out;
    for (int row = 1; row <= ds.RowCount(); ++row)
        out.append(ds.GetItemString(row, column));
    return out;
}

QList<double> numbers(const DataStore &ds, const QString &column)
{
    QList<double> out;
    for (int row = 1; row <= ds.RowCount(); ++row)
        out.append(ds.GetItemNumber(row, column));
    return out;
}

// Numbers compared to three places: sums of numeric(18,3) and of doubles alike.
bool near(double a, double b)
{
    return qAbs(a - b) < 0.0005;
}

QString showNumbers(const QList<double> &values)
{
    QStringList out;
    for (double v : values)
        out.append(QString::number(v));
    return out.join(QStringLiteral(", "));
}

bool sameNumbers(const QList<double> &a, const QList<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!near(a[i], b[i]))
            return false;
    return true;
}

#define COMPARE_NUMBERS(actual, expected)                                                            \
    do {                                                                                             \
        const QList<double> a_ = (actual);                                                           \
        const QList<double> e_ = (expected);                                                         \
        QVERIFY2(sameNumbers(a_, e_),                                                                \
                 qPrintable(QStringLiteral("got [%1], expected [%2]").arg(showNumbers(a_), showNumbers(e_)))); \
    } while (false)

#define COMPARE_NUMBER(actual, expected)                                                             \
    QVERIFY2(near((actual), (expected)),                                                             \
             qPrintable(QStringLiteral("got %1, expected %2").arg(actual).arg(expected)))

// A DataStore on the catalogue's definition, retrieved through db with args.
std::unique_ptr<DataStore> retrieve(TestDatabase &db, const QString &name, const QVariantList &args)
{
    Trace::clearCaptured();
    auto ds = std::make_unique<DataStore>(name);
    ds->SetTransObject(db.tr());
    if (ds->Retrieve(args) < 0)   // the comparisons that follow fail; this says why
        qWarning("Retrieve of %s failed: %s", qPrintable(name), qPrintable(Trace::captured().join(u'\n')));
    return ds;
}

// The rows of a report keyed by one column, for reports without a sort.
QMap<QString, int> rowsBy(const DataStore &ds, const QString &column)
{
    QMap<QString, int> map;
    for (int row = 1; row <= ds.RowCount(); ++row)
        map.insert(ds.GetItemString(row, column), row);
    return map;
}

#define WIP_FIXTURE_DATABASE(var)                                                                   \
    WIP_TEST_DATABASE(var);                                                                         \
    QVERIFY2(var.insertRows(fixturePath()), qPrintable(var.error()))

} // namespace

TestDatabase &TestCatalogue::sharedDatabase(Engine engine)
{
    auto &db = m_shared[engine];
    if (!db)
        db = std::make_unique<TestDatabase>(engine);
    return *db;
}

// --- every definition file ---------------------------------------------------------

// The catalogue the retrievals below use holds the files of the source tree
// (equal to the compiled-in ones, see everyDefinitionFileLoads).
void TestCatalogue::initTestCase()
{
    for (const QString &file : definitionFiles()) {
        if (auto d = DefinitionLoader::loadFile(definitionsFolder() + u'/' + file))
            Catalogue::instance().add(std::make_shared<const Definition>(std::move(*d)));
    }
}

void TestCatalogue::everyDefinitionFileLoads_data()
{
    QTest::addColumn<QString>("file");
    const QStringList files = definitionFiles();
    QVERIFY2(!files.isEmpty(), qPrintable(definitionsFolder() + QStringLiteral(" holds no definition")));
    for (const QString &f : files)
        QTest::newRow(qPrintable(f)) << f;
}

void TestCatalogue::everyDefinitionFileLoads()
{
    QFETCH(QString, file);
    const QString path = definitionsFolder() + u'/' + file;
    QString error;
    const std::optional<Definition> d = DefinitionLoader::loadFile(path, &error);
    QVERIFY2(d, qPrintable(error));

    const QString base = QFileInfo(file).completeBaseName();
    QVERIFY2(d->name == base, qPrintable(QStringLiteral("%1: named %2").arg(file, d->name)));
    QVERIFY2(d->name == d->name.toLower() && d->name.startsWith(QLatin1String("d_")),
             qPrintable(QStringLiteral("%1: a definition name is lower case and begins with d_").arg(file)));

    // The program carries the same file.
    QFile source(path), carried(QStringLiteral(":/definitions/") + file);
    QVERIFY2(carried.open(QIODevice::ReadOnly),
             qPrintable(QStringLiteral("%1: not compiled into the program (configure the build again)").arg(file)));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QVERIFY2(carried.readAll() == source.readAll(),
             qPrintable(QStringLiteral("%1: the program carries another version of it").arg(file)));
    for (const QString &fault : Catalogue::instance().loadErrors())
        QVERIFY2(!fault.contains(file), qPrintable(fault));

    // Columns read from a table have the table column's type.
    for (const Column &c : d->columns) {
        if (c.dbName.isEmpty())
            continue;
        const QStringList parts = c.dbName.split(u'.');
        QVERIFY2(parts.size() == 2, qPrintable(QStringLiteral("%1: column %2 has db \"%3\", not table.column")
                                                   .arg(file, c.name, c.dbName)));
        const TableDef *table = Schema::table(parts[0]);
        if (!table) {
            QVERIFY2(Schema::viewNames().contains(parts[0], Qt::CaseInsensitive),
                     qPrintable(QStringLiteral("%1: column %2 names no table or view %3").arg(file, c.name, parts[0])));
            continue;
        }
        QVERIFY2(table->column(parts[1]), qPrintable(QStringLiteral("%1: table %2 has no column %3")
                                                         .arg(file, parts[0], parts[1])));
        const ValueType expected = *schemaType(c.dbName);
        const ValueType declared = c.type == ValueType::Date ? ValueType::DateTime : c.type;
        QVERIFY2(declared == expected, qPrintable(QStringLiteral("%1: column %2 (%3) does not have the table's type")
                                                      .arg(file, c.name, c.dbName)));
    }

    // Every placeholder of the query is a declared argument.
    static const QRegularExpression placeholder(QStringLiteral("(?<![:\\w]):([A-Za-z_]\\w*)"));
    QString withoutLiterals = d->query;
    withoutLiterals.remove(QRegularExpression(QStringLiteral("'[^']*'")));
    for (auto m = placeholder.globalMatch(withoutLiterals); m.hasNext();) {
        const QString name = m.next().captured(1);
        QVERIFY2(d->argumentIndex(name) >= 0,
                 qPrintable(QStringLiteral("%1: the query uses :%2, which is no argument").arg(file, name)));
    }

    // A composite's nested reports exist and get arguments of the types they declare.
    for (const Nested &n : d->nested) {
        const auto nested = Catalogue::instance().find(n.definition);
        QVERIFY2(nested, qPrintable(QStringLiteral("%1: nested %2 is not in the catalogue").arg(file, n.definition)));
        QVERIFY2(n.arguments.size() == nested->arguments.size(),
                 qPrintable(QStringLiteral("%1: %2 takes %3 arguments, %4 given")
                                .arg(file, n.definition).arg(nested->arguments.size()).arg(n.arguments.size())));
        for (qsizetype i = 0; i < n.arguments.size(); ++i) {
            const int own = d->argumentIndex(n.arguments[i]);
            QVERIFY2(own >= 0, qPrintable(QStringLiteral("%1: passes %2, which is no argument").arg(file, n.arguments[i])));
            QVERIFY2(d->arguments[own].type == nested->arguments[i].type,
                     qPrintable(QStringLiteral("%1: argument %2 does not have the type %3 expects")
                                    .arg(file, n.arguments[i], n.definition)));
        }
    }
}

void TestCatalogue::everyQueryRunsOnAFreshSchema_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("file");
    QStringList engines{QStringLiteral("sqlite")};
    if (test::postgresConfigured())
        engines << QStringLiteral("postgresql");
    for (const QString &engine : engines)
        for (const QString &f : definitionFiles())
            QTest::newRow(qPrintable(engine + u'/' + f)) << engine << f;
}

void TestCatalogue::everyQueryRunsOnAFreshSchema()
{
    QFETCH(QString, engine);
    QFETCH(QString, file);
    TestDatabase &db = sharedDatabase(test::engineFromName(engine));
    QVERIFY2(db.isValid(), qPrintable(db.error()));

    QString error;
    const std::optional<Definition> loaded = DefinitionLoader::loadFile(definitionsFolder() + u'/' + file, &error);
    if (!loaded)
        QSKIP("the file does not load (reported by everyDefinitionFileLoads)");
    const auto definition = std::make_shared<const Definition>(*loaded);

    const QStringList faults = checkDefinitionsAgainstDatabase({definition}, db.tr().database());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));

    // Retrieval with an argument of each declared type runs too (lists expand,
    // dates bind as that engine's date-times). Composites retrieve their nested
    // reports. A fresh database holds only the department rows of day_wip.
    QVariantList args;
    for (const Argument &a : definition->arguments)
        args.append(sampleArgument(a.type));
    Trace::clearCaptured();
    DataStore ds;
    ds.setDefinition(definition);
    ds.SetTransObject(db.tr());
    const int rows = ds.Retrieve(args);
    QVERIFY2(rows >= 0, qPrintable(QStringLiteral("%1: Retrieve failed: %2").arg(file, Trace::captured().join(u'\n'))));
    QCOMPARE(ds.nestedCount(), int(definition->nested.size()));
}

// --- order progress lists --------------------------------------------------------------

void TestCatalogue::progressListsKeepOpenOrdersDueInTheRange()
{
    WIP_FIXTURE_DATABASE(db);
    const QDate jan1(2026, 1, 1), jan31(2026, 1, 31);

    // Not invoiced means inv_no NULL or empty: P03 ("INV1") is left out. P04 and P05
    // fall due on the first and last day of the range; P06 and P07 a day outside;
    // P08 belongs to another customer.
    auto ds = retrieve(db, QStringLiteral("d_w_scprogress3"), {jan1, jan31, QStringLiteral("C1")});
    QCOMPARE(strings(*ds, QStringLiteral("scno")),
             (QStringList{QStringLiteral("P01"), QStringLiteral("P02"), QStringLiteral("P04"), QStringLiteral("P05")}));
    COMPARE_NUMBER(ds->GetItemNumber(2, QStringLiteral("compute_1")), 4.0);
    QCOMPARE(ds->GetItemDateTime(3, QStringLiteral("deldate")).date(), jan1);
    QCOMPARE(ds->GetItemDateTime(4, QStringLiteral("deldate")).date(), jan31);

    // A one-day range on a boundary day, and a range whose start lies after its end.
    ds = retrieve(db, QStringLiteral("d_w_scprogress3"), {jan31, jan31, QStringLiteral("C1")});
    QCOMPARE(strings(*ds, QStringLiteral("scno")), QStringList{QStringLiteral("P05")});
    ds = retrieve(db, QStringLiteral("d_w_scprogress3"), {jan31, jan1, QStringLiteral("C1")});
    QCOMPARE(ds->RowCount(), 0);

    // Arguments given as the windows' date texts bind the same way.
    ds = retrieve(db, QStringLiteral("d_w_scprogress3"),
                  {QStringLiteral("2026-01-02"), QStringLiteral("2026-01-30"), QStringLiteral("C1")});
    QCOMPARE(strings(*ds, QStringLiteral("scno")), (QStringList{QStringLiteral("P01"), QStringLiteral("P02")}));
}

void TestCatalogue::progressListsByIssueDateAndRemark()
{
    WIP_FIXTURE_DATABASE(db);

    // d_w_scprogress4 selects by order date and lists by it: P05 12-01, P02 12-05,
    // P04 12-10, P01 12-20 (P03 is invoiced, P08 another customer's).
    auto ds = retrieve(db, QStringLiteral("d_w_scprogress4"),
                       {QDate(2025, 12, 1), QDate(2025, 12, 20), QStringLiteral("C1")});
    QCOMPARE(strings(*ds, QStringLiteral("scno")),
             (QStringList{QStringLiteral("P05"), QStringLiteral("P02"), QStringLiteral("P04"), QStringLiteral("P01")}));

    // d_w_scprogress7 keeps the orders whose progress remark is the argument
    // (P02 is NORMAL, P03 invoiced); d_w_scprogress8 has no customer, so P08 is in.
    ds = retrieve(db, QStringLiteral("d_w_scprogress7"),
                  {QDate(2026, 1, 1), QDate(2026, 1, 31), QStringLiteral("C1"), QStringLiteral("URGENT")});
    QCOMPARE(strings(*ds, QStringLiteral("scno")), (QStringList{QStringLiteral("P01"), QStringLiteral("P04")}));
    COMPARE_NUMBERS(numbers(*ds, QStringLiteral("wax_in")), (QList<double>{10, 7}));

    ds = retrieve(db, QStringLiteral("d_w_scprogress8"),
                  {QDate(2026, 1, 1), QDate(2026, 1, 31), QStringLiteral("URGENT")});
    QStringList found = strings(*ds, QStringLiteral("scno"));
    found.sort();
    QCOMPARE(found, (QStringList{QStringLiteral("P01"), QStringLiteral("P04"), QStringLiteral("P08")}));
}

// --- stone supply ------------------------------------------------------------------------

void TestCatalogue::stoneReportsCompareStonesInWithStonesNeeded()
{
    WIP_FIXTURE_DATABASE(db);
    // Stones needed = pieces * stones per piece: ST1 10*2 = 20 with 20 in (enough),
    // ST2 20 with 5 in and ST5 20 with 1 in (partly), ST3 20 with none (zero), ST4
    // needs none and has none (enough, not zero). ST6 has none but is not asked for.
    const QStringList chosen{QStringLiteral("ST1"), QStringLiteral("ST2"), QStringLiteral("ST3"),
                             QStringLiteral("ST4"), QStringLiteral("ST5")};
    const QString key = QStringLiteral("sconh_scno");

    auto ds = retrieve(db, QStringLiteral("d_w_stone_enought"), {chosen});
    QCOMPARE(strings(*ds, key), (QStringList{QStringLiteral("ST1"), QStringLiteral("ST4")}));

    ds = retrieve(db, QStringLiteral("d_w_stone_need_in"), {chosen});
    QCOMPARE(strings(*ds, key), chosen);
    COMPARE_NUMBERS(numbers(*ds, QStringLiteral("c_need")), (QList<double>{20, 20, 20, 0, 20}));
    COMPARE_NUMBERS(numbers(*ds, QStringLiteral("c_short")), (QList<double>{0, 15, 20, 0, 19}));
    COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_stonein")), 26.0);

    // The two partly-in reports differ in their order: by order date (ST5 was
    // taken on 11-01, ST2 on 11-10), and by order number.
    ds = retrieve(db, QStringLiteral("d_w_stone_partly_in"), {chosen});
    QCOMPARE(strings(*ds, key), (QStringList{QStringLiteral("ST5"), QStringLiteral("ST2")}));
    ds = retrieve(db, QStringLiteral("d_w_stone_partly_in2"), {chosen});
    QCOMPARE(strings(*ds, key), (QStringList{QStringLiteral("ST2"), QStringLiteral("ST5")}));

    for (const char *zero : {"d_w_stone_zero", "d_w_stone_zero_eng"}) {
        ds = retrieve(db, QString::fromLatin1(zero), {chosen});
        QVERIFY2(strings(*ds, key) == QStringList{QStringLiteral("ST3")}, zero);
    }
    // The list holds the orders asked for, and only those.
    ds = retrieve(db, QStringLiteral("d_w_stone_zero"), {QStringList{QStringLiteral("ST3"), QStringLiteral("ST6")}});
    QCOMPARE(strings(*ds, key), (QStringList{QStringLiteral("ST3"), QStringLiteral("ST6")}));
    ds = retrieve(db, QStringLiteral("d_w_stone_zero"), {QStringList{}});
    QCOMPARE(ds->RowCount(), 0);
}

void TestCatalogue::stepAndSettingReportsKeepOpenStepsAndRealStones()
{
    WIP_FIXTURE_DATABASE(db);
    const QStringList chosen{QStringLiteral("P01"), QStringLiteral("P02"), QStringLiteral("P04")};

    // Stones on open steps: P04's open setting step holds 12 DIA1 (its 18K is no
    // stone, its finished step's 7 DIA1 are set), P01's open outside step 3 DIA2.
    for (const char *name : {"d_w_posetting", "d_w_setting_in_procedure"}) {
        auto ds = retrieve(db, QString::fromLatin1(name), {chosen});
        QStringList stones = strings(*ds, QStringLiteral("mcode"));
        stones.sort();
        QVERIFY2(stones == (QStringList{QStringLiteral("DIA1"), QStringLiteral("DIA2")}), name);
        COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_sqtycal")), 15.0);
        COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_sqtyref")), 0.8);
    }

    // Orders with an open outside (外发) step: P01; P02's came back.
    auto ds = retrieve(db, QStringLiteral("d_w_scno_outissue"), {chosen});
    QCOMPARE(strings(*ds, QStringLiteral("scno")), QStringList{QStringLiteral("P01")});
    QCOMPARE(ds->GetItemString(1, QStringLiteral("remark")), QStringLiteral("URGENT"));

    // Open steps of the chosen orders with their lines: P04's setting step.
    ds = retrieve(db, QStringLiteral("d_w_prod_status1"), {QStringList{QStringLiteral("P02"), QStringLiteral("P04")}});
    QCOMPARE(strings(*ds, QStringLiteral("changhao")), QStringList{QStringLiteral("201")});

    // Stones issued to the orders: the placeholder stone INIST and the gold are not listed.
    ds = retrieve(db, QStringLiteral("d_w_scprogress_min"), {QStringList{QStringLiteral("P01"), QStringLiteral("P02")}});
    QMap<QString, int> rows = rowsBy(*ds, QStringLiteral("mcode"));
    QCOMPARE(rows.keys(), (QStringList{QStringLiteral("DIA1"), QStringLiteral("DIA2")}));
    COMPARE_NUMBER(ds->GetItemNumber(rows.value(QStringLiteral("DIA1")), QStringLiteral("qtycal")), 30.0);

    // Stones of G1's two lines of A1 (10 and 2 pieces, 4 DIA1 each; INIST left out),
    // from the contract tables and from the database's view alike.
    ds = retrieve(db, QStringLiteral("d_w_notinv_setdetail"), {QStringList{QStringLiteral("G1")}});
    QList<double> stones = numbers(*ds, QStringLiteral("c_stones"));
    std::sort(stones.begin(), stones.end());
    COMPARE_NUMBERS(stones, (QList<double>{8, 40}));
    ds = retrieve(db, QStringLiteral("d_need_stone"), {QStringList{QStringLiteral("G1")}});
    QCOMPARE(ds->RowCount(), 2);
    COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_need_qty")), 48.0);

    // Setting methods of the styles, without the initial method.
    ds = retrieve(db, QStringLiteral("d_style_no"), {});
    rows = rowsBy(*ds, QStringLiteral("stone_code"));
    QCOMPARE(rows.keys(), (QStringList{QStringLiteral("DIA1"), QStringLiteral("DIA2")}));
    QCOMPARE(ds->GetItemString(rows.value(QStringLiteral("DIA2")), QStringLiteral("settype_name")), QStringLiteral("Prong"));
}

void TestCatalogue::goldNeedGroupsTheChosenOrdersByMetal()
{
    WIP_FIXTURE_DATABASE(db);
    // Lines of G1 (18K 10 pcs 2.5 g, PT 2 pcs 4 g), G3 (18K 1 pc 3 g) and G'4 (18K 1 pc
    // 1 g); G2 is not asked for. Sorted by metal, then order number; the apostrophe
    // is bound, not pasted.
    auto ds = retrieve(db, QStringLiteral("d_w_scond_gold_need"),
                       {QStringList{QStringLiteral("G1"), QStringLiteral("G3"), QStringLiteral("G'4")}});
    QCOMPARE(strings(*ds, QStringLiteral("metal")),
             (QStringList{QStringLiteral("18K"), QStringLiteral("18K"), QStringLiteral("18K"), QStringLiteral("PT")}));
    QCOMPARE(strings(*ds, QStringLiteral("scno")),
             (QStringList{QStringLiteral("G'4"), QStringLiteral("G1"), QStringLiteral("G3"), QStringLiteral("G1")}));
    // Group totals per metal, report totals over all.
    COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_g1_quantity")), 12.0);
    COMPARE_NUMBER(ds->GetItemNumber(3, QStringLiteral("c_g1_metal_netwt")), 6.5);
    COMPARE_NUMBER(ds->GetItemNumber(4, QStringLiteral("c_g1_quantity")), 2.0);
    COMPARE_NUMBER(ds->GetItemNumber(4, QStringLiteral("c_g1_metal_netwt")), 4.0);
    COMPARE_NUMBER(ds->GetItemNumber(2, QStringLiteral("c_sum_quantity")), 14.0);
    COMPARE_NUMBER(ds->GetItemNumber(2, QStringLiteral("c_sum_metal_netwt")), 10.5);

    // One order, and an empty choice.
    ds = retrieve(db, QStringLiteral("d_w_scond_gold_need"), {QStringList{QStringLiteral("G2")}});
    QCOMPARE(strings(*ds, QStringLiteral("scno")), QStringList{QStringLiteral("G2")});
    ds = retrieve(db, QStringLiteral("d_w_scond_gold_need"), {QStringList{}});
    QCOMPARE(ds->RowCount(), 0);
}

// --- worker sheets ----------------------------------------------------------------------

void TestCatalogue::workerSheetsSplitFinishedFromPending()
{
    WIP_FIXTURE_DATABASE(db);
    // Finished in March: K2 (03-05), K1 (03-31, the last day), K3 (03-01, the first);
    // K0 finished on 04-01; K4 and K5 are pending.
    auto ds = retrieve(db, QStringLiteral("d_wip_fin"), {QDate(2026, 3, 1), QDate(2026, 3, 31)});
    QCOMPARE(strings(*ds, QStringLiteral("scno")),
             (QStringList{QStringLiteral("K1"), QStringLiteral("K2"), QStringLiteral("K3")}));
    COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_fin_weight")), 35.45);

    for (const char *pending : {"d_wip_pen", "d_wip_pen1", "d_wip_pen2", "d_wip_report"}) {
        ds = retrieve(db, QString::fromLatin1(pending), {});
        QVERIFY2(strings(*ds, QStringLiteral("scno")) == (QStringList{QStringLiteral("K4"), QStringLiteral("K5")}),
                 pending);
    }
    COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_pen_weight")), 19.0);

    // One order's sheets, whatever their state and date.
    ds = retrieve(db, QStringLiteral("d_wip_fin_kcno"), {QStringLiteral("K0")});
    QCOMPARE(strings(*ds, QStringLiteral("scno")), QStringList{QStringLiteral("K0")});
    ds = retrieve(db, QStringLiteral("d_wip_fin_kcno"), {QStringLiteral("K4")});
    QCOMPARE(strings(*ds, QStringLiteral("zt")), QStringList{QStringLiteral("PEN")});
}

void TestCatalogue::statisticsSumPerProcessAndWorker()
{
    WIP_FIXTURE_DATABASE(db);
    // 04-执模 finished K2 and K1 in March, 06-镶石 K3; K0 (April) does not count.
    auto ds = retrieve(db, QStringLiteral("d_wip_fin_tj"), {QDate(2026, 3, 1), QDate(2026, 3, 31)});
    QCOMPARE(ds->RowCount(), 2);
    auto rows = rowsBy(*ds, QStringLiteral("gongxu"));
    const int filing = rows.value(QStringLiteral("04-执模")), setting = rows.value(QStringLiteral("06-镶石"));
    QVERIFY(filing > 0 && setting > 0);
    COMPARE_NUMBER(ds->GetItemNumber(filing, QStringLiteral("sheets")), 2.0);
    COMPARE_NUMBER(ds->GetItemNumber(filing, QStringLiteral("iss_pcs")), 15.0);
    COMPARE_NUMBER(ds->GetItemNumber(filing, QStringLiteral("iss_weight")), 30.5);
    COMPARE_NUMBER(ds->GetItemNumber(filing, QStringLiteral("fin_weight")), 29.5);
    COMPARE_NUMBER(ds->GetItemNumber(filing, QStringLiteral("loss")), 0.6);
    COMPARE_NUMBER(ds->GetItemNumber(setting, QStringLiteral("fin_weight")), 5.95);
    COMPARE_NUMBER(ds->GetItemNumber(setting, QStringLiteral("c_sum_loss")), 0.65);

    // Pending per process, without a date.
    ds = retrieve(db, QStringLiteral("d_wip_pen_tj"), {});
    rows = rowsBy(*ds, QStringLiteral("gongxu"));
    QCOMPARE(rows.keys(), (QStringList{QStringLiteral("04-执模"), QStringLiteral("07-执边")}));
    COMPARE_NUMBER(ds->GetItemNumber(rows.value(QStringLiteral("04-执模")), QStringLiteral("pen_weight")), 16.0);
    COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_pen_pcs")), 10.0);

    // Returned material and loss per worker: 101 finished K2 and K3 (loss 0.45 of
    // 26.5 issued), 102 finished K1 (0.2 of 10).
    ds = retrieve(db, QStringLiteral("d_wip_fin_loss"), {QDate(2026, 3, 1), QDate(2026, 3, 31)});
    QCOMPARE(ds->objectText(QStringLiteral("t_title")), QStringLiteral("回料及损耗汇总表"));
    rows = rowsBy(*ds, QStringLiteral("changhao"));
    QCOMPARE(rows.keys(), (QStringList{QStringLiteral("101"), QStringLiteral("102")}));
    const int w101 = rows.value(QStringLiteral("101"));
    COMPARE_NUMBER(ds->GetItemNumber(w101, QStringLiteral("ret_weight")), 0.3);
    COMPARE_NUMBER(ds->GetItemNumber(w101, QStringLiteral("loss")), 0.45);
    COMPARE_NUMBER(ds->GetItemNumber(w101, QStringLiteral("c_loss_rate")), 0.45 / 26.5 * 100);
    COMPARE_NUMBER(ds->GetItemNumber(1, QStringLiteral("c_sum_loss_rate")), 0.65 / 36.5 * 100);
}

void TestCatalogue::compositesPassTheirArgumentsToBothReports()
{
    WIP_FIXTURE_DATABASE(db);
    auto all = retrieve(db, QStringLiteral("d_wip_fin_all"), {QDate(2026, 3, 1), QDate(2026, 3, 5)});
    QCOMPARE(all->RowCount(), 0);
    QCOMPARE(all->nestedCount(), 2);
    DataStore *detail = all->nestedStore(QStringLiteral("d_wip_fin"));
    DataStore *totals = all->nestedStore(QStringLiteral("d_wip_fin_tj"));
    QVERIFY(detail && totals);
    // 03-01 to 03-05: K2 and K3, one sheet in each process.
    QCOMPARE(strings(*detail, QStringLiteral("scno")), (QStringList{QStringLiteral("K2"), QStringLiteral("K3")}));
    QCOMPARE(totals->RowCount(), 2);
    COMPARE_NUMBER(totals->GetItemNumber(1, QStringLiteral("c_sum_iss_pcs")), 13.0);

    all = retrieve(db, QStringLiteral("d_wip_pen_all"), {});
    QCOMPARE(all->nestedStore(QStringLiteral("d_wip_pen"))->RowCount(), 2);
    QCOMPARE(all->nestedStore(QStringLiteral("d_wip_pen_tj"))->RowCount(), 2);
}

// --- transfer notes ---------------------------------------------------------------------

void TestCatalogue::transferSheetsByNoteNumber()
{
    WIP_FIXTURE_DATABASE(db);
    // Note WS1: material returned twice (3 pcs 1.5 g, 1 pc 0.25 g), two finished
    // transfers (4 + 1 pcs, 2 + 0.5 g) and one still issued.
    auto pno = retrieve(db, QStringLiteral("d_wip_work_pno"), {QStringLiteral("WS1")});
    DataStore *returned = pno->nestedStore(QStringLiteral("d_wip_fturn"));
    DataStore *finished = pno->nestedStore(QStringLiteral("d_work_wip_g3"));
    QVERIFY(returned && finished);
    QCOMPARE(returned->RowCount(), 2);
    COMPARE_NUMBER(returned->GetItemNumber(1, QStringLiteral("c_sum_weight")), 1.75);
    QCOMPARE(finished->RowCount(), 2);
    COMPARE_NUMBER(finished->GetItemNumber(1, QStringLiteral("c_sum_qtycal")), 5.0);
    QCOMPARE(finished->objectText(QStringLiteral("t_received_by")), QStringLiteral("RECEIVED BY（工人签收）:"));

    // Issued (BEGIN) lines of several notes; WS3 is not asked for.
    auto issued = retrieve(db, QStringLiteral("d_wip_work2"), {QStringList{QStringLiteral("WS1"), QStringLiteral("WS2")}});
    QStringList notes = strings(*issued, QStringLiteral("mattran_no"));
    notes.sort();
    QCOMPARE(notes, (QStringList{QStringLiteral("WS1"), QStringLiteral("WS2")}));
    COMPARE_NUMBER(issued->GetItemNumber(1, QStringLiteral("c_sum_qtyref")), 4.5);

    // A worker's finished transfers in a range: 101 in March is WS1's two.
    auto worker = retrieve(db, QStringLiteral("d_work_wip_g"),
                           {QDate(2026, 3, 1), QDate(2026, 3, 3), QStringLiteral("101")});
    QCOMPARE(worker->RowCount(), 2);
    worker = retrieve(db, QStringLiteral("d_work_wip_g"), {QDate(2026, 3, 1), QDate(2026, 3, 2), QStringLiteral("101")});
    QCOMPARE(strings(*worker, QStringLiteral("scno")), QStringList{QStringLiteral("K1")});
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
