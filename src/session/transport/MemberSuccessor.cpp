#include "MemberSide.h"

#include "SessionLog.h"

#include <QHostAddress>
#include <QTcpServer>

namespace vellmar::session {

// Whom to try: a host named by someone who has one, else the old host while
// it is not given up, else the earliest joiner still listed that has not
// been found unreachable.
bool MemberSide::chooseTarget()
{
    if (m_reconnectClock.elapsed() > m_settings.migrationTimeout.count()) {
        lose(m_movedOn ? QStringLiteral("No player could take over as host in time")
                       : QStringLiteral("The host could not be reached again in time"));
        return false;
    }
    if (m_redirect) {
        m_target = m_redirect->id;
        m_targetAddress = m_redirect->address;
        m_targetPort = m_redirect->port;
        m_redirect.reset();
    } else if (!m_skipOldHost && !m_unreachable.contains(m_oldHost)) {
        m_target = m_oldHost;
        m_targetAddress = m_hostAddress;
        m_targetPort = m_hostPort;
    } else {
        // Everyone walks the same list in the same join order, so all agree
        // on the successor without a vote.
        const RosterEntry *next = nullptr;
        const auto entries = m_roster.presentEntries();
        for (const auto &e : entries) {
            const auto id = static_cast<PlayerId>(e.id);
            if (id != m_oldHost && !m_unreachable.contains(id)) {
                next = &e;
                break;
            }
        }
        if (!next || !(m_flags & kSessionFlagMigrateHost)) {
            lose(QStringLiteral("The host is gone and nobody can take over"));
            return false;
        }
        if (static_cast<PlayerId>(next->id) == m_ownId) {
            m_state = State::Promoted;
            Q_EMIT promoted();
            return false;
        }
        m_target = static_cast<PlayerId>(next->id);
        m_targetAddress = next->address;
        m_targetPort = next->listenPort;
    }
    return true;
}

void MemberSide::giveUpOldHost()
{
    m_unreachable.insert(m_oldHost);
    if (!m_movedOn) {
        // Finding the successor gets its own time.
        m_movedOn = true;
        m_reconnectClock.restart();
    }
    m_retryTimer.start(0);
}

void MemberSide::onNotHost(const RejectFrame &reject)
{
    dropNow(m_link);
    const auto named = static_cast<PlayerId>(reject.hostId);
    if (named == 0 || named == m_ownId) {
        // It has no host either (yet). The old host saying so has been
        // replaced; anyone else may still be about to take over.
        if (m_target == m_oldHost && !m_skipOldHost)
            return giveUpOldHost();
        return retryLater();
    }
    if (named == m_oldHost) {
        // Someone still has the old host: it lives, and only our own path
        // to it broke. Go back to it (the migration clock keeps running).
        m_unreachable.remove(m_oldHost);
        m_skipOldHost = false;
    } else if (!m_unreachable.contains(named)) {
        const QString address = reject.hostAddress.isEmpty() || QHostAddress(reject.hostAddress).isLoopback()
                                    ? m_targetAddress
                                    : reject.hostAddress;
        m_redirect = Redirect{named, address, reject.hostPort};
        if (m_target == m_oldHost)
            m_unreachable.insert(m_oldHost);
    }
    retryLater();
}

void MemberSide::refuseIncoming()
{
    while (m_server && m_server->hasPendingConnections()) {
        auto *link = new PeerLink(m_server->nextPendingConnection(), m_settings, this);
        link->startHandshakeDeadline();
        link->setFrameHandler([this, link](FrameKind, QByteArrayView) {
            // While we have a host, whoever asks us is sent to it: it lives,
            // and nobody may take over from it.
            RejectFrame reject{RejectReason::NotHost, QStringLiteral("Not the host (yet)"), 0, {}, 0};
            if (m_state == State::Joined) {
                reject.text = QStringLiteral("Not the host");
                reject.hostId = static_cast<std::uint32_t>(m_hostId);
                reject.hostAddress = m_hostAddress;
                reject.hostPort = m_hostPort;
            }
            link->send(encode(reject));
            link->closeGracefully();
        });
        link->setCloseHandler([link](PeerLink::CloseReason) { link->deleteLater(); });
    }
}

TakeoverState MemberSide::takeoverState() const
{
    TakeoverState s;
    s.self = m_ownId;
    s.oldHost = m_oldHost;
    s.oldHostAddress = m_hostAddress;
    s.oldHostPort = m_hostPort;
    s.password = m_key;
    s.epoch = m_epoch;
    s.lastSeq = m_lastSeq;
    s.nextCsn = m_nextCsn;
    s.token = m_token;
    s.highestId = m_highestId;
    s.sessionName = m_sessionName;
    s.maxPlayers = m_maxPlayers;
    s.flags = m_flags;
    for (const auto &d : m_record)
        s.known.append(d);
    for (const auto &u : m_unacked)
        s.known.append(DeliverFrame{0, static_cast<std::uint32_t>(m_ownId), u.to, u.csn, u.payload});
    return s;
}

QTcpServer *MemberSide::releaseServer()
{
    if (m_server)
        m_server->disconnect(this);
    return std::exchange(m_server, nullptr);
}

} // namespace vellmar::session
