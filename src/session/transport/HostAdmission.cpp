#include "HostCore.h"

#include "SessionAddress.h"
#include "SessionLog.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

namespace vellmar::session {

void HostCore::acceptConnections()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (m_pending.size() >= m_settings.maxPendingHandshakes) {
            // Told to come back later rather than cut off: after a host
            // change everyone arrives at once.
            socket->setParent(this);
            socket->write(
                encode(RejectFrame{RejectReason::Busy, QStringLiteral("Too many connections at once"), 0, {}, 0}));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        auto *link = new PeerLink(socket, m_settings, this);
        link->setRateLimited(true);
        link->setOutputCapped(true);
        link->startHandshakeDeadline();
        m_pending.append(link);
        link->setFrameHandler([this, link](FrameKind kind, QByteArrayView body) { onHandshake(link, kind, body); });
        link->setCloseHandler([this, link](PeerLink::CloseReason) {
            m_pending.removeOne(link);
            m_challenged.erase(link);
            link->deleteLater();
        });
    }
}

void HostCore::onHandshake(PeerLink *link, FrameKind kind, QByteArrayView body)
{
    const Handshake handshake = parseHandshake(kind, body);
    if (const auto *query = std::get_if<QueryFrame>(&handshake)) {
        Q_UNUSED(query);
        m_pending.removeOne(link);
        link->send(encode(info()));
        link->closeGracefully();
    } else if (const auto *hello = std::get_if<HelloFrame>(&handshake)) {
        acceptHello(link, *hello);
    } else if (const auto *resume = std::get_if<ResumeFrame>(&handshake)) {
        acceptResume(link, *resume);
    } else {
        reject(link, RejectReason::Malformed, QStringLiteral("Expected a handshake"));
    }
}

void HostCore::reject(PeerLink *link, RejectReason reason, const QString &text)
{
    qCInfo(lcSession).noquote() << "refused" << link->label() << "with reason" << int(reason) << "-" << text;
    m_pending.removeOne(link);
    m_challenged.erase(link);
    link->send(encode(RejectFrame{reason, text, 0, {}, 0}));
    link->closeGracefully();
}

void HostCore::acceptHello(PeerLink *link, const HelloFrame &hello, bool proved)
{
    if (hello.guidApplication != m_session.guidApplication)
        return reject(link, RejectReason::WrongApplication,
                      QStringLiteral("The session belongs to another application"));
    if (hello.version != kProtocolVersion)
        return reject(link, RejectReason::WrongVersion, versionMismatchText(kProtocolVersion, hello.version));
    if (m_takingOver || m_hostId == 0)
        return reject(link, RejectReason::Busy, QStringLiteral("The host is not ready; try again shortly"));
    if (m_roster.presentCount() >= m_session.maxPlayers)
        return reject(link, RejectReason::SessionFull,
                      QStringLiteral("The session is full (%1 players)").arg(m_session.maxPlayers));
    if (m_password.required() && !proved)
        return challenge(link, hello);
    admit(link, hello);
}

void HostCore::admit(PeerLink *link, const HelloFrame &hello)
{
    m_pending.removeOne(link);
    const auto id = static_cast<PlayerId>(++m_highestId);
    Member &member = m_members[id];
    member.token = newResumeToken();
    // The role is the host's to give, once, and only while nobody holds it:
    // a later joiner cannot take it from a master who is here.
    const bool master =
        (m_session.flags & kSessionFlagMasterOnRequest) && (hello.requests & kRequestMaster) && !masterPresent();
    RosterEntry entry{static_cast<std::uint32_t>(id),    hello.name,
                      plainAddress(link->peerAddress()), hello.listenPort,
                      resumeTokenHash(member.token),     master ? kRoleMaster : std::uint8_t(0)};
    m_roster.add(entry);
    attach(id, link);
    qCInfo(lcSession).noquote() << "player" << id << "joined as" << hello.name << "from" << entry.address
                                << (master ? "(master)" : "");
    announceJoined(entry);
    link->send(encode(welcomeFor(id)));
}

bool HostCore::masterPresent() const
{
    const auto entries = m_roster.presentEntries();
    return std::any_of(entries.cbegin(), entries.cend(), [](const RosterEntry &e) { return e.roles & kRoleMaster; });
}

