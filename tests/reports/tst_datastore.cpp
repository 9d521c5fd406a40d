#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/valuecompare.h"
#include "runtime/decimal.h"
#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "testdatabase.h"

#include <QSignalSpy>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::Engine;
using wip::test::TestDatabase;

// The DataStore once rows are in: groups and computed fields, Find, items and
// their conversions, inserting and deleting rows, the current row, Modify, and
// the row states that Update writes back whole or not at all.
class TestDataStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void sortKeysOrderLikeValues_data();
    void sortKeysOrderLikeValues();
    void groupsAndComputedFieldsFollowTheRows();
    void findReturnsFirstMatchNoneOrBadExpression();
    void setItemConvertsToTheColumnType();
    void insertDeleteAndCurrentRow();
    void modifyChangesTextsAllOrNothing();

    void updateWritesNewModifiedAndDeletedRows_data() { test::addEngineRows(); }
    void updateWritesNewModifiedAndDeletedRows();
    void updateIsAllOrNothing_data() { test::addEngineRows(); }
    void updateIsAllOrNothing();
};

namespace {

QDateTime day(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}

bool fillSteps(TestDatabase &db)
{
    const QList<QVariantList> steps = {
        {1, "KC1", "04-执模", 5.0, day(2004, 3, 1)},
        {2, "KC2", "04-执模", 3.0, day(2004, 3, 31)},
        {3, "KC3", "06-镶石", 2.5, day(2004, 3, 15)},
        {6, "KC6", "08-打磨", QVariant(), day(2004, 3, 10)},
    };
    for (const QVariantList &s : steps) {
        if (!db.insert(QStringLiteral("proch"), {{QStringLiteral("proch_id"), s[0]}, {QStringLiteral("scno"), s[1]},
                                                 {QStringLiteral("gongxu_code"), s[2]}, {QStringLiteral("qty"), s[3]},
                                                 {QStringLiteral("edtime"), s[4]}}))
            return false;
    }
    return true;
}

// Four steps in three groups: 04-执模 (KC2, KC1), 06-镶石 (KC3), 08-打磨 (KC6, no qty).
void retrieveSteps(DataStore &ds, TestDatabase &db)
{
    ds.setDataObject(QStringLiteral("d_test_steps"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QStringList{"04-执模", "06-镶石", "08-打磨"}, QDate(2004, 3, 1), QDate(2004, 3, 31)}), 4);
}

bool fillProcess(TestDatabase &db)
{
    return db.insert(QStringLiteral("process"), {{QStringLiteral("process_id"), 1}, {QStringLiteral("scno"), QStringLiteral("KC1")},
                                                 {QStringLiteral("wax_in"), 10.0}, {QStringLiteral("wax_out"), 4.0}})
        && db.insert(QStringLiteral("process"), {{QStringLiteral("process_id"), 2}, {QStringLiteral("scno"), QStringLiteral("KC1")},
                                                 {QStringLiteral("wax_in"), 7.0}, {QStringLiteral("wax_out"), 7.0}})
        && db.insert(QStringLiteral("process"), {{QStringLiteral("process_id"), 3}, {QStringLiteral("scno"), QStringLiteral("KC9")},
                                                 {QStringLiteral("wax_in"), 1.0}});
}

template <typename F>
int hostErrorCode(F &&f)
{
    try {
        f();
    } catch (const HostError &e) {
        return e.code();
    }
    return 0;
}

} // namespace

void TestDataStore::initTestCase()
{
    QStringList errors;
    QVERIFY2(Catalogue::instance().addDirectory(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/engine"), &errors),
             qPrintable(errors.join(QLatin1Char('\n'))));
}

void TestDataStore::sortKeysOrderLikeValues_data()
{
    QTest::addColumn<QVariantList>("ascending");   // values of one column, in order
    const QDateTime t(QDate(2004, 3, 1), QTime(0, 0));
    QTest::newRow("numbers") << QVariantList{QVariant(QMetaType::fromType<double>()), -2.5, 0.0, 1.0, 1e9};
    QTest::newRow("texts") << QVariantList{QVariant(QMetaType::fromType<QString>()), "", "03-倒模", "04-执模", "A", "a"};
    QTest::newRow("date-times") << QVariantList{QVariant(QMetaType::fromType<QDateTime>()), t.addYears(-90), t,
                                                 t.addSecs(1), t.addDays(1), t.addYears(50)};
}

void TestDataStore::sortKeysOrderLikeValues()
{
    QFETCH(QVariantList, ascending);
    auto sign = [](int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); };
    for (int i = 0; i < ascending.size(); ++i) {
        for (int j = 0; j < ascending.size(); ++j) {
            const int expected = sign(i - j);
            QCOMPARE(sign(compareValues(ascending.at(i), ascending.at(j))), expected);
            QCOMPARE(sign(compareSortKeys(sortKey(ascending.at(i)), sortKey(ascending.at(j)))), expected);
        }
    }
}

