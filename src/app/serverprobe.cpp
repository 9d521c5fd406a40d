#include "app/serverprobe.h"

#include "runtime/transaction.h"

#include <QDeadlineTimer>
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

namespace {

// The first words of a PostgreSQL client that a server answers at once with one
// byte ('S' or 'N'), before any login: the SSL request (length 8, code 80877103).
// A client that then hangs up leaves no complaint in the server's log.
const QByteArray kSslRequest("\x00\x00\x00\x08\x04\xd2\x16\x2f", 8);

// Runs loop until quit or the deadline; false when the deadline ended it.
bool waitUntil(QEventLoop &loop, const QDeadlineTimer &deadline)
{
    if (deadline.hasExpired())
        return false;
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    timer.start(std::chrono::milliseconds(deadline.remainingTime()));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return !timedOut;
}

} // namespace

ServerProbe::Result ServerProbe::probe(const QString &host, int port, std::chrono::milliseconds timeout)
{
    Result result;
    result.host = host;
    result.port = port;
    const QDeadlineTimer deadline(timeout);

    // An event loop rather than waitForConnected(): the windows keep painting.
    // The one deadline covers reaching the server and its first answer.
    QTcpSocket socket;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
    socket.connectToHost(host, quint16(port));
    bool timedOut = false;
    if (socket.state() != QAbstractSocket::ConnectedState && socket.error() == QAbstractSocket::UnknownSocketError)
        timedOut = !waitUntil(loop, deadline);

    if (socket.state() == QAbstractSocket::ConnectedState) {
        // Reached: a server that takes the connection and never speaks (hung, or
        // another program on the port) would keep the driver waiting.
        socket.write(kSslRequest);
        if (socket.bytesAvailable() == 0 && socket.state() == QAbstractSocket::ConnectedState)
            timedOut = !waitUntil(loop, deadline);
        if (socket.bytesAvailable() > 0)
            result.outcome = Outcome::Reachable;
        else
            result.outcome = timedOut ? Outcome::NoAnswer : Outcome::Closed;
    } else if (timedOut) {
        result.outcome = Outcome::TimedOut;
    } else if (socket.error() == QAbstractSocket::ConnectionRefusedError) {
        result.outcome = Outcome::Refused;
    } else if (socket.error() == QAbstractSocket::HostNotFoundError) {
        result.outcome = Outcome::HostNotFound;
    } else if (socket.error() == QAbstractSocket::SocketTimeoutError) {
        result.outcome = Outcome::TimedOut;
    } else {
        result.outcome = Outcome::Unreachable;
    }
    const QString detail = socket.errorString();
    socket.abort();
    result.text = describe(result.outcome, host, port, timeout, detail);
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
    case Outcome::NoAnswer:
        return QStringLiteral("数据库服务器 %1 接受了连接, 但 %2 秒内没有应答 (超时)。\nThe database server %1 took the "
                              "connection but did not answer within %2 s (timed out): the server may be hung or "
                              "overloaded, or another program listens on port %3.")
            .arg(server)
            .arg(qMax<qint64>(1, (timeout.count() + 999) / 1000))
            .arg(port);
    case Outcome::Closed:
        return QStringLiteral("数据库服务器 %1 没有应答就断开了连接。\nThe database server %1 closed the connection "
                              "without answering: is it a PostgreSQL server, and is port %2 right?")
            .arg(server)
            .arg(port);
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
