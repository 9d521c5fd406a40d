// The lines a scale sends, read exactly: a stable weight in grams with the
// decimals the scale sent, a moving one never taken, kilograms moved three
// places without rounding, and every line that is no weight Wip may take
// refused with its reason; the port settings of wip.ini read or refused.

#include "desk/deskinput.h"
#include "runtime/settings.h"
#include "scale/scaleport.h"
#include "scale/scalereading.h"

#include <QTemporaryDir>
#include <QTest>

using namespace wip;

using Kind = ScaleReading::Kind;
Q_DECLARE_METATYPE(ScaleReading::Kind)

class ScaleReadingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("grams");   // Stable: the grams; else what the reason says
        QTest::addColumn<bool>("net");
        QTest::newRow("stable gross") << QByteArray("ST,GS,+0012.345 g\r\n") << Kind::Stable << "12.345" << false;
        QTest::newRow("stable net, no blank") << QByteArray("ST,NT,+0012.345g") << Kind::Stable << "12.345" << true;
        QTest::newRow("blanks everywhere") << QByteArray("  ST , GS , +   12.345   g  \r") << Kind::Stable << "12.345"
                                           << false;
        QTest::newRow("padding blanks") << QByteArray("ST,GS,    12.30 g\n") << Kind::Stable << "12.30" << false;
        QTest::newRow("lower case") << QByteArray("st,nt,+0012.345 G") << Kind::Stable << "12.345" << true;
        QTest::newRow("no gross or net") << QByteArray("ST,+0003.1 g") << Kind::Stable << "3.1" << false;
        QTest::newRow("whole grams") << QByteArray("ST,GS,+001548 g") << Kind::Stable << "1548" << false;
        QTest::newRow("zero") << QByteArray("ST,GS,+0000.000 g") << Kind::Stable << "0.000" << false;
        QTest::newRow("minus zero") << QByteArray("ST,GS,-0000.000 g") << Kind::Stable << "0.000" << false;
        QTest::newRow("fourth decimal 0") << QByteArray("ST,GS,+0012.3450 g") << Kind::Stable << "12.345" << false;
        QTest::newRow("kilograms") << QByteArray("ST,GS,+0.012340 kg") << Kind::Stable << "12.340" << false;
        QTest::newRow("kilograms, few places") << QByteArray("ST,GS,+1.5 kg") << Kind::Stable << "1500" << false;
        QTest::newRow("kilograms, milligram") << QByteArray("ST,NT,+0.000005 KG") << Kind::Stable << "0.005" << true;
        QTest::newRow("unstable") << QByteArray("US,GS,+0012.3 g") << Kind::Unstable << "12.3 g" << false;
        QTest::newRow("unstable negative") << QByteArray("US,NT,-0000.020 g") << Kind::Unstable << "-0.020 g" << true;
        QTest::newRow("fourth decimal") << QByteArray("ST,GS,+0012.3456 g") << Kind::Refused << "12.3456 g" << false;
        QTest::newRow("kilograms beyond mg") << QByteArray("ST,GS,+0.0123456 kg") << Kind::Refused << "0.0123456 kg"
                                             << false;
        QTest::newRow("negative") << QByteArray("ST,GS,-0000.120 g") << Kind::Refused << "归零" << false;
        QTest::newRow("overload") << QByteArray("OL,GS,+9999999E+19") << Kind::Refused << "OL" << false;
        QTest::newRow("carats") << QByteArray("ST,GS,+0061.725 ct") << Kind::Refused << "61.725 ct" << false;
        QTest::newRow("ounces") << QByteArray("ST,GS,+0000.435 oz") << Kind::Refused << "g" << false;
        QTest::newRow("no unit") << QByteArray("ST,GS,+0012.345") << Kind::Refused << "单位" << false;
        QTest::newRow("too large") << QByteArray("ST,GS,+1234567890 g") << Kind::Refused << "1234567890" << false;
        QTest::newRow("empty") << QByteArray("\r\n") << Kind::Blank << "" << false;
        QTest::newRow("noise") << QByteArray("\xff\xfe\x80@") << Kind::Garbled << "\\xff\\xfe\\x80@" << false;
        QTest::newRow("header only") << QByteArray("ST,GS") << Kind::Garbled << "ST,GS" << false;
        QTest::newRow("tare") << QByteArray("ST,TR,+0001.000 g") << Kind::Garbled << "TR" << false;
        QTest::newRow("comma decimal") << QByteArray("ST,GS,+0012,345 g") << Kind::Garbled << "0012,345" << false;
        QTest::newRow("two signs") << QByteArray("ST,GS,+-12.345 g") << Kind::Garbled << "+-" << false;
        QTest::newRow("dot only") << QByteArray("ST,GS,+12. g") << Kind::Garbled << "12." << false;
        QTest::newRow("counting") << QByteArray("QT,+00000120 PC") << Kind::Garbled << "QT" << false;
        QTest::newRow("long noise") << QByteArray(60, 'x') << Kind::Garbled << "…" << false;
    }

    void lines()
    {
        QFETCH(QByteArray, line);
        QFETCH(Kind, kind);
        QFETCH(QString, grams);
        QFETCH(bool, net);
        const ScaleReading r = ScaleReading::parse(line);
        QCOMPARE(r.kind, kind);
        switch (kind) {
        case Kind::Stable: {
            QCOMPARE(r.grams, grams);
            QCOMPARE(r.net, net);
            QVERIFY(r.why.isEmpty());
            // The grams are what the desk takes as typed, to the milligram.
            QString why;
            QVERIFY2(DeskInput::weight(r.grams, QStringLiteral("重量"), &why), qPrintable(why));
            QCOMPARE(r.isZero(), grams.count(u'0') + grams.count(u'.') == grams.size());
            break;
        }
        case Kind::Unstable:
            QCOMPARE(r.shown, grams);
            QCOMPARE(r.net, net);
            QVERIFY(r.grams.isEmpty());
            break;
        case Kind::Refused:
        case Kind::Garbled:
            QVERIFY(r.grams.isEmpty());
            QVERIFY(!r.isZero());
            QVERIFY2(r.why.contains(grams), qPrintable(r.why));
            break;
        case Kind::Blank: QVERIFY(r.grams.isEmpty() && r.why.isEmpty()); break;
        }
    }

    void speeds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("speed");   // 0: refused
        QTest::newRow("9600") << "9600" << 9600;
        QTest::newRow("blanks") << " 2400 " << 2400;
        QTest::newRow("fast") << "115200" << 115200;
        QTest::newRow("too slow") << "10" << 0;
        QTest::newRow("too fast") << "9600000" << 0;
        QTest::newRow("unit") << "9600bps" << 0;
        QTest::newRow("negative") << "-9600" << 0;
        QTest::newRow("empty") << "" << 0;
    }

    void speeds()
    {
        QFETCH(QString, text);
        QFETCH(int, speed);
        qint32 got = 0;
        QString why;
        QCOMPARE(ScalePort::parseSpeed(text, &got, &why), speed != 0);
        QCOMPARE(got, speed);
        QCOMPARE(why.contains(QLatin1String("scale/speed")), speed == 0);
    }

    void frames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("8N1") << "8N1" << true << 8 << int(QSerialPort::NoParity) << int(QSerialPort::OneStop);
        QTest::newRow("7E1") << "7e1" << true << 7 << int(QSerialPort::EvenParity) << int(QSerialPort::OneStop);
        QTest::newRow("8O2") << " 8O2 " << true << 8 << int(QSerialPort::OddParity) << int(QSerialPort::TwoStop);
        QTest::newRow("nine bits") << "9N1" << false << 0 << 0 << 0;
        QTest::newRow("mark parity") << "8M1" << false << 0 << 0 << 0;
        QTest::newRow("three stop bits") << "8N3" << false << 0 << 0 << 0;
        QTest::newRow("words") << "8-N-1" << false << 0 << 0 << 0;
    }

    void frames()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, dataBits);
        QFETCH(int, parity);
        QFETCH(int, stopBits);
        ScalePort port;
        QString why;
        QCOMPARE(ScalePort::parseFrame(text, &port, &why), ok);
        if (!ok) {
            QVERIFY2(why.contains(QLatin1String("scale/frame")), qPrintable(why));
            return;
        }
        QCOMPARE(int(port.dataBits), dataBits);
        QCOMPARE(int(port.parity), parity);
        QCOMPARE(int(port.stopBits), stopBits);
    }

    // wip.ini without a port: weights are typed, nothing is wrong; with one, its
    // speed and frame (9600 8N1 unless set), or the setting that does not read.
    void portFromSettings()
    {
        QTemporaryDir dir;
        Settings::setFile(dir.filePath(QStringLiteral("wip.ini")));
        QString why = QStringLiteral("left over");
        QVERIFY(!ScalePort::fromSettings(Settings(), &why));
        QVERIFY(why.isEmpty());
        {
            Settings s;
            s.setScalePort(QStringLiteral(" ttyUSB0 "));
            QVERIFY(s.sync());
        }
        auto port = ScalePort::fromSettings(Settings(), &why);
        QVERIFY2(port, qPrintable(why));
        QCOMPARE(port->name, QStringLiteral("ttyUSB0"));
        QCOMPARE(port->speed, 9600);
        QCOMPARE(port->dataBits, QSerialPort::Data8);
        {
            Settings s;
            s.setScaleSpeed(QStringLiteral("2400"));
            s.setScaleFrame(QStringLiteral("7E1"));
            QVERIFY(s.sync());
        }
        port = ScalePort::fromSettings(Settings(), &why);
        QVERIFY2(port, qPrintable(why));
        QCOMPARE(port->speed, 2400);
        QCOMPARE(port->parity, QSerialPort::EvenParity);
        {
            Settings s;
            s.setScaleSpeed(QStringLiteral("fast"));
            QVERIFY(s.sync());
        }
        QVERIFY(!ScalePort::fromSettings(Settings(), &why));
        QVERIFY2(why.contains(QLatin1String("scale/speed")) && why.contains(QLatin1String("fast")), qPrintable(why));
        Settings::setFile(QString());
    }
};

QTEST_GUILESS_MAIN(ScaleReadingTest)
#include "tst_scalereading.moc"
