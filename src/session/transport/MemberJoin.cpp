#include "MemberSide.h"

#include "BlockingWait.h"
#include "SessionLog.h"
#include "UserConnect.h"

#include "session/protocol/Messages.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace vellmar::session {

bool MemberSide::join(const QString &host, std::uint16_t port, const QString &guidApplication, const QString &name,
                      QString *error)
{
    auto failWith = [&](const QString &text) {
        dropNow(m_link);
        m_state = State::Idle;
        if (error)
            *error = text;
        return false;
    };
    m_guid = guidApplication;
    m_name = name;
    m_hostAddress = host;
    m_hostPort = port;

    // Every member listens from the start, so that it can become the host.
    m_server = new QTcpServer(this);
    m_server->setListenBacklogSize(256);
    if (!m_server->listen(m_settings.listenAddress, 0))
        return failWith(m_server->errorString());
    connect(m_server, &QTcpServer::newConnection, this, &MemberSide::refuseIncoming);

    auto *socket = new QTcpSocket(this);
    QString unreachable;
    if (!connectForUser(*socket, host, port, m_settings.joinConnectTimeout, &unreachable)) {
        dropNow(socket);
        return failWith(unreachable);
    }
    m_link = makeLink(socket);
    m_link->startHandshakeDeadline();
    m_state = State::Joining;
    m_error.clear();
    m_challenged = false;
    m_link->send(encode(HelloFrame{guidApplication, kProtocolVersion, name, m_server->serverPort(), m_requests}));
    waitUntil([this] { return m_state != State::Joining || m_challenged; }, m_settings.handshakeTimeout);
    // A host that asked for the password may hold its answer back after
    // wrong ones from this address; it pings meanwhile.
    if (m_challenged)
        waitUntil([this] { return m_state != State::Joining; },
                  m_settings.handshakeTimeout + m_settings.passwordDelayMax);
    if (m_state == State::Joining)
        return failWith(QStringLiteral("The host did not answer"));
    if (m_state != State::Joined)
        return failWith(m_error.isEmpty() ? QStringLiteral("The host closed the connection") : m_error);
    return true;
}

void MemberSide::applyWelcome(const WelcomeFrame &w, bool fresh)
{
    m_link->setEstablished();
    m_link->setLabel(QStringLiteral("host %1 (%2:%3)").arg(w.hostId).arg(m_hostAddress).arg(m_hostPort));
    m_pacing.linkUp();
    qCInfo(lcSession) << (fresh ? "joined" : "resumed") << "as player" << w.playerId << "with host" << w.hostId
                      << "in epoch" << w.epoch;
    m_ownId = static_cast<PlayerId>(w.playerId);
    m_token = w.token;
    m_highestId = w.highestId;
    m_epoch = w.epoch;
    m_hostId = static_cast<PlayerId>(w.hostId);
    m_sessionName = w.sessionName;
    m_maxPlayers = static_cast<int>(w.maxPlayers);
    m_flags = w.flags;
    if (fresh) {
        QList<RosterEntry> entries;
        for (const auto &e : w.roster)
            entries.append(reachable(e));
        m_roster.reset(entries);
        m_lastSeq = w.lastSeq;
        return;
    }
    for (const auto &e : w.roster) {
        if (static_cast<PlayerId>(e.id) != m_ownId && m_roster.add(reachable(e)))
            m_sink.noticeLocal(NOTICE_PLAYER_CREATED, static_cast<PlayerId>(e.id));
    }
}

bool MemberSide::answerChallenge(QByteArrayView body)
{
    const auto challenge = parseChallenge(body);
    if (!challenge)
        return false;
    if (m_key.salt != challenge->salt || m_key.rounds != challenge->rounds) {
        if (m_password.isEmpty())
            return false;
        m_key = derivePasswordKey(m_password, challenge->salt, challenge->rounds);
        m_password.clear();
    }
    m_challenged = true;
    m_link->setEstablished(); // the host paces its answer; its pings keep the link alive
    m_link->send(encode(ProofFrame{passwordProof(m_key.key, challenge->nonce)}));
    return true;
}

RosterEntry MemberSide::reachable(RosterEntry entry) const
{
    // The host records the addresses it sees; one on the host's own machine
    // is reachable for us at the host's address.
    if (static_cast<PlayerId>(entry.id) != m_ownId
        && (entry.address.isEmpty() || QHostAddress(entry.address).isLoopback()))
        entry.address = m_hostAddress;
    return entry;
}

} // namespace vellmar::session