void TestDataStore::groupsAndComputedFieldsFollowTheRows()
{
    TestDatabase db;
    QVERIFY2(db.isValid() && fillSteps(db), qPrintable(db.error()));
    DataStore ds;
    retrieveSteps(ds, db);
    const ReportData &data = ds;   // the face expressions and the renderer read

    QCOMPARE(data.groupRange(1, 1), std::make_pair(1, 2));
    QCOMPARE(data.groupRange(1, 2), std::make_pair(1, 2));
    QCOMPARE(data.groupRange(1, 3), std::make_pair(3, 3));
    QCOMPARE(data.groupRange(1, 4), std::make_pair(4, 4));
    QCOMPARE(data.groupRange(0, 3), std::make_pair(1, 4));

    QCOMPARE(ds.GetItemNumber(1, "c_group"), 8.0);
    QCOMPARE(ds.GetItemNumber(2, "c_group"), 8.0);
    QCOMPARE(ds.GetItemNumber(3, "C_GROUP"), 2.5);
    // A field over all rows has one value in every row; getrow() is the row.
    for (int row = 1; row <= 4; ++row) {
        QCOMPARE(ds.GetItemNumber(row, "c_total"), 10.5);
        QCOMPARE(ds.GetItemNumber(row, "c_row"), double(row));
    }
    // Computed fields read other computed fields; NULL propagates.
    QCOMPARE(ds.GetItemNumber(1, "c_share"), 3.0 / 10.5);
    QVERIFY(ds.IsNull(4, "c_share"));

    // Changing an item recomputes what depends on it.
    ds.SetItem(4, "qty", 1.5);
    QCOMPARE(ds.GetItemNumber(1, "c_total"), 12.0);
    QCOMPARE(ds.GetItemNumber(4, "c_group"), 1.5);
    QCOMPARE(ds.GetItemNumber(4, "c_share"), 1.5 / 12.0);
    // Changing a group column moves the group bounds.
    ds.SetItem(3, "gongxu_code", QStringLiteral("04-执模"));
    QCOMPARE(data.groupRange(1, 1), std::make_pair(1, 3));
    QCOMPARE(ds.GetItemNumber(3, "c_group"), 10.5);

    // Unknown names and rows out of range are host failures; item() is quiet.
    QCOMPARE(hostErrorCode([&] { ds.GetItemString(5, "scno"); }), int(ErrRowOutOfRange));
    QCOMPARE(hostErrorCode([&] { ds.GetItemString(0, "scno"); }), int(ErrRowOutOfRange));
    QCOMPARE(hostErrorCode([&] { ds.GetItemString(1, "nothere"); }), int(ErrUnknownColumn));
    QVERIFY(data.item(5, "scno").isNull());
    QVERIFY(data.hasName("C_TOTAL") && data.hasName("scno") && !data.hasName("nothere"));
}

