#include "golden.h"
#include "reports/datastore.h"
#include "reports/definitionloader.h"
#include "reports/reportcolumns.h"
#include "reports/reportcriteria.h"
#include "reports/reportoutput.h"
#include "reports/savedreport.h"
#include "reports/render/pdfexport.h"
#include "runtime/trace.h"
#include "programoutput.h"
#include "testdatabase.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// What chosen report definitions print, on the rows of data/definitions/factory.json:
// the filing summary's rows add up to its totals, a contract's open steps are
// listed once, figures stand under the headings that name them, a heading
// follows the arguments it was retrieved with, and the change record reads as
// the clerk speaks.
class TestReportDefinitions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filingSummaryRowsAddUpToItsTotals_data() { test::addEngineRows(); }
    void filingSummaryRowsAddUpToItsTotals();
    void productionStatusListsEachOpenStepOnce_data() { test::addEngineRows(); }
    void productionStatusListsEachOpenStepOnce();
    void metalSummariesHeadTheirPureWeight_data() { test::addEngineRows(); }
    void metalSummariesHeadTheirPureWeight();
    void headingFollowsTheArguments_data();
    void headingFollowsTheArguments();
    void headingSetAtRunTimeWins();
    void headingExpressionReadsArgumentsOnly();
    void changeRecordReadsAsTheClerkSpeaks_data() { test::addEngineRows(); }
    void changeRecordReadsAsTheClerkSpeaks();
    void dailyOutputPrintsItsTitleAndTotal();
    void goldenExports_data();
    void goldenExports();
};

namespace {

QString fixture()
{
    return qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/definitions/factory.json");
}

#define WIP_FACTORY(var)                                                                           \
    WIP_TEST_DATABASE(var);                                                                        \
    QVERIFY2(var.insertRows(fixture()), qPrintable(var.error()))

std::unique_ptr<DataStore> retrieved(TestDatabase &db, const QString &name, const QVariantList &args = {})
{
    Trace::clearCaptured();
    auto ds = std::make_unique<DataStore>(name);
    ds->SetTransObject(db.tr());
    if (ds->Retrieve(args) < 0)
        qWarning("Retrieve of %s failed: %s", qPrintable(name), qPrintable(Trace::captured().join(u'\n')));
    return ds;
}

QStringList columnNames(const ReportData &data)
{
    QStringList names;
    for (const ReportColumn &c : reportColumns(data, ColumnUse::Output))
        names << c.name;
    return names;
}

ReportColumn column(const ReportData &data, const QString &name)
{
    for (const ReportColumn &c : reportColumns(data, ColumnUse::Output))
        if (c.name == name)
            return c;
    return {};
}

double sumOf(const ReportData &data, const QString &name, int first = 1, int last = -1)
{
    double sum = 0;
    for (int row = first; row <= (last < 0 ? data.rowCount() : last); ++row)
        sum += data.item(row, name).toDouble();
    return sum;
}

// The computed fields of one band (and group) of a definition, by the column they stand under.
QMap<QString, QString> figuresUnder(const Definition &def, Band band, int group = 0)
{
    QMap<QString, QString> out;
    for (const ComputedField &f : def.computed)
        if (f.band == band && f.group == group && !f.under.isEmpty())
            out.insert(f.under, f.name);
    return out;
}


} // namespace

