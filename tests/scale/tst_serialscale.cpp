// The scale read over a serial port, with a pseudo-terminal standing in for
// the scale: the test writes the scale's lines to the master side, SerialScale
// opens the slave side as it opens /dev/ttyUSB0. A stable weight is handed on
// once, a moving one never; lines that are no weight are told, not taken; a
// scale that falls silent, a port pulled out and a port that is not there are
// said at once.

#include "runtime/settings.h"
#include "scale/serialscale.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace wip;

namespace {

// The master side of a pseudo-terminal: what the test writes there, the port
// at slavePath() reads.
class PseudoScale
{
public:
    PseudoScale()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~PseudoScale() { hangUp(); }
    PseudoScale(const PseudoScale &) = delete;
    PseudoScale &operator=(const PseudoScale &) = delete;

    bool isValid() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString slavePath() const { return m_slave; }

    bool send(const QByteArray &bytes)
    {
        return m_master >= 0 && ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // The cable pulled out.
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};

ScalePort portOf(const PseudoScale &scale)
{
    ScalePort port;
    port.name = scale.slavePath();
    return port;
}

} // namespace

class SerialScaleTest : public QObject
{
    Q_OBJECT

    // Waits until the scale is in state, after the lines written before.
    static bool reaches(SerialScale &scale, SerialScale::State state)
    {
        return QTest::qWaitFor([&] { return scale.state() == state; }, 5000);
    }

    static QStringList weights(const QSignalSpy &spy)
    {
        QStringList list;
        for (const QList<QVariant> &args : spy)
            list << args.at(0).toString();
        return list;
    }

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<SerialScale::State>(); }

    // A bag put on the scale: moving, then steady in many lines, handed on once;
    // a line split between two writes is one line; CR or LF or both end it.
    void stableWeightHandedOnOnce()
    {
        PseudoScale pty;
        QVERIFY(pty.isValid());
        SerialScale scale;
        QSignalSpy taken(&scale, &SerialScale::stableWeight);
        QVERIFY2(scale.open(portOf(pty)), qPrintable(scale.statusText()));
        QCOMPARE(scale.state(), SerialScale::State::Waiting);

        QVERIFY(pty.send("US,GS,+0003.100 g\r\nUS,GS,+0012.300 g\r\n"));
        QVERIFY(reaches(scale, SerialScale::State::Unstable));
        QVERIFY2(scale.statusText().contains(QLatin1String("12.300 g")), qPrintable(scale.statusText()));
        QVERIFY(scale.currentWeight().isEmpty());
        QVERIFY(pty.send("ST,GS,+00"));
        QVERIFY(pty.send("12.345 g\r\nST,GS,+0012.345 g\rST,GS,+0012.345 g\nST,GS,+0012.345 g\r\n"));
        QVERIFY(reaches(scale, SerialScale::State::Stable));
        // The scale wobbles and settles on the same weight: nothing new to take.
        QVERIFY(pty.send("US,GS,+0012.346 g\r\nST,GS,+0012.345 g\r\nUS,GS,+0012.340 g\r\n"));
        QVERIFY(reaches(scale, SerialScale::State::Unstable));
        QCOMPARE(weights(taken), QStringList{"12.345"});
        QVERIFY(scale.currentWeight().isEmpty());

        // Another weight is handed on; the same bag again after the scale was emptied, too.
        QVERIFY(pty.send("ST,NT,+0012.350g\r\nST,GS,+0000.000 g\r\nST,GS,+0012.350 g\r\n"));
        QTRY_COMPARE(weights(taken), (QStringList{"12.345", "12.350", "12.350"}));
        QCOMPARE(scale.state(), SerialScale::State::Stable);
        QCOMPARE(scale.currentWeight(), QStringLiteral("12.350"));
        QVERIFY2(scale.statusText().contains(QLatin1String("12.350 g")), qPrintable(scale.statusText()));
    }

