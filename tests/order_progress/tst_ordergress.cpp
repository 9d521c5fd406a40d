#include "order_progress/date_str.h"
#include "order_progress/orderprogresswindows.h"
#include "order_progress/w_ordergress.h"
#include "order_progress/w_ordergress_detail.h"
#include "reports/widgets/argumentdialog.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/drivemapping.h"
#include "runtime/stringarray.h"
#include "runtime/widgets/checkbox.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/inputpromptservice.h"
#include "runtime/widgets/listbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/multilineedit.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"
#include "testdatabase.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

QVariant daysAgo(int n) { return QDateTime(QDate::currentDate().addDays(-n), QTime(0, 0)); }

// A real bitmap padded with zeros to exactly size bytes (readers ignore the tail).
QByteArray bitmapOfSize(int size)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Contracts around the default range (the last seven days):
//   KC1 QOR  not invoiced (NULL)  3 days ago, two lines, progress remark 1 (twice)
//   KC2 ABC  not invoiced ('')    today, no lines, remark 3
//   KC3 QOR  invoiced             1 day ago, remark 1      never listed
//   KC4 QOR  not invoiced         7 days ago               outside the range
//   KC5 ''   not invoiced         2 days ago, remark 1     the customer ''
void fillContracts(TestDatabase &db)
{
    struct { const char *scno, *cust; QVariant inv; int ago; } rows[] = {
        {"KC1", "QOR", QVariant(), 3}, {"KC2", "ABC", QString(""), 0}, {"KC3", "QOR", QString("INV9"), 1},
        {"KC4", "QOR", QVariant(), 7}, {"KC5", "", QVariant(), 2}};
    int id = 1;
    for (const auto &r : rows)
        QVERIFY(db.insert("sconh", {{"sconh_id", id++}, {"scno", r.scno}, {"cust_no", r.cust},
                                    {"cust_order", QString(QStringLiteral("PO-") + QLatin1String(r.scno))}, {"issdate", daysAgo(30)},
                                    {"deldate", daysAgo(r.ago)}, {"inv_no", r.inv}, {"take", 0}}));
    for (const auto &[scno, remark] : {std::pair{"KC1", "1"}, {"KC1", "1"}, {"KC2", "3"}, {"KC3", "1"}, {"KC5", "1"}})
        QVERIFY(db.insert("process", {{"scno", scno}, {"remark", remark}}));
    QVERIFY(db.insert("scond", {{"scond_id", 11}, {"scno", "KC1"}, {"design_no", "D1"}, {"quantity", 5},
                                {"hallmark", "QOR 18K"}, {"remarks", QString::fromUtf8("急单\n加厚")}}));
    QVERIFY(db.insert("scond", {{"scond_id", 12}, {"scno", "KC1"}, {"design_no", "D2"}, {"quantity", 3},
                                {"hallmark", "PT950"}, {"remarks", ""}}));
}

} // namespace

class OrdergressTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QTemporaryDir work;
    QPointer<w_ordergress> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &sconh() { return c<ReportControl>("dw_sconh"); }
    ReportControl &scond() { return c<ReportControl>("dw_scond"); }

    QStringList listed()
    {
        QStringList out;
        for (int r = 1; r <= sconh().RowCount(); ++r)
            out << sconh().GetItemString(r, QStringLiteral("scno"));
        return out;
    }
    QStringList listItems()
    {
        auto &lb = c<ListBox>("lb_scnoitem");
        QStringList out;
        for (int i = 1; i <= lb.TotalItems(); ++i)
            out << lb.Text(i);
        return out;
    }
    void setCustomer(bool checked, const QString &text = QString())
    {
        auto &box = c<CheckBox>("cbx_cust");
        if (box.checked() != checked)
            QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
        QCOMPARE(box.checked(), checked);
        if (!text.isNull()) {
            auto &sle = c<SingleLineEdit>("sle_custno");
            sle.setEnabled(true);
            sle.setText(text);
            sle.setEnabled(checked);
        }
    }

    w_ordergress_detail *openDetail()
    {
        c<CommandButton>("cb_1").TriggerEvent();
        QCoreApplication::processEvents();
        return qobject_cast<w_ordergress_detail *>(Window::findLatest(QStringLiteral("w_ordergress_detail")));
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        InputPromptService::setScripted(true);
        reports::installArgumentPrompter();
        QVERIFY(work.isValid());
        QDir::setCurrent(work.path());
        QVERIFY(QDir(work.path()).mkpath(QStringLiteral("pics")));
        DriveMapping::instance().setFolder(QLatin1Char('P'), work.filePath(QStringLiteral("pics")));
        DriveMapping::instance().setWorkingFolder(work.path());
        registerOrderProgressWindows();
    }

    void init()
    {
        InputPromptService::clear();
        scno_sel().clear();
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        fillContracts(*db);
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_ordergress *>(Window::Open(QStringLiteral("w_ordergress")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_COMPARE(QApplication::focusWidget(), &c<EditMask>("em_deldate1"));
    }

    void cleanup()
    {
        if (auto *d = Window::findLatest(QStringLiteral("w_ordergress_detail")))
            d->Close();
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        QTRY_VERIFY(!Window::findLatest(QStringLiteral("w_ordergress_detail")));
        db.reset();
        QFile::remove(work.filePath(QStringLiteral("ZAN.BMP")));
    }

    void opensOnTheLastSevenDaysAndEnterListsTheOpenContracts()
    {
        QCOMPARE(c<EditMask>("em_deldate1").text(),
                 QDate::currentDate().addDays(-6).toString(QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(c<EditMask>("em_deldate2").text(), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        QVERIFY(!c<SingleLineEdit>("sle_custno").isEnabled());
        QCOMPARE(sconh().dataobject(), QString());
        QCOMPARE(c<ListBox>("lb_scnoitem").TotalItems(), 0);

        // Enter presses "未出货": KC3 is invoiced, KC4 lies before the range.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(sconh().dataobject(), QStringLiteral("d_w_scprogress"));
        QStringList rows = listed();
        rows.sort();
        QCOMPARE(rows, (QStringList{"KC1", "KC2", "KC5"}));
        QCOMPARE(listItems(), listed());
        QCOMPARE(sconh().GetItemNumber(1, QStringLiteral("compute_1")), 3.0);
        QVERIFY(InputPromptService::asked().isEmpty());
    }

    void bothFillButtonsListOnlyContractsWithoutInvoice_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("全部") << QStringLiteral("cb_3");
        QTest::newRow("未出货") << QStringLiteral("cb_2");
    }
    void bothFillButtonsListOnlyContractsWithoutInvoice()
    {
        QFETCH(QString, button);
        c<EditMask>("em_deldate1").setText(QDate::currentDate().addDays(-10).toString(QStringLiteral("yyyy-MM-dd")));
        w->control<CommandButton>(button).TriggerEvent();
        QStringList rows = listed();
        rows.sort();
        QCOMPARE(rows, (QStringList{"KC1", "KC2", "KC4", "KC5"}));   // never KC3 (INV9)
    }

    // The two list definitions on each engine: dates bind as days, '' and NULL
    // invoice numbers both count as open, DISTINCT over the progress rows.
    void contractListsOnEachEngine_data() { test::addEngineRows(); }
    void contractListsOnEachEngine()
    {
        w->Close();
        QTRY_VERIFY(w.isNull());
        db.reset();
        WIP_TEST_DATABASE(other);
        fillContracts(other);
        QVERIFY(other.useAsApplicationDatabase());
        w = qobject_cast<w_ordergress *>(Window::Open(QStringLiteral("w_ordergress")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_COMPARE(QApplication::focusWidget(), &c<EditMask>("em_deldate1"));

        c<CommandButton>("cb_3").TriggerEvent();
        QStringList rows = listed();
        rows.sort();
        QCOMPARE(rows, (QStringList{"KC1", "KC2", "KC5"}));
        setCustomer(true, QStringLiteral("QOR"));
        InputPromptService::queueAnswer(QStringLiteral("1"));
        c<CommandButton>("cb_2").TriggerEvent();
        QCOMPARE(listed(), QStringList{"KC1"});
        QCOMPARE(sconh().GetItemNumber(1, QStringLiteral("compute_1")), 1.0);
        QCOMPARE(w->lineCount(), 2);
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("QOR 18K"));
        w->Close();
        QTRY_VERIFY(w.isNull());
    }

    void customerBoxCountsOnlyWhenChecked()
    {
        // Unchecked: the text in the box is ignored and no remark is asked.
        setCustomer(false, QStringLiteral("ABC"));
        c<CommandButton>("cb_3").TriggerEvent();
        QCOMPARE(sconh().dataobject(), QStringLiteral("d_w_scprogress"));
        QCOMPARE(listed().size(), 3);

        // Checked: enabled with the focus, typed text in upper case; the reason is
        // asked with "all" and the nine reasons, and a chosen reason binds its code.
        setCustomer(true);
        QVERIFY(c<SingleLineEdit>("sle_custno").isEnabled());
        QCOMPARE(QApplication::focusWidget(), &c<SingleLineEdit>("sle_custno"));
        c<SingleLineEdit>("sle_custno").clear();
        QTest::keyClicks(&c<SingleLineEdit>("sle_custno"), QStringLiteral("qor"));
        QCOMPARE(c<SingleLineEdit>("sle_custno").text(), QStringLiteral("QOR"));
        InputPromptService::queueAnswer(QStringLiteral("1-无石Stone delay"));
        c<CommandButton>("cb_2").TriggerEvent();
        QCOMPARE(sconh().dataobject(), QStringLiteral("d_w_scprogress2"));
        QCOMPARE(listed(), QStringList{"KC1"});            // once, though two progress rows say 1
        QCOMPARE(sconh().GetItemString(1, QStringLiteral("process_remark")), QStringLiteral("1"));
        const QList<AskedValue> asked = InputPromptService::asked();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().choices.size(), 10);
        QCOMPARE(asked.first().choices.first(), QStringLiteral("全部 All reasons"));
        QCOMPARE(asked.first().choices.mid(1, 9),
                 (QStringList{"1-无石Stone delay", "2-未齐石stone pending", "3-烂石stone broken",
                              "4-迟上金gold delay", "5-KC报废Int Rej", "6-QOR报废QC Rej", "7-接单迟Issue Delay",
                              "8-发出车石", "9-车石完成"}));

        // Checked and empty: contracts of customer '' (KC5), a typed code as it is.
        c<SingleLineEdit>("sle_custno").clear();
        InputPromptService::queueAnswer(QStringLiteral("1"));
        c<CommandButton>("cb_3").TriggerEvent();
        QCOMPARE(listed(), QStringList{"KC5"});
        // ... and where there is none, the list says why it is empty.
        InputPromptService::queueAnswer(QStringLiteral("7"));
        c<CommandButton>("cb_3").TriggerEvent();
        QCOMPARE(sconh().RowCount(), 0);
        QCOMPARE(sconh().note(), QStringLiteral("没有找到合约: 客户编号是空的, 请输入客户编号, 或不选「客户」。"));
        InputPromptService::queueAnswer(QStringLiteral("1"));
        c<CommandButton>("cb_3").TriggerEvent();
        QCOMPARE(listed(), QStringList{"KC5"});

        // Unchecking disables the box but keeps its text.
        c<SingleLineEdit>("sle_custno").setText(QStringLiteral("ABC"));
        setCustomer(false);
        QVERIFY(!c<SingleLineEdit>("sle_custno").isEnabled());
        QCOMPARE(c<SingleLineEdit>("sle_custno").text(), QStringLiteral("ABC"));

        // Cancelling the reason leaves the list as it was (KC5 of customer ''), and says why.
        setCustomer(true);
        c<CommandButton>("cb_3").TriggerEvent();
        QCOMPARE(listed(), QStringList{"KC5"});
        QCOMPARE(listItems(), QStringList{"KC5"});
        QVERIFY(c<StaticText>("st_note").text().contains(QStringLiteral("没有改变")));
    }

    // Customer Z's open contracts carry reasons 1, 3 and 7, one has no progress
    // record, one is invoiced: "all" lists the four open ones whatever their reason.
    void allReasonsOrOne_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("contracts");
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("note");       // why the list is empty ("" when it is not)
        QTest::newRow("all") << "全部 All reasons" << QStringList{"Z1", "Z3", "Z7", "Z9"} << "d_w_scprogress2_all"
                             << "Z" << "";
        QTest::newRow("one reason") << "3-烂石stone broken" << QStringList{"Z3"} << "d_w_scprogress2" << "Z" << "";
        QTest::newRow("typed code") << " 7 " << QStringList{"Z7"} << "d_w_scprogress2" << "Z" << "";
        QTest::newRow("reason nobody has") << "2-未齐石stone pending" << QStringList{} << "d_w_scprogress2" << "Z"
                                           << "客户 Z 没有货期在 %1 至 %2 之间、进度原因是「2-未齐石stone pending」的未出货合约。";
        QTest::newRow("all, customer without contracts") << "全部 All reasons" << QStringList{} << "d_w_scprogress2_all"
                                                         << "Y" << "客户 Y 没有货期在 %1 至 %2 之间的未出货合约。";
    }
    void allReasonsOrOne()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, contracts);
        QFETCH(QString, definition);
        QFETCH(QString, customer);
        QFETCH(QString, note);
        int id = 100;
        for (const auto &[scno, inv, remark] : {std::tuple{"Z1", "", "1"}, {"Z3", "", "3"}, {"Z7", "", "7"},
                                                {"Z9", "", ""}, {"Z5", "INV5", "3"}}) {
            QVERIFY(db->insert("sconh", {{"sconh_id", ++id}, {"scno", scno}, {"cust_no", "Z"}, {"cust_order", "PO"},
                                         {"deldate", daysAgo(1)}, {"inv_no", QString::fromLatin1(inv)}}));
            if (*remark)
                QVERIFY(db->insert("process", {{"scno", scno}, {"remark", remark}}));
        }
        setCustomer(true, customer);
        InputPromptService::queueAnswer(answer);
        c<CommandButton>("cb_2").TriggerEvent();
        QCOMPARE(sconh().dataobject(), definition);
        QStringList rows = listed();
        rows.sort();
        QCOMPARE(rows, contracts);
        if (!note.isEmpty())
            note = QStringLiteral("没有找到合约: ")
                   + note.arg(c<EditMask>("em_deldate1").text(), c<EditMask>("em_deldate2").text());
        QCOMPARE(sconh().note(), note);
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty() && !note.isEmpty())
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_ordergress-nothing-%1.png").arg(customer));
        QCOMPARE(listItems(), listed());
        QVERIFY(c<StaticText>("st_note").text().isEmpty());

        // Asked again, the last choice is offered first; a cancel keeps the list.
        c<CommandButton>("cb_3").TriggerEvent();
        const QList<AskedValue> asked = InputPromptService::asked();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.at(0).current, QStringLiteral("全部 All reasons"));
        QCOMPARE(asked.at(1).current, answer.trimmed());
        rows = listed();
        rows.sort();
        QCOMPARE(rows, contracts);
        QCOMPARE(sconh().dataobject(), definition);
        QVERIFY(!c<StaticText>("st_note").text().isEmpty());
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_ordergress_reasons.png"));
    }

    void eachFillRebuildsTheListAndDropsTicks()
    {
        c<CommandButton>("cb_2").TriggerEvent();
        auto &lb = c<ListBox>("lb_scnoitem");
        QCOMPARE(lb.TotalItems(), 3);
        lb.SetState(1, true);
        lb.SetState(3, true);
        c<CommandButton>("cb_3").TriggerEvent();
        QCOMPARE(lb.TotalItems(), 3);                     // not appended to the old items
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(lb.State(i), 0);
        // A narrower range: the list follows the rows.
        c<EditMask>("em_deldate1").setText(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        c<CommandButton>("cb_3").TriggerEvent();
        QCOMPARE(listItems(), QStringList{"KC2"});
    }

    void tickedContractsGoToScnoSelInListOrder()
    {
        c<CommandButton>("cb_2").TriggerEvent();
        auto &lb = c<ListBox>("lb_scnoitem");
        // Ctrl-clicks as the user ticks: the third item, then the first.
        for (int i : {3, 1}) {
            const QRect r = lb.visualItemRect(lb.item(i - 1));
            QTest::mouseClick(lb.viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
        }
        QCOMPARE(lb.State(1), 1);
        QCOMPARE(lb.State(2), 0);
        QCOMPARE(lb.State(3), 1);
        w_ordergress_detail *d = openDetail();
        QVERIFY(d);
        QCOMPARE(scno_sel().values(), (QStringList{lb.Text(1), lb.Text(3)}));
        QCOMPARE(d->dateRange().startdate, c<EditMask>("em_deldate1").text());
        QCOMPARE(d->dateRange().enddate, c<EditMask>("em_deldate2").text());
    }

    void scnoSelIsBlankedButKeepsItsSize()
    {
        // Five entries from an earlier choice; nothing ticked now.
        for (int i = 1; i <= 5; ++i)
            scno_sel()[i] = QStringLiteral("OLD%1").arg(i);
        c<CommandButton>("cb_2").TriggerEvent();
        QVERIFY(openDetail());
        QCOMPARE(scno_sel().values(), QStringList(5, QString()));

        // One ticked: the first entry, the rest blank.
        auto &lb = c<ListBox>("lb_scnoitem");
        lb.SetState(2, true);
        QVERIFY(openDetail());
        QCOMPARE(scno_sel().values(), (QStringList{lb.Text(2), "", "", "", ""}));

        // A short array grows as far as the ticks need.
        scno_sel().clear();
        scno_sel()[1] = QStringLiteral("OLD");
        for (int i = 1; i <= 3; ++i)
            lb.SetState(i, true);
        QVERIFY(openDetail());
        QCOMPARE(scno_sel().values(), listItems());

        // Never filled and nothing ticked: still empty.
        scno_sel().clear();
        for (int i = 1; i <= 3; ++i)
            lb.SetState(i, false);
        QVERIFY(openDetail());
        QCOMPARE(scno_sel().UpperBound(), 0);
    }

    void orderLinesShowHallmarkRemarksAndPicture()
    {
        const QByteArray d1 = bitmapOfSize(40000);
        QVERIFY(writeFile(work.filePath(QStringLiteral("pics/D1.bmp")), d1));
        c<CommandButton>("cb_2").TriggerEvent();
        const int kc1 = sconh().Find(QStringLiteral("scno = 'KC1'"), 1, sconh().RowCount());
        QVERIFY(kc1 > 0);
        sconh().ScrollToRow(kc1);
        QCOMPARE(w->scno(), QStringLiteral("KC1"));
        QCOMPARE(w->lineCount(), 2);
        QCOMPARE(w->scondId(), 11LL);
        QCOMPARE(w->designNo(), QStringLiteral("D1"));
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("QOR 18K"));
        QCOMPARE(c<MultiLineEdit>("mle_remarks").toPlainText(), QString::fromUtf8("急单\n加厚"));
        QCOMPARE(w->lastPictureBytes(), std::optional<QByteArray>(d1));
        QVERIFY(c<Picture>("p_stylepic").isVisibleTo(w));
        QVERIFY(c<Picture>("p_stylepic").hasPicture());

        // D2 has no file and there is no ZAN.BMP: the picture is hidden.
        scond().ScrollToRow(2);
        QCOMPARE(w->scondId(), 12LL);
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("PT950"));
        QCOMPARE(c<MultiLineEdit>("mle_remarks").toPlainText(), QString());
        QVERIFY(!w->lastPictureBytes());
        QVERIFY(!c<Picture>("p_stylepic").isVisibleTo(w));

        // With ZAN.BMP in the working folder it stands in for the missing design.
        const QByteArray zan = bitmapOfSize(1000);
        QVERIFY(writeFile(work.filePath(QStringLiteral("ZAN.BMP")), zan));
        scond().ScrollToRow(1);
        scond().ScrollToRow(2);
        QCOMPARE(w->lastPictureBytes(), std::optional<QByteArray>(zan));
        QVERIFY(c<Picture>("p_stylepic").isVisibleTo(w));

        // A contract without lines blanks everything.
        const int kc2 = sconh().Find(QStringLiteral("scno = 'KC2'"), 1, sconh().RowCount());
        sconh().ScrollToRow(kc2);
        QCOMPARE(w->lineCount(), 0);
        QCOMPARE(w->scondId(), -1LL);
        QCOMPARE(w->designNo(), QString());
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QString());
        QCOMPARE(c<MultiLineEdit>("mle_remarks").toPlainText(), QString());
        QVERIFY(!c<Picture>("p_stylepic").isVisibleTo(w));
    }

    // The picture is read in chunks of 32 765 bytes: whole files at the chunk
    // boundaries come through unchanged.
    void picturesAtChunkBoundariesArriveWhole_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {32765, 32766, 65530, 65531})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }
    void picturesAtChunkBoundariesArriveWhole()
    {
        QFETCH(int, size);
        const QByteArray bytes = bitmapOfSize(size);
        QVERIFY(writeFile(work.filePath(QStringLiteral("pics/D1.bmp")), bytes));
        c<CommandButton>("cb_2").TriggerEvent();
        sconh().ScrollToRow(sconh().Find(QStringLiteral("scno = 'KC1'"), 1, sconh().RowCount()));
        QVERIFY(w->lastPictureBytes());
        QCOMPARE(w->lastPictureBytes()->size(), size);
        QVERIFY(*w->lastPictureBytes() == bytes);
        QVERIFY(c<Picture>("p_stylepic").isVisibleTo(w));
    }

    void returnClosesAndOtherButtonsDoNothing()
    {
        QCOMPARE(c<CommandButton>("cb_4").text(), QStringLiteral("返回"));
        c<CommandButton>("cb_5").click();
        c<CommandButton>("cb_6").click();
        QVERIFY(!w.isNull() && !w->isClosed());
        QTest::keyClick(w, Qt::Key_Escape);
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(OrdergressTest)
#include "tst_ordergress.moc"
