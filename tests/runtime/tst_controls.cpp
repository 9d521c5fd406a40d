#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "runtime/widgets/checkbox.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/listbox.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/window.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

using namespace wip;

namespace {

// One window holding one control of each kind, each with a getfocus counter.
class w_test_controls : public Window
{
    Q_OBJECT
public:
    EditMask *em_date = nullptr;
    EditMask *em_skip = nullptr;
    DropDownListBox *ddlb_pcode = nullptr;
    DropDownListBox *ddlb_typed = nullptr;
    ListBox *lb_scnoitem = nullptr;
    SingleLineEdit *sle_upper = nullptr;
    SingleLineEdit *sle_lower = nullptr;
    Picture *p_stylepic = nullptr;
    CheckBox *cbx_cust = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_close = nullptr;

    QStringList focusTags;
    int queries = 0;
    int closes = 0;
    QList<int> selections;
    QList<QPair<int, int>> valueKeys;
    int custClicks = 0;
    bool leftDownInKey = false;

protected:
    void create() override
    {
        resize(600, 400);
        em_date = new EditMask(this, QStringLiteral("em_date"));
        em_date->setGeometry(10, 10, 120, 26);
        em_skip = new EditMask(this, QStringLiteral("em_skip"));
        em_skip->setAutoSkip(true);
        em_skip->setGeometry(140, 10, 120, 26);
        ddlb_pcode = new DropDownListBox(this, QStringLiteral("ddlb_pcode"));
        ddlb_pcode->setGeometry(270, 10, 160, 26);
        ddlb_typed = new DropDownListBox(this, QStringLiteral("ddlb_typed"), true);
        ddlb_typed->setGeometry(440, 10, 150, 26);
        sle_upper = new SingleLineEdit(this, QStringLiteral("sle_upper"));
        sle_upper->setTextCase(SingleLineEdit::TextCase::Upper);
        sle_upper->setGeometry(10, 50, 120, 26);
        sle_lower = new SingleLineEdit(this, QStringLiteral("sle_lower"));
        sle_lower->setTextCase(SingleLineEdit::TextCase::Lower);
        sle_lower->setGeometry(140, 50, 120, 26);
        cbx_cust = new CheckBox(this, QStringLiteral("cbx_cust"), QStringLiteral("客户"));
        cbx_cust->setGeometry(270, 50, 80, 26);
        cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询"));
        cb_query->setGeometry(360, 50, 80, 26);
        cb_query->setDefault(true);
        cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
        cb_close->setGeometry(450, 50, 80, 26);
        cb_close->setCancel(true);
        lb_scnoitem = new ListBox(this, QStringLiteral("lb_scnoitem"));
        lb_scnoitem->setGeometry(10, 90, 200, 200);
        p_stylepic = new Picture(this, QStringLiteral("p_stylepic"));
        p_stylepic->setGeometry(220, 90, 200, 150);

        on(em_date, &EditMask::getfocus, this, [this] { focusTags << QStringLiteral("date"); });
        on(em_skip, &EditMask::getfocus, this, [this] { focusTags << QStringLiteral("skip"); });
        on(ddlb_pcode, &DropDownListBox::getfocus, this, [this] { focusTags << QStringLiteral("pcode"); });
        on(cb_query, &CommandButton::getfocus, this, [this] { focusTags << QStringLiteral("query"); });
        on(cb_query, &CommandButton::clicked, this, [this] { ++queries; });
        on(cb_close, &CommandButton::clicked, this, [this] { ++closes; });
        on(ddlb_pcode, &DropDownListBox::selectionchanged, this, &w_test_controls::ddlb_pcode_selectionchanged);
        on(cbx_cust, &CheckBox::clicked, this, [this] { ++custClicks; });
        on(sle_upper, &SingleLineEdit::key, this, &w_test_controls::sle_upper_keydown);
    }

public:
    void ddlb_pcode_selectionchanged(int index) { selections << index; }
    void sle_upper_keydown(int key, int keyflags)
    {
        valueKeys.append({key, keyflags});
        if (KeyDown(HostKey::LeftArrow)) {
            leftDownInKey = true;
            ddlb_pcode->SetFocus();
        }
    }
};

QByteArray pngBytes(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

} // namespace

// The controls through real widgets offscreen: what handlers read back from
// them after the user typed, clicked and chose.
class TestControls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void editMaskRefusesAnImpossibleSetText();
    void editMaskTypedDigitsMakeADate();
    void editMaskRefusesADateThatCannotBe_data();
    void editMaskRefusesADateThatCannotBe();
    void editMaskAutoSkipMovesOn();
    void dropDownStartsWithNothingChosen();
    void dropDownSelectionChangedOnlyForTheUser();
    void dropDownEditableKeepsTypedText();
    void listBoxExtendedSelection();
    void listBoxIndexOutsideTheListEndsTheHandler();
    void caseConversionAppliesAsTyped();
    void controlKeyEventSeesKeyDownAndMovesFocus();
    void pictureShowsImagesAndHidesBrokenOnes();
    void checkBoxClickAndTriggerEvent();
    void setFocusRunsGetFocusOnce();

private:
    w_test_controls *w = nullptr;
};

