// Loss against allowance, on rows worked out by hand: the allowance of each
// step's process and metal (a metal code before its family, before the
// process's default, before 2 %) in d_w_alwloss, and d_loss_exceptions per
// worker, process and metal, worst first, with the excess, its value and the
// metal recovered; its exceeding rows filled on paper and in the workbook. The
// metal balance shows the same recovered metal, per department and metal, on
// the department desk's row, on screen, on paper and in the export.

#include "reports/datastore.h"
#include "reports/reportoutput.h"
#include "reports/render/pdfexport.h"
#include "reports/render/xlsxexport.h"
#include "runtime/trace.h"
#include "programoutput.h"
#include "testdatabase.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

namespace {

using Values = TestDatabase::Values;

bool addMetals(TestDatabase &db)
{
    return db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}})
        && db.insert("material", {{"mcode", "14KY"}, {"mtype", "GOLD"}, {"purate", 0.585}})
        && db.insert("material", {{"mcode", "PT950"}, {"mtype", "PT"}, {"purate", 0.95}});
}

bool allowance(TestDatabase &db, const QString &process, const QString &metal, const QString &rate)
{
    const QString key = process + u'/' + (metal.isEmpty() ? QStringLiteral("*") : metal);
    return db.insert("loss_allowance", {{"allowance_key", key}, {"gongxu_code", process},
                                        {"metal", metal.isEmpty() ? QVariant() : QVariant(metal)}, {"rate", rate}});
}

// A finished worker sheet line.
bool sheet(TestDatabase &db, const QString &scno, const QString &worker, const QString &process, const QString &metal,
           const QString &issued, const QString &loss, const QDate &day = QDate(2026, 12, 5))
{
    const QString name = worker == QLatin1String("0401") ? QStringLiteral("陈志强")
        : worker == QLatin1String("0402")                ? QStringLiteral("李伟")
                                                         : QStringLiteral("黄小明");
    return db.insert("work_report", {{"scno", scno}, {"gongxu", process}, {"changhao", worker}, {"xingming", name},
                                     {"mcode", metal}, {"zt", "FIN"}, {"iss_pcs", 10}, {"iss_weight", issued},
                                     {"loss", loss}, {"ldate", QDateTime(day, QTime(15, 30))}});
}

std::unique_ptr<DataStore> retrieved(TestDatabase &db, const QString &name, const QVariantList &args)
{
    Trace::clearCaptured();
    auto ds = std::make_unique<DataStore>(name);
    ds->SetTransObject(db.tr());
    if (ds->Retrieve(args) < 0)
        qWarning("Retrieve of %s failed: %s", qPrintable(name), qPrintable(Trace::captured().join(u'\n')));
    return ds;
}

// Each row's fields as shown: "a|b|c".
QStringList shown(const DataStore &ds, const QStringList &fields)
{
    QStringList out;
    for (int row = 1; row <= ds.RowCount(); ++row) {
        QStringList cells;
        for (const QString &f : fields)
            cells << ds.GetItemString(row, f);
        out << cells.join(u'|');
    }
    return out;
}

QString decimal(const DataStore &ds, int row, const QString &name)
{
    return ds.GetItemDecimal(row, name).normalized().toString();
}

