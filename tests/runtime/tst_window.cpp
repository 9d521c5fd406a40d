#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/groupbox.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/listbox.h"
#include "runtime/widgets/multilineedit.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"
#include "runtime/widgets/widgethandles.h"
#include "runtime/widgets/window.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QTest>

using namespace wip;

// A date range handed from one window to another, as a structure travels.
struct test_range
{
    QString startdate;
    QString enddate;
};
Q_DECLARE_METATYPE(test_range)

namespace {

// A window like the daily output window: a date, a query button that is the
// default button, a close button that is the cancel button, and a remark box.
class w_test_today : public Window
{
    Q_OBJECT
public:
    StaticText *st_1 = nullptr;
    EditMask *em_1 = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_close = nullptr;
    MultiLineEdit *mle_remarks = nullptr;
    SingleLineEdit *sle_note = nullptr;

    int creates = 0;
    int opens = 0;
    int queries = 0;
    int prints = 0;
    bool createdBeforeOpen = false;
    bool visibleAtOpen = false;
    QVariant parmAtOpen;
    QList<QPair<int, int>> keys;           // (key, keyflags) seen by the window's key event
    bool enterDownInKey = false;
    bool consumeKeys = false;

protected:
    void create() override
    {
        ++creates;
        setTitle(QStringLiteral("在做资料"));
        resize(420, 220);
        st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("日期"));
        st_1->setGeometry(10, 12, 40, 24);
        em_1 = new EditMask(this, QStringLiteral("em_1"));
        em_1->setGeometry(60, 10, 120, 26);
        cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询"));
        cb_query->setGeometry(200, 10, 90, 28);
        cb_query->setDefault(true);
        cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印&7"));
        cb_print->setGeometry(200, 44, 90, 28);
        cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
        cb_close->setGeometry(300, 10, 90, 28);
        cb_close->setCancel(true);
        sle_note = new SingleLineEdit(this, QStringLiteral("sle_note"));
        sle_note->setGeometry(10, 80, 180, 26);
        mle_remarks = new MultiLineEdit(this, QStringLiteral("mle_remarks"), QStringLiteral("备注"));
        mle_remarks->setGeometry(10, 114, 380, 80);

        on(cb_query, &CommandButton::clicked, this, &w_test_today::cb_query_clicked);
        on(cb_print, &CommandButton::clicked, this, &w_test_today::cb_print_clicked);
        on(cb_close, &CommandButton::clicked, this, &w_test_today::cb_close_clicked);
        on(this, &Window::key, this, &w_test_today::window_key);
    }

    void open() override
    {
        ++opens;
        createdBeforeOpen = creates == 1 && cb_query != nullptr;
        visibleAtOpen = isVisible();
        parmAtOpen = message().powerObjectParm;
        em_1->setText(QStringLiteral("2004-05-01"));
    }

public:
    void cb_query_clicked() { ++queries; }
    void cb_print_clicked() { ++prints; }
    void cb_close_clicked() { Close(); }
    void window_key(int key, int keyflags)
    {
        keys.append({key, keyflags});
        if (key == HostKey::Enter)
            enterDownInKey = KeyDown(HostKey::Enter);
        if (consumeKeys)
            Keyboard::consumeKey();
    }
};

// A window without default or cancel button, and one whose open() fails.
class w_test_plain : public Window
{
    Q_OBJECT
public:
    SingleLineEdit *sle_1 = nullptr;
    SingleLineEdit *sle_2 = nullptr;
    SingleLineEdit *sle_3 = nullptr;
    bool failInOpen = false;
    bool openRanToEnd = false;

protected:
    void create() override
    {
        sle_1 = new SingleLineEdit(this, QStringLiteral("sle_1"));
        sle_1->setGeometry(10, 10, 100, 24);
        sle_2 = new SingleLineEdit(this, QStringLiteral("sle_2"));
        sle_2->setGeometry(10, 40, 100, 24);
        sle_3 = new SingleLineEdit(this, QStringLiteral("sle_3"));
        sle_3->setGeometry(10, 70, 100, 24);
        resize(200, 120);
    }
    void open() override
    {
        if (failInOpen)
            Window::latest(QStringLiteral("w_not_open_anywhere"));
        sle_1->SetFocus();
        openRanToEnd = true;
    }
};

