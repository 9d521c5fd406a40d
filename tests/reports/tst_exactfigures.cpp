// Figures that must hold on real factory data: weights summed exactly and shown
// so in every output, and the pure metal of a summary worked out row by row when
// the metals mix. Both databases.
//
// The fixture, worked by hand: open filing (04-执模) steps of three contracts in
// three metals, weights that binary doubles add up to 33917.850000000006:
//
//   contract  metal  purity  steps (weight, worker)                    metal weight  pure metal
//   KC1       18K    0.750   3493.87 W01, 13887.68 W02                 17381.55      13036.1625
//   KC2       14K    0.585   1926.73 W01,   922.05 at the desk         2848.78       1666.5363
//   KC3       PT950  0.950   13687.52 W03                              13687.52      13003.144
//   all                                                                33917.85      27705.8428
//
// The pure metal of all is the sum of weight x purity row by row; any one row's
// purity times the total weight would give 19841.94225 (14K) or 25438.3875 (18K).

#include "reports/datastore.h"
#include "reports/catalogue.h"
#include "reports/expression.h"
#include "reports/render/pagemodel.h"
#include "reports/render/reportpainter.h"
#include "reports/render/xlsxexport.h"
#include "reports/reportoutput.h"
#include "testdatabase.h"
#include "workbookreader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

namespace {

bool fill(TestDatabase &db)
{
    bool ok = db.insert("arttype", {{"arttype_code", "R"}, {"arttype_name", "戒指"}})
        && db.insert("article", {{"article_code", "A1"}, {"arttype_code", "R"}, {"pic_name", "A1.bmp"}});
    const std::pair<const char *, double> metals[] = {{"18K", 0.75}, {"14K", 0.585}, {"PT950", 0.95}};
    for (const auto &[mcode, purate] : metals)
        ok = ok && db.insert("material", {{"mcode", mcode}, {"mtype", "GOLD"}, {"purate", purate}});
    const std::pair<const char *, const char *> contracts[] = {{"KC1", "18K"}, {"KC2", "14K"}, {"KC3", "PT950"}};
    int line = 1;
    for (const auto &[scno, metal] : contracts) {
        ok = ok && db.insert("sconh", {{"scno", scno}, {"cust_no", "QOR"}, {"cust_order", "PO-1"},
                                       {"issdate", QDateTime(QDate(2004, 3, 1), QTime(0, 0))},
                                       {"deldate", QDateTime(QDate(2004, 4, 1), QTime(0, 0))}})
            && db.insert("scond", {{"scond_id", line++}, {"scno", scno}, {"article_code", "A1"}, {"metal", metal},
                                   {"quantity", 10}});
    }
    struct Step { const char *scno; const char *worker; int qty; const char *weight; };
    const Step steps[] = {{"KC1", "W01", 3, "3493.87"}, {"KC1", "W02", 5, "13887.68"}, {"KC2", "W01", 2, "1926.73"},
                          {"KC2", "", 1, "922.05"}, {"KC3", "W03", 4, "13687.52"}};
    for (const Step &s : steps) {
        // The weight goes in as its exact text, as a clerk types it.
        ok = ok && db.insert("proch_new", {{"scno", s.scno}, {"gongxu_code", "04-执模"}, {"changhao", s.worker},
                                           {"xingming", "x"}, {"sttime", QDateTime(QDate(2004, 3, 1), QTime(8, 0))},
                                           {"qty", s.qty}, {"weight", QString::fromLatin1(s.weight)}});
    }
    return ok;
}

// The text a summary item shows on screen and in print.
QString summaryText(const ReportData &data, const QString &name)
{
    const PageModel model(data);
    const PageModel::Section &s = model.section(0);
    for (const PageModel::Item &item : s.summary.items) {
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return ReportPainter(model).itemText(s, item, data.rowCount());
    }
    return QStringLiteral("(no summary item %1)").arg(name);
}

} // namespace

class TestExactFigures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void summariesReadNoSingleRow();
    void pureMetalIsWeightTimesPurityRowByRow_data() { test::addEngineRows(); }
    void pureMetalIsWeightTimesPurityRowByRow();
    void inHandPureMetalIsWorkedOutRowByRow_data() { test::addEngineRows(); }
    void inHandPureMetalIsWorkedOutRowByRow();
    void totalsShowExactlyInEveryOutput_data() { test::addEngineRows(); }
    void totalsShowExactlyInEveryOutput();
    void ratesAreWrittenAsTheyAreShown_data() { test::addEngineRows(); }
    void ratesAreWrittenAsTheyAreShown();
};

