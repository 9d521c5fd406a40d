#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/window.h"

#include <QTest>

#include <stdexcept>

using namespace wip;

namespace {

// A window whose handlers fail in the ways host calls fail.
class w_test_failing : public Window
{
    Q_OBJECT
public:
    CommandButton *cb_fail = nullptr;
    CommandButton *cb_ok = nullptr;
    CommandButton *cb_chain = nullptr;
    DropDownListBox *ddlb_1 = nullptr;

    QStringList steps;
    QList<int> indexes;
    int chainResult = 0;

    void build()
    {
        cb_fail = new CommandButton(this, QStringLiteral("cb_fail"), QStringLiteral("删除&3"));
        cb_ok = new CommandButton(this, QStringLiteral("cb_ok"), QStringLiteral("确定"));
        cb_chain = new CommandButton(this, QStringLiteral("cb_chain"), QStringLiteral("查找&0"));
        ddlb_1 = new DropDownListBox(this, QStringLiteral("ddlb_1"));
        on(cb_fail, &CommandButton::clicked, this, &w_test_failing::cb_fail_clicked);
        on(cb_ok, &CommandButton::clicked, this, &w_test_failing::cb_ok_clicked);
        on(cb_chain, &CommandButton::clicked, this, &w_test_failing::cb_chain_clicked);
        on(ddlb_1, &DropDownListBox::selectionchanged, this, &w_test_failing::ddlb_1_selectionchanged);
    }

    void cb_fail_clicked()
    {
        steps << QStringLiteral("before");
        throw HostError(ErrRowOutOfRange, QStringLiteral("row 7 of 3"));
        steps << QStringLiteral("after");
    }
    void cb_ok_clicked() { steps << QStringLiteral("ok"); }
    int cb_chain_clicked()
    {
        steps << QStringLiteral("chain");
        chainResult = cb_fail->TriggerEvent();
        steps << QStringLiteral("chain goes on");
        return chainResult;
    }
    void ddlb_1_selectionchanged(int index) { indexes << index; }
};

} // namespace

// Every handler runs through the dispatcher: a failing host call ends the
// handler with exactly the trace line, and nothing else breaks.
class TestDispatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Trace::clearCaptured(); }

    void hostErrorEndsTheHandlerWithTheTraceLine();
    void otherExceptionsAreGenericErrors();
    void failureInAClickedHandlerStaysInIt();
    void triggerEventReportsTheTriggeredHandler();
    void handlersReceiveTheSignalArguments();
};

void TestDispatcher::hostErrorEndsTheHandlerWithTheTraceLine()
{
    QStringList steps;
    const int failuresBefore = Dispatcher::failureCount();
    const bool ok = Dispatcher::run(nullptr, "cb_query_clicked", [&] {
        steps << QStringLiteral("update");
        throw HostError(ErrNullObject, QStringLiteral("w_scno_process"));
        steps << QStringLiteral("retrieve");
    });
    QVERIFY(!ok);
    QCOMPARE(steps, QStringList{QStringLiteral("update")});
    QCOMPARE(Dispatcher::failureCount(), failuresBefore + 1);
    const QStringList lines = Trace::captured();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 4 ***"));
    QVERIFY(lines.at(1).contains(QStringLiteral("cb_query_clicked")));
    QVERIFY(lines.at(1).contains(QStringLiteral("w_scno_process")));

    Trace::clearCaptured();
    QVERIFY(Dispatcher::run(nullptr, "open", [] {}));
    QVERIFY(Trace::captured().isEmpty());
    QCOMPARE(Dispatcher::failureCount(), failuresBefore + 1);
}

void TestDispatcher::otherExceptionsAreGenericErrors()
{
    QVERIFY(!Dispatcher::run(nullptr, "open", [] { throw std::out_of_range("index 9"); }));
    QCOMPARE(Trace::captured().value(0), Trace::problemLine(ErrGeneric));
    QVERIFY(Trace::captured().value(1).contains(QStringLiteral("index 9")));

    Trace::clearCaptured();
    QVERIFY(!Dispatcher::run(nullptr, "open", [] { throw 42; }));
    QCOMPARE(Trace::captured().value(0), Trace::problemLine(ErrGeneric));
}

void TestDispatcher::failureInAClickedHandlerStaysInIt()
{
    w_test_failing w;
    w.build();
    QTest::mouseClick(w.cb_fail, Qt::LeftButton);
    QCOMPARE(w.steps, QStringList{QStringLiteral("before")});
    QCOMPARE(Trace::captured().value(0), Trace::problemLine(ErrRowOutOfRange));
    const QString where = Trace::captured().value(1);
    QVERIFY2(where.contains(QStringLiteral("w_test_failing")) && where.contains(QStringLiteral("cb_fail")),
             qPrintable(where));
    QVERIFY(where.contains(QStringLiteral("row 7 of 3")));

    // The window goes on working.
    QTest::mouseClick(w.cb_ok, Qt::LeftButton);
    QCOMPARE(w.steps.last(), QStringLiteral("ok"));
}

void TestDispatcher::triggerEventReportsTheTriggeredHandler()
{
    w_test_failing w;
    w.build();
    QCOMPARE(w.cb_ok->TriggerEvent(), 1);
    QCOMPARE(w.steps, QStringList{QStringLiteral("ok")});

    // The triggered handler fails: it ends, TriggerEvent gives -1, and the
    // handler that triggered it goes on.
    w.steps.clear();
    QTest::mouseClick(w.cb_chain, Qt::LeftButton);
    QCOMPARE(w.chainResult, -1);
    QCOMPARE(w.steps, (QStringList{QStringLiteral("chain"), QStringLiteral("before"),
                                   QStringLiteral("chain goes on")}));
    QCOMPARE(Trace::captured().count(Trace::problemLine(ErrRowOutOfRange)), 1);

    CommandButton lonely(&w, QStringLiteral("cb_lonely"));
    QCOMPARE(lonely.TriggerEvent(), -1);
    QCOMPARE(lonely.TriggerEvent(ControlEvent::GetFocus), -1);
}

void TestDispatcher::handlersReceiveTheSignalArguments()
{
    w_test_failing w;
    w.build();
    w.ddlb_1->AddItem(QStringLiteral("1-无石Stone delay"));
    w.ddlb_1->AddItem(QStringLiteral("2-未齐石stone pending"));
    Q_EMIT w.ddlb_1->activated(1);          // as the list does when the user picks item 2
    QCOMPARE(w.indexes, QList<int>{2});

    // A lambda takes all the arguments or none.
    QList<QPair<int, int>> keys;
    int plain = 0;
    on(&w, &Window::key, &w, [&](int key, int flags) { keys.append({key, flags}); });
    on(&w, &Window::key, &w, [&] { ++plain; });
    Q_EMIT w.key(13, 1);
    QCOMPARE(keys, (QList<QPair<int, int>>{{13, 1}}));
    QCOMPARE(plain, 1);
}

QTEST_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