// Enter moves from field to field by a tag that getfocus keeps, as the transfer
// statistics window does: the window's key event sees Enter wherever the focus is.
class w_test_enter : public Window
{
    Q_OBJECT
public:
    EditMask *em_stdate = nullptr;
    EditMask *em_eddate = nullptr;
    DropDownListBox *ddlb_pcode = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_print = nullptr;
    QString focus;
    int queries = 0;
    int prints = 0;

protected:
    void create() override
    {
        resize(500, 120);
        em_stdate = new EditMask(this, QStringLiteral("em_stdate"));
        em_stdate->setGeometry(10, 10, 110, 26);
        em_eddate = new EditMask(this, QStringLiteral("em_eddate"));
        em_eddate->setGeometry(130, 10, 110, 26);
        ddlb_pcode = new DropDownListBox(this, QStringLiteral("ddlb_pcode"));
        ddlb_pcode->setGeometry(250, 10, 150, 26);
        ddlb_pcode->AddItem(QStringLiteral("04-执模收发"));
        cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("部门过货统计"));
        cb_query->setGeometry(10, 50, 110, 28);
        cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
        cb_print->setGeometry(130, 50, 110, 28);

        on(em_stdate, &EditMask::getfocus, this, [this] { focus = QStringLiteral("stdate"); });
        on(em_eddate, &EditMask::getfocus, this, [this] { focus = QStringLiteral("eddate"); });
        on(ddlb_pcode, &DropDownListBox::selectionchanged, this, [this] { focus = QStringLiteral("pcode"); });
        on(ddlb_pcode, &DropDownListBox::getfocus, this, [this] { focus = QStringLiteral("pcode"); });
        on(cb_query, &CommandButton::getfocus, this, [this] { focus = QStringLiteral("query"); });
        on(cb_print, &CommandButton::getfocus, this, [this] { focus = QStringLiteral("print"); });
        on(cb_query, &CommandButton::clicked, this, [this] { ++queries; });
        on(cb_print, &CommandButton::clicked, this, [this] { ++prints; });
        on(this, &Window::key, this, &w_test_enter::window_key);
    }
    void open() override { em_stdate->SetFocus(); }

public:
    void window_key(int, int)
    {
        if (!KeyDown(HostKey::Enter))
            return;
        if (focus == QLatin1String("stdate"))
            em_eddate->SetFocus();
        else if (focus == QLatin1String("eddate"))
            ddlb_pcode->SetFocus();
        else if (focus == QLatin1String("pcode"))
            cb_query->SetFocus();
        else if (focus == QLatin1String("query")) {
            cb_query->TriggerEvent();
            cb_print->SetFocus();
        } else if (focus == QLatin1String("print"))
            cb_print->TriggerEvent();
    }
};

// A window whose create() fails half-way.
class w_test_broken : public Window
{
    Q_OBJECT
public:
    SingleLineEdit *sle_1 = nullptr;
    int opens = 0;

protected:
    void create() override
    {
        throw HostError(ErrUnknownDefinition, QStringLiteral("d_missing"));
    }
    void open() override
    {
        ++opens;
        sle_1->SetFocus();
    }
};

template <class W>
W *openAndWait(const QString &className, const QVariant &parm = QVariant())
{
    Window *w = parm.isValid() ? Window::OpenWithParm(className, parm) : Window::Open(className);
    auto *typed = qobject_cast<W *>(w);
    if (typed && QTest::qWaitForWindowExposed(typed))
        QCoreApplication::processEvents();   // the queued open()
    return typed;
}

} // namespace

