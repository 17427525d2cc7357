#include "UserConnect.h"

#include "BlockingWait.h"

#include <QTcpSocket>

namespace vellmar::session {

bool connectForUser(QTcpSocket &socket, const QString &host, std::uint16_t port, std::chrono::milliseconds timeout,
                    QString *error)
{
    // The first error is the telling one; an abort afterwards adds its own.
    std::optional<QAbstractSocket::SocketError> failure;
    const auto watch = QObject::connect(&socket, &QAbstractSocket::errorOccurred,
                                        [&](QAbstractSocket::SocketError e) { failure = failure.value_or(e); });
    socket.connectToHost(host, port);
    waitUntil(
        [&] {
            return socket.state() == QAbstractSocket::ConnectedState
                   || socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeout);
    QObject::disconnect(watch);
    if (socket.state() == QAbstractSocket::ConnectedState)
        return true;
    socket.abort();
    if (!error)
        return false;
    const QString where = host.contains(u':') ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                              : QStringLiteral("%1:%2").arg(host).arg(port);
    if (failure == QAbstractSocket::HostNotFoundError)
        *error = QStringLiteral("The host name \"%1\" was not found: check how it is spelt").arg(host);
    else if (failure == QAbstractSocket::ConnectionRefusedError)
        *error = QStringLiteral("%1 refused the connection: check the port, and that the host is running").arg(where);
    else if (!failure)
        *error = QStringLiteral("No answer from %1 within %2 s: check the address and the port, that the host is "
                                "running, and that its firewall or router lets players through to that port")
                     .arg(where)
                     .arg((timeout.count() + 500) / 1000);
    else
        *error = QStringLiteral("Cannot reach %1 (%2): check the address and your network connection")
                     .arg(where, socket.errorString());
    return false;
}

} // namespace vellmar::session