// F1 has 12 pieces with a worker and a desk line of no pieces that still weighs
// 187.5; F2 has 4 pieces (22 g) at the desk. The summary by metal prints the
// in-hand weight as the detail does, 0 where no piece is in hand, so its rows,
// its metal subtotals and its total agree.
void TestReportDefinitions::filingSummaryRowsAddUpToItsTotals()
{
    WIP_FACTORY(db);
    auto fil = retrieved(db, QStringLiteral("d_w_wip_detail_fil_wipp"));
    const DataStore &detail = *fil->nestedStore(QStringLiteral("d_w_wip_detail_fil_wipp_detail"));
    const DataStore &total = *fil->nestedStore(QStringLiteral("d_w_wip_detail_fil_wipp_total"));
    QCOMPARE(total.RowCount(), 2);
    QCOMPARE(detail.RowCount(), 2);

    // The stored weight of the desk is not printed; the weight in hand is.
    const QStringList printed = columnNames(total);
    QVERIFY2(!printed.contains(QLatin1String("view_fil_wipp_isshand_wt")), qPrintable(printed.join(' ')));
    const QString inHand = printed.contains(QLatin1String("c_isshand_wt")) ? QStringLiteral("c_isshand_wt")
                                                                           : QStringLiteral("view_fil_wipp_isshand_wt");
    const int f1 = total.Find(QStringLiteral("view_fil_wipp_scno = 'F1'"), 1, 2);
    QVERIFY(f1 > 0);
    QCOMPARE(total.GetItem(f1, inHand).toDouble(), 0.0);
    QCOMPARE(sumOf(total, inHand), 22.0);
    QCOMPARE(total.GetItem(1, QStringLiteral("compute_19")).toDouble(), sumOf(total, inHand));
    for (int row = 1; row <= 2; ++row)   // one contract a metal: each subtotal is its row
        QCOMPARE(total.GetItem(row, QStringLiteral("compute_7")).toDouble(), total.GetItem(row, inHand).toDouble());

    // Pieces are headed alike in both parts.
    for (const char *pieces : {"view_fil_wipp_wip", "view_fil_wipp_isshand", "view_fil_wipp_pending"})
        QCOMPARE(column(total, QLatin1String(pieces)).caption, column(detail, QLatin1String(pieces)).caption);
    QCOMPARE(column(total, QStringLiteral("view_fil_wipp_wip")).caption.last(), QStringLiteral("Pcs."));

    // The detail's TOTAL sums both weights too: pending 60 + 187.5 + 33 + 22, in hand 22.
    const QMap<QString, QString> totals = figuresUnder(detail.definition(), Band::Summary);
    QVERIFY(totals.contains(QStringLiteral("view_fil_wipp_pending_wt")));
    QVERIFY(totals.contains(QStringLiteral("c_isshand_wt")));
    QCOMPARE(detail.GetItem(1, totals.value(QStringLiteral("view_fil_wipp_pending_wt"))).toDouble(), 302.5);
    QCOMPARE(detail.GetItem(1, totals.value(QStringLiteral("c_isshand_wt"))).toDouble(), 22.0);
}

// S1 has two lines (6 and 4 pieces) and three open steps of 5, 3 and 2 pieces:
// three rows, the contract's 10 pieces beside each, 10 pieces in work.
void TestReportDefinitions::productionStatusListsEachOpenStepOnce()
{
    WIP_FACTORY(db);
    for (const char *name : {"d_w_prod_status", "d_w_prod_status1"}) {
        auto ds = retrieved(db, QLatin1String(name), {QStringList{QStringLiteral("S1"), QStringLiteral("F1")}});
        QCOMPARE(ds->RowCount(), 3);
        QCOMPARE(sumOf(*ds, QStringLiteral("qty")), 10.0);
        QStringList steps;
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(ds->GetItem(row, QStringLiteral("quantity")).toDouble(), 10.0);
            steps << ds->GetItemString(row, QStringLiteral("changhao"));
        }
        QCOMPARE(steps, (QStringList{"0401", "0402", "0601"}));   // by process, then issue time
    }
}