// Windows through real widgets: the registry of latest instances, opening by
// class name with a parameter, default and cancel buttons, the window's key
// event, Handle/Send, and a picture of a window with Chinese captions.
class TestWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void openByClassNameCreatesOnceThenOpensAfterShowing();
    void openWithParmHandsTheStructureToOpen();
    void openingAnOpenWindowReusesIt();
    void latestInstanceIsClearedWhenItCloses();
    void usingAWindowThatIsNotOpenIsANullObjectError();
    void unknownWindowClassIsANullObjectError();
    void failingOpenWritesTheTraceLine();
    void enterClicksTheDefaultButtonAndEscTheCancelButton();
    void enterStaysInAMultiLineEdit();
    void enterWalksTheFieldsThroughTheKeyEvent();
    void defaultButtonCanMoveAtRunTime();
    void disabledDefaultButtonIsNotClicked();
    void escWithoutCancelButtonKeepsTheWindowOpen();
    void keyEventSeesKeyDownAndFlags();
    void consumedKeyDoesNotReachTheDefaultButton();
    void sendTabMovesTheFocusLikeTab();
    void accessKeyClicksTheButton();
    void controlsAreFoundByName();
    void rendersChineseCaptions();
};

void TestWindow::initTestCase()
{
    Window::registerClass<w_test_today>(QStringLiteral("w_test_today"));
    Window::registerClass<w_test_plain>(QStringLiteral("w_test_plain"));
}

void TestWindow::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *win = qobject_cast<Window *>(w))
            win->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Trace::clearCaptured();
}

void TestWindow::openByClassNameCreatesOnceThenOpensAfterShowing()
{
    Window *w = Window::Open(QStringLiteral("w_test_today"));
    auto *today = qobject_cast<w_test_today *>(w);
    QVERIFY(today);
    QCOMPARE(today->creates, 1);
    QCOMPARE(today->opens, 0);            // open() is queued after the show
    QVERIFY(QTest::qWaitForWindowExposed(today));
    QTRY_COMPARE(today->opens, 1);
    QVERIFY(today->createdBeforeOpen);
    QVERIFY(today->visibleAtOpen);
    QCOMPARE(today->em_1->text(), QStringLiteral("2004-05-01"));
    QCOMPARE(today->windowTitle(), QStringLiteral("在做资料"));
    QCOMPARE(&Window::latest(QStringLiteral("w_test_today")), w);
    QCOMPARE(&Window::latest<w_test_today>(), today);
    QCOMPARE(&Window::latest(QStringLiteral("W_TEST_TODAY")), w);   // names ignore case
    QVERIFY(!today->isModal());

    // Centred on the screen.
    const QRect area = today->screen()->availableGeometry();
    QVERIFY(qAbs(today->frameGeometry().center().x() - area.center().x()) <= 2);
    QVERIFY(qAbs(today->frameGeometry().center().y() - area.center().y()) <= 2);
}

void TestWindow::openWithParmHandsTheStructureToOpen()
{
    const test_range range{QStringLiteral("2004-05-01"), QStringLiteral("2004-05-31")};
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"), QVariant::fromValue(range));
    QVERIFY(today);
    QTRY_COMPARE(today->opens, 1);
    QVERIFY(today->parmAtOpen.canConvert<test_range>());
    const test_range got = today->parmAtOpen.value<test_range>();
    QCOMPARE(got.startdate, QStringLiteral("2004-05-01"));
    QCOMPARE(got.enddate, QStringLiteral("2004-05-31"));

    // A parameter given again before the first open() ran: open() runs once, with it.
    today->Close();
    Window::OpenWithParm(QStringLiteral("w_test_today"), QStringLiteral("first"));
    auto *quick = qobject_cast<w_test_today *>(
        Window::OpenWithParm(QStringLiteral("w_test_today"), QStringLiteral("second")));
    QVERIFY(quick);
    QTRY_COMPARE(quick->opens, 1);
    QCoreApplication::processEvents();
    QCOMPARE(quick->opens, 1);
    QCOMPARE(quick->parmAtOpen.toString(), QStringLiteral("second"));

    // A plain string parameter also fills stringParm.
    quick->Close();
    auto *again = openAndWait<w_test_today>(QStringLiteral("w_test_today"), QStringLiteral("KC0001"));
    QVERIFY(again);
    QTRY_COMPARE(again->opens, 1);
    QCOMPARE(again->message().stringParm, QStringLiteral("KC0001"));
}