// The December exceptions of three workers (worked out in the test below).
bool exceptionsFactory(TestDatabase &db)
{
    return addMetals(db) && allowance(db, "04-执模", "18K", "1.2") && allowance(db, "04-执模", "PT950", "0.8")
        && allowance(db, "06-镶石", QString(), "0.5")
        && sheet(db, "KC1", "0401", "04-执模", "18KY", "50", "0.7")
        && sheet(db, "KC2", "0401", "04-执模", "18KY", "10", "0.1", QDate(2026, 12, 6))
        && sheet(db, "KC1", "0402", "04-执模", "18KY", "40", "0.3")
        && sheet(db, "KC2", "0402", "04-执模", "PT950", "20", "0.2")
        && sheet(db, "KC1", "0601", "06-镶石", "18KY", "40", "0.1", QDate(2026, 12, 31))
        // A day before the range, and a sheet still with its worker: neither counts.
        && sheet(db, "KC3", "0403", "04-执模", "18KY", "99", "9", QDate(2026, 11, 30))
        && db.insert("work_report", {{"scno", "KC4"}, {"gongxu", "04-执模"}, {"changhao", "0403"}, {"mcode", "18KY"},
                                     {"zt", "PEN"}, {"iss_weight", 5}, {"ldate", QDate(2026, 12, 5)}})
        // Filing's 18KY sweepings of December came back; January's is not December's.
        && db.insert("metal_recovery", {{"recovery_key", "a"}, {"gongxu_code", "04-执模"}, {"mcode", "18KY"},
                                        {"period_start", QDate(2026, 12, 1)}, {"period_end", QDate(2026, 12, 31)},
                                        {"grams", 0.5}, {"entered_by", "CLERK"}})
        && db.insert("metal_recovery", {{"recovery_key", "b"}, {"gongxu_code", "04-执模"}, {"mcode", "18KY"},
                                        {"period_start", QDate(2027, 1, 1)}, {"period_end", QDate(2027, 1, 5)},
                                        {"grams", 7}, {"entered_by", "CLERK"}});
}

QVariantList december(const QString &gold = QStringLiteral("500"), const QString &platinum = QStringLiteral("250"))
{
    return {QDate(2026, 12, 1), QDate(2026, 12, 31), gold, platinum};
}

} // namespace

class TestLossReports : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void allowancePerProcessAndMetal_data() { test::addEngineRows(); }
    void allowancePerProcessAndMetal();
    void fallbackOrder_data();
    void fallbackOrder();
    void exceptionsWorstFirstWithValueAndRecovery_data() { test::addEngineRows(); }
    void exceptionsWorstFirstWithValueAndRecovery();
    void exceedingRowsAreFilledOnPaper();
    void exceedingRowsAreFilledInTheWorkbook();
    void balanceRecoversWhatTheExceptionsShare_data() { test::addEngineRows(); }
    void balanceRecoversWhatTheExceptionsShare();
    void balanceShowsRecoveredMetalOnPaper();
    void goldenExports();
};

// Filing 18KY 50 g lost 0.7 against its family 18K's 1.2 %: 0.6 allowed, 0.1
// over; PT950 20 g against 0.8 %: 0.16, 0.01 under; 14KY 10 g against its own
// 1.4 % (not the family's 1.6): 0.14, 0.04 under; setting 18KY 40 g against
// setting's 0.5 %: 0.2, 0.1 over; finishing, with no allowance kept, 30 g at
// 2 %: 0.6, 0.1 under. The contract: 1.75 lost, 1.7 allowed, 0.05 over.
void TestLossReports::allowancePerProcessAndMetal()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(addMetals(db), qPrintable(db.error()));
    for (const auto &[metal, rate] : {std::pair{"", "1.5"}, {"18K", "1.2"}, {"PT950", "0.8"}, {"14KY", "1.4"}, {"14K", "1.6"}})
        QVERIFY2(allowance(db, "04-执模", metal, rate), qPrintable(db.error()));
    QVERIFY2(allowance(db, "06-镶石", QString(), "0.5"), qPrintable(db.error()));
    QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}}));
    QVERIFY(sheet(db, "KC1", "0401", "04-执模", "18KY", "50", "0.7"));
    QVERIFY(sheet(db, "KC1", "0401", "04-执模", "PT950", "20", "0.15"));
    QVERIFY(sheet(db, "KC1", "0402", "04-执模", "14KY", "10", "0.1"));
    QVERIFY(sheet(db, "KC1", "0601", "06-镶石", "18KY", "40", "0.3"));
    QVERIFY(sheet(db, "KC1", "0701", "07-执边", "18KY", "30", "0.5"));

    auto ds = retrieved(db, "d_w_alwloss", {QStringList{"KC1"}});
    QCOMPARE(shown(*ds, {"gongxu", "mcode", "iss_weight", "loss", "alw_rate", "c_alw_loss", "c_over"}),
             QStringList({"04-执模|14KY|10|0.1|1.4|0.14|-0.04", "04-执模|18KY|50|0.7|1.2|0.6|0.1",
                          "04-执模|PT950|20|0.15|0.8|0.16|-0.01", "06-镶石|18KY|40|0.3|0.5|0.2|0.1",
                          "07-执边|18KY|30|0.5|2|0.6|-0.1"}));
    QCOMPARE(decimal(*ds, 1, "c_sum_loss"), QStringLiteral("1.75"));
    QCOMPARE(decimal(*ds, 1, "c_sum_alw_loss"), QStringLiteral("1.7"));
    QCOMPARE(decimal(*ds, 1, "c_sum_over"), QStringLiteral("0.05"));
}

