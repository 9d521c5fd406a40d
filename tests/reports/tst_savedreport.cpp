#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/reportcriteria.h"
#include "reports/reportoutput.h"
#include "reports/savedreport.h"
#include "runtime/drivemapping.h"
#include "runtime/hosterror.h"
#include "testdatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// The saved report ("temp.psr") read back equal to what was saved, damaged files
// refused with a message, and the JSON and CSV of the command line.
class TestSavedReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void savedReportReadsBackEqual();
    void crosstabAndCompositeReadBackEqual();
    void damagedFilesAreRefused_data();
    void damagedFilesAreRefused();
    void failedWriteIsAHostFailure();
    void jsonOutputHasRowsComputedAndTexts();
    void csvQuotesAndStartsWithAByteOrderMark();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestDatabase> m_db;
};

namespace {

QDateTime day(int d)
{
    return QDateTime(QDate(2004, 3, d), QTime(0, 0));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

void TestSavedReport::initTestCase()
{
    QStringList errors;
    QVERIFY2(Catalogue::instance().addDirectory(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine"), &errors),
             qPrintable(errors.join(QLatin1Char('\n'))));
}

void TestSavedReport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    DriveMapping::instance().setWorkingFolder(m_dir->path());
    m_db = std::make_unique<TestDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
    const QList<QVariantList> steps = {
        {1, "KC1", "04-执模", 5.0, day(1)},
        {2, "K\"C,2", "04-执模", 3.0, day(31)},
        {3, "KC3", "06-镶石", 2.5, day(15)},
        {6, "KC6\n2", "08-打磨", QVariant(), day(10)},
    };
    for (const QVariantList &s : steps) {
        QVERIFY2(m_db->insert(QStringLiteral("proch"),
                              {{QStringLiteral("proch_id"), s[0]}, {QStringLiteral("scno"), s[1]},
                               {QStringLiteral("gongxu_code"), s[2]}, {QStringLiteral("qty"), s[3]},
                               {QStringLiteral("edtime"), s[4]}, {QStringLiteral("changhao"), QStringLiteral("w1")}}),
                 qPrintable(m_db->error()));
    }
}

void TestSavedReport::savedReportReadsBackEqual()
{
    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(m_db->tr());
    QCOMPARE(ds.Retrieve({QStringList{"04-执模", "06-镶石", "08-打磨"}, QDate(2004, 3, 1), QDate(2004, 3, 31)}), 4);
    QCOMPARE(ds.Modify(QStringLiteral("t_head.text='04-执模WIP报表'")), QString());

    // A relative name lands in the working folder, as the windows' "temp.psr" does.
    ds.SaveAs(QStringLiteral("temp.psr"), SaveAsType::PSReport, true);
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("temp.psr"))));

    QString error;
    const auto saved = SavedReport::read(QStringLiteral("temp.psr"), &error);
    QVERIFY2(saved, qPrintable(error));
    QCOMPARE(saved->definition().name, QStringLiteral("d_test_steps"));
    QCOMPARE(saved->definition().groups.size(), 1);
    QCOMPARE(saved->rowCount(), 4);
    QCOMPARE(saved->objectText(QStringLiteral("t_head")), QStringLiteral("04-执模WIP报表"));
    QCOMPARE(saved->objectText(QStringLiteral("T_TOTAL")), QStringLiteral("TOTAL"));
    const ReportData &data = ds;
    for (int row = 1; row <= 4; ++row) {
        for (const Column &c : ds.columns())
            QCOMPARE(saved->item(row, c.name), data.item(row, c.name));
        for (const ComputedField &f : ds.definition().computed)
            QCOMPARE(saved->item(row, f.name), data.item(row, f.name));
        QCOMPARE(saved->groupRange(1, row), data.groupRange(1, row));
    }
    QCOMPARE(saved->item(1, "edtime").metaType().id(), int(QMetaType::QDateTime));
    QVERIFY(saved->item(4, "qty").isNull());
    // Everything the command line would print agrees.
    QCOMPARE(ReportOutput::toJsonObject(*saved), ReportOutput::toJsonObject(ds));
    // What was asked comes along, for the criteria on the printed page.
    QCOMPARE(saved->retrievalArguments().size(), 3);
    QCOMPARE(saved->retrievalArguments().at(0).toStringList(), (QStringList{"04-执模", "06-镶石", "08-打磨"}));
    QCOMPARE(saved->retrievalArguments().at(1).toDate(), QDate(2004, 3, 1));
    QCOMPARE(saved->retrievalArguments().at(2).toDate(), QDate(2004, 3, 31));
    QCOMPARE(ReportCriteria::text(*saved), ReportCriteria::text(ds));
    QVERIFY(!ReportCriteria::text(ds).isEmpty());

    // A window's print button names the window the report was shown in.
    SavedReport::write(ds, QStringLiteral("titled.psr"), QStringLiteral("在做资料"));
    QCOMPARE(SavedReport::read(QStringLiteral("titled.psr"))->windowTitle(), QStringLiteral("在做资料"));
}