void TestDataStore::findReturnsFirstMatchNoneOrBadExpression()
{
    TestDatabase db;
    QVERIFY2(db.isValid() && fillSteps(db), qPrintable(db.error()));
    DataStore ds;
    retrieveSteps(ds, db);

    QCOMPARE(ds.Find(QStringLiteral("scno = 'KC3'"), 1, ds.RowCount()), 3);
    QCOMPARE(ds.Find(QStringLiteral("gongxu_code = '04-执模'"), 1, 4), 1);
    QCOMPARE(ds.Find(QStringLiteral("gongxu_code = '04-执模'"), 2, 4), 2);
    QCOMPARE(ds.Find(QStringLiteral("gongxu_code = '04-执模'"), 3, 4), 0);
    // Backwards from the end; an end beyond the last row is clamped.
    QCOMPARE(ds.Find(QStringLiteral("gongxu_code = '04-执模'"), 4, 1), 2);
    QCOMPARE(ds.Find(QStringLiteral("scno = 'KC6'"), 1, 99), 4);
    // A NULL comparison is no match; computed fields can be searched.
    QCOMPARE(ds.Find(QStringLiteral("qty > 100"), 1, 4), 0);
    QCOMPARE(ds.Find(QStringLiteral("c_group = 8 and scno = 'KC1'"), 1, 4), 2);
    QCOMPARE(ds.Find(QStringLiteral("scno = ''"), 1, 4), 0);
    // What does not parse: -1 (a value with a quote in it, for one).
    QCOMPARE(ds.Find(QStringLiteral("scno = 'O'Neil'"), 1, 4), -1);
    QCOMPARE(ds.Find(QStringLiteral("scno = "), 1, 4), -1);
    QCOMPARE(ds.Find(QStringLiteral("kcno = 'KC3'"), 1, 4), -1);

    DataStore empty(QStringLiteral("d_test_steps"));
    QCOMPARE(empty.Find(QStringLiteral("scno = 'KC3'"), 1, 0), 0);
}

void TestDataStore::setItemConvertsToTheColumnType()
{
    TestDatabase db;
    QVERIFY2(db.isValid() && fillSteps(db), qPrintable(db.error()));
    DataStore ds;
    retrieveSteps(ds, db);
    QSignalSpy changed(&ds, &DataStore::itemChanged);

    ds.SetItem(1, "qty", QStringLiteral(" 12.5 "));
    QCOMPARE(ds.GetItem(1, "qty"), Decimal::fromUnits(125, 1).toVariant());
    ds.SetItem(1, "QTY", QStringLiteral(""));
    QVERIFY(ds.IsNull(1, "qty"));
    ds.SetItem(1, "edtime", QStringLiteral("2004-05-06"));
    QCOMPARE(ds.GetItemDateTime(1, "edtime"), day(2004, 5, 6));
    ds.SetItem(1, "edtime", QDate(2004, 5, 7));
    QCOMPARE(ds.GetItemDate(1, "edtime"), QDate(2004, 5, 7));
    ds.SetItem(1, "scno", 42);
    QCOMPARE(ds.GetItemString(1, "scno"), QStringLiteral("42"));
    QCOMPARE(changed.count(), 5);
    QCOMPARE(changed.last().at(1).toString(), QStringLiteral("scno"));

    QCOMPARE(hostErrorCode([&] { ds.SetItem(1, "qty", QStringLiteral("abc")); }), int(ErrBadValue));
    QCOMPARE(hostErrorCode([&] { ds.SetItem(1, "edtime", QStringLiteral("tomorrow")); }), int(ErrBadValue));
    QCOMPARE(hostErrorCode([&] { ds.SetItem(1, "c_total", 1); }), int(ErrUnknownColumn));
    QCOMPARE(hostErrorCode([&] { ds.SetItem(5, "qty", 1); }), int(ErrRowOutOfRange));
    QCOMPARE(ds.GetItemDate(1, "edtime"), QDate(2004, 5, 7));   // the refused values changed nothing
    QCOMPARE(changed.count(), 5);

    QCOMPARE(ds.rowStatus(1), RowStatus::DataModified);
    QCOMPARE(ds.rowStatus(2), RowStatus::NotModified);
    QVERIFY(ds.isItemModified(1, "qty") && !ds.isItemModified(1, "changhao"));
    QCOMPARE(ds.ModifiedCount(), 1);
}

