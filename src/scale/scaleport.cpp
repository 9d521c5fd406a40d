#include "scale/scaleport.h"

#include "runtime/settings.h"

#include <QRegularExpression>

namespace wip {

bool ScalePort::parseSpeed(const QString &text, qint32 *speed, QString *why)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,7}$"));
    const QString t = text.trimmed();
    const qint32 value = digits.match(t).hasMatch() ? t.toInt() : 0;
    if (value < 50 || value > 4000000) {
        *why = QStringLiteral("秤的速度 scale/speed \"%1\" 不是每秒位数 (例如 9600)").arg(t);
        return false;
    }
    *speed = value;
    return true;
}

bool ScalePort::parseFrame(const QString &text, ScalePort *port, QString *why)
{
    static const QRegularExpression frame(QStringLiteral("^([5-8])([NEO])([12])$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QString t = text.trimmed();
    const QRegularExpressionMatch m = frame.match(t);
    if (!m.hasMatch()) {
        *why = QStringLiteral("秤的数据格式 scale/frame \"%1\" 要像 8N1 或 7E1 (数据位, 校验 N/E/O, 停止位)").arg(t);
        return false;
    }
    port->dataBits = QSerialPort::DataBits(m.captured(1).toInt());
    const QChar parity = m.captured(2).at(0).toUpper();
    port->parity = parity == QLatin1Char('E')   ? QSerialPort::EvenParity
                   : parity == QLatin1Char('O') ? QSerialPort::OddParity
                                                : QSerialPort::NoParity;
    port->stopBits = m.captured(3) == QLatin1String("2") ? QSerialPort::TwoStop : QSerialPort::OneStop;
    return true;
}

std::optional<ScalePort> ScalePort::fromSettings(const Settings &settings, QString *why)
{
    why->clear();
    ScalePort port;
    port.name = settings.scalePort().trimmed();
    if (port.name.isEmpty())
        return std::nullopt;
    if (!parseSpeed(settings.scaleSpeed(), &port.speed, why) || !parseFrame(settings.scaleFrame(), &port, why))
        return std::nullopt;
    return port;
}

} // namespace wip
