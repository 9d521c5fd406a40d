#include "contractfixture.h"
#include "contracts/contractwindows.h"
#include "contracts/w_bagticket_preview.h"
#include "contracts/w_pomatuse.h"
#include "contracts/w_scno_process.h"
#include "programoutput.h"
#include "reports/savedreport.h"
#include "reports/widgets/orderlinedetails.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/multilineedit.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

class ScnoProcessTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<QTemporaryDir> dir;
    QString pictures;
    QPointer<w_scno_process> w;
    QString rights;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw(const char *name) { return c<ReportControl>(name); }
    CommandButton &button(const char *name) { return c<CommandButton>(name); }

    // KC1 has two lines and a progress record, KC2 neither, KC3 one line and no record.
    void fill()
    {
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addContract(*db, "KC2", "PO-2"));
        QVERIFY(wip::test::addContract(*db, "KC3", "PO-3"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D100", "18K QOR", "rush order"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D200", "PT950", "two tone"));
        QVERIFY(wip::test::addLine(*db, "KC3", "D300", "9K", ""));
        QVERIFY(db->insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 0}, {"casting_in", 0},
                                       {"casting_out", 0}, {"filing_in", 6}, {"filing_out", 0}, {"setting_in", 5},
                                       {"setting_out", 0}, {"finishing_in", 7}, {"finishing_out", 0},
                                       {"polishing_in", 3}, {"polishing_out", 0}, {"rhodium_in", 0},
                                       {"rhodium_out", 0}}));
    }

    void openWindow()
    {
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_scno_process *>(Window::Open(QStringLiteral("w_scno_process")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_VERIFY(dw("dw_sconh").RowCount() > 0);
    }

    int rowOf(ReportControl &control, const QString &column, const QString &value)
    {
        for (int r = 1; r <= control.RowCount(); ++r)
            if (control.GetItemString(r, column) == value)
                return r;
        return 0;
    }

    // Types text into a field of the progress record as the user does, and leaves it with Tab.
    void type(const char *column, const QString &text)
    {
        ReportControl &p = dw("dw_process");
        QTest::mouseClick(p.viewport(), Qt::LeftButton, {}, p.fieldRectInViewport(1, column).center());
        QCOMPARE(p.editedColumn(), QString::fromLatin1(column));
        p.editor()->selectAll();
        QTest::keyClicks(p.editor(), text);
        QTest::keyClick(p.editor(), Qt::Key_Tab);
    }

    QList<ShownMessage> shown() { return MessageBoxService::shown(); }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerContractWindows();
        setQxpdFunction([this](const QString &user, const QString &module, const QString &function) {
            return user == QLatin1String("U1") && module == QLatin1String("M05") && function == QLatin1String("H06")
                ? rights
                : QString();
        });
        user_code() = QStringLiteral("U1");
    }

    void init()
    {
        rights = QStringLiteral("X08B");
        MessageBoxService::clear();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        pictures = dir->filePath("pictures");
        QVERIFY(QDir().mkpath(pictures));
        DriveMapping::instance().setFolder(QLatin1Char('P'), pictures);
        DriveMapping::instance().setWorkingFolder(dir->path());
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
    }

    void cleanup()
    {
        if (w) {
            // Nothing left to save: the closing question is not part of these tests.
            w->control<ReportControl>("dw_process").store().ResetUpdate();
            w->Close();
        }
        QTRY_VERIFY(w.isNull());
        for (const char *name : {"w_pomatuse", "w_scno_process_search"})
            if (Window *other = Window::findLatest(QString::fromLatin1(name)))
                other->Close();
        db.reset();
        DriveMapping::instance().resetFolders();
        DriveMapping::instance().setWorkingFolder(QString());
    }

    void rightsDecideTheProgressButtons_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("update");
        QTest::addColumn<bool>("del");
        QTest::addColumn<QString>("flags");   // add, edit, delete
        QTest::newRow("add") << "X02B" << true << true << false << "100";
        QTest::newRow("edit") << "X03B" << false << true << false << "010";
        QTest::newRow("delete") << "X04B" << false << true << true << "001";
        QTest::newRow("all by 08") << " X08B " << true << true << true << "111";
        QTest::newRow("all by A whatever else") << "Q04A" << true << true << true << "111";
        QTest::newRow("add and edit") << "X23B" << true << true << false << "110";
        QTest::newRow("add and delete") << "X24B" << true << true << true << "101";
        QTest::newRow("edit and delete") << "X34B" << false << true << true << "011";
        QTest::newRow("digits reversed") << "X32B" << false << false << false << "000";
        QTest::newRow("other code") << "X05B" << false << false << false << "000";
        QTest::newRow("code read at 2 and 3") << "02B" << false << false << false << "000";
        QTest::newRow("lower case") << "X02b" << false << false << false << "000";
        QTest::newRow("no rights") << QString() << false << false << false << "000";
    }
    void rightsDecideTheProgressButtons()
    {
        QFETCH(QString, text);
        rights = text;
        // A contract with a line and no progress record: the add button follows the rights alone.
        QVERIFY(wip::test::addContract(*db, "KC2", "PO-2"));
        QVERIFY(wip::test::addLine(*db, "KC2", "D100", "18K", ""));
        openWindow();
        QFETCH(bool, add);
        QFETCH(bool, update);
        QFETCH(bool, del);
        QFETCH(QString, flags);
        QCOMPARE(button("cb_scond_add").isEnabled(), add);
        QCOMPARE(button("cb_printpo").isEnabled(), update);
        QCOMPARE(button("cb_scond_del").isEnabled(), del);
        QCOMPARE(QString::number(w->flagAdd()) + QString::number(w->flagEdit()) + QString::number(w->flagDel()), flags);
        // The contract forms follow the same rights: a new contract needs the
        // add right, the chosen contract's form any of them; deleting a header
        // (which would leave its lines behind) stays closed.
        QCOMPARE(button("cb_sconh_add").isEnabled(), add);
        QCOMPARE(button("cb_sconh_edit").isEnabled(), flags != QLatin1String("000"));
        QVERIFY(!button("cb_sconh_del").isEnabled());
        QVERIFY(button("cb_pomat").isEnabled());
        QCOMPARE(button("cb_printpo").text(), QStringLiteral("更新&7"));
    }

    void linesShowHallmarkRemarksAndProgress()
    {
        fill();
        openWindow();
        // The first contract and its first line are shown on opening.
        QCOMPARE(w->scno(), QStringLiteral("KC1"));
        QCOMPARE(w->lineCount(), 2);
        QCOMPARE(w->designNo(), QStringLiteral("D100"));
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("18K QOR"));
        QCOMPARE(c<MultiLineEdit>("mle_remarks").text(), QStringLiteral("rush order"));
        QCOMPARE(dw("dw_process").RowCount(), 1);
        QVERIFY(!button("cb_scond_add").isEnabled());
        if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
            w->grab().save(QDir::temp().filePath("w_scno_process.png"));

        QCOMPARE(dw("dw_scond").ScrollToRow(2), 1);
        QCOMPARE(w->scondCurrentRow(), 2);
        QCOMPARE(w->designNo(), QStringLiteral("D200"));
        QCOMPARE(w->scondId(), db->scalar("select scond_id from scond where design_no = 'D200'").toLongLong());
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("PT950"));
        QCOMPARE(c<MultiLineEdit>("mle_remarks").text(), QStringLiteral("two tone"));
        QVERIFY(dw("dw_scond").IsSelected(2));
        QVERIFY(!dw("dw_scond").IsSelected(1));

        // KC3: one line, no progress record yet, so it may be added.
        QCOMPARE(dw("dw_sconh").ScrollToRow(rowOf(dw("dw_sconh"), "scno", "KC3")), 1);
        QCOMPARE(w->scno(), QStringLiteral("KC3"));
        QCOMPARE(w->designNo(), QStringLiteral("D300"));
        QCOMPARE(dw("dw_process").RowCount(), 0);
        QVERIFY(button("cb_scond_add").isEnabled());
    }

    void contractWithoutLinesBlanksTheLineAndTheProgress()
    {
        fill();
        QVERIFY(wip::test::writeFile(pictures + "/D100.bmp", wip::test::bitmapOfSize(500, Qt::red)));
        openWindow();
        QVERIFY(c<Picture>("p_stylepic").visible());
        QCOMPARE(dw("dw_process").GetItemString(1, "scno"), QStringLiteral("KC1"));
        QCOMPARE(dw("dw_sconh").ScrollToRow(rowOf(dw("dw_sconh"), "scno", "KC2")), 1);
        QCOMPARE(w->scno(), QStringLiteral("KC2"));
        QCOMPARE(dw("dw_scond").RowCount(), 0);
        QCOMPARE(w->lineCount(), 0);
        QCOMPARE(w->scondId(), -1LL);
        QCOMPARE(w->designNo(), QString());
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QString());
        QCOMPARE(c<MultiLineEdit>("mle_remarks").text(), QString());
        QVERIFY(!c<Picture>("p_stylepic").visible());
        // No line, so no progress record: KC1's record is not left on screen under KC2.
        QCOMPARE(dw("dw_process").RowCount(), 0);
        QVERIFY(!dw("dw_process").isEditable());
        QVERIFY(!button("cb_scond_add").isEnabled());
        QVERIFY(dw("dw_sconh").IsSelected(dw("dw_sconh").GetRow()));
        QCOMPARE(w->sconhCurrentRow(), dw("dw_sconh").GetRow());
    }

    void stylePictureIsReadWhole_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("reads");
        QTest::newRow("one chunk exactly") << 32765 << 1;
        QTest::newRow("one byte over") << 32766 << 2;
        QTest::newRow("two chunks exactly") << 65530 << 2;
        QTest::newRow("small") << 300 << 1;
        QTest::newRow("three chunks") << 65531 << 3;
    }
    void stylePictureIsReadWhole()
    {
        QFETCH(int, size);
        QFETCH(int, reads);
        QCOMPARE(reports::OrderLineDetails::chunkCount(size), reads);
        fill();
        const QByteArray design = wip::test::bitmapOfSize(size, Qt::blue);
        QCOMPARE(design.size(), size);
        QVERIFY(wip::test::writeFile(pictures + "/D100.bmp", design));
        QVERIFY(wip::test::writeFile(dir->filePath("ZAN.BMP"), wip::test::bitmapOfSize(400, Qt::green)));
        openWindow();
        QCOMPARE(w->designNo(), QStringLiteral("D100"));
        QVERIFY(w->lastPictureBytes().has_value());
        QCOMPARE(w->lastPictureBytes()->size(), size);
        QCOMPARE(*w->lastPictureBytes(), design);
        QVERIFY(c<Picture>("p_stylepic").visible());
        QVERIFY(c<Picture>("p_stylepic").hasPicture());
    }

    void missingEmptyOrUnsafeDesignShowsTheDefaultPicture()
    {
        fill();
        QVERIFY(wip::test::addLine(*db, "KC3", "../secret", "", ""));
        const QByteArray fallback = wip::test::bitmapOfSize(32766, Qt::green);
        QVERIFY(wip::test::writeFile(dir->filePath("ZAN.BMP"), fallback));
        QVERIFY(wip::test::writeFile(pictures + "/D100.bmp", QByteArray()));   // empty file
        // D200 has no file; "../secret" names a real file outside the picture folder.
        QVERIFY(wip::test::writeFile(dir->filePath("secret.bmp"), wip::test::bitmapOfSize(600, Qt::red)));
        openWindow();
        QCOMPARE(w->designNo(), QStringLiteral("D100"));
        QCOMPARE(w->lastPictureBytes().value_or(QByteArray()), fallback);
        QVERIFY(c<Picture>("p_stylepic").visible());
        dw("dw_scond").ScrollToRow(2);
        QCOMPARE(w->designNo(), QStringLiteral("D200"));
        QCOMPARE(w->lastPictureBytes().value_or(QByteArray()), fallback);

        dw("dw_sconh").ScrollToRow(rowOf(dw("dw_sconh"), "scno", "KC3"));
        dw("dw_scond").ScrollToRow(rowOf(dw("dw_scond"), "design_no", "../secret"));
        QCOMPARE(w->designNo(), QStringLiteral("../secret"));
        QCOMPARE(w->lastPictureBytes().value_or(QByteArray()), fallback);

        // Without the default picture there is nothing to show.
        QVERIFY(QFile::remove(dir->filePath("ZAN.BMP")));
        dw("dw_scond").ScrollToRow(1);
        QVERIFY(!w->lastPictureBytes().has_value());
        QVERIFY(!c<Picture>("p_stylepic").visible());
    }

    void headerDeletionAsksAndReports_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("goneBefore");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("headersAfter");
        QTest::addColumn<QString>("engine");
        for (const char *engine : {"sqlite", "postgresql"}) {
            const QString e = QString::fromLatin1(engine);
            QTest::newRow(qPrintable("yes " + e)) << 1 << false << "恭喜" << "删除数据成功!" << 2 << e;
            QTest::newRow(qPrintable("no " + e)) << 2 << false << "信息" << "用户终止操作!" << 3 << e;
            QTest::newRow(qPrintable("yes, contract already gone " + e))
                << 1 << true << "信息" << "删除数据未成功!" << 2 << e;
        }
    }
    void headerDeletionAsksAndReports()
    {
        WIP_TEST_DATABASE(engineDb);
        db = std::make_unique<TestDatabase>(engineDb.engine());
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        fill();
        openWindow();
        QFETCH(int, answer);
        QFETCH(bool, goneBefore);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(int, headersAfter);
        QCOMPARE(w->scno(), QStringLiteral("KC1"));
        if (goneBefore)
            QVERIFY(db->exec("delete from sconh where scno = 'KC1'"));
        MessageBoxService::queueAnswer(answer);
        // The button is disabled in this window; its click handler runs all the same.
        QCOMPARE(button("cb_sconh_del").TriggerEvent(), 1);
        const auto boxes = shown();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].title, QStringLiteral("确认"));
        QCOMPARE(boxes[0].text, QStringLiteral("真的要删除此行记录吗?按是将永久删除并无法恢复!"));
        QCOMPARE(boxes[0].buttons, MessageButtons::YesNo);
        QCOMPARE(boxes[0].icon, MessageIcon::Question);
        QCOMPARE(boxes[1].title, title);
        QCOMPARE(boxes[1].text, text);
        QCOMPARE(db->scalar("select count(*) from sconh").toInt(), headersAfter);
        QCOMPARE(dw("dw_sconh").RowCount(), headersAfter);
        // Lines and progress of the contract are left alone.
        QCOMPARE(db->scalar("select count(*) from scond where scno = 'KC1'").toInt(), 2);
        QCOMPARE(db->scalar("select count(*) from process where scno = 'KC1'").toInt(), 1);
    }

    void materialsButtonOpensMaterialUseOfTheContract()
    {
        fill();
        QVERIFY(db->insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
        QVERIFY(db->insert("material", {{"mcode", "DIA"}, {"mtype", "STONE"}}));
        // Grams and pieces of metal, stones and carats: each unit in a column of its own.
        QVERIFY(db->insert("matuse", {{"scno", "KC1"}, {"gongxu_code", "04-执模"}, {"mcode", "18KY"},
                                      {"sqtycal", 12.5}, {"sqtyref", 5}}));
        QVERIFY(db->insert("matuse", {{"scno", "KC1"}, {"gongxu_code", "06-镶石"}, {"mcode", "DIA"},
                                      {"sqtycal", 40}, {"sqtyref", 0.4}}));
        QVERIFY(db->insert("matuse", {{"scno", "KC2"}, {"gongxu_code", "04-执模"}, {"mcode", "18KY"},
                                      {"sqtycal", 9}, {"sqtyref", 9}}));
        openWindow();
        QTest::keyClick(w, Qt::Key_4, Qt::AltModifier);
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_pomatuse")));
        auto *m = qobject_cast<w_pomatuse *>(Window::findLatest(QStringLiteral("w_pomatuse")));
        QVERIFY(m);
        QTRY_COMPARE(m->scno(), QStringLiteral("KC1"));
        ReportControl &use = m->control<ReportControl>("dw_pomatuse");
        QCOMPARE(use.RowCount(), 2);
        QCOMPARE(use.GetItemString(1, "mtype"), QStringLiteral("GOLD"));
        QStringList captions;
        for (const auto &c : use.store().columns())
            captions << c.caption.join(QLatin1Char(' '));
        for (const char *unit : {"金重(克) Metal g", "件数 PCS", "石数(粒) Stones", "石重(卡) Carat"})
            QVERIFY2(captions.contains(QString::fromUtf8(unit)), unit);
        QCOMPARE(use.GetItemNumber(1, "metal_g"), 12.5);
        QVERIFY(use.store().IsNull(1, "stone_qty"));
        QCOMPARE(use.GetItemNumber(2, "stone_qty"), 40.0);
        QVERIFY(use.store().IsNull(2, "metal_g"));
        // Totals apart: 12.5 g and 5 pieces of metal at filing, 40 stones of 0.4
        // carat; the pieces per step only, as the same pieces pass every step.
        QCOMPARE(use.GetItemNumber(1, "c_g1_metal_g"), 12.5);
        QCOMPARE(use.GetItemNumber(1, "c_g1_metal_pcs"), 5.0);
        QCOMPARE(use.GetItemNumber(1, "c_sum_metal_g"), 12.5);
        QCOMPARE(use.GetItemNumber(1, "c_sum_stone_qty"), 40.0);
        QCOMPARE(use.GetItemNumber(1, "c_sum_stone_ct"), 0.4);
        QVERIFY(!use.store().definition().computedField(QStringLiteral("c_sum_metal_pcs")));
    }

    // 打印袋卡 previews a ticket per line of the chosen contract, which prints
    // and saves as PDF; a contract without lines is said so before anything is
    // asked. 变更记录 previews that contract's change record, newest first.
    void ticketsAndChangeRecordOfTheChosenContract()
    {
        fill();
        QVERIFY(db->insert("audit_log", {{"changed_at", QDateTime(QDate(2004, 6, 1), QTime(9, 0))}, {"user_code", "U1"},
                                         {"source", "w_scno_process"}, {"scno", "KC1"}, {"field", "wax_in"},
                                         {"old_value", "0"}, {"new_value", "10"}}));
        QVERIFY(db->insert("audit_log", {{"changed_at", QDateTime(QDate(2004, 6, 2), QTime(9, 0))}, {"user_code", "U2"},
                                         {"source", "wip scan"}, {"scno", "KC1"}, {"field", "wax_out"},
                                         {"old_value", "0"}, {"new_value", "5"}}));
        QVERIFY(db->insert("audit_log", {{"changed_at", QDateTime(QDate(2004, 6, 3), QTime(9, 0))}, {"user_code", "U1"},
                                         {"source", "w_sconh_edit"}, {"scno", "KC3"}, {"field", "cust_order"}}));
        openWindow();
        QCOMPARE(w->scno(), QStringLiteral("KC1"));
        SaveFileService::setScripted(true);
        SaveFileService::clear();
        FileOpener::setScripted(true);
        FileOpener::clear();
        QCOMPARE(button("cb_tickets").TriggerEvent(), 1);
        QPointer<w_bagticket_preview> preview = qobject_cast<w_bagticket_preview *>(
            Window::findLatest(QStringLiteral("w_bagticket_preview")));
        QVERIFY(preview);
        QVERIFY(QTest::qWaitForWindowExposed(preview));
        QTRY_COMPARE(preview->tickets().size(), 2);
        QCOMPARE(preview->pageCount(), 1);
        QVERIFY(preview->windowTitle().contains("KC1"));
        QVERIFY(SaveFileService::asked().isEmpty());   // a preview asks nothing
        if (const QByteArray shots = qgetenv("WIP_TEST_SCREENSHOTS"); !shots.isEmpty())
            preview->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/w_bagticket_preview.png"));

        // Printed: the printer gets the same page.
        const QString printed = dir->filePath("printed.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        QVERIFY(preview->printTo(printer));
        QCOMPARE(wip::test::pdfPageCount(printed), 1);
        // Saved as PDF where the clerk says (the exports folder at first); the foot says where.
        const QString pdf = dir->filePath("KC1-tickets.pdf");
        SaveFileService::queueAnswer(pdf);
        QCOMPARE(preview->control<CommandButton>("cb_pdf").TriggerEvent(), 1);
        QCOMPARE(SaveFileService::asked().size(), 1);
        QVERIFY(SaveFileService::asked().first().suggested.endsWith(".pdf"));
        for (const QString &file : {printed, pdf}) {
            const QString text = wip::test::programOutput("pdftotext", {file, "-"});
            QVERIFY2(text.contains("KC1-1") && text.contains("KC1-2") && !text.contains("KC1-3"), qPrintable(text));
        }
        QCOMPARE(wip::test::pdfPageCount(pdf), 1);
        QVERIFY(preview->control<StaticText>("st_saved").text().contains(QDir::toNativeSeparators(pdf)));
        // Without a program for PDF the clerk is told where the file is.
        FileOpener::setScripted(false);   // and no desktop opener: nothing opens the file
        MessageBoxService::clear();
        QCOMPARE(preview->control<CommandButton>("cb_open").TriggerEvent(), 1);
        QCOMPARE(shown().size(), 1);
        QVERIFY2(shown().last().text.contains(QDir::toNativeSeparators(pdf)), qPrintable(shown().last().text));
        FileOpener::setScripted(true);
        preview->Close();
        QTRY_VERIFY(preview.isNull());

        button("cb_audit").TriggerEvent();
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_preview")));
        Window::findLatest(QStringLiteral("w_preview"))->Close();
        const auto saved = reports::SavedReport::read(QStringLiteral("temp.psr"));
        QVERIFY(saved);
        QStringList rows;
        for (int r = 1; r <= saved->rowCount(); ++r)
            rows << saved->item(r, "user_code").toString() + " " + saved->item(r, "field").toString();
        QCOMPARE(rows, (QStringList{"U2 唧蜡 转出", "U1 唧蜡 接收"}));

        // A contract without lines: said at once, no preview, nothing asked.
        QCOMPARE(dw("dw_sconh").ScrollToRow(rowOf(dw("dw_sconh"), "scno", "KC2")), 1);
        QCOMPARE(w->scno(), QStringLiteral("KC2"));
        MessageBoxService::clear();
        SaveFileService::clear();
        QCOMPARE(button("cb_tickets").TriggerEvent(), 1);
        QCOMPARE(shown().size(), 1);
        QVERIFY(shown().last().text.contains("KC2"));
        QVERIFY(!Window::findLatest(QStringLiteral("w_bagticket_preview")));
        QVERIFY(SaveFileService::asked().isEmpty());
    }
};

QTEST_MAIN(ScnoProcessTest)
#include "tst_scnoprocess.moc"