void HostCore::acceptResume(PeerLink *link, const ResumeFrame &resume, bool proved)
{
    if (resume.guidApplication != m_session.guidApplication)
        return reject(link, RejectReason::WrongApplication,
                      QStringLiteral("The session belongs to another application"));
    if (resume.version != kProtocolVersion)
        return reject(link, RejectReason::WrongVersion, versionMismatchText(kProtocolVersion, resume.version));
    const auto id = static_cast<PlayerId>(resume.playerId);
    if (resume.epoch > m_epoch)
        return checkDeposed(link, resume);
    auto it = m_members.find(id);
    if (it == m_members.end()) {
        // During a take-over a member may know of a player whose arrival the
        // new host never heard about; it is welcome back all the same.
        if (!m_takingOver || m_roster.isKnown(id))
            return reject(link, RejectReason::UnknownPlayer, QStringLiteral("No such player in this session"));
        // Its token proves nothing to us, since we never saw its hash: it
        // proves the password instead, as a joiner does.
        if (m_password.required() && !proved)
            return challenge(link, resume);
        RosterEntry entry{resume.playerId, resume.name, plainAddress(link->peerAddress()), resume.listenPort,
                          resumeTokenHash(resume.token)};
        m_roster.add(entry);
        m_newDuringTakeover.append(entry);
        it = m_members.emplace(id, Member{}).first;
        it->second.replayDone = false;
    } else {
        const RosterEntry *known = m_roster.find(id);
        if (!known || known->tokenHash != resumeTokenHash(resume.token))
            return reject(link, RejectReason::UnknownPlayer, QStringLiteral("Resume refused"));
        if (!m_takingOver && !m_history.covers(resume.lastSeq)) {
            qCWarning(lcSession).noquote() << "player" << id << "resumed after seq" << resume.lastSeq
                                           << "but the history kept no longer reaches back that far";
            reject(link, RejectReason::HistoryLost, QStringLiteral("Too much was missed to resume"));
            removePlayer(id);
            return;
        }
    }
    Member &member = it->second;
    dropNow(member.link);
    member.grace.reset();
    member.token = resume.token;
    member.resumedFrom = resume.lastSeq;
    m_pending.removeOne(link);
    attach(id, link);
    qCInfo(lcSession) << "player" << id << "resumed after seq" << resume.lastSeq;
    link->send(encode(welcomeFor(id)));
    if (m_takingOver) {
        // Deliveries wait for the take-over to end.
        if (m_replaying) {
            member.replayDone = false;
            askForReplay(*link);
        }
        return maybeFinishTakeover();
    }
    // What it missed, in seq order: the same events, under the same rule,
    // as it would have had on the old connection.
    m_history.forEachAfter(resume.lastSeq, [&](const SequencedEvent &e) {
        if (e.concerns(resume.playerId))
            link->send(e.frame);
    });
}

void HostCore::attach(PlayerId id, PeerLink *link)
{
    m_members[id].link = link;
    link->setLabel(QStringLiteral("player %1 (%2)").arg(id).arg(link->peerAddress().toString()));
    link->setEstablished();
    link->setFrameHandler([this, id](FrameKind kind, QByteArrayView body) { onMemberFrame(id, kind, body); });
    // Deferred: a failed write may close a link while the host is walking
    // its members.
    link->setCloseHandler([this, id, link](PeerLink::CloseReason reason) {
        QMetaObject::invokeMethod(
            this, [this, id, link, reason] { onMemberClosed(id, link, reason); }, Qt::QueuedConnection);
    });
}

WelcomeFrame HostCore::welcomeFor(PlayerId id) const
{
    WelcomeFrame w;
    w.playerId = static_cast<std::uint32_t>(id);
    w.token = m_members.at(id).token;
    w.epoch = m_epoch;
    w.lastSeq = m_seq;
    w.highestId = m_highestId;
    w.hostId = static_cast<std::uint32_t>(m_hostId);
    w.sessionName = m_session.sessionName;
    w.maxPlayers = static_cast<std::uint32_t>(std::max(0, m_session.maxPlayers));
    w.flags = m_session.flags;
    w.roster = m_roster.presentEntries();
    return w;
}

} // namespace vellmar::session