void TestSavedReport::crosstabAndCompositeReadBackEqual()
{
    DataStore crosstab(QStringLiteral("d_test_wip_today1"));
    crosstab.SetTransObject(m_db->tr());
    QCOMPARE(crosstab.Retrieve({QDate(2004, 3, 1), QDate(2004, 3, 31)}), 3);
    const QString crosstabFile = m_dir->filePath(QStringLiteral("x.psr"));
    crosstab.SaveAs(crosstabFile);
    auto saved = SavedReport::read(crosstabFile);
    QVERIFY(saved);
    QCOMPARE(ReportOutput::toJsonObject(*saved), ReportOutput::toJsonObject(crosstab));
    QCOMPARE(saved->columns().size(), crosstab.columns().size());
    QCOMPARE(saved->columns().at(1).caption, crosstab.columns().at(1).caption);

    DataStore composite(QStringLiteral("d_test_comp"));
    composite.SetTransObject(m_db->tr());
    QVERIFY(composite.Retrieve({QStringLiteral("04-执模"), QString()}) >= 0);
    composite.Modify(QStringLiteral("t_head.text='nested head'"));
    const QString compositeFile = m_dir->filePath(QStringLiteral("c.psr"));
    composite.SaveAs(compositeFile);
    saved = SavedReport::read(compositeFile);
    QVERIFY(saved);
    QCOMPARE(saved->rowCount(), 0);
    QCOMPARE(saved->nested().size(), 2);
    QCOMPARE(saved->nested().at(0)->objectText(QStringLiteral("t_head")), QStringLiteral("nested head"));
    QCOMPARE(ReportOutput::toJsonObject(*saved), ReportOutput::toJsonObject(composite));
}

void TestSavedReport::damagedFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("fault");

    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(m_db->tr());
    ds.Retrieve({QStringList{"04-执模"}, QDate(2004, 3, 1), QDate(2004, 3, 31)});
    const QJsonObject good = SavedReport::toJson(ds);
    auto changed = [&good](const std::function<void(QJsonObject &)> &change) {
        QJsonObject o = good;
        change(o);
        return QJsonDocument(o).toJson();
    };

    QTest::newRow("empty") << QByteArray() << "not a saved report";
    QTest::newRow("not json") << QByteArray("\x00\x01garbage", 9) << "not a saved report";
    QTest::newRow("cut short") << QJsonDocument(good).toJson().left(200) << "not a saved report";
    QTest::newRow("other json") << QByteArray("{\"name\": \"d_x\"}") << "not a saved report";
    QTest::newRow("other version") << changed([](QJsonObject &o) { o["version"] = 99; }) << "version 99";
    QTest::newRow("bad definition") << changed([](QJsonObject &o) {
        QJsonObject d = o["definition"].toObject();
        d["layout"] = "sideways";
        o["definition"] = d;
    }) << "definition";
    QTest::newRow("short row") << changed([](QJsonObject &o) {
        QJsonArray rows = o["rows"].toArray();
        rows[0] = QJsonArray{1};
        o["rows"] = rows;
    }) << "row 1";
    QTest::newRow("text in a number column") << changed([](QJsonObject &o) {
        QJsonArray rows = o["rows"].toArray();
        QJsonArray row = rows[0].toArray();
        row[0] = "one";
        rows[0] = row;
        o["rows"] = rows;
    }) << "proch_id";
    QTest::newRow("computed values missing") << changed([](QJsonObject &o) { o["computed"] = QJsonObject(); }) << "c_row";
}

