#include "PeerLink.h"

#include "Frames.h"

#include <QPointer>
#include <QTcpSocket>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace vellmar::session {

PeerLink::PeerLink(QTcpSocket *socket, const TransportSettings &settings, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_settings(settings)
    , m_tokens(settings.rateLimitBurst)
{
    m_socket->setParent(this);
    // Small frames written one by one must not wait for Nagle's algorithm.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_lastHeard.start();
    m_lastSent.start();
    m_bucketClock.start();

    connect(m_socket, &QTcpSocket::readyRead, this, &PeerLink::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { fail(CloseReason::PeerClosed); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { fail(CloseReason::PeerClosed); });

    const auto tick = std::max<std::chrono::milliseconds>(std::min(m_settings.pingInterval, m_settings.deadTimeout) / 2,
                                                          std::chrono::milliseconds(10));
    m_tick.setInterval(tick);
    connect(&m_tick, &QTimer::timeout, this, &PeerLink::onTick);
    m_tick.start();

    m_handshake.setSingleShot(true);
    connect(&m_handshake, &QTimer::timeout, this, [this] { fail(CloseReason::HandshakeTimeout); });

    // Bytes may already be waiting when the socket was handed over.
    if (m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &PeerLink::onReadyRead, Qt::QueuedConnection);
}

PeerLink::~PeerLink()
{
    m_closed = true;
    if (m_socket)
        m_socket->disconnect(this);
}

void PeerLink::startHandshakeDeadline() { m_handshake.start(m_settings.handshakeTimeout); }

void PeerLink::setEstablished() { m_handshake.stop(); }

void PeerLink::send(const QByteArray &frame)
{
    if (m_closed)
        return;
    if (m_outputCapped && m_socket->bytesToWrite() + frame.size() > m_settings.outputCapBytes) {
        fail(CloseReason::OutputOverflow);
        return;
    }
    m_socket->write(frame);
    m_lastSent.restart();
}

void PeerLink::closeGracefully()
{
    if (m_closed)
        return;
    m_closed = true;
    m_tick.stop();
    m_handshake.stop();
    m_socket->disconnect(this);
    m_socket->flush();
#ifdef Q_OS_UNIX
    // Send our FIN right behind the last bytes: if the socket is destroyed
    // soon with unread input, the close turns into a reset, and the peer
    // must have seen the data before that.
    if (m_socket->bytesToWrite() == 0 && m_socket->socketDescriptor() >= 0)
        ::shutdown(static_cast<int>(m_socket->socketDescriptor()), SHUT_WR);
#endif
    // The link outlives its owner's interest until the last bytes are out.
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    QTimer::singleShot(m_settings.handshakeTimeout, this, &QObject::deleteLater);
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        deleteLater();
}

void PeerLink::abort()
{
    if (m_closed)
        return;
    m_closed = true;
    m_tick.stop();
    m_handshake.stop();
    m_socket->disconnect(this);
    m_socket->abort();
}

QHostAddress PeerLink::peerAddress() const { return m_socket->peerAddress(); }

qint64 PeerLink::pendingOutput() const { return m_socket->bytesToWrite(); }

bool PeerLink::takeToken()
{
    const double elapsed = static_cast<double>(m_bucketClock.nsecsElapsed()) / 1e9;
    m_bucketClock.restart();
    m_tokens = std::min(m_settings.rateLimitBurst, m_tokens + elapsed * m_settings.rateLimitFramesPerSecond);
    if (m_tokens < 1.0)
        return false;
    m_tokens -= 1.0;
    return true;
}

void PeerLink::onReadyRead()
{
    if (m_closed)
        return;
    m_in.append(m_socket->readAll());
    m_lastHeard.restart();
    // The handler may close (or schedule the deletion of) this link.
    QPointer<PeerLink> self(this);
    while (!m_closed) {
        const auto frame = decodeFrame(QByteArrayView(m_in).sliced(m_inPos), m_settings.maxFrameBytes);
        if (frame.status == DecodedFrame::Status::NeedMore)
            break;
        if (frame.status == DecodedFrame::Status::Bad) {
            fail(CloseReason::BadFrame);
            return;
        }
        // History replays after a host change are bounded by the receiver instead.
        const bool counted = frame.kind != FrameKind::Replay && frame.kind != FrameKind::ReplayEnd;
        if (m_rateLimited && counted && !takeToken()) {
            fail(CloseReason::RateLimited);
            return;
        }
        m_inPos += frame.consumed;
        if (m_onFrame)
            m_onFrame(frame.kind, frame.body);
        if (!self)
            return;
    }
    if (m_inPos > 0 && (m_inPos == m_in.size() || m_inPos > 64 * 1024)) {
        m_in.remove(0, m_inPos);
        m_inPos = 0;
    }
}

void PeerLink::onTick()
{
    if (m_closed)
        return;
    if (m_lastHeard.elapsed() >= m_settings.deadTimeout.count()) {
        fail(CloseReason::Silent);
        return;
    }
    if (m_lastSent.elapsed() >= m_settings.pingInterval.count())
        send(encodeEmpty(FrameKind::Ping));
}

void PeerLink::fail(CloseReason reason)
{
    if (m_closed)
        return;
    m_closed = true;
    m_tick.stop();
    m_handshake.stop();
    m_socket->disconnect(this);
    m_socket->abort();
    if (m_onClose)
        m_onClose(reason);
}

} // namespace vellmar::session