void TestWindow::openingAnOpenWindowReusesIt()
{
    auto *first = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    QTRY_COMPARE(first->opens, 1);

    first->hide();
    QCOMPARE(Window::Open(QStringLiteral("w_test_today")), first);
    QVERIFY(first->isVisible());           // a hidden window is shown again
    QCoreApplication::processEvents();
    QCOMPARE(first->opens, 1);
    QCOMPARE(first->creates, 1);

    // A new parameter reaches the open window: open() runs again with it.
    QCOMPARE(Window::OpenWithParm(QStringLiteral("w_test_today"), QStringLiteral("second")), first);
    QCOMPARE(first->opens, 2);
    QCOMPARE(first->parmAtOpen.toString(), QStringLiteral("second"));

    // A window made by the caller becomes the latest of its class.
    auto *second = new w_test_today;
    Window::Open(second);
    QVERIFY(QTest::qWaitForWindowExposed(second));
    QCOMPARE(&Window::latest<w_test_today>(), second);
    // Closing the older one leaves the latest alone.
    first->Close();
    QCOMPARE(&Window::latest<w_test_today>(), second);
}

void TestWindow::latestInstanceIsClearedWhenItCloses()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    QPointer<w_test_today> guard(today);
    QTest::mouseClick(today->cb_close, Qt::LeftButton);
    QVERIFY(!Window::findLatest(QStringLiteral("w_test_today")));
    QVERIFY_THROWS_EXCEPTION(HostError, Window::latest(QStringLiteral("w_test_today")));
    QTRY_VERIFY(guard.isNull());            // deleted after closing

    // Opening again makes a new instance that runs create() and open() afresh.
    auto *fresh = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    QTRY_COMPARE(fresh->opens, 1);
    QCOMPARE(fresh->creates, 1);
}

void TestWindow::usingAWindowThatIsNotOpenIsANullObjectError()
{
    Trace::clearCaptured();
    bool afterLookup = false;
    const bool ok = Dispatcher::run(nullptr, "cb_sconh_find_clicked", [&] {
        Window &target = Window::latest(QStringLiteral("w_test_today"));
        afterLookup = true;
        target.Close();
    });
    QVERIFY(!ok);
    QVERIFY(!afterLookup);
    const QStringList lines = Trace::captured();
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 4 ***"));
}

void TestWindow::unknownWindowClassIsANullObjectError()
{
    try {
        Window::Open(QStringLiteral("w_nobody_registered"));
        QFAIL("Open of an unknown window class returned");
    } catch (const HostError &e) {
        QCOMPARE(e.code(), int(ErrNullObject));
        QVERIFY(e.detail().contains(QStringLiteral("w_nobody_registered")));
    }
    QVERIFY_THROWS_EXCEPTION(HostError, Close(nullptr));
}

void TestWindow::failingOpenWritesTheTraceLine()
{
    auto *plain = new w_test_plain;
    plain->failInOpen = true;
    Trace::clearCaptured();
    Window::Open(plain);
    QVERIFY(QTest::qWaitForWindowExposed(plain));
    QTRY_VERIFY(!Trace::captured().isEmpty());
    QCOMPARE(Trace::captured().first(), Trace::problemLine(ErrNullObject));
    QVERIFY(Trace::captured().join(QLatin1Char('\n')).contains(QStringLiteral("w_test_plain")));
    QVERIFY(!plain->openRanToEnd);
    QVERIFY(plain->isVisible());            // the window stays open

    // A failed create() keeps open() from reaching controls that were never made.
    Trace::clearCaptured();
    auto *broken = new w_test_broken;
    Window::Open(broken);
    QVERIFY(QTest::qWaitForWindowExposed(broken));
    QCoreApplication::processEvents();
    QCOMPARE(broken->opens, 0);
    QCOMPARE(Trace::captured().value(0), Trace::problemLine(ErrUnknownDefinition));
    Window::OpenWithParm(QStringLiteral("w_test_broken"), 1);
    QCOMPARE(broken->opens, 0);
}

void TestWindow::enterClicksTheDefaultButtonAndEscTheCancelButton()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    QPointer<w_test_today> guard(today);

    QTest::keyClick(today->em_1, Qt::Key_Return);
    QCOMPARE(today->queries, 1);
    QTest::keyClick(today->sle_note, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(today->queries, 2);
    // Enter on a focused button that is not the default clicks the default one.
    QTest::keyClick(today->cb_print, Qt::Key_Return);
    QCOMPARE(today->prints, 0);
    QCOMPARE(today->queries, 3);
    // Space clicks the focused button.
    today->cb_print->setFocus();
    QTest::keyClick(today->cb_print, Qt::Key_Space);
    QCOMPARE(today->prints, 1);

    QTest::keyClick(today->em_1, Qt::Key_Escape);
    QVERIFY(!Window::findLatest(QStringLiteral("w_test_today")));
    QTRY_VERIFY(guard.isNull());
}