// The pure-metal weight of a metal stands under a column headed as such, not
// under the purity, the picture or the order date; each metal's subtotal row
// says which metal it is.
void TestReportDefinitions::metalSummariesHeadTheirPureWeight()
{
    WIP_FACTORY(db);
    auto all = retrieved(db, QStringLiteral("d_wip_all"), {QStringLiteral("04-执模")});
    auto fil = retrieved(db, QStringLiteral("d_w_wip_detail_fil_wipp"));
    const DataStore &allTotal = *all->nestedStore(QStringLiteral("d_wip_all_total"));
    const DataStore &filTotal = *fil->nestedStore(QStringLiteral("d_w_wip_detail_fil_wipp_total"));
    const struct
    {
        const DataStore *report;
        QStringList pure;   // group and summary fields of pure metal
    } cases[] = {{&allTotal, {"compute_3", "compute_6"}},
                 {&filTotal, {"compute_8", "compute_9", "compute_20", "compute_21"}}};
    for (const auto &c : cases) {
        const Definition &def = c.report->definition();
        for (const QString &name : c.pure) {
            const ComputedField *f = def.computedField(name);
            QVERIFY(f);
            const ReportColumn under = column(*c.report, f->under);
            QVERIFY2(under.caption.join(' ').contains(QLatin1String("Pure")),
                     qPrintable(QStringLiteral("%1.%2 stands under \"%3\"").arg(def.name, name, under.caption.join(' '))));
        }
        // A label in each metal's trailer that reads the metal.
        bool labelled = false;
        for (const ComputedField &f : def.computed)
            labelled = labelled || (f.band == Band::GroupTrailer && f.type == ValueType::String);
        QVERIFY2(labelled, qPrintable(def.name));
    }
    // 18KW: 60 g with the worker x 0.75; PT950: 33 g x 0.95 and 22 g at the desk x 0.95.
    const int pt = filTotal.Find(QStringLiteral("scond_metal = 'PT950'"), 1, filTotal.RowCount());
    QCOMPARE(filTotal.GetItem(pt, QStringLiteral("compute_8")).toDouble(), 31.35);
    QCOMPARE(filTotal.GetItem(pt, QStringLiteral("compute_9")).toDouble(), 20.9);
    QCOMPARE(filTotal.GetItem(pt, QStringLiteral("c_metal_total")).toString(), QStringLiteral("小计 Subtotal PT950"));
    QCOMPARE(filTotal.GetItem(1, QStringLiteral("compute_20")).toDouble(), 45 + 31.35);
}

void TestReportDefinitions::headingFollowsTheArguments_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QString>("stock");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("heading");   // t_title, t_title_en, t_time
    const QDate d1(2026, 11, 1), d2(2026, 11, 30);
    QTest::newRow("setting desk") << "d_wip_protran" << "05-镶石收发" << d1 << d2
                                  << QStringList{"05-镶石收发过货统计报表", "Setting Stock Material Transfer Report",
                                                 "2026-11-01 至 2026-11-30"};
    QTest::newRow("one day") << "d_wip_protran" << "04-执模收发" << d2 << d2
                             << QStringList{"04-执模收发过货统计报表", "Filing Stock Material Transfer Report",
                                            "2026-11-30"};
    QTest::newRow("unknown stock") << "d_wip_protran" << "99-别的" << d1 << d2
                                   << QStringList{"99-别的过货统计报表", "Material Transfer Report Material Transfer Report",
                                                  "2026-11-01 至 2026-11-30"};
    QTest::newRow("wire and solder") << "d_jcjl_mattran_ws" << "08-电金收发" << d1 << d2
                                     << QStringList{"08-电金收发线焊交收明细表", "Rhodium Stock Material Transfer Report",
                                                    "2026-11-01 至 2026-11-30"};
}