void TestDataStore::insertDeleteAndCurrentRow()
{
    DataStore ds(QStringLiteral("d_test_process_input"));
    QCOMPARE(ds.GetRow(), 0);
    QCOMPARE(hostErrorCode([&] { ds.DeleteRow(0); }), int(ErrRowOutOfRange));

    // The first row of an empty DataStore becomes current.
    QCOMPARE(ds.InsertRow(0), 1);
    QCOMPARE(ds.GetRow(), 1);
    QCOMPARE(ds.rowStatus(1), RowStatus::New);
    QVERIFY(ds.IsNull(1, "wax_in"));
    ds.SetItem(1, "scno", QStringLiteral("A"));
    QCOMPARE(ds.rowStatus(1), RowStatus::NewModified);
    QCOMPARE(ds.InsertRow(0), 2);
    ds.SetItem(2, "scno", QStringLiteral("B"));
    // Inserting before the current row keeps the same row current.
    QCOMPARE(ds.InsertRow(1), 1);
    ds.SetItem(1, "scno", QStringLiteral("C"));
    QCOMPARE(ds.GetRow(), 2);
    QCOMPARE(ds.GetItemString(2, "scno"), QStringLiteral("A"));
    QCOMPARE(hostErrorCode([&] { ds.InsertRow(5); }), int(ErrRowOutOfRange));

    // The focus hook sees (current, new) and may refuse.
    QList<std::pair<int, int>> asked;
    bool allow = false;
    ds.setRowFocusChangingHook([&](int current, int next) {
        asked.append({current, next});
        return allow;
    });
    QCOMPARE(ds.ScrollToRow(3), -1);
    QCOMPARE(ds.GetRow(), 2);
    allow = true;
    QSignalSpy current(&ds, &DataStore::currentRowChanged);
    QCOMPARE(ds.ScrollToRow(99), 1);   // clamped to the last row
    QCOMPARE(ds.GetRow(), 3);
    QCOMPARE(asked, (QList<std::pair<int, int>>{{2, 3}, {2, 3}}));
    QCOMPARE(current.count(), 1);

    // DeleteRow(0) takes the current row; new rows are not kept for Update.
    ds.DeleteRow(0);
    QCOMPARE(ds.RowCount(), 2);
    QCOMPARE(ds.GetRow(), 2);
    QCOMPARE(ds.GetItemString(2, "scno"), QStringLiteral("A"));
    QCOMPARE(ds.DeletedCount(), 0);

    ds.SelectRow(2, true);
    QVERIFY(ds.IsSelected(2) && !ds.IsSelected(1));
    QCOMPARE(ds.GetSelectedRow(0), 2);
    ds.SelectRow(0, false);
    QCOMPARE(ds.GetSelectedRow(0), 0);

    ds.Reset();
    QCOMPARE(ds.RowCount(), 0);
    QCOMPARE(ds.GetRow(), 0);
}

void TestDataStore::modifyChangesTextsAllOrNothing()
{
    DataStore ds(QStringLiteral("d_test_steps"));
    QSignalSpy texts(&ds, &DataStore::textsChanged);
    QCOMPARE(ds.objectText("t_head"), QStringLiteral("WIP报表"));
    QCOMPARE(ds.Modify(QStringLiteral("t_head.text='04-执模WIP报表'")), QString());
    QCOMPARE(ds.objectText("T_HEAD"), QStringLiteral("04-执模WIP报表"));
    QCOMPARE(texts.count(), 1);

    // Two items at once; an unknown object or attribute refuses the whole text.
    QCOMPARE(ds.Modify(QStringLiteral("t_head.text='A' t_total.text=\"B\"")), QString());
    QCOMPARE(ds.objectText("t_total"), QStringLiteral("B"));
    QVERIFY(!ds.Modify(QStringLiteral("t_head.text='C' t_nothere.text='D'")).isEmpty());
    QVERIFY(!ds.Modify(QStringLiteral("t_head.text='C' t_total.colour='1'")).isEmpty());
    QVERIFY(!ds.Modify(QStringLiteral("t_head.text='unterminated")).isEmpty());
    QCOMPARE(ds.objectText("t_head"), QStringLiteral("A"));

    ds.setObjectText(QStringLiteral("t_head"), QStringLiteral("direct"));
    QCOMPARE(ds.objectText("t_head"), QStringLiteral("direct"));
    QCOMPARE(hostErrorCode([&] { ds.setObjectText(QStringLiteral("t_nothere"), QStringLiteral("x")); }),
             int(ErrUnknownColumn));

    // A new dataobject starts from the design texts.
    ds.setDataObject(QStringLiteral("d_test_steps"));
    QCOMPARE(ds.objectText("t_head"), QStringLiteral("WIP报表"));
}