void TestLossReports::fallbackOrder_data()
{
    QTest::addColumn<QStringList>("allowances");   // "process/metal=rate", metal * for the default
    QTest::addColumn<QString>("rate");
    QTest::newRow("none kept: 2 %") << QStringList() << "2";
    QTest::newRow("the process's default") << QStringList{"04-执模/*=1.5"} << "1.5";
    QTest::newRow("the family before the default") << QStringList{"04-执模/*=1.5", "04-执模/14K=1.6"} << "1.6";
    QTest::newRow("the metal before its family")
        << QStringList{"04-执模/*=1.5", "04-执模/14K=1.6", "04-执模/14KY=1.4"} << "1.4";
    QTest::newRow("another process's default") << QStringList{"06-镶石/*=0.5"} << "2";
    QTest::newRow("another family only") << QStringList{"04-执模/18K=1.2", "04-执模/PT950=0.8"} << "2";
    QTest::newRow("another metal, and the default") << QStringList{"04-执模/18KY=1.2", "04-执模/*=1.1"} << "1.1";
}

// One filing step in 14KY under the allowances kept.
void TestLossReports::fallbackOrder()
{
    QFETCH(QStringList, allowances);
    QFETCH(QString, rate);
    TestDatabase db;
    QVERIFY2(db.isValid() && addMetals(db), qPrintable(db.error()));
    for (const QString &a : allowances) {
        const QString metal = a.section(u'/', 1).section(u'=', 0, 0);
        QVERIFY2(allowance(db, a.section(u'/', 0, 0), metal == QLatin1String("*") ? QString() : metal, a.section(u'=', 1)),
                 qPrintable(db.error()));
    }
    QVERIFY(sheet(db, "KC1", "0402", "04-执模", "14KY", "10", "0.1"));
    auto ds = retrieved(db, "d_w_alwloss", {QStringList{"KC1"}});
    QCOMPARE(ds->RowCount(), 1);
    QCOMPARE(decimal(*ds, 1, "alw_rate"), rate);
    auto ex = retrieved(db, "d_loss_exceptions", december());
    QCOMPARE(ex->RowCount(), 1);
    QCOMPARE(decimal(*ex, 1, "alw_rate"), rate);
}

