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

    QStringList focusTags;
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
        lb_scnoitem = new ListBox(this, QStringLiteral("lb_scnoitem"));
        lb_scnoitem->setGeometry(10, 90, 200, 200);
        p_stylepic = new Picture(this, QStringLiteral("p_stylepic"));
        p_stylepic->setGeometry(220, 90, 200, 150);

        on(em_date, &EditMask::getfocus, this, [this] { focusTags << QStringLiteral("date"); });
        on(em_skip, &EditMask::getfocus, this, [this] { focusTags << QStringLiteral("skip"); });
        on(ddlb_pcode, &DropDownListBox::getfocus, this, [this] { focusTags << QStringLiteral("pcode"); });
        on(cb_query, &CommandButton::getfocus, this, [this] { focusTags << QStringLiteral("query"); });
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

    void editMaskAlwaysHoldsAValidDate();
    void editMaskTypedDigitsMakeADate();
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

void TestControls::editMaskAlwaysHoldsAValidDate()
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
    w->em_date->setText(QStringLiteral("2004-05-01"));
    w->em_date->SetFocus();
    w->em_date->setCursorPosition(0);
    QTest::keyClicks(w->em_date, QStringLiteral("20040230"));
    QCOMPARE(w->em_date->text(), QStringLiteral("2004-05-01"));   // typed, but no date
    QTest::keyClick(w->em_date, Qt::Key_Tab);
    QCOMPARE(w->em_date->displayText(), QStringLiteral("2004-05-01"));

    // Typing over the digits skips the separators.
    w->em_date->SetFocus();
    w->em_date->setCursorPosition(0);
    QTest::keyClicks(w->em_date, QStringLiteral("20031225"));
    QCOMPARE(w->em_date->text(), QStringLiteral("2003-12-25"));
    w->em_date->setCursorPosition(8);
    QTest::keyClicks(w->em_date, QStringLiteral("31"));
    QCOMPARE(w->em_date->text(), QStringLiteral("2003-12-31"));
    // Clearing the field leaves the value it had when the user came in; Enter
    // shows that value again.
    QTest::keyClick(w->em_date, Qt::Key_Tab);
    w->em_date->SetFocus();
    w->em_date->selectAll();
    QTest::keyClick(w->em_date, Qt::Key_Delete);
    QCOMPARE(w->em_date->text(), QStringLiteral("2003-12-31"));
    QTest::keyClick(w->em_date, Qt::Key_Return);
    QCOMPARE(w->em_date->displayText(), QStringLiteral("2003-12-31"));
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