// A summary stands for all rows: a value of a row outside every aggregate (read
// directly or through detail fields) would be one row's, whichever that is.
void TestExactFigures::summariesReadNoSingleRow()
{
    QStringList faults;
    for (const QString &name : Catalogue::instance().names()) {
        const auto def = Catalogue::instance().find(name);
        std::function<QStringList(const QString &, int)> rowColumns = [&](const QString &expression, int depth) {
            QStringList columns;
            const auto e = Expression::parse(expression);
            if (!e || depth > 8)
                return columns;
            for (const QString &n : e->rowNames()) {
                if (def->columnIndex(n) >= 0)
                    columns << n;
                else if (const ComputedField *f = def->computedField(n); f && f->band == Band::Detail)
                    columns << rowColumns(f->expression, depth + 1);
            }
            return columns;
        };
        for (const ComputedField &f : def->computed) {
            if (f.band != Band::Summary)
                continue;
            const QStringList columns = rowColumns(f.expression, 0);
            if (!columns.isEmpty())
                faults << QStringLiteral("%1 %2 = \"%3\" reads %4 of one row")
                              .arg(name, f.name, f.expression, columns.join(QStringLiteral(", ")));
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void TestExactFigures::pureMetalIsWeightTimesPurityRowByRow()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore all(QStringLiteral("d_wip_all"));
    all.SetTransObject(db.tr());
    QVERIFY(all.Retrieve({QStringLiteral("04-执模")}) > 0);
    DataStore &total = *all.nestedStore(QStringLiteral("d_wip_all_total"));
    QCOMPARE(total.RowCount(), 5);

    QCOMPARE(total.GetItemString(1, "compute_4"), QStringLiteral("15"));          // pieces
    QCOMPARE(total.GetItemString(1, "compute_5"), QStringLiteral("33917.85"));    // weight
    QCOMPARE(total.GetItemString(1, "compute_6"), QStringLiteral("27705.8428"));  // pure metal, row by row
    // Within one metal's group: the group's weight times its purity, as before.
    const std::tuple<const char *, const char *, const char *> groups[] = {
        {"14K", "2848.78", "1666.5363"}, {"18K", "17381.55", "13036.1625"}, {"PT950", "13687.52", "13003.144"}};
    for (const auto &[metal, weight, pure] : groups) {
        const int row = total.Find(QStringLiteral("scond_metal = '%1'").arg(QLatin1String(metal)), 1, total.RowCount());
        QVERIFY2(row > 0, metal);
        QCOMPARE(total.GetItemString(row, "compute_2"), QString::fromLatin1(weight));
        QCOMPARE(total.GetItemString(row, "compute_3"), QString::fromLatin1(pure));
    }
}

// The filing in-hand summary: with the workers 32995.80 (KC2's 922.05 waits at the
// desk), pure metal 13036.1625 + 1127.13705 + 13003.144 = 27166.44355; at the desk
// 922.05 x 0.585 = 539.39925.
void TestExactFigures::inHandPureMetalIsWorkedOutRowByRow()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore fil(QStringLiteral("d_w_wip_detail_fil_wipp"));
    fil.SetTransObject(db.tr());
    QVERIFY(fil.Retrieve() > 0);
    DataStore &total = *fil.nestedStore(QStringLiteral("d_w_wip_detail_fil_wipp_total"));
    QCOMPARE(total.RowCount(), 3);
    QCOMPARE(total.GetItemString(1, "compute_6"), QStringLiteral("32995.8"));
    QCOMPARE(total.GetItemString(1, "compute_19"), QStringLiteral("922.05"));
    QCOMPARE(total.GetItemString(1, "compute_20"), QStringLiteral("27166.44355"));
    QCOMPARE(total.GetItemString(1, "compute_21"), QStringLiteral("539.39925"));
}

void TestExactFigures::totalsShowExactlyInEveryOutput()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    DataStore all(QStringLiteral("d_wip_all"));
    all.SetTransObject(db.tr());
    QVERIFY(all.Retrieve({QStringLiteral("04-执模")}) > 0);
    const DataStore &total = *all.nestedStore(QStringLiteral("d_wip_all_total"));

    // Screen and print: the summary in its format "####0.000", to the milligram.
    QCOMPARE(summaryText(total, "compute_5"), QStringLiteral("33917.850"));
    QCOMPARE(summaryText(total, "compute_6"), QStringLiteral("27705.843"));

    // JSON: numbers in their shortest exact form.
    const QByteArray json = ReportOutput::toJson(all);
    QVERIFY2(json.contains("\"compute_5\": 33917.85,"), json.constData());
    QVERIFY2(json.contains("\"compute_6\": 27705.8428"), json.constData());
    QVERIFY(!json.contains("33917.8500"));
    const QJsonObject nestedTotal = QJsonDocument::fromJson(json).object()["nested"].toArray()[1].toObject();
    QCOMPARE(nestedTotal["computed"].toObject()["compute_5"].toDouble(), 33917.85);

    // CSV: every weight as it was typed.
    const QString csv = QString::fromUtf8(ReportOutput::toCsv(total));
    for (const char *weight : {",3493.87,", ",13887.68,", ",1926.73,", ",922.05,", ",13687.52,"})
        QVERIFY2(csv.contains(QLatin1String(weight)), qPrintable(csv));

    // Workbook: the weights as numbers a spreadsheet reads back exactly.
    if (!test::canReadWorkbooks())
        QSKIP("python3 is needed to read the workbook back");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("total.xlsx"));
    QString error;
    QVERIFY2(writeXlsx(total, file, &error), qPrintable(error));
    const QJsonObject cells = test::readWorkbook(file, &error);
    QVERIFY2(!cells.isEmpty(), qPrintable(error));
    QStringList numbers;
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const QJsonArray cell = it.value().toArray();
        if (cell.at(0).toString() == u"n")
            numbers << cell.at(1).toString();
    }
    for (const char *weight : {"3493.87", "13887.68", "1926.73", "922.05", "13687.52"})
        QVERIFY2(numbers.contains(QLatin1String(weight)), qPrintable(numbers.join(' ')));
    // The pure metal as exact as in CSV and JSON; its format only shows it to the milligram.
    QVERIFY2(numbers.contains(QLatin1String("27705.8428")), qPrintable(numbers.join(' ')));
}