// December at 500 a pure gram of gold and 250 of platinum:
//   0401 filing 18KY: 60 g, lost 0.8, 1.2 % = 0.72 allowed, 0.08 over (0.06 pure),
//        worth 0.08 x 0.75 x 500 = 30.00; of filing's 0.5 g of 18KY recovered
//        60/100 = 0.3, so 0.5 lost after it;
//   0402 filing PT950: 20 g, lost 0.2, 0.8 % = 0.16, 0.04 over (0.038 pure),
//        worth 0.04 x 0.95 x 250 = 9.50; nothing recovered;
//   0601 setting 18KY: 40 g, lost 0.1, 0.5 % = 0.2, 0.1 under (-0.075 pure);
//   0402 filing 18KY: 40 g, lost 0.3, 0.48 allowed, 0.18 under (-0.135 pure);
//        40/100 of the recovery = 0.2, 0.1 lost after it.
void TestLossReports::exceptionsWorstFirstWithValueAndRecovery()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(exceptionsFactory(db), qPrintable(db.error()));
    auto ds = retrieved(db, "d_loss_exceptions", december());
    QCOMPARE(shown(*ds, {"changhao", "xingming", "gongxu", "mcode", "iss_weight", "loss", "alw_rate", "c_alw_g",
                         "c_excess", "c_value", "c_recovered", "c_loss_after", "c_exceeds"}),
             QStringList({"0401|陈志强|04-执模|18KY|60|0.8|1.2|0.72|0.08|30|0.3|0.5|1",
                          "0402|李伟|04-执模|PT950|20|0.2|0.8|0.16|0.04|9.5|0|0.2|1",
                          "0601|黄小明|06-镶石|18KY|40|0.1|0.5|0.2|-0.1|0|0|0.1|0",
                          "0402|李伟|04-执模|18KY|40|0.3|1.2|0.48|-0.18|0|0.2|0.1|0"}));
    QCOMPARE(decimal(*ds, 1, "c_sum_loss"), QStringLiteral("1.4"));
    QCOMPARE(decimal(*ds, 1, "c_sum_excess"), QStringLiteral("-0.16"));
    QCOMPARE(decimal(*ds, 1, "c_sum_value"), QStringLiteral("39.5"));
    QCOMPARE(decimal(*ds, 1, "c_sum_recovered"), QStringLiteral("0.5"));
    QCOMPARE(decimal(*ds, 1, "c_sum_loss_after"), QStringLiteral("0.9"));
    QCOMPARE(rowFillColor(*ds, 1), QStringLiteral("#ffc7ce"));
    QCOMPARE(rowFillColor(*ds, 3), QString());

    // Without a price the excess is still there, worth nothing.
    auto unpriced = retrieved(db, "d_loss_exceptions", december("0", "0"));
    QCOMPARE(decimal(*unpriced, 1, "c_excess"), QStringLiteral("0.08"));
    QCOMPARE(decimal(*unpriced, 1, "c_sum_value"), QStringLiteral("0"));
}

namespace {

// Pixels of the fill colour on the pages of a PDF, drawn at 40 dots an inch.
int filledPixels(const QString &pdf, const QString &folder)
{
    test::programOutput(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"),
                                                     pdf, folder + QStringLiteral("/page")});
    int count = 0;
    for (const QString &file : QDir(folder).entryList({QStringLiteral("page*.png")})) {
        const QImage image(folder + u'/' + file);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += std::abs(c.red() - 255) < 6 && std::abs(c.green() - 199) < 6 && std::abs(c.blue() - 206) < 6;
            }
        }
    }
    return count;
}

} // namespace

// The two exceeding rows stand on a red background on paper; a range with no
// excess prints none.
void TestLossReports::exceedingRowsAreFilledOnPaper()
{
    TestDatabase db;
    QVERIFY2(db.isValid() && exceptionsFactory(db), qPrintable(db.error()));
    QTemporaryDir dir;
    auto ds = retrieved(db, "d_loss_exceptions", december());
    QString error;
    QVERIFY2(writePdf(*ds, dir.filePath("over.pdf"), &error), qPrintable(error));
    QDir().mkpath(dir.filePath("over"));
    const int over = filledPixels(dir.filePath("over.pdf"), dir.filePath("over"));
    auto last = retrieved(db, "d_loss_exceptions", {QDate(2026, 12, 31), QDate(2026, 12, 31), 500, 250});
    QCOMPARE(last->RowCount(), 1);
    QVERIFY2(writePdf(*last, dir.filePath("within.pdf"), &error), qPrintable(error));
    QDir().mkpath(dir.filePath("within"));
    QCOMPARE(filledPixels(dir.filePath("within.pdf"), dir.filePath("within")), 0);
    // Two rows of a landscape page's width: some hundreds of pixels at 40 dpi.
    QVERIFY2(over > 400, qPrintable(QString::number(over)));
}