void TestControls::init()
{
    w = new w_test_controls;
    Window::Open(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCoreApplication::processEvents();
}

void TestControls::cleanup()
{
    w->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w = nullptr;
    Trace::clearCaptured();
}

void TestControls::editMaskRefusesAnImpossibleSetText()
{
    QCOMPARE(w->em_date->text(), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    QCOMPARE(w->em_date->setText(QStringLiteral("2004-02-29")), 1);
    QCOMPARE(w->em_date->text(), QStringLiteral("2004-02-29"));

    const QStringList refused = {QStringLiteral("2004-02-30"), QStringLiteral("2003-02-29"),
                                 QStringLiteral("2004-13-01"), QStringLiteral("2004-03-01 08:00"),
                                 QStringLiteral("abc"), QString()};
    for (const QString &text : refused) {
        QCOMPARE(w->em_date->setText(text), -1);
        QCOMPARE(w->em_date->text(), QStringLiteral("2004-02-29"));
    }
}

void TestControls::editMaskTypedDigitsMakeADate()
{
    // Typing over the digits skips the separators.
    w->em_date->setText(QStringLiteral("2004-05-01"));
    w->em_date->SetFocus();
    w->em_date->setCursorPosition(0);
    QTest::keyClicks(w->em_date, QStringLiteral("20031225"));
    QCOMPARE(w->em_date->text(), QStringLiteral("2003-12-25"));
    w->em_date->setCursorPosition(8);
    QTest::keyClicks(w->em_date, QStringLiteral("31"));
    QCOMPARE(w->em_date->text(), QStringLiteral("2003-12-31"));
    QCOMPARE(w->em_date->date(), QDate(2003, 12, 31));
    QTest::keyClick(w->em_date, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != w->em_date);
    QVERIFY(!w->em_date->isMarked());
    // However narrow a layout would make it, the whole date stays in view.
    w->em_date->resize(10, w->em_date->height());
    QVERIFY(w->em_date->width() > w->em_date->fontMetrics().horizontalAdvance(w->em_date->displayText()) + 8);
}

void TestControls::editMaskRefusesADateThatCannotBe_data()
{
    QTest::addColumn<QString>("typed");      // digits typed over the field, from its start
    QTest::addColumn<bool>("clearFirst");    // the field emptied before typing
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("why");
    QTest::newRow("30 February") << "20040230" << false << "2004-02-30" << "2004 年 2 月只有 29 天";
    QTest::newRow("29 February, not a leap year") << "20030229" << false << "2003-02-29" << "2003 年 2 月只有 28 天";
    QTest::newRow("31 April") << "20040431" << false << "2004-04-31" << "2004 年 4 月只有 30 天";
    QTest::newRow("month 13") << "20041301" << false << "2004-13-01" << "没有 13 月";
    QTest::newRow("month 0") << "20040001" << false << "2004-00-01" << "没有 0 月";
    QTest::newRow("day 0") << "20040500" << false << "2004-05-00" << "没有 0 日";
    QTest::newRow("year 0") << "00000501" << false << "0000-05-01" << "没有 0 年";
    QTest::newRow("digits missing") << "200405" << true << "2004-05-__" << "日期不完整";
    QTest::newRow("emptied") << "" << true << "____-__-__" << "日期不完整";
}

void TestControls::editMaskRefusesADateThatCannotBe()
{
    QFETCH(QString, typed);
    QFETCH(bool, clearFirst);
    QFETCH(QString, shown);
    QFETCH(QString, why);
    EditMask *em = w->em_date;
    QCOMPARE(em->setText(QStringLiteral("2004-05-01")), 1);
    em->SetFocus();
    if (clearFirst) {
        em->selectAll();
        QTest::keyClick(em, Qt::Key_Delete);
    }
    em->setCursorPosition(0);
    QTest::keyClicks(em, typed);
    QCOMPARE(em->displayText(), shown);
    // Nothing swapped in: the text stays as typed and there is no date.
    QCOMPARE(em->text(), shown);
    QVERIFY(!em->date().isValid());

    // Enter does not run the default button, Tab does not leave; the field is
    // marked and says why.
    QTest::keyClick(em, Qt::Key_Return);
    QCOMPARE(w->queries, 0);
    QVERIFY(em->isMarked());
    QVERIFY2(em->problem().contains(why), qPrintable(em->problem()));
    QCOMPARE(em->toolTip(), em->problem());
    QTest::keyClick(em, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), em);
    QCOMPARE(em->displayText(), shown);

    // A click on a button does not run it either, and brings the field back;
    // the cancel button still works.
    QTest::mouseClick(w->cb_query, Qt::LeftButton);
    QCOMPARE(w->queries, 0);
    QCOMPARE(QApplication::focusWidget(), em);
    QCOMPARE(em->displayText(), shown);
    QTest::mouseClick(w->cb_close, Qt::LeftButton);
    QCOMPARE(w->closes, 1);

    // Put right, the date is taken and the button runs.
    em->SetFocus();
    em->selectAll();
    QTest::keyClick(em, Qt::Key_Delete);
    em->setCursorPosition(0);
    QTest::keyClicks(em, QStringLiteral("20040229"));
    QVERIFY(!em->isMarked());
    QTest::keyClick(em, Qt::Key_Return);
    QCOMPARE(w->queries, 1);
    QCOMPARE(em->text(), QStringLiteral("2004-02-29"));
}

void TestControls::editMaskAutoSkipMovesOn()
{
    w->em_skip->SetFocus();
    w->em_skip->setCursorPosition(0);
    QTest::keyClicks(w->em_skip, QStringLiteral("20040515"));
    QCOMPARE(w->em_skip->text(), QStringLiteral("2004-05-15"));
    QVERIFY(QApplication::focusWidget() != w->em_skip);

    // Without auto-skip the focus stays.
    w->em_date->SetFocus();
    w->em_date->setCursorPosition(0);
    QTest::keyClicks(w->em_date, QStringLiteral("20040516"));
    QCOMPARE(w->em_date->text(), QStringLiteral("2004-05-16"));
    QCOMPARE(QApplication::focusWidget(), w->em_date);
}

void TestControls::dropDownStartsWithNothingChosen()
{
    DropDownListBox *d = w->ddlb_pcode;
    QCOMPARE(d->text(), QString());
    QCOMPARE(d->AddItem(QStringLiteral("01-金仓收发")), 1);
    QCOMPARE(d->AddItem(QStringLiteral("04-执模收发")), 2);
    QCOMPARE(d->AddItem(QStringLiteral("05-镶石收发")), 3);
    QCOMPARE(d->text(), QString());
    QCOMPARE(d->TotalItems(), 3);
    QCOMPARE(d->Text(2), QStringLiteral("04-执模收发"));
    QCOMPARE(d->Text(4), QString());

    QCOMPARE(d->SelectItem(QStringLiteral("04-执模收发")), 2);
    QCOMPARE(d->text(), QStringLiteral("04-执模收发"));
    QCOMPARE(d->SelectItem(QStringLiteral("99-无")), 0);
    QCOMPARE(d->text(), QStringLiteral("04-执模收发"));
    // Selection only: a text that is no item is refused.
    QCOMPARE(d->setText(QStringLiteral("typed")), -1);
    QCOMPARE(d->text(), QStringLiteral("04-执模收发"));
    QCOMPARE(d->setText(QStringLiteral("05-镶石收发")), 1);
    QCOMPARE(d->text(), QStringLiteral("05-镶石收发"));

    d->Reset();
    QCOMPARE(d->TotalItems(), 0);
    QCOMPARE(d->text(), QString());
    d->AddItem(QStringLiteral("KCNO"));
    QCOMPARE(d->text(), QString());
    QVERIFY(w->selections.isEmpty());       // nothing here was the user's choice
}

void TestControls::dropDownSelectionChangedOnlyForTheUser()
{
    DropDownListBox *d = w->ddlb_pcode;
    d->AddItem(QStringLiteral("KCNO"));
    d->AddItem(QStringLiteral("客单编号"));
    d->SelectItem(1);
    QVERIFY(w->selections.isEmpty());
    d->SetFocus();
    QTest::keyClick(d, Qt::Key_Down);
    QCOMPARE(w->selections, QList<int>{2});
    QCOMPARE(d->text(), QStringLiteral("客单编号"));
    QTest::keyClick(d, Qt::Key_Up);
    QCOMPARE(w->selections, (QList<int>{2, 1}));
    QCOMPARE(d->text(), QStringLiteral("KCNO"));
}

void TestControls::dropDownEditableKeepsTypedText()
{
    DropDownListBox *d = w->ddlb_typed;
    d->AddItem(QStringLiteral("KCNO"));
    d->AddItem(QStringLiteral("客单编号"));
    QCOMPARE(d->text(), QString());
    QCOMPARE(d->setText(QStringLiteral("KCNO")), 1);
    QCOMPARE(d->text(), QStringLiteral("KCNO"));
    d->SetFocus();
    d->lineEdit()->selectAll();
    QTest::keyClicks(d, QStringLiteral("cust"));
    QTest::keyClick(d, Qt::Key_Return);
    QCOMPARE(d->text(), QStringLiteral("cust"));
    QCOMPARE(d->TotalItems(), 2);            // Enter does not add the typed text
}

void TestControls::listBoxExtendedSelection()
{
    ListBox *lb = w->lb_scnoitem;
    const QStringList scnos = {QStringLiteral("KC001"), QStringLiteral("KC002"), QStringLiteral("KC003"),
                               QStringLiteral("KC004"), QStringLiteral("KC005")};
    for (int i = 0; i < scnos.size(); ++i)
        QCOMPARE(lb->AddItem(scnos.at(i)), i + 1);
    QCOMPARE(lb->TotalItems(), 5);

    auto clickItem = [lb](int index, Qt::KeyboardModifiers mods) {
        const QRect r = lb->visualItemRect(lb->item(index - 1));
        QTest::mouseClick(lb->viewport(), Qt::LeftButton, mods, r.center());
    };
    clickItem(2, Qt::NoModifier);
    clickItem(4, Qt::ShiftModifier);       // 2..4
    clickItem(3, Qt::ControlModifier);     // minus 3
    const QList<int> expected = {0, 1, 0, 1, 0};
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(lb->State(i), expected.at(i - 1));
    QCOMPARE(lb->Text(4), QStringLiteral("KC004"));
    QCOMPARE(lb->TotalSelected(), 2);
    QCOMPARE(lb->SelectedIndex(), 2);

    // A plain click starts again.
    clickItem(5, Qt::NoModifier);
    QCOMPARE(lb->State(2), 0);
    QCOMPARE(lb->State(5), 1);

    QCOMPARE(lb->SetState(1, true), 1);
    QCOMPARE(lb->TotalSelected(), 2);
    lb->Reset();
    QCOMPARE(lb->TotalItems(), 0);
    QCOMPARE(lb->TotalSelected(), 0);
}

void TestControls::listBoxIndexOutsideTheListEndsTheHandler()
{
    ListBox *lb = w->lb_scnoitem;
    lb->AddItem(QStringLiteral("KC001"));
    QStringList picked;
    const bool ok = Dispatcher::run(w, "cb_1_clicked", [&] {
        for (int j = 1; j <= 2; ++j)           // one more than the list holds
            if (lb->State(j) == 0)
                picked << lb->Text(j);
    });
    QVERIFY(!ok);
    QCOMPARE(picked, QStringList{QStringLiteral("KC001")});
    QCOMPARE(Trace::captured().value(0), Trace::problemLine(ErrRowOutOfRange));
    QVERIFY_THROWS_EXCEPTION(HostError, lb->Text(0));
    QVERIFY_THROWS_EXCEPTION(HostError, lb->SetState(2, true));
}

void TestControls::caseConversionAppliesAsTyped()
{
    QTest::keyClicks(w->sle_upper, QStringLiteral("kc00a1"));
    QCOMPARE(w->sle_upper->text(), QStringLiteral("KC00A1"));
    QTest::keyClicks(w->sle_lower, QStringLiteral("KC00A1"));
    QCOMPARE(w->sle_lower->text(), QStringLiteral("kc00a1"));
    // A handler's text is converted too.
    w->sle_upper->setText(QStringLiteral("ab"));
    QCOMPARE(w->sle_upper->text(), QStringLiteral("AB"));
    w->sle_upper->setTextCase(SingleLineEdit::TextCase::Any);
    w->sle_upper->clear();
    QTest::keyClicks(w->sle_upper, QStringLiteral("Kc"));
    QCOMPARE(w->sle_upper->text(), QStringLiteral("Kc"));
}

void TestControls::controlKeyEventSeesKeyDownAndMovesFocus()
{
    w->sle_upper->SetFocus();
    QTest::keyClick(w->sle_upper, Qt::Key_A, Qt::ShiftModifier);
    QCOMPARE(w->valueKeys.last(), qMakePair(65, KeyFlags::Shift));
    QVERIFY(!w->leftDownInKey);
    QTest::keyClick(w->sle_upper, Qt::Key_Left);
    QCOMPARE(w->valueKeys.last(), qMakePair(int(HostKey::LeftArrow), 0));
    QVERIFY(w->leftDownInKey);
    QCOMPARE(QApplication::focusWidget(), w->ddlb_pcode);
    QVERIFY(!KeyDown(HostKey::LeftArrow));
}

void TestControls::pictureShowsImagesAndHidesBrokenOnes()
{
    Picture *p = w->p_stylepic;
    QCOMPARE(p->SetPicture(pngBytes(40, 30)), 1);
    p->setVisible(true);
    QVERIFY(p->isVisible());
    QVERIFY(p->hasPicture());
    QCOMPARE(p->picture().size(), QSize(40, 30));
    QVERIFY(p->frameShape() != QFrame::NoFrame);

    QCOMPARE(p->SetPicture(QByteArray("BM not really a bitmap")), -1);
    QVERIFY(!p->hasPicture());
    QVERIFY(!p->visible());
    p->setVisible(true);                     // the handler's next step
    QVERIFY(!p->visible());
    QCOMPARE(p->SetPicture(QByteArray()), -1);

    QCOMPARE(p->SetPicture(pngBytes(10, 10)), 1);
    p->setVisible(true);
    QVERIFY(p->visible());
    p->setVisible(false);
    QVERIFY(!p->visible());
}

void TestControls::checkBoxClickAndTriggerEvent()
{
    QTest::mouseClick(w->cbx_cust, Qt::LeftButton);
    QVERIFY(w->cbx_cust->checked());
    QCOMPARE(w->custClicks, 1);
    QCOMPARE(w->cbx_cust->TriggerEvent(), 1);
    QCOMPARE(w->custClicks, 2);
    QVERIFY(w->cbx_cust->checked());         // triggering does not toggle
    CheckBox unconnected(w, QStringLiteral("cbx_none"));
    QCOMPARE(unconnected.TriggerEvent(), -1);
}

void TestControls::setFocusRunsGetFocusOnce()
{
    QCOMPARE(w->cb_query->SetFocus(), 1);
    w->focusTags.clear();
    QCOMPARE(w->em_date->SetFocus(), 1);
    QCOMPARE(w->ddlb_pcode->SetFocus(), 1);
    QCOMPARE(w->cb_query->SetFocus(), 1);
    QCOMPARE(w->cb_query->SetFocus(), 1);    // already there: no second event
    QCOMPARE(w->focusTags, (QStringList{QStringLiteral("date"), QStringLiteral("pcode"), QStringLiteral("query")}));
    w->ddlb_pcode->setEnabled(false);
    QCOMPARE(w->ddlb_pcode->SetFocus(), -1);

    // In a window that is not active the event runs at SetFocus, and not
    // again when the window becomes active.
    auto *other = new w_test_controls;
    Window::Open(other);
    QVERIFY(QTest::qWaitForWindowActive(other));
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCoreApplication::processEvents();
    other->focusTags.clear();
    other->em_skip->SetFocus();
    QCOMPARE(other->focusTags, QStringList{QStringLiteral("skip")});
    other->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(other));
    QCoreApplication::processEvents();
    QCOMPARE(other->focusTags, QStringList{QStringLiteral("skip")});
    QCOMPARE(QApplication::focusWidget(), other->em_skip);
    other->Close();
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