    // Lines that are no weight Wip takes change the state and say why; none is
    // handed on, and the next good line is.
    void refusedAndGarbledLinesAreTold_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<SerialScale::State>("state");
        QTest::addColumn<QString>("inText");
        QTest::newRow("fourth decimal") << QByteArray("ST,GS,+0012.3456 g\r\n") << SerialScale::State::Refused
                                        << "12.3456 g";
        QTest::newRow("negative") << QByteArray("ST,GS,-0001.000 g\r\n") << SerialScale::State::Refused << "归零";
        QTest::newRow("overload") << QByteArray("OL,GS,+9999999E+19\r\n") << SerialScale::State::Refused << "OL";
        QTest::newRow("wrong speed") << QByteArray("\xf8\x80\xfe\x1c\r\n") << SerialScale::State::Garbled
                                     << "scale/speed";
        QTest::newRow("no line end") << QByteArray(300, '\x55') << SerialScale::State::Garbled << "UUUU";
    }

    void refusedAndGarbledLinesAreTold()
    {
        QFETCH(QByteArray, line);
        QFETCH(SerialScale::State, state);
        QFETCH(QString, inText);
        PseudoScale pty;
        QVERIFY(pty.isValid());
        SerialScale scale;
        QSignalSpy taken(&scale, &SerialScale::stableWeight);
        QSignalSpy states(&scale, &SerialScale::stateChanged);
        QVERIFY2(scale.open(portOf(pty)), qPrintable(scale.statusText()));
        QVERIFY(pty.send(line));
        QVERIFY(reaches(scale, state));
        QVERIFY2(scale.statusText().contains(inText), qPrintable(scale.statusText()));
        QCOMPARE(states.last().at(0).value<SerialScale::State>(), state);
        QCOMPARE(states.last().at(1).toString(), scale.statusText());
        QVERIFY(scale.currentWeight().isEmpty());
        QVERIFY(pty.send("ST,GS,+0000.01240 kg\r\n"));
        QTRY_COMPARE(weights(taken), QStringList{"12.40"});   // 0.01240 kg: grams to the place sent
    }

    // A scale that sends nothing, from the start or after a weight, is said not
    // to answer; its weight is no longer current, and is handed on again when
    // the scale comes back.
    void silentScaleIsTold()
    {
        PseudoScale pty;
        QVERIFY(pty.isValid());
        SerialScale scale;
        scale.setSilenceTimeout(200);
        QSignalSpy taken(&scale, &SerialScale::stableWeight);
        QVERIFY2(scale.open(portOf(pty)), qPrintable(scale.statusText()));
        QVERIFY(reaches(scale, SerialScale::State::Silent));
        QVERIFY2(scale.statusText().contains(QStringLiteral("没有回应")) && scale.statusText().contains(pty.slavePath()),
                 qPrintable(scale.statusText()));

        QVERIFY(pty.send("ST,GS,+0031.250 g\r\n"));
        QVERIFY(reaches(scale, SerialScale::State::Stable));
        QCOMPARE(scale.currentWeight(), QStringLiteral("31.250"));
        QVERIFY(reaches(scale, SerialScale::State::Silent));
        QVERIFY(scale.currentWeight().isEmpty());
        QVERIFY(pty.send("ST,GS,+0031.250 g\r\n"));
        QVERIFY(reaches(scale, SerialScale::State::Stable));
        QCOMPARE(weights(taken), (QStringList{"31.250", "31.250"}));
    }

    // The cable pulled out while open: the port is named, closed, and no
    // silence is told after it.
    void lostPortIsTold()
    {
        PseudoScale pty;
        QVERIFY(pty.isValid());
        SerialScale scale;
        scale.setSilenceTimeout(300);
        QVERIFY2(scale.open(portOf(pty)), qPrintable(scale.statusText()));
        QVERIFY(pty.send("ST,GS,+0001.000 g\r\n"));
        QVERIFY(reaches(scale, SerialScale::State::Stable));
        pty.hangUp();
        QVERIFY2(reaches(scale, SerialScale::State::Failed), qPrintable(scale.statusText()));
        QVERIFY2(scale.statusText().contains(pty.slavePath()), qPrintable(scale.statusText()));
        QTest::qWait(600);
        QCOMPARE(scale.state(), SerialScale::State::Failed);
        QVERIFY(scale.currentWeight().isEmpty());
    }

    // A port that is not there, or settings that do not read, are named with the
    // reason; without a port in the settings the weights are typed.
    void portThatCannotBeOpened()
    {
        SerialScale scale;
        QSignalSpy states(&scale, &SerialScale::stateChanged);
        ScalePort port;
        port.name = QStringLiteral("/dev/ttyWIP-not-there");
        QVERIFY(!scale.open(port));
        QCOMPARE(scale.state(), SerialScale::State::Failed);
        QVERIFY2(scale.statusText().contains(port.name) && scale.statusText().contains(QStringLiteral("没有这个端口")),
                 qPrintable(scale.statusText()));
        QCOMPARE(states.last().at(1).toString(), scale.statusText());

        QTemporaryDir dir;
        Settings::setFile(dir.filePath(QStringLiteral("wip.ini")));
        QVERIFY(!scale.openFromSettings());
        QCOMPARE(scale.state(), SerialScale::State::Closed);
        PseudoScale pty;
        QVERIFY(pty.isValid());
        {
            Settings s;
            s.setScalePort(pty.slavePath());
            s.setScaleFrame(QStringLiteral("8X1"));
            QVERIFY(s.sync());
        }
        QVERIFY(!scale.openFromSettings());
        QCOMPARE(scale.state(), SerialScale::State::Failed);
        QVERIFY2(scale.statusText().contains(QLatin1String("scale/frame")), qPrintable(scale.statusText()));
        {
            Settings s;
            s.setScaleFrame(QStringLiteral("7E1"));
            QVERIFY(s.sync());
        }
        QVERIFY2(scale.openFromSettings(), qPrintable(scale.statusText()));
        QCOMPARE(scale.portName(), pty.slavePath());
        QVERIFY(pty.send("ST,GS,+0002.000 g\r\n"));
        QVERIFY(reaches(scale, SerialScale::State::Stable));
        Settings::setFile(QString());
    }
};

QTEST_GUILESS_MAIN(SerialScaleTest)
#include "tst_serialscale.moc"
