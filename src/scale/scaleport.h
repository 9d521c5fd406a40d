#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace wip {

class Settings;

// The serial port a desk's scale is on, from the settings (wip.ini):
//
//   [scale]
//   port=/dev/ttyUSB0     or ttyUSB0; empty or absent: weights are typed
//   speed=9600            bits per second, as set on the scale
//   frame=8N1             data bits, parity (N, E, O) and stop bits; 7E1 for
//                         scales that send seven bits with even parity
struct ScalePort
{
    QString name;
    qint32 speed = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // The port of the settings; nullopt without a port (*why empty: weights
    // are typed) or when the speed or frame does not read (*why says which).
    static std::optional<ScalePort> fromSettings(const Settings &settings, QString *why);
    // "9600": a whole number of bits per second from 50 to 4000000.
    static bool parseSpeed(const QString &text, qint32 *speed, QString *why);
    // "8N1", "7e1", "8N2": data bits 5 to 8, parity N, E or O, stop bits 1 or 2.
    static bool parseFrame(const QString &text, ScalePort *port, QString *why);
};

} // namespace wip
