#include "scale/serialscale.h"

#include "runtime/settings.h"

namespace wip {

namespace {

// A scale's line is some twenty characters; bytes that run on much longer
// without a line end are no scale's.
constexpr qsizetype kLongestLine = 128;

QString closedText()
{
    return QStringLiteral("没有接电子秤, 重量用键盘输入 No scale: type the weight");
}

} // namespace

SerialScale::SerialScale(QObject *parent) : QObject(parent), m_port(this), m_silence(this), m_text(closedText())
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(1500);
    connect(&m_silence, &QTimer::timeout, this, &SerialScale::silent);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialScale::readLines);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialScale::portError);
}

SerialScale::~SerialScale()
{
    // The port is closed quietly: nobody listens to the state any more.
    m_silence.stop();
    m_port.disconnect(this);
    m_port.close();
}

void SerialScale::setSilenceTimeout(int milliseconds)
{
    m_silence.setInterval(milliseconds);
}

bool SerialScale::openFromSettings()
{
    QString why;
    const std::optional<ScalePort> port = ScalePort::fromSettings(Settings(), &why);
    if (port)
        return open(*port);
    close();
    if (!why.isEmpty())
        setState(State::Failed, why);
    return false;
}

bool SerialScale::open(const ScalePort &port)
{
    close();
    m_portName = port.name;
    m_port.setPortName(port.name);
    m_port.setBaudRate(port.speed);
    m_port.setDataBits(port.dataBits);
    m_port.setParity(port.parity);
    m_port.setStopBits(port.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadOnly)) {
        setState(State::Failed, openFailure());
        return false;
    }
    // What the port held from before is no reading of now.
    m_port.clear(QSerialPort::Input);
    setState(State::Waiting, QStringLiteral("等秤 %1 送重量 Waiting for the scale").arg(m_portName));
    m_silence.start();
    return true;
}

void SerialScale::shut()
{
    ++m_opening;
    m_silence.stop();
    if (m_port.isOpen())
        m_port.close();
    m_buffer.clear();
    m_taken.clear();
}

void SerialScale::close()
{
    shut();
    setState(State::Closed, closedText());
}

QString SerialScale::openFailure() const
{
    QString reason;
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError: reason = QStringLiteral("没有这个端口 no such port"); break;
    case QSerialPort::PermissionError:
        reason = QStringLiteral("没有权限, 或别的程序正在用 (用户要在 dialout 组里) permission denied or in use");
        break;
    default: reason = m_port.errorString(); break;
    }
    return QStringLiteral("打不开秤的端口 %1: %2 (%3)").arg(m_portName, reason, m_port.errorString());
}

void SerialScale::readLines()
{
    // A slot of stableWeight may close or reopen the port: the lines read
    // before that are the last of this opening.
    const int opening = m_opening;
    const QByteArray fresh = m_port.readAll();
    if (opening != m_opening)   // the port was lost while reading
        return;
    const QByteArray bytes = m_buffer + fresh;
    m_buffer.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        if (i > start)
            take(QByteArrayView(bytes).sliced(start, i - start));
        if (opening != m_opening)
            return;
        start = i + 1;
    }
    if (bytes.size() - start > kLongestLine)
        take(QByteArrayView(bytes).sliced(start));
    else
        m_buffer = bytes.mid(start);
}

void SerialScale::take(QByteArrayView line)
{
    m_silence.start();   // the scale is talking
    const ScaleReading r = ScaleReading::parse(line);
    const QString net = r.net ? QStringLiteral(" 净重 NT") : QString();
    switch (r.kind) {
    case ScaleReading::Kind::Blank: return;
    case ScaleReading::Kind::Unstable:
        setState(State::Unstable, QStringLiteral("不稳定 Unstable %1").arg(r.shown) + net);
        return;
    case ScaleReading::Kind::Refused:
        setState(State::Refused, QStringLiteral("不收 Refused: %1").arg(r.why));
        return;
    case ScaleReading::Kind::Garbled:
        setState(State::Garbled, QStringLiteral("读不懂 Garbled: %1 (秤的速度和格式: scale/speed, scale/frame)").arg(r.why));
        return;
    case ScaleReading::Kind::Stable: break;
    }
    if (r.isZero()) {
        m_taken.clear();
        setState(State::Empty, QStringLiteral("秤上是空的 Empty %1").arg(r.shown) + net);
        return;
    }
    const bool changed = r.grams != m_taken;
    m_taken = r.grams;
    setState(State::Stable, QStringLiteral("稳定 Stable %1 g").arg(r.grams) + net);
    if (changed)
        Q_EMIT stableWeight(r.grams);
}

void SerialScale::portError(QSerialPort::SerialPortError error)
{
    // Failures to open are told by open(); these are the port lost while open.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
                      || error == QSerialPort::DeviceNotFoundError || error == QSerialPort::PermissionError;
    if (!lost || !m_port.isOpen())
        return;
    const QString why = m_port.errorString();
    shut();
    setState(State::Failed, QStringLiteral("秤的端口 %1 断开了 Scale port lost: %2").arg(m_portName, why));
}

void SerialScale::silent()
{
    if (!m_port.isOpen())
        return;
    m_taken.clear();
    setState(State::Silent, QStringLiteral("秤没有回应 Scale not answering: %1 %2 秒没有送重量")
                                .arg(m_portName)
                                .arg(m_silence.interval() / 1000.0, 0, 'f', 1));
}

void SerialScale::setState(State state, const QString &text)
{
    if (state == m_state && text == m_text)
        return;
    m_state = state;
    m_text = text;
    Q_EMIT stateChanged(state, text);
}

} // namespace wip
