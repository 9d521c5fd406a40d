#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "testdatabase.h"

#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// Composite reports: the nested reports are retrieved with the composite's
// arguments mapped by name, the composite holds no rows itself, and Modify of a
// text it lacks reaches the first nested report that has it.
class TestComposite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void nestedReportsGetTheMappedArguments_data() { test::addEngineRows(); }
    void nestedReportsGetTheMappedArguments();
    void modifyReachesTheFirstNestedReportWithTheText();
};

namespace {

bool fill(TestDatabase &db)
{
    const QDateTime closed(QDate(2004, 3, 1), QTime(0, 0));
    const QList<QVariantList> steps = {
        {"KC1", "06-镶石", "w2", "Li", 2.0, QVariant()},
        {"KC2", "06-镶石", "w1", "Wang", 3.0, QVariant()},
        {"KC3", "06-镶石", "w1", "", 4.0, QVariant()},       // no worker name yet
        {"KC4", "06-镶石", "w1", "Wang", 1.0, closed},         // finished
        {"KC5", "04-执模", "w1", "Wang", 9.0, QVariant()},     // another process
    };
    for (const QVariantList &s : steps) {
        if (!db.insert(QStringLiteral("proch"), {{QStringLiteral("scno"), s[0]}, {QStringLiteral("gongxu_code"), s[1]},
                                                 {QStringLiteral("changhao"), s[2]}, {QStringLiteral("xingming"), s[3]},
                                                 {QStringLiteral("qty"), s[4]}, {QStringLiteral("edtime"), s[5]}}))
            return false;
    }
    return true;
}

} // namespace

void TestComposite::initTestCase()
{
    QStringList errors;
    QVERIFY2(Catalogue::instance().addDirectory(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine"), &errors),
             qPrintable(errors.join(QLatin1Char('\n'))));
}

void TestComposite::nestedReportsGetTheMappedArguments()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));

    // The transaction may be given before or after the dataobject.
    DataStore first;
    first.SetTransObject(db.tr());
    first.setDataObject(QStringLiteral("d_test_comp"));
    DataStore ds(QStringLiteral("d_test_comp"));
    ds.SetTransObject(db.tr());

    for (DataStore *store : {&first, &ds}) {
        QCOMPARE(store->Retrieve({QStringLiteral("06-镶石"), QStringLiteral("ignored")}), 5);
        QCOMPARE(store->RowCount(), 0);
        QCOMPARE(store->nested().size(), 2);
    }

    DataStore *detail = ds.nestedStore(QStringLiteral("D_TEST_COMP_DETAIL"));
    DataStore *total = ds.nestedStore(1);
    QVERIFY(detail && total && !ds.nestedStore(2) && !ds.nestedStore(QStringLiteral("d_other")));
    QCOMPARE(total->dataObject(), QStringLiteral("d_test_comp_total"));

    // Only open steps of the process; the detail lists those with a worker name.
    QCOMPARE(detail->RowCount(), 2);
    QCOMPARE(detail->GetItemString(1, "scno"), QStringLiteral("KC2"));
    QCOMPARE(detail->GetItemNumber(1, "c_worker"), 3.0);
    QCOMPARE(detail->GetItemString(2, "scno"), QStringLiteral("KC1"));
    QCOMPARE(total->RowCount(), 3);
    QCOMPARE(total->GetItemNumber(1, "c_sum"), 9.0);
    QCOMPARE(static_cast<const ReportData *>(total), ds.nested().at(1));

    // Another process replaces the rows of both.
    QCOMPARE(ds.Retrieve({QStringLiteral("04-执模"), QString()}), 2);
    QCOMPARE(detail->RowCount(), 1);
    QCOMPARE(total->GetItemNumber(1, "c_sum"), 9.0);

    ds.Reset();
    QCOMPARE(detail->RowCount(), 0);
    QCOMPARE(total->RowCount(), 0);

    // Without a mapping: d_test_comp_detail takes "gongxu" by name, d_test_comp_total
    // (which calls it gongxu_code) the first argument by position.
    DataStore plain(QStringLiteral("d_test_comp_plain"));
    plain.SetTransObject(db.tr());
    QCOMPARE(plain.Retrieve({QStringLiteral("06-镶石")}), 5);
    QCOMPARE(plain.nestedStore(QStringLiteral("d_test_comp_total"))->RowCount(), 3);
    QCOMPARE(plain.nestedStore(QStringLiteral("d_test_comp_detail"))->RowCount(), 2);
}

void TestComposite::modifyReachesTheFirstNestedReportWithTheText()
{
    DataStore ds(QStringLiteral("d_test_comp"));
    DataStore *detail = ds.nestedStore(0);
    DataStore *total = ds.nestedStore(1);

    // Both nested reports have t_head: the first one takes it.
    QCOMPARE(ds.Modify(QStringLiteral("t_head.text='06-镶石WIP报表'")), QString());
    QCOMPARE(detail->objectText("t_head"), QStringLiteral("06-镶石WIP报表"));
    QCOMPARE(total->objectText("t_head"), QStringLiteral("total head"));
    QCOMPARE(ds.objectText("t_head"), QStringLiteral("06-镶石WIP报表"));

    // Texts of the composite itself, of the second report, and both at once.
    QCOMPARE(ds.Modify(QStringLiteral("t_own.text='mine' t_sum.text='合计'")), QString());
    QCOMPARE(ds.objectText("t_own"), QStringLiteral("mine"));
    QCOMPARE(total->objectText("t_sum"), QStringLiteral("合计"));
    QCOMPARE(ds.objectText("t_sum"), QStringLiteral("合计"));

    // A text no report has: an error, and nothing changed.
    QVERIFY(!ds.Modify(QStringLiteral("t_sum.text='x' t_none.text='y'")).isEmpty());
    QCOMPARE(total->objectText("t_sum"), QStringLiteral("合计"));

    ds.setObjectText(QStringLiteral("t_sum"), QStringLiteral("direct"));
    QCOMPARE(total->objectText("t_sum"), QStringLiteral("direct"));
}

QTEST_GUILESS_MAIN(TestComposite)
#include "tst_composite.moc"
