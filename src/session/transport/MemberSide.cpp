#include "MemberSide.h"

#include "SessionLog.h"

#include "session/protocol/Messages.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace vellmar::session {

MemberSide::MemberSide(const TransportSettings &settings, Roster &roster, LocalSink &sink, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_roster(roster)
    , m_sink(sink)
    , m_pacing(settings)
{
    m_attemptTimer.setSingleShot(true);
    connect(&m_attemptTimer, &QTimer::timeout, this, [this] { attemptFailed(Failure::Unreachable); });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &MemberSide::attempt);
}

MemberSide::~MemberSide() = default;

PeerLink *MemberSide::makeLink(QTcpSocket *socket)
{
    auto *link = new PeerLink(socket, m_settings, this);
    link->setFrameHandler([this](FrameKind kind, QByteArrayView body) { onHostFrame(kind, body); });
    // Deferred: the link may fail in the middle of a send.
    link->setCloseHandler([this, link](PeerLink::CloseReason reason) {
        QMetaObject::invokeMethod(
            this,
            [this, link, reason] {
                if (m_link != link)
                    return;
                m_link = nullptr;
                link->deleteLater();
                onHostClosed(reason);
            },
            Qt::QueuedConnection);
    });
    return link;
}

bool MemberSide::send(PlayerId to, const QByteArray &payload)
{
    // A payload the host would refuse would cost us our place, and come
    // back with every resume.
    if (m_ownId == 0 || m_state == State::Lost || m_state == State::Left || !m_roster.canAddress(m_ownId, to)
        || payload.size() > maxPayloadFor(m_settings.maxFrameBytes))
        return false;
    SendFrame frame{m_nextCsn++, static_cast<std::uint32_t>(to), payload};
    // Kept until the host confirms it, so a new host can still get it.
    m_unacked.push_back(frame);
    if (m_state == State::Joined && m_link)
        m_link->send(encode(frame));
    return true;
}

bool MemberSide::sendBulk(PlayerId to, const QByteArray &payload)
{
    if (m_ownId == 0 || m_state != State::Joined || !m_link || !m_roster.canAddress(m_ownId, to)
        || payload.size() > maxPayloadFor(m_settings.maxFrameBytes))
        return false;
    return m_link->sendBulk(bulkSendHead(static_cast<std::uint32_t>(to), payload.size()), payload);
}

void MemberSide::leave()
{
    m_retryTimer.stop();
    m_attemptTimer.stop();
    dropNow(m_attemptSocket);
    if (m_link) {
        if (m_state == State::Joined)
            m_link->send(encodeEmpty(FrameKind::Bye));
        m_link->closeGracefully();
        m_link = nullptr;
    }
    m_state = State::Left;
}

void MemberSide::abortAll()
{
    leave(); // state first, so no close handler restarts anything
    if (m_server)
        m_server->close();
}

void MemberSide::setNetworkFaults(NetworkFaults *faults)
{
    if (m_faults)
        m_faults->disconnect(this);
    m_faults = faults;
    if (m_faults)
        connect(m_faults, &NetworkFaults::linkCut, this, &MemberSide::onLinkCut);
}

// Like any break of the link, except that it is known to be this side's
// network: the attempts that follow wait for it.
void MemberSide::onLinkCut()
{
    if (m_state != State::Joined || !m_link)
        return;
    dropNow(m_link);
    beginReconnect(std::chrono::milliseconds(0));
}

void MemberSide::onHostClosed(PeerLink::CloseReason reason)
{
    switch (m_state) {
    case State::Joining:
        m_error = QStringLiteral("The host closed the connection");
        m_state = State::Idle;
        break;
    case State::Joined:
        linkBroke();
        break;
    case State::Reconnecting:
        // It accepted the connection but closed it or said nothing.
        Q_UNUSED(reason);
        attemptFailed(Failure::Silent);
        break;
    default:
        break;
    }
}

void MemberSide::lose(const QString &why)
{
    qCWarning(lcSession).noquote() << "session lost:" << why;
    m_lostReason = why;
    m_retryTimer.stop();
    m_attemptTimer.stop();
    dropNow(m_link);
    m_state = State::Lost;
    // Nobody can be reached any more: everyone else has left, as far as
    // this participant can tell.
    for (const auto &e : m_roster.presentEntries()) {
        const auto id = static_cast<PlayerId>(e.id);
        if (id != m_ownId && m_roster.markGone(id))
            m_sink.noticeLocal(NOTICE_PLAYER_DESTROYED, id);
    }
    Q_EMIT sessionLost();
}

} // namespace vellmar::session
