#include "runtime/connectionstate.h"

#include <QTest>

using namespace wip;
using State = ConnectionState::State;

Q_DECLARE_METATYPE(ConnectionState::State)

namespace {

// Events by letter: c connect, d disconnect, b BEGIN done, e work ended (COMMIT,
// ROLLBACK, the loss answered), l the connection found lost.
void apply(ConnectionState &s, QChar event)
{
    switch (event.toLatin1()) {
    case 'c': s.connected(); break;
    case 'd': s.disconnected(); break;
    case 'b': s.begun(); break;
    case 'e': s.ended(); break;
    case 'l': s.lost(); break;
    default: QFAIL("unknown event");
    }
}

} // namespace

// The transitions of a transaction object's connection, without a database: what
// each event does in each state, and what the guard and the DataStore read from it.
class TestConnectionState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eventsMoveTheState_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<State>("state");
        QTest::addColumn<int>("losses");
        QTest::newRow("new") << "" << State::Disconnected << 0;
        QTest::newRow("connected") << "c" << State::Connected << 0;
        QTest::newRow("work begun") << "cb" << State::InTransaction << 0;
        QTest::newRow("work committed") << "cbe" << State::Connected << 0;
        QTest::newRow("next work") << "cbeb" << State::InTransaction << 0;
        QTest::newRow("disconnect with open work") << "cbd" << State::Disconnected << 0;
        // A loss without open work loses nothing: the next statement reconnects.
        QTest::newRow("idle loss") << "cl" << State::Connected << 1;
        QTest::newRow("work after an idle loss") << "clb" << State::InTransaction << 1;
        // Under open work the work goes with the connection, until answered.
        QTest::newRow("loss under work") << "cbl" << State::WorkLost << 1;
        QTest::newRow("lost work stays lost through a BEGIN") << "cblb" << State::WorkLost << 1;
        QTest::newRow("lost again") << "cbll" << State::WorkLost << 2;
        QTest::newRow("loss answered") << "cble" << State::Connected << 1;
        QTest::newRow("new work after the answer") << "cbleb" << State::InTransaction << 1;
        QTest::newRow("lost work disconnected") << "cbld" << State::Disconnected << 1;
        QTest::newRow("reconnect after lost work") << "cbldc" << State::Connected << 1;
        // Nothing moves a transaction that is not connected.
        QTest::newRow("begin unconnected") << "b" << State::Disconnected << 0;
        QTest::newRow("loss unconnected") << "l" << State::Disconnected << 0;
        QTest::newRow("end without work") << "ce" << State::Connected << 0;
    }
    void eventsMoveTheState()
    {
        QFETCH(QString, events);
        QFETCH(State, state);
        QFETCH(int, losses);
        ConnectionState s;
        for (QChar e : events)
            apply(s, e);
        QCOMPARE(s.state(), state);
        QCOMPARE(s.losses(), quint64(losses));
        QCOMPARE(s.isConnected(), state != State::Disconnected);
        QCOMPARE(s.inTransaction(), state == State::InTransaction);
        QCOMPARE(s.workLost(), state == State::WorkLost);
        QCOMPARE(s.hasOpenWork(), state == State::InTransaction || state == State::WorkLost);
    }
};

QTEST_APPLESS_MAIN(TestConnectionState)
#include "tst_connectionstate.moc"
