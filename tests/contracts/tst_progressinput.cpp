#include "contractfixture.h"
#include "contracts/contractwindows.h"
#include "contracts/w_scno_process.h"
#include "database/closeddays.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/decimal.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/messageboxservice.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

using wip::test::kProcessDates;
using wip::test::kProcessQuantities;

// In a test whose _data() called addEngineRows(): this test's database `db` on the
// row's engine (the PostgreSQL row skipped when no server is configured).
#define USE_ENGINE_DATABASE()                                                                     \
    QFETCH(QString, engine);                                                                      \
    if (wip::test::engineFromName(engine) == wip::test::Engine::PostgreSQL                        \
        && !wip::test::postgresConfigured())                                                      \
        QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)"); \
    db = std::make_unique<TestDatabase>(wip::test::engineFromName(engine));                       \
    QVERIFY2(db->isValid(), qPrintable(db->error()))

// The progress record of w_scno_process: propagation of a transfer, keys, the
// reason list, adding, deleting and saving the record.
class ProgressInputTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QPointer<w_scno_process> w;
    QString rights;            // what qxpd answers for the user

    ReportControl &dw(const char *name) { return w->control<ReportControl>(QString::fromLatin1(name)); }
    ReportControl &process() { return dw("dw_process"); }
    CommandButton &button(const char *name) { return w->control<CommandButton>(QString::fromLatin1(name)); }

    // KC1 with one line and a progress record of the given quantities; KC2 with
    // one line and no record.
    void start(TestDatabase::Values record)
    {
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addContract(*db, "KC2", "PO-2"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D100", "18K", ""));
        QVERIFY(wip::test::addLine(*db, "KC1", "D101", "18K", ""));
        QVERIFY(wip::test::addLine(*db, "KC2", "D200", "18K", ""));
        if (!record.isEmpty()) {
            record.prepend({"scno", "KC1"});
            QVERIFY(db->insert("process", record));
        }
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_scno_process *>(Window::Open(QStringLiteral("w_scno_process")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_COMPARE(w->scno(), QStringLiteral("KC1"));
    }

    void moveToContract(const QString &scno)
    {
        ReportControl &h = dw("dw_sconh");
        for (int r = 1; r <= h.RowCount(); ++r)
            if (h.GetItemString(r, "scno") == scno)
                QCOMPARE(h.ScrollToRow(r), 1);
        QCOMPARE(w->scno(), scno);
    }

    void click(const char *column)
    {
        QTest::mouseClick(process().viewport(), Qt::LeftButton, {},
                          process().fieldRectInViewport(1, QString::fromLatin1(column)).center());
        QCOMPARE(process().editedColumn(), QString::fromLatin1(column));
    }

    // Types a value into a field as the user does and leaves it with Tab.
    void type(const char *column, const QString &text)
    {
        click(column);
        process().editor()->selectAll();
        QTest::keyClicks(process().editor(), text);
        QTest::keyClick(process().editor(), Qt::Key_Tab);
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerContractWindows();
        user_code() = QStringLiteral("U1");
        setQxpdFunction([this](const QString &, const QString &, const QString &) { return rights; });
    }

    void init()
    {
        rights = QStringLiteral("X08B");
        MessageBoxService::clear();
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
    }

    void cleanup()
    {
        if (w) {
            process().store().ResetUpdate();
            w->Close();
        }
        QTRY_VERIFY(w.isNull());
        db.reset();
    }

    // Typing into the grid runs the propagation (tst_progresspropagation has
    // every rule without a window).
    void transferFlowsOnAndStampsDates_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("next");         // received column that takes the value ("" none)
        QTest::addColumn<QStringList>("stamped");  // dates stamped, all with the same moment
        QTest::newRow("wax emptied") << "wax_out" << "10" << "casting_in" << QStringList{"wax_date", "casting_date"};
        QTest::newRow("wax partly") << "wax_out" << "4" << "casting_in" << QStringList{"casting_date"};
        QTest::newRow("finishing emptied") << "finishing_out" << "7" << "polishing_in"
                                           << QStringList{"finishing_date", "polishing_date"};
        QTest::newRow("a received quantity") << "filing_in" << "9" << "" << QStringList{};
    }
    void transferFlowsOnAndStampsDates()
    {
        start({{"wax_in", 10}, {"wax_out", 0}, {"casting_in", 8}, {"casting_out", 0}, {"filing_in", 6},
               {"filing_out", 0}, {"setting_in", 5}, {"setting_out", 0}, {"finishing_in", 7}, {"finishing_out", 0},
               {"polishing_in", 3}, {"polishing_out", 0}, {"rhodium_in", 0}, {"rhodium_out", 0}, {"qc_in", 4},
               {"qc_out", 0}});
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QString, next);
        QFETCH(QStringList, stamped);
        QHash<QString, QVariant> before;
        for (const QString &q : kProcessQuantities)
            before[q] = process().GetItem(1, q);

        const QDateTime from = QDateTime::currentDateTime().addSecs(-1);
        type(column.toLatin1().constData(), typed);
        const QDateTime to = QDateTime::currentDateTime().addSecs(1);

        QCOMPARE(process().GetItemNumber(1, column), typed.toDouble());
        for (const QString &q : kProcessQuantities) {
            if (q == column)
                continue;
            if (q == next)
                QCOMPARE(process().GetItemNumber(1, q), typed.toDouble());
            else
                QVERIFY2(process().GetItem(1, q) == before[q], qPrintable(q));
        }
        QDateTime moment;
        for (const QString &d : kProcessDates) {
            const QDateTime value = process().GetItemDateTime(1, d);
            if (!stamped.contains(d)) {
                QVERIFY2(process().store().IsNull(1, d), qPrintable(d));
                continue;
            }
            QVERIFY2(value >= from && value <= to, qPrintable(d + " " + value.toString(Qt::ISODate)));
            if (moment.isValid())
                QCOMPARE(value, moment);
            moment = value;
        }
    }

    void nullReceivedCountsAsNotEmptied()
    {
        start({{"wax_out", 0}});
        type("wax_out", "5");
        QCOMPARE(process().GetItemNumber(1, "casting_in"), 5.0);
        QVERIFY(process().store().IsNull(1, "wax_date"));
        QVERIFY(!process().store().IsNull(1, "casting_date"));
    }

    void enterMovesOnButNotWithShiftOrCtrl()
    {
        start({{"wax_in", 10}});
        click("wax_in");
        QTest::keyClick(process().editor(), Qt::Key_Return);
        QCOMPARE(process().editedColumn(), QStringLiteral("wax_out"));
        QTest::keyClick(process().editor(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(process().editedColumn(), QStringLiteral("casting_in"));
        QTest::keyClick(process().editor(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(process().editedColumn(), QStringLiteral("casting_in"));
        QTest::keyClick(process().editor(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(process().editedColumn(), QStringLiteral("casting_in"));
        // Enter leaves a changed field like Tab: the transfer flows on.
        click("wax_out");
        process().editor()->setText("10");
        QTest::keyClick(process().editor(), Qt::Key_Return);
        QCOMPARE(process().GetItemNumber(1, "casting_in"), 10.0);
        QVERIFY(!process().store().IsNull(1, "wax_date"));
    }

    void reasonGoesToRowOne()
    {
        start({{"wax_in", 10}});
        auto &list = w->control<DropDownListBox>("ddlb_1");
        QCOMPARE(list.TotalItems(), 9);
        QCOMPARE(list.Text(1), QStringLiteral("1-无石Stone delay"));
        QCOMPARE(list.Text(9), QStringLiteral("9-车石完成"));
        list.SetFocus();
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.text(), QStringLiteral("6-QOR报废QC Rej"));
        QCOMPARE(process().GetItemString(1, "remark"), QStringLiteral("6"));
        QCOMPARE(process().GetItemString(1, "bz"), QStringLiteral("6-QOR报废QC Rej"));

        // Moving to another contract asks about the unsaved reason; No drops it.
        MessageBoxService::clear();
        MessageBoxService::queueAnswer(2);
        moveToContract("KC2");
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QCOMPARE(MessageBoxService::shown()[0].buttons, MessageButtons::YesNoCancel);
        QCOMPARE(process().RowCount(), 0);
        QCOMPARE(db->scalar("select count(*) from process where remark is not null").toInt(), 0);
        // Without a record there is no reason to show or choose.
        QCOMPARE(list.text(), QString());
        QVERIFY(!list.isEnabled());
    }

    void addAndDeleteTheRecord()
    {
        start({});
        QCOMPARE(process().RowCount(), 0);
        QVERIFY(button("cb_scond_add").isEnabled());
        QTest::mouseClick(&button("cb_scond_add"), Qt::LeftButton);
        QCOMPARE(process().RowCount(), 1);
        QVERIFY(!button("cb_scond_add").isEnabled());
        QCOMPARE(process().GetItemString(1, "scno"), QStringLiteral("KC1"));
        for (const QString &q : kProcessQuantities.mid(0, 14))
            QCOMPARE(process().GetItem(1, q), Decimal::fromInt(0).toVariant());
        for (const char *n : {"process_id", "remark", "bz", "qc_in", "qc_out", "wax_date", "polishing_date"})
            QVERIFY2(process().store().IsNull(1, n), n);

        MessageBoxService::queueAnswer(1);
        QTest::mouseClick(&button("cb_scond_del"), Qt::LeftButton);
        QCOMPARE(process().RowCount(), 0);
        QCOMPARE(MessageBoxService::shown().size(), 1);
        MessageBoxService::clear();
        QTest::mouseClick(&button("cb_scond_del"), Qt::LeftButton);
        const auto boxes = MessageBoxService::shown();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("警告"));
        QCOMPARE(boxes[0].text, QStringLiteral("没有数据可删除!"));
        QCOMPARE(db->scalar("select count(*) from process").toInt(), 0);
    }
    void saveWritesTheRecordAndReadsItBack_data() { wip::test::addEngineRows(); }
    void saveWritesTheRecordAndReadsItBack()
    {
        USE_ENGINE_DATABASE();
        start({});
        // A new record: added, typed and saved with "更新&7".
        QTest::mouseClick(&button("cb_scond_add"), Qt::LeftButton);
        type("wax_in", "12");
        type("wax_out", "12");
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        QCOMPARE(db->scalar("select count(*) from process where scno = 'KC1'").toInt(), 1);
        QCOMPARE(db->scalar("select casting_in from process where scno = 'KC1'").toDouble(), 12.0);
        QVERIFY(!db->scalar("select wax_date from process where scno = 'KC1'").isNull());
        // Having had the focus, "更新&7" is the window's default button now.
        QVERIFY(button("cb_printpo").isDefault());
        // Read back with its key; nothing left unsaved.
        QCOMPARE(process().RowCount(), 1);
        QVERIFY(!process().store().IsNull(1, "process_id"));
        QVERIFY(!w->processModified());
        QVERIFY(!button("cb_scond_add").isEnabled());

        // A change to the saved record is written to that row.
        type("casting_out", "11");
        QVERIFY(w->processModified());
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        QCOMPARE(db->scalar("select filing_in from process where scno = 'KC1'").toDouble(), 11.0);
        QCOMPARE(db->scalar("select count(*) from process").toInt(), 1);

        // Another line of the same contract shows the saved record.
        QCOMPARE(dw("dw_scond").ScrollToRow(2), 1);
        QCOMPARE(process().GetItemNumber(1, "filing_in"), 11.0);

        // Deleted (confirmed) and saved: the row goes from the table.
        MessageBoxService::queueAnswer(1);
        QTest::mouseClick(&button("cb_scond_del"), Qt::LeftButton);
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        QCOMPARE(db->scalar("select count(*) from process").toInt(), 0);
        QVERIFY(button("cb_scond_add").isEnabled());
        const auto boxes = MessageBoxService::shown();
        QCOMPARE(boxes.size(), 4);
        QCOMPARE(boxes.last().text, QStringLiteral("保存数据成功!"));
    }

    // A save on a day a department it changes has closed: refused with the day
    // and who closed it, nothing written, the record kept as typed. 唧蜡's 转出
    // raises 倒模's received figure, so 倒模's closed day refuses it too; a
    // department the save leaves alone does not.
    void saveOnAClosedDayIsRefused_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("closed");
        QTest::addColumn<bool>("refused");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (const auto &[dept, refused] : {std::pair{"唧蜡", true}, {"倒模", true}, {"执模", false}})
                QTest::addRow("%s %s", engine, dept) << QString::fromLatin1(engine) << QString::fromUtf8(dept) << refused;
        }
    }
    void saveOnAClosedDayIsRefused()
    {
        USE_ENGINE_DATABASE();
        QFETCH(QString, closed);
        QFETCH(bool, refused);
        const QDate today = QDate::currentDate();
        QVERIFY(ClosedDays::close(db->tr(), {"BOSS", "test"}, Right::Supervisor, closed, today).done);
        start({{"wax_in", 10}, {"wax_out", 0}});
        type("wax_out", "10");
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        const auto boxes = MessageBoxService::shown();
        QCOMPARE(boxes.size(), 1);
        if (!refused) {
            QCOMPARE(boxes[0].text, QStringLiteral("保存数据成功!"));
            QCOMPARE(db->scalar("select wax_out from process").toDouble(), 10.0);
            return;
        }
        QVERIFY2(boxes[0].text.startsWith(QStringLiteral("保存数据未成功!\n合约 KC1 的进度未能保存: %1 %2 已日结 (BOSS 于")
                                              .arg(closed, today.toString(Qt::ISODate))),
                 qPrintable(boxes[0].text));
        QCOMPARE(db->scalar("select wax_out from process").toDouble(), 0.0);
        QCOMPARE(db->scalar("select count(*) from audit_log where scno = 'KC1'").toInt(), 0);
        QCOMPARE(process().GetItemNumber(1, "wax_out"), 10.0);
        QVERIFY(w->processModified());
    }

    void failedSaveKeepsWhatWasTyped_data() { wip::test::addEngineRows(); }
    void failedSaveKeepsWhatWasTyped()
    {
        USE_ENGINE_DATABASE();
        start({{"wax_in", 10}, {"wax_out", 0}});
        type("wax_out", "10");
        QVERIFY(db->exec("alter table process rename to process_away"));
        Trace::clearCaptured();
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        const auto boxes = MessageBoxService::shown();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("保存数据未成功!"));
        QCOMPARE(process().GetItemNumber(1, "wax_out"), 10.0);
        QCOMPARE(process().GetItemNumber(1, "casting_in"), 10.0);
        QVERIFY(w->processModified());

        // Once the table is back the same record saves.
        QVERIFY(db->exec("alter table process_away rename to process"));
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        QCOMPARE(db->scalar("select casting_in from process").toDouble(), 10.0);
        QVERIFY(!w->processModified());
    }

    void closingWithUnsavedChangesAsks()
    {
        start({{"wax_in", 10}, {"wax_out", 0}});
        type("wax_out", "3");
        // Cancel stays open with the typed value.
        MessageBoxService::queueAnswer(3);
        w->Close();
        QCoreApplication::processEvents();
        QVERIFY(w && w->isVisible());
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QCOMPARE(MessageBoxService::shown()[0].buttons, MessageButtons::YesNoCancel);
        QCOMPARE(process().GetItemNumber(1, "wax_out"), 3.0);
        // Yes saves and closes.
        MessageBoxService::queueAnswer(1);
        w->Close();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(db->scalar("select wax_out from process").toDouble(), 3.0);
        QCOMPARE(db->scalar("select casting_in from process").toDouble(), 3.0);
    }

    void movingToAnotherLineOffersToSave()
    {
        start({{"wax_in", 10}, {"wax_out", 0}});
        type("wax_out", "4");
        MessageBoxService::queueAnswer(1);
        QCOMPARE(dw("dw_scond").ScrollToRow(2), 1);
        QCOMPARE(db->scalar("select wax_out from process").toDouble(), 4.0);
        QCOMPARE(process().GetItemNumber(1, "wax_out"), 4.0);
        QVERIFY(!w->processModified());
    }

    // The form shows its contract and the dates it was stamped with; a contract
    // without lines or without a record leaves it cleared and read-only, so that
    // nothing typed can land in another contract's record.
    void formBelongsToTheChosenContract_data() { wip::test::addEngineRows(); }
    void formBelongsToTheChosenContract()
    {
        USE_ENGINE_DATABASE();
        QVERIFY(wip::test::addContract(*db, "KC3", "PO-3"));   // no lines
        const QDateTime afternoon(QDate(2004, 5, 20), QTime(14, 30, 0));
        start({{"wax_in", 10}, {"wax_out", 10}, {"casting_in", 10}, {"wax_date", afternoon},
               {"casting_date", afternoon}, {"polishing_date", afternoon.addDays(1)}});
        QCOMPARE(process().GetItemString(1, "scno"), QStringLiteral("KC1"));
        QCOMPARE(process().GetItemDateTime(1, "casting_date"), afternoon);
        QCOMPARE(process().GetItemDateTime(1, "polishing_date"), afternoon.addDays(1));
        // The contract number and the seven dates are on the form, and not typed into.
        for (const QString &f : QStringList{"scno"} + kProcessDates) {
            QVERIFY2(!process().fieldRectInViewport(1, f).isNull(), qPrintable(f));
            QTest::mouseClick(process().viewport(), Qt::LeftButton, {}, process().fieldRectInViewport(1, f).center());
            QVERIFY2(process().editedColumn() != f, qPrintable(f));
        }
        if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
            w->grab().save(QDir::temp().filePath("w_scno_process-progress.png"));

        // A contract without lines: nothing shown, nothing to type into or add to.
        moveToContract("KC3");
        QCOMPARE(process().RowCount(), 0);
        QVERIFY(!process().isEditable());
        QCOMPARE(process().note(), QStringLiteral("合约 KC3 没有订货明细, 没有进度资料。"));
        if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
            w->grab().save(QDir::temp().filePath("w_scno_process-nolines.png"));
        QVERIFY(!button("cb_scond_add").isEnabled());
        QVERIFY(!w->control<DropDownListBox>("ddlb_1").isEnabled());
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        QCOMPARE(db->scalar("select count(*) from process").toInt(), 1);
        QCOMPARE(db->scalar("select wax_in from process where scno = 'KC1'").toDouble(), 10.0);

        // A contract with a line and no record: read-only until one is added, for KC2.
        moveToContract("KC2");
        QCOMPARE(process().RowCount(), 0);
        QVERIFY(!process().isEditable());
        QVERIFY(button("cb_scond_add").isEnabled());
        QCOMPARE(process().note(), QStringLiteral("合约 KC2 还没有进度资料, 按「增加5」加一条。"));
        if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
            w->grab().save(QDir::temp().filePath("w_scno_process-norecord.png"));
        QTest::mouseClick(&button("cb_scond_add"), Qt::LeftButton);
        QVERIFY(process().isEditable());
        QCOMPARE(process().GetItemString(1, "scno"), QStringLiteral("KC2"));
        type("wax_in", "5");
        MessageBoxService::clear();
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("保存数据成功!"));
        QCOMPARE(db->scalar("select wax_in from process where scno = 'KC2'").toDouble(), 5.0);
        QCOMPARE(db->scalar("select wax_in from process where scno = 'KC1'").toDouble(), 10.0);
    }

    // Checked again when saving: a record that is not the chosen contract's is not written.
    void saveOfAnotherContractsRecordIsRefused_data() { wip::test::addEngineRows(); }
    void saveOfAnotherContractsRecordIsRefused()
    {
        USE_ENGINE_DATABASE();
        start({{"wax_in", 10}, {"wax_out", 0}});
        type("wax_out", "4");
        // As a script or a later change might leave it: the record names KC2 while KC1 is chosen.
        process().SetItem(1, QStringLiteral("scno"), QStringLiteral("KC2"));
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        const auto boxes = MessageBoxService::shown();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("进度资料属于合约 KC2, 不是所选合约 KC1, 没有保存!"));
        QCOMPARE(db->scalar("select wax_out from process where scno = 'KC1'").toDouble(), 0.0);
        QCOMPARE(db->scalar("select count(*) from process where scno = 'KC2'").toInt(), 0);
        QVERIFY(w->processModified());
    }

    // A user who may not save sees the record but cannot type into it, choose a
    // reason or add one; nothing is typed that would then be lost.
    void userWithoutSaveRightSeesAReadOnlyForm_data() { wip::test::addEngineRows(); }
    void userWithoutSaveRightSeesAReadOnlyForm()
    {
        USE_ENGINE_DATABASE();
        rights = QString();
        start({{"wax_in", 10}, {"wax_out", 0}, {"bz", "3-烂石stone broken"}, {"remark", "3"}});
        QCOMPARE(process().RowCount(), 1);
        QVERIFY(!process().isEditable());
        QTest::mouseClick(process().viewport(), Qt::LeftButton, {}, process().fieldRectInViewport(1, "wax_out").center());
        QVERIFY(!process().isEditing());
        QTest::keyClicks(&process(), "7");
        QCOMPARE(process().GetItemNumber(1, "wax_out"), 0.0);
        auto &list = w->control<DropDownListBox>("ddlb_1");
        QCOMPARE(list.text(), QStringLiteral("3-烂石stone broken"));   // shown, not offered
        QVERIFY(!list.isEnabled());
        QVERIFY(!w->processModified());
        // KC2 has a line and no record: still nothing to add for this user.
        moveToContract("KC2");
        QVERIFY(!button("cb_scond_add").isEnabled());
        QCOMPARE(process().note(), QStringLiteral("合约 KC2 还没有进度资料。"));
        QVERIFY(MessageBoxService::shown().isEmpty());
    }

    // "删除&6" asks as the header deletion does; "更新&7" then writes the deletion.
    void deletingTheRecordAsksFirst_data() { wip::test::addEngineRows(); }
    void deletingTheRecordAsksFirst()
    {
        USE_ENGINE_DATABASE();
        start({{"wax_in", 10}, {"wax_out", 0}});
        MessageBoxService::queueAnswer(2);
        QTest::mouseClick(&button("cb_scond_del"), Qt::LeftButton);
        auto boxes = MessageBoxService::shown();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].title, QStringLiteral("确认"));
        QCOMPARE(boxes[0].text, QStringLiteral("真的要删除此行记录吗?按是将永久删除并无法恢复!"));
        QCOMPARE(boxes[0].buttons, MessageButtons::YesNo);
        QCOMPARE(boxes[1].text, QStringLiteral("用户终止操作!"));
        QCOMPARE(process().RowCount(), 1);
        QVERIFY(!w->processModified());

        MessageBoxService::clear();
        MessageBoxService::queueAnswer(1);
        QTest::mouseClick(&button("cb_scond_del"), Qt::LeftButton);
        QCOMPARE(process().RowCount(), 0);
        QCOMPARE(process().note(), QStringLiteral("合约 KC1 的进度资料已删除, 按「更新7」保存删除。"));
        QCOMPARE(db->scalar("select count(*) from process").toInt(), 1);
        QTest::mouseClick(&button("cb_printpo"), Qt::LeftButton);
        boxes = MessageBoxService::shown();
        QCOMPARE(boxes.last().text, QStringLiteral("保存数据成功!"));
        QCOMPARE(db->scalar("select count(*) from process").toInt(), 0);
    }

    // The reason list shows the record's own reason, by its entry or its code,
    // and nothing for a record without one; showing it changes nothing.
    void reasonListShowsTheRecordsReason_data() { wip::test::addEngineRows(); }
    void reasonListShowsTheRecordsReason()
    {
        USE_ENGINE_DATABASE();
        QVERIFY(wip::test::addContract(*db, "KC3", "PO-3"));
        QVERIFY(wip::test::addLine(*db, "KC3", "D300", "9K", ""));
        QVERIFY(wip::test::addContract(*db, "KC4", "PO-4"));
        QVERIFY(wip::test::addLine(*db, "KC4", "D400", "9K", ""));
        QVERIFY(db->insert("process", {{"scno", "KC3"}, {"wax_in", 1}, {"remark", "5"}}));   // code only
        QVERIFY(db->insert("process", {{"scno", "KC4"}, {"wax_in", 1}}));                    // no reason
        start({{"wax_in", 10}, {"bz", "2-未齐石stone pending"}, {"remark", "2"}});
        auto &list = w->control<DropDownListBox>("ddlb_1");
        QCOMPARE(list.text(), QStringLiteral("2-未齐石stone pending"));
        moveToContract("KC3");
        QCOMPARE(list.text(), QStringLiteral("5-KC报废Int Rej"));
        moveToContract("KC4");
        QCOMPARE(list.text(), QString());
        moveToContract("KC2");                // no record at all
        QCOMPARE(list.text(), QString());
        moveToContract("KC1");
        QCOMPARE(list.text(), QStringLiteral("2-未齐石stone pending"));
        QVERIFY(!w->processModified());
        QVERIFY(MessageBoxService::shown().isEmpty());
    }
};

QTEST_MAIN(ProgressInputTest)
#include "tst_progressinput.moc"
