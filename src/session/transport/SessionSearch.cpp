#include "SessionSearch.h"

#include "BlockingWait.h"
#include "FrameCodec.h"
#include "Frames.h"
#include "SessionAddress.h"
#include "UserConnect.h"

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>

namespace vellmar::session {

namespace {

SessionDescription describe(const InfoFrame &info, const QString &host)
{
    SessionDescription d;
    d.guidApplication = info.guidApplication;
    d.sessionName = info.sessionName;
    d.maxPlayers = static_cast<int>(info.maxPlayers);
    d.flags = info.flags;
    d.hostAddress = host;
    d.hostPort = info.tcpPort;
    d.currentPlayers = static_cast<int>(info.players);
    return d;
}

bool matches(const InfoFrame &info, const QString &guidApplication)
{
    return info.version == kProtocolVersion && info.guidApplication == guidApplication;
}

} // namespace

std::optional<SessionDescription> querySession(const TransportSettings &settings, const QString &host,
                                               std::uint16_t port, const QString &guidApplication, QString *error)
{
    QTcpSocket socket;
    if (!connectForUser(socket, host, port, settings.joinConnectTimeout, error))
        return std::nullopt;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.write(encode(QueryFrame{guidApplication, kProtocolVersion}));

    QByteArray in;
    std::optional<SessionDescription> found;
    std::optional<std::uint16_t> otherVersion;
    bool done = false;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        in.append(socket.readAll());
        const auto frame = decodeFrame(in, settings.maxFrameBytes);
        if (frame.status == DecodedFrame::Status::NeedMore)
            return;
        done = true;
        if (frame.status == DecodedFrame::Status::Complete && frame.kind == FrameKind::Info) {
            if (const auto info = parseInfo(frame.body); info && matches(*info, guidApplication))
                found = describe(*info, host);
            else if (info && info->guidApplication == guidApplication)
                otherVersion = info->version;
        }
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] { done = true; });
    waitUntil([&] { return done; }, settings.handshakeTimeout);
    socket.abort();
    if (!found && error)
        *error = otherVersion ? versionMismatchText(*otherVersion, kProtocolVersion)
                              : QStringLiteral("No session of this program at %1:%2").arg(host).arg(port);
    return found;
}

QList<SessionDescription> searchSessions(const TransportSettings &settings, const QString &guidApplication)
{
    QList<SessionDescription> found;
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        return found;
    QObject::connect(&socket, &QUdpSocket::readyRead, [&] {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram(4096);
            const QByteArray data = datagram.data();
            const auto frame = decodeFrame(data, settings.maxFrameBytes);
            if (frame.status != DecodedFrame::Status::Complete || frame.consumed != data.size()
                || frame.kind != FrameKind::Info)
                continue;
            const auto info = parseInfo(frame.body);
            if (!info || !matches(*info, guidApplication))
                continue;
            const SessionDescription d = describe(*info, plainAddress(datagram.senderAddress()));
            const bool seen = std::any_of(found.cbegin(), found.cend(), [&](const SessionDescription &s) {
                return s.hostAddress == d.hostAddress && s.hostPort == d.hostPort;
            });
            if (!seen)
                found.append(d);
        }
    });
    socket.writeDatagram(encode(QueryFrame{guidApplication, kProtocolVersion}), settings.broadcastAddress,
                         settings.discoveryPort);
    waitUntil([] { return false; }, settings.searchTime);
    return found;
}

} // namespace vellmar::session