void TestSavedReport::damagedFilesAreRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, fault);
    const QString path = m_dir->filePath(QStringLiteral("damaged.psr"));
    writeFile(path, content);
    QString error;
    QVERIFY(!SavedReport::read(path, &error));
    QVERIFY2(error.contains(path) && error.contains(fault), qPrintable(error));

    QVERIFY(!SavedReport::read(m_dir->filePath(QStringLiteral("missing.psr")), &error));
    QVERIFY2(error.contains(QLatin1String("missing.psr")), qPrintable(error));
}

void TestSavedReport::failedWriteIsAHostFailure()
{
    DataStore ds(QStringLiteral("d_test_steps"));
    for (const QString &path : {m_dir->filePath(QStringLiteral("no/such/folder/temp.psr")), m_dir->path(),
                                QStringLiteral("P:\\..\\..\\temp.psr")}) {
        try {
            ds.SaveAs(path);
            QFAIL(qPrintable(QStringLiteral("SaveAs(%1) did not fail").arg(path)));
        } catch (const HostError &e) {
            QCOMPARE(e.code(), int(ErrFileWrite));
        }
    }
}

void TestSavedReport::jsonOutputHasRowsComputedAndTexts()
{
    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(m_db->tr());
    QCOMPARE(ds.Retrieve({QStringList{"04-执模", "08-打磨"}, QDate(2004, 3, 1), QDate(2004, 3, 31)}), 3);
    const QJsonObject o = QJsonDocument::fromJson(ReportOutput::toJson(ds)).object();

    QCOMPARE(o["definition"].toString(), QStringLiteral("d_test_steps"));
    QCOMPARE(o["columns"].toArray().first().toString(), QStringLiteral("proch_id"));
    const QJsonArray rows = o["rows"].toArray();
    QCOMPARE(rows.size(), 3);
    // Sorted by process, then id descending; dates as text, NULL as null.
    QCOMPARE(rows[0].toArray(), (QJsonArray{2, "K\"C,2", "04-执模", "w1", 3, "2004-03-31 00:00:00"}));
    QVERIFY(rows[2].toArray()[4].isNull());
    QCOMPARE(o["computed"].toObject()["c_total"].toDouble(), 8.0);
    QCOMPARE(o["computed"].toObject()["c_row"].toDouble(), 1.0);
    QCOMPARE(o["computed"].toObject()["c_group"].toDouble(), 8.0);
    QCOMPARE(o["texts"].toObject()["t_head"].toString(), QStringLiteral("WIP报表"));
    QCOMPARE(o["nested"].toArray().size(), 0);

    // Without rows the computed fields are null, not made up.
    QCOMPARE(ds.Retrieve({QStringList{}, QDate(2004, 3, 1), QDate(2004, 3, 31)}), 0);
    const QJsonObject none = ReportOutput::toJsonObject(ds);
    QVERIFY(none["computed"].toObject()["c_total"].isNull());
    QCOMPARE(none["rows"].toArray().size(), 0);
}

void TestSavedReport::csvQuotesAndStartsWithAByteOrderMark()
{
    DataStore ds(QStringLiteral("d_test_steps"));
    ds.SetTransObject(m_db->tr());
    QCOMPARE(ds.Retrieve({QStringList{"04-执模", "08-打磨"}, QDate(2004, 3, 1), QDate(2004, 3, 31)}), 3);
    const QByteArray csv = ReportOutput::toCsv(ds);
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(csv.mid(3));
    // Headed by captions, or spoken names; the computed columns of the rows follow.
    const QStringList expected = {
        "Proch Id,订单 KCNO,工序,Changhao,Qty,Edtime,NO.,C Share",
        "2,\"K\"\"C,2\",04-执模,w1,3,2004-03-31 00:00:00,1,0.375",
        "1,KC1,04-执模,w1,5,2004-03-01 00:00:00,2,0.625",
        "6,\"KC6\n2\",08-打磨,w1,,2004-03-10 00:00:00,3,",
        "",
    };
    QCOMPARE(text, expected.join(QLatin1String("\r\n")));
    QVERIFY(!QString::fromUtf8(ReportOutput::toCsv(ds, false)).contains(QLatin1String("KCNO")));

    ds.SaveAs(QStringLiteral("out.csv"), SaveAsType::Csv);
    QFile file(m_dir->filePath(QStringLiteral("out.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), csv);
}

QTEST_GUILESS_MAIN(TestSavedReport)
#include "tst_savedreport.moc"