// In the workbook every printed cell of an exceeding row has a solid fill of
// the colour, and no other row has one.
void TestLossReports::exceedingRowsAreFilledInTheWorkbook()
{
    TestDatabase db;
    QVERIFY2(db.isValid() && exceptionsFactory(db), qPrintable(db.error()));
    QTemporaryDir dir;
    auto ds = retrieved(db, "d_loss_exceptions", december());
    const QString file = dir.filePath("over.xlsx");
    QString error;
    QVERIFY2(writeXlsx(*ds, file, &error), qPrintable(error));
    // Each worksheet row that holds a worker number: the number and the fills of its cells.
    const QString script = QStringLiteral(R"py(
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
styles = z.read('xl/styles.xml').decode()
fills = re.findall(r'<fill>(.*?)</fill>', re.search(r'<fills[^>]*>(.*)</fills>', styles, re.S).group(1), re.S)
xfs = re.findall(r'<xf [^>]*?fillId="(\d+)"', re.search(r'<cellXfs[^>]*>(.*)</cellXfs>', styles, re.S).group(1))
def colour(style):
    f = fills[int(xfs[int(style)])] if style is not None else ''
    m = re.search(r'patternType="solid".*?fgColor rgb="(\w+)"', f, re.S)
    return m.group(1) if m else '-'
shared = 'xl/sharedStrings.xml' in z.namelist()
strings = [re.sub(r'<[^>]+>', '', s) for s in re.findall(r'<si>(.*?)</si>', z.read('xl/sharedStrings.xml').decode(), re.S)] if shared else []
sheet = z.read('xl/worksheets/sheet1.xml').decode()
for row in re.findall(r'<row [^>]*>(.*?)</row>', sheet, re.S):
    cells = re.findall(r'<c r="([A-Z]+)\d+"(?: s="(\d+)")?(?: t="(\w+)")?[^>]*?(?:/>|>(.*?)</c>)', row, re.S)
    first = cells[0] if cells else None
    if not first or first[0] != 'A' or first[2] not in ('s', 'inlineStr'):
        continue
    # A workbook written row by row holds its texts in the cells themselves.
    value = strings[int(re.search(r'<v>(\d+)</v>', first[3]).group(1))] if first[2] == 's' else re.sub(r'<[^>]+>', '', first[3])
    if re.fullmatch(r'\d{4}', value):
        print(value + ':' + ','.join(sorted(set(colour(c[1] or None) for c in cells))))
)py");
    const QString out = test::programOutput(QStringLiteral("python3"), {QStringLiteral("-c"), script, file}).trimmed();
    QCOMPARE(out.split(u'\n'), QStringList({"0401:FFFFC7CE", "0402:FFFFC7CE", "0601:-", "0402:-"}));
}

// The metal a refinery gave back, in the days asked, per department and metal:
// the metal balance's desk row shows what d_loss_exceptions shares among that
// department's workers (a range after it shows none of it), and its loss
// after recovery is its loss less that metal.
void TestLossReports::balanceRecoversWhatTheExceptionsShare()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(exceptionsFactory(db)
                 && db.insert("metal_recovery", {{"recovery_key", "c"}, {"gongxu_code", "06-镶石"}, {"mcode", "18KY"},
                                                 {"period_start", QDate(2026, 12, 1)}, {"period_end", QDate(2026, 12, 20)},
                                                 {"grams", "0.125"}, {"entered_by", "CLERK"}}),
             qPrintable(db.error()));
    const struct
    {
        QVariantList days;
        QStringList shared;    // gongxu|mcode|dept_recovered of d_loss_exceptions
        QStringList balance;   // gongxu|kind|mcode|loss|recovered|c_net_loss of d_metal_balance
        const char *pure;      // the factory's pure recovered metal
    } cases[] = {
        {{QDate(2026, 12, 1), QDate(2026, 12, 31)},
         {"04-执模|18KY|0.5", "04-执模|PT950|0", "06-镶石|18KY|0.125"},
         {"04-执模|收发|18KY|0|0.5|-0.5", "06-镶石|收发|18KY|0|0.125|-0.125"},
         "0.46875"},
        {{QDate(2026, 12, 20), QDate(2026, 12, 20)}, {}, {"06-镶石|收发|18KY|0|0.125|-0.125"}, "0.09375"},
        {{QDate(2027, 1, 1), QDate(2027, 1, 31)}, {}, {"04-执模|收发|18KY|0|7|-7"}, "5.25"},
        {{QDate(2027, 2, 1), QDate(2027, 2, 28)}, {}, {}, "-"},
    };
    for (const auto &c : cases) {
        auto exceptions = retrieved(db, "d_loss_exceptions", c.days + QVariantList{500, 250});
        QStringList shared = shown(*exceptions, {"gongxu", "mcode", "dept_recovered"});
        shared.removeDuplicates();
        shared.sort();
        QCOMPARE(shared, c.shared);
        auto balance = retrieved(db, "d_metal_balance", c.days);
        QCOMPARE(shown(*balance, {"gongxu_code", "kind", "mcode", "loss", "recovered", "c_net_loss"}), c.balance);
        QCOMPARE(balance->RowCount() ? decimal(*balance, 1, "s_p_recovered") : QStringLiteral("-"),
                 QString::fromLatin1(c.pure));
    }
}

