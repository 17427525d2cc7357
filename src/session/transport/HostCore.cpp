#include "HostCore.h"

#include "SessionLog.h"
#include "Tokens.h"

#include "session/protocol/Messages.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <algorithm>

namespace vellmar::session {

namespace {

QString plainAddress(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

HostCore::HostCore(const TransportSettings &settings, const SessionDescription &session, Roster &roster,
                   LocalSink &sink, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_session(session)
    , m_roster(roster)
    , m_sink(sink)
    , m_history(settings.historyCapacity, settings.historyBytes)
{
    m_takeoverTimer.setSingleShot(true);
    connect(&m_takeoverTimer, &QTimer::timeout, this, &HostCore::onTakeoverTimer);
    m_deposalCheck.setSingleShot(true);
    connect(&m_deposalCheck, &QTimer::timeout, this, &HostCore::settleDeposal);
}

HostCore::~HostCore() = default;

bool HostCore::listen(QString *error)
{
    m_server = new QTcpServer(this);
    m_server->setListenBacklogSize(256);
    const int tries = m_settings.tcpPort == 0 ? 1 : std::max(1, m_settings.tcpPortTries);
    for (int i = 0; i < tries; ++i) {
        const auto port = static_cast<quint16>(m_settings.tcpPort == 0 ? 0 : m_settings.tcpPort + i);
        if (m_server->listen(m_settings.listenAddress, port)) {
            connect(m_server, &QTcpServer::newConnection, this, &HostCore::acceptConnections);
            return true;
        }
    }
    if (error)
        *error = m_server->errorString();
    return false;
}

void HostCore::takeOver(QTcpServer *server, const TakeoverState &state)
{
    m_server = server;
    m_server->setParent(this);
    m_server->disconnect();
    connect(m_server, &QTcpServer::newConnection, this, &HostCore::acceptConnections);

    m_session.sessionName = state.sessionName;
    m_session.maxPlayers = state.maxPlayers;
    m_session.flags = state.flags;
    m_localId = state.self;
    m_localCsn = state.nextCsn - 1;
    m_epoch = state.epoch + 1;
    m_seq = state.lastSeq;
    m_localResumedFrom = state.lastSeq;
    m_highestId = m_roster.highestId();
    m_oldHost = state.oldHost;
    m_takingOver = true;

    for (const auto &entry : m_roster.presentEntries()) {
        const auto id = static_cast<PlayerId>(entry.id);
        if (id == m_localId || id == m_oldHost)
            continue;
        Member &m = m_members[id];
        m.replayDone = false;
    }
    for (const auto &known : state.known)
        recover(known);
    m_takeoverTimer.start(m_settings.resumeGrace);
    tellOldHost(state.token);
    acceptConnections();
    maybeFinishTakeover();
}

std::uint16_t HostCore::port() const { return m_server ? m_server->serverPort() : 0; }

InfoFrame HostCore::info() const
{
    InfoFrame f;
    f.guidApplication = m_session.guidApplication;
    f.sessionName = m_session.sessionName;
    f.maxPlayers = static_cast<std::uint32_t>(std::max(0, m_session.maxPlayers));
    f.players = static_cast<std::uint32_t>(m_roster.presentCount());
    f.flags = m_session.flags;
    f.tcpPort = port();
    return f;
}

PlayerId HostCore::createLocalPlayer(const QString &name)
{
    const auto id = static_cast<PlayerId>(++m_highestId);
    RosterEntry entry{static_cast<std::uint32_t>(id), name, QString(), port(), resumeTokenHash(newResumeToken())};
    m_roster.add(entry);
    m_localId = id;
    announceJoined(entry);
    return id;
}

bool HostCore::sendFromLocal(PlayerId to, const QByteArray &payload)
{
    if (m_localId == 0 || m_deposed || (to != kAllPlayers && (to == m_localId || !m_roster.isPresent(to)))
        || payload.size() > maxPayloadFor(m_settings.maxFrameBytes))
        return false;
    ++m_localCsn;
    if (m_takingOver) {
        recover(DeliverFrame{0, static_cast<std::uint32_t>(m_localId), static_cast<std::uint32_t>(to), m_localCsn,
                             payload});
        return true;
    }
    relay(m_localId, to, m_localCsn, payload);
    return true;
}

void HostCore::leave()
{
    const QByteArray bye = encodeEmpty(FrameKind::Bye);
    for (auto &[id, member] : m_members) {
        if (member.link) {
            member.link->send(bye);
            member.link->closeGracefully();
            member.link = nullptr;
        }
    }
    forgetEveryone();
}

// Members, half-open connections and the listening port all go.
void HostCore::forgetEveryone()
{
    m_members.clear();
    for (auto *link : m_pending)
        dropLink(link);
    m_pending.clear();
    if (m_server)
        m_server->close();
}

void HostCore::abortAll()
{
    for (auto &[id, member] : m_members) {
        if (member.link)
            dropLink(member.link);
        member.link = nullptr;
    }
    forgetEveryone();
}

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
    link->send(encode(RejectFrame{reason, text, 0, {}, 0}));
    link->closeGracefully();
}

void HostCore::acceptHello(PeerLink *link, const HelloFrame &hello)
{
    if (hello.guidApplication != m_session.guidApplication)
        return reject(link, RejectReason::WrongApplication,
                      QStringLiteral("The session belongs to another application"));
    if (hello.version != kProtocolVersion)
        return reject(link, RejectReason::WrongVersion,
                      QStringLiteral("The host speaks protocol version %1").arg(kProtocolVersion));
    if (m_takingOver || m_localId == 0)
        return reject(link, RejectReason::Busy, QStringLiteral("The host is not ready; try again shortly"));
    if (m_roster.presentCount() >= m_session.maxPlayers)
        return reject(link, RejectReason::SessionFull,
                      QStringLiteral("The session is full (%1 players)").arg(m_session.maxPlayers));

    m_pending.removeOne(link);
    const auto id = static_cast<PlayerId>(++m_highestId);
    Member &member = m_members[id];
    member.token = newResumeToken();
    RosterEntry entry{static_cast<std::uint32_t>(id), hello.name, plainAddress(link->peerAddress()), hello.listenPort,
                      resumeTokenHash(member.token)};
    m_roster.add(entry);
    attach(id, link);
    qCInfo(lcSession).noquote() << "player" << id << "joined as" << hello.name << "from" << entry.address;
    announceJoined(entry);
    link->send(encode(welcomeFor(id)));
}

void HostCore::acceptResume(PeerLink *link, const ResumeFrame &resume)
{
    if (resume.guidApplication != m_session.guidApplication)
        return reject(link, RejectReason::WrongApplication,
                      QStringLiteral("The session belongs to another application"));
    if (resume.version != kProtocolVersion)
        return reject(link, RejectReason::WrongVersion,
                      QStringLiteral("The host speaks protocol version %1").arg(kProtocolVersion));
    const auto id = static_cast<PlayerId>(resume.playerId);
    if (resume.epoch > m_epoch)
        return checkDeposed(link, resume);
    auto it = m_members.find(id);
    if (it == m_members.end()) {
        // During a take-over a member may know of a player whose arrival the
        // new host never heard about; it is welcome back all the same.
        if (!m_takingOver || m_roster.isKnown(id))
            return reject(link, RejectReason::UnknownPlayer, QStringLiteral("No such player in this session"));
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
    if (member.link)
        dropLink(member.link);
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
            link->send(encode(ReplayRequestFrame{m_replayFloor}));
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

// A player of ours that speaks for a later epoch may have taken over as host
// while we were not answering (stopped, or cut off). Its word alone is not
// enough, or any member could end the session for everyone: a host that was
// really replaced hears none of its members any more, since they all gave it
// up before they moved on. So the claim is weighed only after a few ping
// intervals, long enough for every live member to have said something.
void HostCore::checkDeposed(PeerLink *link, const ResumeFrame &resume)
{
    const auto id = static_cast<PlayerId>(resume.playerId);
    const RosterEntry *known = m_roster.find(id);
    if (!known || !m_roster.isPresent(id) || known->tokenHash != resumeTokenHash(resume.token))
        return reject(link, RejectReason::UnknownPlayer, QStringLiteral("Resume refused"));
    reject(link, RejectReason::NotHost, QStringLiteral("No longer the host"));
    if (m_deposed || m_deposalCheck.isActive())
        return;
    m_deposalCheck.start(deposalWindow());
}

std::chrono::milliseconds HostCore::deposalWindow() const { return 2 * m_settings.pingInterval; }

void HostCore::settleDeposal()
{
    if (m_deposed)
        return;
    const auto window = deposalWindow().count();
    const bool hearsMembers = std::any_of(m_members.cbegin(), m_members.cend(), [window](const auto &kv) {
        const PeerLink *link = kv.second.link;
        return link && link->isOpen() && link->msSinceHeard() < window;
    });
    if (hearsMembers)
        return; // the session is here: the claim was false
    m_deposed = true;
    Q_EMIT deposed();
}

void HostCore::stepDown()
{
    m_takeoverTimer.stop();
    m_deposalCheck.stop();
    m_takingOver = false;
    m_deposed = true;
    leave();
}

void HostCore::tellOldHost(std::uint64_t token)
{
    const RosterEntry *old = m_roster.find(m_oldHost);
    if (!old || old->listenPort == 0 || old->address.isEmpty())
        return;
    ResumeFrame resume;
    resume.guidApplication = m_session.guidApplication;
    resume.playerId = static_cast<std::uint32_t>(m_localId);
    resume.token = token;
    resume.epoch = m_epoch;
    resume.lastSeq = m_seq;
    resume.name = m_roster.nameOf(m_localId).value_or(QStringLiteral("?"));
    resume.listenPort = port();
    const QByteArray frame = encode(resume);
    // Said once and left in its input: a stopped host reads it when it is
    // continued. A dead one refuses, which is just as well.
    auto *socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, socket, [socket, frame] {
        socket->write(frame);
        socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    QTimer::singleShot(m_settings.connectTimeout + m_settings.handshakeTimeout, socket, &QObject::deleteLater);
    socket->connectToHost(old->address, old->listenPort);
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
    w.hostId = static_cast<std::uint32_t>(m_localId);
    w.sessionName = m_session.sessionName;
    w.maxPlayers = static_cast<std::uint32_t>(std::max(0, m_session.maxPlayers));
    w.flags = m_session.flags;
    w.roster = m_roster.presentEntries();
    return w;
}

void HostCore::onMemberFrame(PlayerId id, FrameKind kind, QByteArrayView body)
{
    auto it = m_members.find(id);
    if (it == m_members.end())
        return;
    Member &member = it->second;
    switch (kind) {
    case FrameKind::Send:
        if (const auto send = parseSend(body))
            return handleSend(id, *send);
        // Payload count sits after csn and addressee.
        if (body.size() >= 16 && qFromBigEndian<std::uint32_t>(body.data() + 12) > kMaxPayloadBytes) {
            qCWarning(lcSession).noquote()
                << "player" << id << "sent a payload of" << qFromBigEndian<std::uint32_t>(body.data() + 12)
                << "bytes, over the limit of" << kMaxPayloadBytes << "- removing it";
            return removePlayer(id);
        }
        break;
    case FrameKind::Replay:
        if (const auto replay = parseDeliver(body)) {
            if (m_takingOver && m_replaying && !member.replayDone
                && m_recovered.size() < static_cast<std::size_t>(m_settings.historyCapacity) * 4
                && m_recoveredBytes < m_settings.historyBytes * 4) {
                recover(*replay);
                if (static_cast<PlayerId>(replay->from) == id)
                    member.lastCsn = std::max(member.lastCsn, replay->csn);
            }
            return;
        }
        break;
    case FrameKind::ReplayEnd:
        if (parseEmpty(body)) {
            member.replayDone = true;
            return maybeFinishTakeover();
        }
        break;
    case FrameKind::Ping:
        if (parseEmpty(body))
            return;
        break;
    case FrameKind::Bye:
        qCInfo(lcSession) << "player" << id << "left (Bye)";
        return removePlayer(id);
    default:
        break;
    }
    // Anything else from a member is a protocol violation.
    qCWarning(lcSession).noquote() << "player" << id << "sent an invalid or forbidden" << frameKindName(kind)
                                   << QStringLiteral("frame (%1-byte body); removing it").arg(body.size());
    removePlayer(id);
}

void HostCore::onMemberClosed(PlayerId id, PeerLink *link, PeerLink::CloseReason reason)
{
    auto it = m_members.find(id);
    if (it == m_members.end() || it->second.link != link) {
        link->deleteLater();
        return;
    }
    switch (reason) {
    case PeerLink::CloseReason::PeerClosed:
    case PeerLink::CloseReason::Silent:
        suspend(id);
        break;
    default:
        qCWarning(lcSession).noquote() << "player" << id << "removed:" << PeerLink::describe(reason);
        removePlayer(id);
        break;
    }
}

void HostCore::suspend(PlayerId id)
{
    Member &member = m_members[id];
    if (member.link)
        dropLink(member.link);
    member.link = nullptr;
    if (m_takingOver)
        return; // the end of the take-over settles who is still here
    member.grace = std::make_unique<QTimer>();
    member.grace->setSingleShot(true);
    qCInfo(lcSession) << "player" << id << "lost its link; its place is kept for" << m_settings.resumeGrace.count()
                      << "ms";
    connect(member.grace.get(), &QTimer::timeout, this, [this, id] {
        qCInfo(lcSession) << "player" << id << "did not come back in time; removing it";
        removePlayer(id);
    });
    member.grace->start(m_settings.resumeGrace);
}

void HostCore::handleSend(PlayerId from, const SendFrame &frame)
{
    Member &member = m_members[from];
    if (frame.csn <= member.lastCsn) {
        member.link->send(encode(AckFrame{frame.csn, 0}));
        return;
    }
    member.lastCsn = frame.csn;
    if (m_takingOver) {
        recover(DeliverFrame{0, static_cast<std::uint32_t>(from), frame.to, frame.csn, frame.payload});
        return; // confirmed when the take-over ends
    }
    const std::uint64_t seq = relay(from, static_cast<PlayerId>(frame.to), frame.csn, frame.payload);
    member.link->send(encode(AckFrame{frame.csn, seq}));
}

std::uint64_t HostCore::relay(PlayerId from, PlayerId to, std::uint64_t csn, const QByteArray &payload)
{
    if (to != kAllPlayers && (to == from || !m_roster.isPresent(to)))
        return 0;
    DeliverFrame d{++m_seq, static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to), csn, payload};
    record({d.seq, EventKind::Message, d.from, d.to, encode(d)});
    deliverLocal(d, 0);
    return d.seq;
}

// Every event goes into the history and out to the connected members it
// concerns; a member that is away gets it from the history when it resumes.
void HostCore::record(SequencedEvent event)
{
    for (auto &[id, member] : m_members) {
        if (member.link && event.concerns(static_cast<std::uint32_t>(id)))
            member.link->send(event.frame);
    }
    m_history.append(std::move(event));
}

void HostCore::deliverLocal(const DeliverFrame &d, std::uint64_t localAfter)
{
    if (m_localId != 0 && d.seq > localAfter
        && eventConcerns(EventKind::Message, d.from, d.to, static_cast<std::uint32_t>(m_localId)))
        m_sink.deliverLocal(static_cast<PlayerId>(d.from), static_cast<PlayerId>(d.to), d.payload);
}

void HostCore::announceJoined(const RosterEntry &entry)
{
    JoinedFrame joined{++m_seq, entry};
    record({joined.seq, EventKind::Joined, entry.id, 0, encode(joined)});
    if (m_localId != 0 && static_cast<PlayerId>(entry.id) != m_localId)
        m_sink.noticeLocal(NOTICE_PLAYER_CREATED, static_cast<PlayerId>(entry.id));
}

void HostCore::removePlayer(PlayerId id)
{
    auto it = m_members.find(id);
    if (it != m_members.end()) {
        if (it->second.link)
            dropLink(it->second.link);
        m_members.erase(it);
    }
    if (m_takingOver)
        return; // settled, and announced, when the take-over ends
    announceLeft(id);
}

void HostCore::announceLeft(PlayerId id)
{
    if (!m_roster.markGone(id))
        return;
    LeftFrame left{++m_seq, static_cast<std::uint32_t>(id)};
    record({left.seq, EventKind::Left, left.id, 0, encode(left)});
    m_sink.noticeLocal(NOTICE_PLAYER_DESTROYED, id);
}

void HostCore::dropLink(PeerLink *link)
{
    link->abort();
    link->deleteLater();
}

void HostCore::recover(const DeliverFrame &d)
{
    if (d.csn == 0)
        return;
    auto [it, inserted] = m_recovered.emplace(std::make_pair(d.from, d.csn), d);
    if (inserted)
        m_recoveredBytes += d.payload.size();
    else if (it->second.seq == 0)
        it->second.seq = d.seq;
}

void HostCore::onTakeoverTimer()
{
    if (m_takingOver && !m_replaying)
        startReplay();
    else
        finishTakeover();
}

// Everyone who came back has said how far it got; only what lies beyond the
// least of those can be missing anywhere, so only that is asked for.
void HostCore::startReplay()
{
    m_replaying = true;
    m_replayFloor = m_localResumedFrom;
    for (const auto &[id, member] : m_members) {
        if (member.link)
            m_replayFloor = std::min(m_replayFloor, member.resumedFrom);
    }
    std::erase_if(m_recovered, [this](const auto &kv) { return kv.second.seq != 0 && kv.second.seq <= m_replayFloor; });
    m_recoveredBytes = 0;
    for (const auto &[key, d] : m_recovered)
        m_recoveredBytes += d.payload.size();
    for (auto &[id, member] : m_members) {
        member.replayDone = false;
        if (member.link)
            member.link->send(encode(ReplayRequestFrame{m_replayFloor}));
    }
    m_takeoverTimer.start(m_settings.resumeGrace);
    maybeFinishTakeover();
}

void HostCore::maybeFinishTakeover()
{
    if (!m_takingOver)
        return;
    if (!m_replaying) {
        const bool allBack =
            std::all_of(m_members.cbegin(), m_members.cend(), [](const auto &kv) { return kv.second.link != nullptr; });
        if (allBack)
            startReplay();
        return;
    }
    const bool allSent = std::all_of(m_members.cbegin(), m_members.cend(),
                                     [](const auto &kv) { return !kv.second.link || kv.second.replayDone; });
    if (allSent)
        QMetaObject::invokeMethod(this, &HostCore::finishTakeover, Qt::QueuedConnection);
}

void HostCore::finishTakeover()
{
    if (!m_takingOver)
        return;
    m_takingOver = false;
    m_replaying = false;
    m_takeoverTimer.stop();

    // Members that did not come back are gone.
    QList<PlayerId> missing;
    std::uint64_t floor = m_localResumedFrom;
    std::uint64_t highest = m_seq;
    for (const auto &[id, member] : m_members) {
        if (!member.link) {
            missing.append(id);
        } else {
            floor = std::min(floor, member.resumedFrom);
            highest = std::max(highest, member.resumedFrom);
        }
    }
    for (const auto &[key, d] : m_recovered)
        highest = std::max(highest, d.seq);
    m_history.setFloor(floor);

    // Messages the old host had sequenced go out under their old numbers to
    // whoever had not had them, in that order; those it never confirmed are
    // sequenced now, after everything it had.
    QList<DeliverFrame> confirmed;
    QList<DeliverFrame> unconfirmed;
    for (const auto &[key, d] : m_recovered)
        (d.seq != 0 ? confirmed : unconfirmed).append(d);
    std::sort(confirmed.begin(), confirmed.end(), [](const auto &a, const auto &b) { return a.seq < b.seq; });
    for (const auto &d : confirmed) {
        SequencedEvent event{d.seq, EventKind::Message, d.from, d.to, encode(d)};
        for (auto &[id, member] : m_members) {
            if (member.link && d.seq > member.resumedFrom && event.concerns(static_cast<std::uint32_t>(id)))
                member.link->send(event.frame);
        }
        m_history.append(std::move(event));
        deliverLocal(d, m_localResumedFrom);
        // Its sender may never have had the confirmation.
        auto sender = m_members.find(static_cast<PlayerId>(d.from));
        if (sender != m_members.end() && sender->second.link)
            sender->second.link->send(encode(AckFrame{d.csn, d.seq}));
    }
    m_seq = highest;
    for (const auto &d : unconfirmed) {
        const auto from = static_cast<PlayerId>(d.from);
        if (from != m_localId && !m_members.count(from))
            continue;
        const std::uint64_t seq = relay(from, static_cast<PlayerId>(d.to), d.csn, d.payload);
        auto it = m_members.find(from);
        if (it != m_members.end() && it->second.link)
            it->second.link->send(encode(AckFrame{d.csn, seq}));
    }
    m_recovered.clear();
    m_recoveredBytes = 0;

    for (const auto &entry : std::as_const(m_newDuringTakeover))
        announceJoined(entry);
    m_newDuringTakeover.clear();
    for (PlayerId id : std::as_const(missing))
        removePlayer(id);
    announceLeft(m_oldHost);
    // Anyone the roster still lists but who is neither here nor a member
    // (left while the take-over ran) goes too.
    for (const auto &entry : m_roster.presentEntries()) {
        const auto id = static_cast<PlayerId>(entry.id);
        if (id != m_localId && !m_members.count(id))
            removePlayer(id);
    }
    m_sink.noticeLocal(NOTICE_HOST_MIGRATED, m_localId);
}

} // namespace vellmar::session