void TestDataStore::updateWritesNewModifiedAndDeletedRows()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fillProcess(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_process_input"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QStringLiteral("KC1")}), 2);
    QCOMPARE(ds.GetItemNumber(1, "c_wax"), 6.0);

    const int p1 = ds.Find(QStringLiteral("process_id = 1"), 1, 2);
    const int p2 = ds.Find(QStringLiteral("process_id = 2"), 1, 2);
    ds.SetItem(p1, "wax_out", 10.0);
    ds.SetItem(p1, "wax_date", QDateTime(QDate(2004, 3, 1), QTime(9, 30)));
    ds.DeleteRow(p2);
    const int added = ds.InsertRow(0);
    ds.SetItem(added, "scno", QStringLiteral("KC1"));
    ds.SetItem(added, "wax_in", 5.0);
    ds.InsertRow(0);   // never given a value: not inserted
    QCOMPARE(ds.DeletedCount(), 1);
    QCOMPARE(ds.ModifiedCount(), 2);

    QVERIFY(ds.Update());
    QCOMPARE(ds.DeletedCount(), 0);
    QCOMPARE(ds.ModifiedCount(), 0);
    QCOMPARE(ds.rowStatus(1), RowStatus::NotModified);

    QCOMPARE(db.rows(QStringLiteral("select process_id, wax_in, wax_out from process order by process_id")).size(), 3);
    QCOMPARE(db.scalar(QStringLiteral("select wax_out from process where process_id = 1")).toDouble(), 10.0);
    QCOMPARE(db.scalar(QStringLiteral("select wax_in from process where process_id = 1")).toDouble(), 10.0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from process where process_id = 2")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from process where scno = 'KC1' and wax_in = 5")).toInt(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from process where scno = 'KC9'")).toInt(), 1);

    // Read back: the stamped date went in as the same wall-clock time.
    QCOMPARE(ds.Retrieve({QStringLiteral("KC1")}), 2);
    QCOMPARE(ds.GetItemDateTime(ds.Find(QStringLiteral("process_id = 1"), 1, 2), "wax_date"),
             QDateTime(QDate(2004, 3, 1), QTime(9, 30)));
}

void TestDataStore::updateIsAllOrNothing()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fillProcess(db), qPrintable(db.error()));
    DataStore ds(QStringLiteral("d_test_process_input"));
    ds.SetTransObject(db.tr());
    QCOMPARE(ds.Retrieve({QStringLiteral("KC1")}), 2);

    const int p1 = ds.Find(QStringLiteral("process_id = 1"), 1, 2);
    const int p2 = ds.Find(QStringLiteral("process_id = 2"), 1, 2);
    ds.SetItem(p1, "wax_out", 9.0);
    ds.SetItem(p2, "remark", QStringLiteral("6"));
    const int added = ds.InsertRow(0);
    ds.SetItem(added, "scno", QStringLiteral("KC1"));
    // Someone else deletes record 2 meanwhile: its update matches no row.
    QVERIFY(db.exec(QStringLiteral("delete from process where process_id = 2")));

    Trace::clearCaptured();
    QVERIFY(!ds.Update());
    QVERIFY2(Trace::captured().join(QLatin1Char('\n')).contains(QLatin1String("nothing written")),
             qPrintable(Trace::captured().join(QLatin1Char('\n'))));
    QCOMPARE(db.scalar(QStringLiteral("select wax_out from process where process_id = 1")).toDouble(), 4.0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from process where scno = 'KC1'")).toInt(), 1);
    // The rows keep their states, so the user can try again.
    QCOMPARE(ds.ModifiedCount(), 3);
    QCOMPARE(ds.rowStatus(p1), RowStatus::DataModified);

    // Deleting the lost row matches nothing either: still nothing written.
    ds.DeleteRow(p2);
    QCOMPARE(ds.DeletedCount(), 1);
    QVERIFY(!ds.Update());
    QCOMPARE(db.scalar(QStringLiteral("select wax_out from process where process_id = 1")).toDouble(), 4.0);

    // Once the lost row is forgotten the rest goes through on the same transaction.
    ds.Reset();
    QCOMPARE(ds.Retrieve({QStringLiteral("KC1")}), 1);
    ds.SetItem(1, "wax_out", 9.0);
    QVERIFY(ds.Update());
    QCOMPARE(db.scalar(QStringLiteral("select wax_out from process where process_id = 1")).toDouble(), 9.0);

    DataStore readOnly(QStringLiteral("d_test_steps"));
    QCOMPARE(hostErrorCode([&] { readOnly.Update(db.tr()); }), int(ErrGeneric));
}

QTEST_GUILESS_MAIN(TestDataStore)
#include "tst_datastore.moc"