void TestWindow::enterWalksTheFieldsThroughTheKeyEvent()
{
    auto *w = new w_test_enter;
    Window::Open(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTRY_COMPARE(QApplication::focusWidget(), w->em_stdate);
    QCOMPARE(w->focus, QStringLiteral("stdate"));

    auto enter = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); };
    enter();
    QCOMPARE(QApplication::focusWidget(), w->em_eddate);
    enter();
    QCOMPARE(QApplication::focusWidget(), w->ddlb_pcode);
    QCOMPARE(w->focus, QStringLiteral("pcode"));
    enter();
    QCOMPARE(QApplication::focusWidget(), w->cb_query);
    QCOMPARE(w->queries, 0);
    enter();                                  // runs the query once, then on to print
    QCOMPARE(w->queries, 1);
    QCOMPARE(QApplication::focusWidget(), w->cb_print);
    enter();
    QCOMPARE(w->prints, 1);
    QCOMPARE(w->queries, 1);
}

void TestWindow::enterStaysInAMultiLineEdit()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    today->mle_remarks->setPlainText(QString());
    today->mle_remarks->setFocus();
    QTest::keyClicks(today->mle_remarks, QStringLiteral("ab"));
    QTest::keyClick(today->mle_remarks, Qt::Key_Return);
    QTest::keyClicks(today->mle_remarks, QStringLiteral("cd"));
    QCOMPARE(today->mle_remarks->text(), QStringLiteral("ab\ncd"));
    QCOMPARE(today->queries, 0);

    // Display only: no new line, and still not the default button.
    today->mle_remarks->setDisplayOnly(true);
    QTest::keyClick(today->mle_remarks, Qt::Key_Return);
    QCOMPARE(today->mle_remarks->text(), QStringLiteral("ab\ncd"));
    QCOMPARE(today->queries, 0);
}

void TestWindow::defaultButtonCanMoveAtRunTime()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    QCOMPARE(today->defaultButton(), today->cb_query);
    today->cb_print->setDefault(true);
    QCOMPARE(today->defaultButton(), today->cb_print);
    QVERIFY(!today->cb_query->isDefault());
    QTest::keyClick(today->em_1, Qt::Key_Return);
    QCOMPARE(today->prints, 1);
    QCOMPARE(today->queries, 0);

    // Only one cancel button per window.
    today->cb_print->setCancel(true);
    QVERIFY(!today->cb_close->isCancel());
    QCOMPARE(today->cancelButton(), today->cb_print);
}

void TestWindow::disabledDefaultButtonIsNotClicked()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    today->cb_query->setEnabled(false);
    QTest::keyClick(today->em_1, Qt::Key_Return);
    QCOMPARE(today->queries, 0);
    // TriggerEvent runs the handler all the same, at once.
    QCOMPARE(today->cb_query->TriggerEvent(), 1);
    QCOMPARE(today->queries, 1);
}

void TestWindow::escWithoutCancelButtonKeepsTheWindowOpen()
{
    auto *plain = openAndWait<w_test_plain>(QStringLiteral("w_test_plain"));
    QTest::keyClick(plain->sle_1, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(plain->isVisible());
    QCOMPARE(Window::findLatest(QStringLiteral("w_test_plain")), plain);
}

void TestWindow::keyEventSeesKeyDownAndFlags()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    QTest::keyClick(today->sle_note, Qt::Key_Return);
    QCOMPARE(today->keys.size(), 1);
    QCOMPARE(today->keys.at(0), qMakePair(13, 0));
    QVERIFY(today->enterDownInKey);
    QVERIFY(!KeyDown(HostKey::Enter));     // released after the click

    QTest::keyClick(today->em_1, Qt::Key_Escape, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(today->keys.last(), qMakePair(27, KeyFlags::Shift + KeyFlags::Ctrl));
    QCOMPARE(today->queries, 1);            // Enter went on to the default button
    QVERIFY(today->isVisible());            // Esc with modifiers is no cancel
    QVERIFY(!KeyDown(HostKey::Shift));
    QVERIFY(!KeyDown(HostKey::Control));
}

void TestWindow::consumedKeyDoesNotReachTheDefaultButton()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    today->consumeKeys = true;
    QTest::keyClick(today->em_1, Qt::Key_Return);
    QTest::keyClick(today->em_1, Qt::Key_Escape);
    QCOMPARE(today->keys.size(), 2);
    QCOMPARE(today->queries, 0);
    QVERIFY(today->isVisible());
}