// A transfer report printed from the command line or a saved file carries the
// heading of the stock and dates it was retrieved with, as the window writes it;
// before any retrieval no placeholder date is shown.
void TestReportDefinitions::headingFollowsTheArguments()
{
    QFETCH(QString, definition);
    QFETCH(QString, stock);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, heading);
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    DataStore ds(definition);
    QVERIFY(!ds.objectText(QStringLiteral("t_time")).contains(QLatin1String("0000")));
    ds.SetTransObject(db.tr());
    QVERIFY(ds.Retrieve({stock, from, to}) >= 0);
    const QStringList texts{ds.objectText(QStringLiteral("t_title")), ds.objectText(QStringLiteral("t_title_en")),
                            ds.objectText(QStringLiteral("t_time"))};
    QCOMPARE(texts, heading);
    QCOMPARE(ReportCriteria::title(ds), heading.first());
    QCOMPARE(ReportCriteria::text(ds), QString());   // the heading already says it all

    // The print preview reads the saved report.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("temp.psr"));
    ds.SaveAs(file, SaveAsType::PSReport, true);
    QString error;
    const auto saved = SavedReport::read(file, &error);
    QVERIFY2(saved, qPrintable(error));
    QCOMPARE(saved->objectText(QStringLiteral("t_title")), heading.first());
    QCOMPARE(saved->objectText(QStringLiteral("t_time")), heading.last());
}

// What a window or --title writes stays: the arguments only fill a heading
// nobody set.
void TestReportDefinitions::headingSetAtRunTimeWins()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_wip_protran"));
    ds.SetTransObject(db.tr());
    QVERIFY(ds.Modify(QStringLiteral("t_title.text='月报'")).isEmpty());
    QVERIFY(ds.Retrieve({QStringLiteral("05-镶石收发"), QDate(2026, 11, 1), QDate(2026, 11, 2)}) >= 0);
    QCOMPARE(ds.objectText(QStringLiteral("t_title")), QStringLiteral("月报"));
    QCOMPARE(ds.objectText(QStringLiteral("t_time")), QStringLiteral("2026-11-01 至 2026-11-02"));
}

void TestReportDefinitions::headingExpressionReadsArgumentsOnly()
{
    auto load = [](const QString &expression, QString *error) {
        QJsonObject text{{"name", "t_title"}, {"text", ""}, {"expression", expression}};
        const QJsonObject d{{"name", "d_x"}, {"query", "select scno from sconh where scno = :kc"},
                            {"arguments", QJsonArray{QJsonObject{{"name", "kc"}, {"type", "string"}}}},
                            {"columns", QJsonArray{QJsonObject{{"name", "scno"}, {"caption", "KCNO"}}}},
                            {"texts", QJsonArray{text}}};
        return DefinitionLoader::fromJson(d, QStringLiteral("d_x.json"), error).has_value();
    };
    QString error;
    QVERIFY2(load(QStringLiteral("'订单 ' + kc"), &error), qPrintable(error));
    QVERIFY(!load(QStringLiteral("'订单 ' + scno"), &error));   // a column: there is no row in a heading
    QVERIFY2(error.contains(QLatin1String("scno")), qPrintable(error));
    QVERIFY(!load(QStringLiteral("kc +"), &error));
}

