#include "app/serverprobe.h"

#include "runtime/transaction.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

namespace wip {

ServerProbe::Result ServerProbe::probe(const ConnectionSettings &settings, std::chrono::milliseconds timeout)
{
    if (settings.kind() != DbKind::PostgreSQL)
        return {};
    // "host" or "host:port", read as the connection reads it.
    QString host = settings.serverName.trimmed();
    int port = defaultPort;
    const int colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        bool ok = false;
        const int p = host.mid(colon + 1).toInt(&ok);
        if (ok)
            port = p;
        host = host.left(colon);
    }
    if (host.isEmpty() || host.startsWith(QLatin1Char('/')))
        return {};
    return probe(host, port, timeout);
}

ServerProbe::Result ServerProbe::probe(const QString &host, int port, std::chrono::milliseconds timeout)
{
    Result result;
    result.host = host;
    result.port = port;

    // An event loop rather than waitForConnected(): the windows keep painting.
    QTcpSocket socket;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    socket.connectToHost(host, quint16(port));
    timer.start(timeout);
    if (socket.state() != QAbstractSocket::ConnectedState && socket.error() == QAbstractSocket::UnknownSocketError)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (socket.state() == QAbstractSocket::ConnectedState) {
        result.outcome = Outcome::Reachable;
        socket.abort();
        return result;
    }
    if (timedOut)
        result.outcome = Outcome::TimedOut;
    else if (socket.error() == QAbstractSocket::ConnectionRefusedError)
        result.outcome = Outcome::Refused;
    else if (socket.error() == QAbstractSocket::HostNotFoundError)
        result.outcome = Outcome::HostNotFound;
    else if (socket.error() == QAbstractSocket::SocketTimeoutError)
        result.outcome = Outcome::TimedOut;
    else
        result.outcome = Outcome::Unreachable;
    socket.abort();
    result.text = describe(result.outcome, host, port, timeout, socket.errorString());
    return result;
}

QString ServerProbe::describe(Outcome outcome, const QString &host, int port, std::chrono::milliseconds timeout,
                              const QString &detail)
{
    const QString server = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                                           : QStringLiteral("%1:%2").arg(host).arg(port);
    switch (outcome) {
    case Outcome::Reachable:
    case Outcome::NotProbed:
        return QString();
    case Outcome::Refused:
        return QStringLiteral("数据库服务器 %1 拒绝连接。\nThe database server %1 refused the connection: "
                              "nothing listens on port %2 of %3. Is the server running, and is the port right?")
            .arg(server)
            .arg(port)
            .arg(host);
    case Outcome::TimedOut:
        return QStringLiteral("数据库服务器 %1 无应答 (超时 %2 秒)。\nThe database server %1 did not answer within "
                              "%2 s (timed out): the machine may be off or out of the network, or a firewall "
                              "drops the connection.")
            .arg(server)
            .arg(qMax<qint64>(1, (timeout.count() + 999) / 1000));
    case Outcome::HostNotFound:
        return QStringLiteral("找不到数据库服务器 %1。\nThe database server %1 cannot be reached: the host name "
                              "%2 is not known. Is it spelt right?")
            .arg(server, host);
    case Outcome::Unreachable:
        break;
    }
    return QStringLiteral("无法连接数据库服务器 %1。\nThe database server %1 cannot be reached: %2")
        .arg(server, detail.isEmpty() ? QStringLiteral("the network gives no way there.") : detail);
}

} // namespace wip