void TestWindow::sendTabMovesTheFocusLikeTab()
{
    auto *plain = openAndWait<w_test_plain>(QStringLiteral("w_test_plain"));
    QVERIFY(QTest::qWaitForWindowActive(plain));
    plain->sle_1->setFocus();
    QCOMPARE(QApplication::focusWidget(), plain->sle_1);

    const qint64 h = Handle(plain->sle_1);
    QCOMPARE(Handle(plain->sle_1), h);      // one handle per widget
    QCOMPARE(Send(h, HostMessage::KeyDown, HostKey::Tab, HostKey::Tab), qint64(0));
    QCOMPARE(QApplication::focusWidget(), plain->sle_2);
    QVERIFY(!KeyDown(HostKey::Tab));        // a sent key is not a key held down
    QCOMPARE(plain->sle_1->text(), QString());

    QTest::keyClick(plain->sle_2, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), plain->sle_3);

    QCOMPARE(Send(h, 999, 0, 0), qint64(-1));
    QCOMPARE(Send(987654, HostMessage::KeyDown, HostKey::Tab, 0), qint64(-1));
    // A deleted widget's handle reaches nothing.
    auto *gone = new SingleLineEdit(plain, QStringLiteral("sle_gone"));
    const qint64 goneHandle = Handle(gone);
    delete gone;
    QCOMPARE(Send(goneHandle, HostMessage::KeyDown, HostKey::Tab, 0), qint64(-1));
    QVERIFY_THROWS_EXCEPTION(HostError, Handle(nullptr));
}

void TestWindow::accessKeyClicksTheButton()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    QVERIFY(QTest::qWaitForWindowActive(today));
    QTest::keyClick(today, Qt::Key_7, Qt::AltModifier);
    QTRY_COMPARE(today->prints, 1);
}

void TestWindow::controlsAreFoundByName()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    Window &w = Window::latest(QStringLiteral("w_test_today"));
    QCOMPARE(&w.control<CommandButton>(QStringLiteral("cb_query")), today->cb_query);
    QVERIFY_THROWS_EXCEPTION(HostError, w.control<CommandButton>(QStringLiteral("em_1")));
    QVERIFY_THROWS_EXCEPTION(HostError, w.control<QWidget>(QStringLiteral("dw_missing")));
}

void TestWindow::rendersChineseCaptions()
{
    auto *today = openAndWait<w_test_today>(QStringLiteral("w_test_today"));
    auto *ddlb = new DropDownListBox(today, QStringLiteral("ddlb_pcode"));
    ddlb->AddItem(QStringLiteral("04-执模收发"));
    ddlb->SelectItem(1);
    ddlb->setGeometry(200, 80, 190, 26);
    ddlb->show();
    auto *gb = new GroupBox(today, QStringLiteral("gb_1"), QStringLiteral("销售合约资料"));
    gb->setGeometry(4, 74, 410, 140);
    gb->show();
    const QImage image = today->grab().toImage();
    QVERIFY(!image.isNull());

    // The caption "查询" draws dark pixels inside its button.
    const QRect r = today->cb_query->geometry().adjusted(8, 6, -8, -6);
    int dark = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    QVERIFY2(dark > 20, "the button caption was not drawn");

    const QString dir = qEnvironmentVariable("WIP_TEST_SCREENSHOTS");
    if (!dir.isEmpty())
        QVERIFY(image.save(QDir(dir).filePath(QStringLiteral("w_test_today.png"))));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