// The change record of S1: titles of windows, departments and columns as the
// progress form heads them, the ticket a scan read (S1-2 is the contract's
// second line), a scan and its undo, nothing for a save that changed nothing.
void TestReportDefinitions::changeRecordReadsAsTheClerkSpeaks()
{
    WIP_FACTORY(db);
    auto log = retrieved(db, QStringLiteral("d_audit_log"), {QStringLiteral("S1")});
    QStringList rows;
    for (int row = 1; row <= log->RowCount(); ++row) {
        QStringList cells;
        for (const char *c : {"source", "ticket", "field", "old_value", "new_value"})
            cells << log->GetItemString(row, QLatin1String(c));
        rows << cells.join(QLatin1Char('|'));
    }
    const QStringList expected{
        "扫描命令 wip scan|S1-1|唧蜡 接收||扫描 Scan",
        "扫描站 Scan station|S1-2|倒模 转出|扫描 Scan|撤销",   // the undo, last first
        "扫描站 Scan station|S1-2|倒模 转出|4|0",
        "扫描站 Scan station|S1-2|倒模 转出||扫描 Scan",
        "扫描站 Scan station|S1-2|倒模 转出|0|4",
        "销售合约||唧蜡 转出|0|10",
    };
    // Rows of one moment come newest first by their number; compare as sets
    // within the moment and the moments in order.
    QCOMPARE(rows.size(), expected.size());
    QCOMPARE(QSet<QString>(rows.begin(), rows.end()), QSet<QString>(expected.begin(), expected.end()));
    QCOMPARE(rows.first(), expected.first());
    QCOMPARE(rows.last(), expected.last());
    QCOMPARE(log->GetItemNumber(1, QStringLiteral("c_count")), 6.0);

    // On paper: the count with its label, the date and the page.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("log.pdf"));
    QString error;
    QVERIFY2(writePdf(*log, pdf, &error), qPrintable(error));
    const QString text = test::programOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    for (const QString &expectedText : {QStringLiteral("变更笔数 Changes:"), QStringLiteral("Page 1 of 1"),
                                        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))})
        QVERIFY2(text.contains(expectedText), qPrintable(expectedText + QStringLiteral(" not in\n") + text));
    QVERIFY(!text.contains(QLatin1String("w_scan_station")));
    QVERIFY(!text.contains(QLatin1String("scan:")));
}

// The day's finished steps by department: titled, dated, paged, with the day's
// total, and its workbook sheet named after its title.
void TestReportDefinitions::dailyOutputPrintsItsTitleAndTotal()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    for (const auto &[gx, qty] : {std::pair{"04-执模", 7}, {"06-镶石", 5}, {"04-执模", 3}})
        QVERIFY(db.insert("proch", {{"scno", "K1"}, {"gongxu_code", QString::fromUtf8(gx)}, {"qty", qty},
                                    {"edtime", QDateTime(QDate(2026, 11, 2), QTime(15, 0))}}));
    auto day = retrieved(db, QStringLiteral("d_wip_today1"), {QDate(2026, 11, 2)});
    QCOMPARE(day->RowCount(), 2);
    QCOMPARE(ReportCriteria::title(*day), QStringLiteral("本日完成 FINISHED OF THE DAY"));
    QCOMPARE(day->GetItem(1, QStringLiteral("c_total")).toDouble(), 15.0);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("day.pdf"));
    QString error;
    QVERIFY2(writePdf(*day, pdf, &error), qPrintable(error));
    const QString text = test::programOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    for (const QString &expected : {QStringLiteral("本日完成 FINISHED OF THE DAY"), QStringLiteral("TOTAL"),
                                    QStringLiteral("Page 1 of 1"), QStringLiteral("15")})
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" not in\n") + text));
}

void TestReportDefinitions::goldenExports_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QVariantList>("arguments");
    QTest::newRow("filing in hand and its summary") << "d_w_wip_detail_fil_wipp" << QVariantList();
    QTest::newRow("work in process by metal") << "d_wip_all" << QVariantList{QStringLiteral("04-执模")};
    QTest::newRow("production status") << "d_w_prod_status" << QVariantList{QStringList{QStringLiteral("S1")}};
    QTest::newRow("change record") << "d_audit_log" << QVariantList{QStringLiteral("S1")};
}

// The exported figures and headings of the reports above, as a clerk's
// spreadsheet receives them (SQLite).
void TestReportDefinitions::goldenExports()
{
    QFETCH(QString, definition);
    QFETCH(QVariantList, arguments);
    TestDatabase db;
    QVERIFY2(db.isValid() && db.insertRows(fixture()), qPrintable(db.error()));
    auto ds = retrieved(db, definition, arguments);
    QString text = QString::fromUtf8(ReportOutput::toCsv(*ds).mid(3));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QString difference;
    QVERIFY2(wip::test::matchesGolden(QStringLiteral("definitions/") + definition + QStringLiteral(".csv"), text, &difference), qPrintable(difference));
}

QTEST_MAIN(TestReportDefinitions)
#include "tst_reportdefinitions.moc"