// A loss rate is a quotient, exact only to the places division gives it: every
// file carries it as its format "##0.00" shows it, the same figure in each.
void TestExactFigures::ratesAreWrittenAsTheyAreShown()
{
    WIP_TEST_DATABASE(db);
    const QDateTime day(QDate(2004, 3, 1), QTime(10, 0));
    const struct { const char *worker, *issued, *lost; } sheets[] = {{"W01", "55524", "832.9"}, {"W02", "700", "10"}};
    for (const auto &w : sheets)
        QVERIFY2(db.insert("work_report", {{"changhao", w.worker}, {"xingming", "x"}, {"zt", "FIN"}, {"ldate", day},
                                           {"iss_weight", QString::fromLatin1(w.issued)},
                                           {"fin_weight", QString::fromLatin1(w.issued)},
                                           {"ret_weight", 0}, {"loss", QString::fromLatin1(w.lost)}}),
                 qPrintable(db.error()));
    DataStore loss(QStringLiteral("d_wip_fin_loss"));
    loss.SetTransObject(db.tr());
    QCOMPARE(loss.Retrieve({day.date(), day.date()}), 2);
    const int w01 = loss.Find(QStringLiteral("changhao = 'W01'"), 1, 2);
    QVERIFY(w01 > 0);
    // The report holds the quotient (1.5000720... shown "1.50"), the files what is shown.
    QVERIFY2(loss.GetItemString(w01, "c_loss_rate").startsWith(QLatin1String("1.500072")),
             qPrintable(loss.GetItemString(w01, "c_loss_rate")));

    const QString csv = QString::fromUtf8(ReportOutput::toCsv(loss));
    QVERIFY2(csv.contains(QLatin1String("W01,x,55524,55524,0,832.9,")) && csv.contains(QLatin1String(",1.5\r\n")),
             qPrintable(csv));
    QVERIFY2(csv.contains(QLatin1String(",1.43\r\n")), qPrintable(csv));   // 1.4285714...
    const QJsonObject computed = ReportOutput::toJsonObject(loss)["computed"].toObject();
    QCOMPARE(computed["c_loss_rate"].toDouble(), w01 == 1 ? 1.5 : 1.43);
    QCOMPARE(computed["c_sum_loss_rate"].toDouble(), 1.5);   // 842.9 / 56224 = 1.49918...

    if (!test::canReadWorkbooks())
        QSKIP("python3 is needed to read the workbook back");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("loss.xlsx"));
    QString error;
    QVERIFY2(writeXlsx(loss, file, &error), qPrintable(error));
    QStringList numbers;
    const QJsonObject cells = test::readWorkbook(file, &error);
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        if (it.value().toArray().at(0).toString() == u"n")
            numbers << it.value().toArray().at(1).toString();
    }
    for (const char *rate : {"1.5", "1.43"})
        QVERIFY2(numbers.contains(QLatin1String(rate)), qPrintable(numbers.join(' ')));
    for (const QString &n : numbers)
        QVERIFY2(n.size() <= 10, qPrintable(n));
}

QTEST_MAIN(TestExactFigures)
#include "tst_exactfigures.moc"
