#include "DiscoveryResponder.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace vellmar::session {

DiscoveryResponder::DiscoveryResponder(const TransportSettings &settings, InfoSource info, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_info(std::move(info))
{}

bool DiscoveryResponder::start()
{
    m_socket = new QUdpSocket(this);
    // Several hosts on one machine share the port; a broadcast reaches each.
    if (!m_socket->bind(QHostAddress(QHostAddress::AnyIPv4), m_settings.discoveryPort,
                        QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        return false;
    connect(m_socket, &QUdpSocket::readyRead, this, &DiscoveryResponder::onReadyRead);
    return true;
}

void DiscoveryResponder::onReadyRead()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(4096);
        const QByteArray data = datagram.data();
        const auto frame = decodeFrame(data, m_settings.maxFrameBytes);
        if (frame.status != DecodedFrame::Status::Complete || frame.consumed != data.size()
            || frame.kind != FrameKind::Query)
            continue;
        const auto query = parseQuery(frame.body);
        const InfoFrame info = m_info();
        if (!query || query->version != kProtocolVersion || query->guidApplication != info.guidApplication)
            continue;
        m_socket->writeDatagram(encode(info), datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
    }
}

} // namespace vellmar::session