// On paper the balance's rule says what recovered means, and the recovered
// grams and the loss after recovery print under their headings.
void TestLossReports::balanceShowsRecoveredMetalOnPaper()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed (scripts/install-deps)");
    TestDatabase db;
    QVERIFY2(db.isValid() && exceptionsFactory(db), qPrintable(db.error()));
    QTemporaryDir dir;
    auto ds = retrieved(db, "d_metal_balance", {QDate(2026, 12, 1), QDate(2026, 12, 31)});
    QCOMPARE(ds->RowCount(), 1);
    QString error;
    QVERIFY2(writePdf(*ds, dir.filePath("balance.pdf"), &error), qPrintable(error));
    const QString text = test::programOutput(QStringLiteral("pdftotext"), {dir.filePath("balance.pdf"), QStringLiteral("-")})
                             .simplified();
    for (const char *shown : {"回收", "Recovered", "损耗(回收后)", "Loss after recovery", "0.500", "-0.500",
                              "loss after recovery = loss - recovered"})
        QVERIFY2(text.contains(QString::fromUtf8(shown)), qPrintable(QString::fromUtf8(shown) + u" not in: " + text.left(600)));
}

// The exports a clerk's spreadsheet receives of both reports on the rows above
// (SQLite); WIP_UPDATE_GOLDEN=1 writes the files instead.
void TestLossReports::goldenExports()
{
    TestDatabase db;
    QVERIFY2(db.isValid() && exceptionsFactory(db) && allowance(db, "07-执边", QString(), "0.8")
                 && sheet(db, "KC1", "0701", "07-执边", "18KY", "33.333", "0.3"),
             qPrintable(db.error()));
    const QList<std::pair<QString, QVariantList>> reports = {
        {QStringLiteral("d_w_alwloss"), {QStringList{"KC1", "KC2"}}},
        {QStringLiteral("d_loss_exceptions"), december()},
        {QStringLiteral("d_metal_balance"), {QDate(2026, 12, 1), QDate(2026, 12, 31)}},
    };
    for (const auto &[name, arguments] : reports) {
        auto ds = retrieved(db, name, arguments);
        QString text = QString::fromUtf8(ReportOutput::toCsv(*ds).mid(3));
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        const QString path = qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/golden/definitions/") + name
            + QStringLiteral(".csv");
        QFile file(path);
        if (qEnvironmentVariableIsSet("WIP_UPDATE_GOLDEN")) {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0);
            continue;
        }
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path + QStringLiteral(" is missing (WIP_UPDATE_GOLDEN=1 writes it)")));
        QCOMPARE(text.split(u'\n'), QString::fromUtf8(file.readAll()).split(u'\n'));
    }
}

QTEST_MAIN(TestLossReports)
#include "tst_lossreports.moc"
