#include "MemberSide.h"

#include "BlockingWait.h"
#include "History.h"
#include "SessionLog.h"

#include "session/protocol/Messages.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

namespace vellmar::session {

MemberSide::MemberSide(const TransportSettings &settings, Roster &roster, LocalSink &sink, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_roster(roster)
    , m_sink(sink)
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

bool MemberSide::join(const QString &host, std::uint16_t port, const QString &guidApplication, const QString &name,
                      QString *error)
{
    auto failWith = [&](const QString &text) {
        if (m_link) {
            m_link->abort();
            m_link->deleteLater();
            m_link = nullptr;
        }
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
    socket->connectToHost(host, port);
    waitUntil(
        [socket] {
            return socket->state() == QAbstractSocket::ConnectedState
                   || socket->state() == QAbstractSocket::UnconnectedState;
        },
        m_settings.connectTimeout);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        socket->abort();
        socket->deleteLater();
        return failWith(QStringLiteral("Cannot reach the host at %1:%2").arg(host).arg(port));
    }
    m_link = makeLink(socket);
    m_link->startHandshakeDeadline();
    m_state = State::Joining;
    m_error.clear();
    m_link->send(encode(HelloFrame{guidApplication, kProtocolVersion, name, m_server->serverPort()}));
    waitUntil([this] { return m_state != State::Joining; }, m_settings.handshakeTimeout);
    if (m_state == State::Joining)
        return failWith(QStringLiteral("The host did not answer"));
    if (m_state != State::Joined)
        return failWith(m_error.isEmpty() ? QStringLiteral("The host closed the connection") : m_error);
    return true;
}

bool MemberSide::send(PlayerId to, const QByteArray &payload)
{
    // A payload the host would refuse would cost us our place, and come
    // back with every resume.
    if (m_ownId == 0 || m_state == State::Lost || m_state == State::Left
        || (to != kAllPlayers && (to == m_ownId || !m_roster.isPresent(to)))
        || payload.size() > maxPayloadFor(m_settings.maxFrameBytes))
        return false;
    SendFrame frame{m_nextCsn++, static_cast<std::uint32_t>(to), payload};
    // Kept until the host confirms it, so a new host can still get it.
    m_unacked.push_back(frame);
    if (m_state == State::Joined && m_link)
        m_link->send(encode(frame));
    return true;
}

void MemberSide::leave()
{
    m_retryTimer.stop();
    m_attemptTimer.stop();
    if (m_attemptSocket) {
        m_attemptSocket->abort();
        m_attemptSocket->deleteLater();
        m_attemptSocket = nullptr;
    }
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

void MemberSide::interruptLink(std::chrono::milliseconds outage)
{
    if (m_state != State::Joined || !m_link)
        return;
    m_link->abort();
    m_link->deleteLater();
    m_link = nullptr;
    m_outageClock.start();
    m_outage = outage;
    beginReconnect(std::chrono::milliseconds(0));
}

std::chrono::milliseconds MemberSide::outageLeft() const
{
    if (!m_outageClock.isValid())
        return std::chrono::milliseconds(0);
    return std::max(std::chrono::milliseconds(0), m_outage - std::chrono::milliseconds(m_outageClock.elapsed()));
}

void MemberSide::onHostFrame(FrameKind kind, QByteArrayView body)
{
    if (m_state == State::Joining || m_state == State::Reconnecting) {
        if (kind == FrameKind::Welcome) {
            const auto welcome = parseWelcome(body);
            if (welcome && (m_state == State::Joining || static_cast<PlayerId>(welcome->playerId) == m_ownId)) {
                const bool fresh = m_state == State::Joining;
                if (!fresh) {
                    // Possibly a new host: the next break starts from here.
                    m_hostAddress = m_targetAddress;
                    m_hostPort = m_targetPort;
                }
                applyWelcome(*welcome, fresh);
                m_state = State::Joined;
                if (!fresh)
                    resendUnacked();
                return;
            }
        } else if (kind == FrameKind::Reject) {
            const auto reject = parseReject(body);
            m_error = reject ? reject->text : QStringLiteral("Refused by the host");
            if (m_state == State::Joining) {
                m_state = State::Idle;
                return;
            }
            if (reject && reject->reason == RejectReason::Busy) {
                m_link->abort();
                m_link->deleteLater();
                m_link = nullptr;
                retryLater();
                return;
            }
            if (reject && reject->reason == RejectReason::NotHost)
                return onNotHost(*reject);
            lose(QStringLiteral("The host refused to take this player back: %1").arg(m_error));
            return;
        } else if (kind == FrameKind::Ping) {
            return;
        }
        // Anything else before the welcome is a broken host.
        qCWarning(lcSession) << "the host sent" << frameKindName(kind) << "before its Welcome";
        if (m_state == State::Joining) {
            m_error = QStringLiteral("The host sent something unexpected");
            m_state = State::Idle;
        } else {
            attemptFailed(Failure::Silent);
        }
        return;
    }
    if (m_state != State::Joined)
        return;
    switch (kind) {
    case FrameKind::Deliver:
        if (const auto d = parseDeliver(body))
            return onDeliver(*d);
        break;
    case FrameKind::Joined:
        if (const auto j = parseJoined(body)) {
            if (takeSeq(j->seq) && static_cast<PlayerId>(j->player.id) != m_ownId && m_roster.add(reachable(j->player)))
                m_sink.noticeLocal(NOTICE_PLAYER_CREATED, static_cast<PlayerId>(j->player.id));
            return;
        }
        break;
    case FrameKind::Left:
        if (const auto l = parseLeft(body)) {
            if (!takeSeq(l->seq))
                return;
            if (static_cast<PlayerId>(l->id) == m_ownId)
                return lose(QStringLiteral("The host removed this player from the session"));
            if (m_roster.markGone(static_cast<PlayerId>(l->id)))
                m_sink.noticeLocal(NOTICE_PLAYER_DESTROYED, static_cast<PlayerId>(l->id));
            return;
        }
        break;
    case FrameKind::Ack:
        if (const auto a = parseAck(body))
            return onAck(*a);
        break;
    case FrameKind::Ping:
        if (parseEmpty(body))
            return;
        break;
    case FrameKind::ReplayRequest:
        if (const auto r = parseReplayRequest(body))
            return sendRecord(r->fromSeq);
        break;
    case FrameKind::Bye:
        // The host leaves on purpose: no point trying it again.
        qCInfo(lcSession) << "the host left (Bye)";
        m_link->abort();
        m_link->deleteLater();
        m_link = nullptr;
        if (linkBroke()) {
            m_skipOldHost = true;
            m_movedOn = true;
        }
        return;
    default:
        break;
    }
    // A host that sends garbage is treated like a broken connection.
    qCWarning(lcSession).noquote() << "the host sent an invalid or unexpected" << frameKindName(kind) << "frame ("
                                   << body.size() << "byte body ); reconnecting";
    m_link->abort();
    m_link->deleteLater();
    m_link = nullptr;
    linkBroke();
}

// A link that breaks soon after it was set up, again and again, means the
// host (or the way to it) cannot take what goes on between us: each new
// attempt waits longer, and after a few the player is told the session is
// lost instead of the two sides spinning.
bool MemberSide::linkBroke()
{
    const bool quick = !m_linkClock.isValid() || m_linkClock.elapsed() < m_settings.stableLinkTime.count();
    m_quickBreaks = quick ? m_quickBreaks + 1 : 1;
    if (m_quickBreaks > m_settings.maxQuickBreaks) {
        lose(QStringLiteral("The connection to the host broke %1 times in a row right after it was set up")
                 .arg(m_quickBreaks));
        return false;
    }
    const auto delay = m_quickBreaks <= 1 ? std::chrono::milliseconds(0) : backoff(m_quickBreaks - 2);
    qCInfo(lcSession).noquote() << QStringLiteral("link to the host broke (%1 in a row); reconnecting in %2 ms")
                                       .arg(m_quickBreaks)
                                       .arg(delay.count());
    beginReconnect(delay);
    return true;
}

std::chrono::milliseconds MemberSide::backoff(int step) const
{
    double delay = static_cast<double>(m_settings.retryDelay.count());
    for (int i = 0; i < step && delay < static_cast<double>(m_settings.retryDelayMax.count()); ++i)
        delay *= 2;
    delay = std::min(delay, static_cast<double>(m_settings.retryDelayMax.count()));
    // Spread by a quarter either way, so members cut off together do not
    // come back in step.
    delay *= 0.75 + QRandomGenerator::global()->bounded(0.5);
    return std::chrono::milliseconds(static_cast<std::int64_t>(delay));
}

void MemberSide::retryLater() { m_retryTimer.start(backoff(m_tries++)); }

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

RosterEntry MemberSide::reachable(RosterEntry entry) const
{
    // The host records the addresses it sees; one on the host's own machine
    // is reachable for us at the host's address.
    if (static_cast<PlayerId>(entry.id) != m_ownId
        && (entry.address.isEmpty() || QHostAddress(entry.address).isLoopback()))
        entry.address = m_hostAddress;
    return entry;
}

void MemberSide::applyWelcome(const WelcomeFrame &w, bool fresh)
{
    m_link->setEstablished();
    m_link->setLabel(QStringLiteral("host %1 (%2:%3)").arg(w.hostId).arg(m_hostAddress).arg(m_hostPort));
    m_linkClock.start();
    qCInfo(lcSession) << (fresh ? "joined" : "resumed") << "as player" << w.playerId << "with host" << w.hostId
                      << "in epoch" << w.epoch;
    m_ownId = static_cast<PlayerId>(w.playerId);
    m_token = w.token;
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

bool MemberSide::takeSeq(std::uint64_t seq)
{
    if (seq <= m_lastSeq)
        return false; // seen before: a replay overlapping what arrived
    m_lastSeq = seq;
    return true;
}

void MemberSide::onDeliver(const DeliverFrame &d)
{
    if (!takeSeq(d.seq))
        return;
    if (!eventConcerns(EventKind::Message, d.from, d.to, static_cast<std::uint32_t>(m_ownId)))
        return; // its own send to all, or meant for someone else
    remember(d);
    m_sink.deliverLocal(static_cast<PlayerId>(d.from), static_cast<PlayerId>(d.to), d.payload);
}

void MemberSide::onAck(const AckFrame &ack)
{
    while (!m_unacked.empty() && m_unacked.front().csn <= ack.csn) {
        const SendFrame &sent = m_unacked.front();
        if (sent.csn == ack.csn && ack.seq != 0)
            remember(DeliverFrame{ack.seq, static_cast<std::uint32_t>(m_ownId), sent.to, sent.csn, sent.payload});
        m_unacked.pop_front();
    }
}

// Kept for a new host, within the same bounds as the host's history.
void MemberSide::remember(const DeliverFrame &d)
{
    m_record.push_back(d);
    m_recordBytes += d.payload.size();
    while (m_record.size() > 1
           && (m_record.size() > static_cast<std::size_t>(m_settings.historyCapacity)
               || m_recordBytes > m_settings.historyBytes)) {
        m_recordBytes -= m_record.front().payload.size();
        m_record.pop_front();
    }
}

void MemberSide::beginReconnect(std::chrono::milliseconds delay)
{
    m_state = State::Reconnecting;
    m_tries = 0;
    m_oldHost = m_hostId;
    m_skipOldHost = false;
    m_movedOn = false;
    m_redirect.reset();
    m_unreachable.clear();
    m_reconnectClock.start();
    m_oldHostClock.start();
    m_retryTimer.start(delay);
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
    m_link->abort();
    m_link->deleteLater();
    m_link = nullptr;
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

void MemberSide::attempt()
{
    if (m_state != State::Reconnecting)
        return;
    if (m_reconnectClock.elapsed() > m_settings.migrationTimeout.count())
        return lose(m_movedOn ? QStringLiteral("No player could take over as host in time")
                              : QStringLiteral("The host could not be reached again in time"));
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
        if (!next || !(m_flags & kSessionFlagMigrateHost))
            return lose(QStringLiteral("The host is gone and nobody can take over"));
        if (static_cast<PlayerId>(next->id) == m_ownId) {
            m_state = State::Promoted;
            Q_EMIT promoted();
            return;
        }
        m_target = static_cast<PlayerId>(next->id);
        m_targetAddress = next->address;
        m_targetPort = next->listenPort;
    }
    if (const auto left = outageLeft(); left.count() > 0) {
        // Cut off: no packet gets through, so the attempt ends like a
        // connection that is never answered (or when the link is back).
        m_attemptTimer.start(std::min(left, m_settings.connectTimeout));
        return;
    }
    qCDebug(lcSession).noquote() << QStringLiteral("trying player %1 at %2:%3 (retry %4)")
                                        .arg(m_target)
                                        .arg(m_targetAddress)
                                        .arg(m_targetPort)
                                        .arg(m_tries);
    m_attemptSocket = new QTcpSocket(this);
    connect(m_attemptSocket, &QTcpSocket::connected, this, &MemberSide::attemptConnected);
    connect(m_attemptSocket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        attemptFailed(error == QAbstractSocket::ConnectionRefusedError ? Failure::Refused : Failure::Unreachable);
    });
    m_attemptTimer.start(m_settings.connectTimeout);
    m_attemptSocket->connectToHost(m_targetAddress, m_targetPort);
}

void MemberSide::attemptConnected()
{
    m_attemptTimer.stop();
    QTcpSocket *socket = std::exchange(m_attemptSocket, nullptr);
    socket->disconnect(this);
    m_link = makeLink(socket);
    m_link->startHandshakeDeadline();
    ResumeFrame resume;
    resume.guidApplication = m_guid;
    resume.playerId = static_cast<std::uint32_t>(m_ownId);
    resume.token = m_token;
    resume.epoch = m_epoch;
    resume.lastSeq = m_lastSeq;
    resume.name = m_name;
    resume.listenPort = m_server ? m_server->serverPort() : 0;
    m_link->send(encode(resume));
}

void MemberSide::attemptFailed(Failure why)
{
    m_attemptTimer.stop();
    if (m_attemptSocket) {
        m_attemptSocket->disconnect(this);
        m_attemptSocket->abort();
        m_attemptSocket->deleteLater();
        m_attemptSocket = nullptr;
    }
    if (m_link) {
        m_link->abort();
        m_link->deleteLater();
        m_link = nullptr;
    }
    if (m_state != State::Reconnecting)
        return;
    if (m_target == m_oldHost && !m_skipOldHost) {
        // No answer at all may be our own network: the host keeps our place
        // for the resume grace, so it is tried that long. A refusal (nobody
        // listens) or an accepted connection that stays silent (a stopped
        // or broken host) means it cannot serve anyone.
        if (why == Failure::Unreachable && m_oldHostClock.elapsed() < m_settings.resumeGrace.count())
            return retryLater();
        return giveUpOldHost();
    }
    // A would-be successor that accepted but did not answer is busy taking
    // over: ask again. One that cannot be reached is passed over.
    if (why == Failure::Silent)
        return retryLater();
    m_unreachable.insert(m_target);
    m_retryTimer.start(0);
}

void MemberSide::resendUnacked()
{
    for (const auto &frame : m_unacked)
        m_link->send(encode(frame));
}

void MemberSide::sendRecord(std::uint64_t fromSeq)
{
    for (const auto &d : m_record) {
        if (d.seq > fromSeq)
            m_link->send(encode(d, FrameKind::Replay));
    }
    for (const auto &u : m_unacked)
        m_link->send(
            encode(DeliverFrame{0, static_cast<std::uint32_t>(m_ownId), u.to, u.csn, u.payload}, FrameKind::Replay));
    m_link->send(encodeEmpty(FrameKind::ReplayEnd));
}

void MemberSide::lose(const QString &why)
{
    qCWarning(lcSession).noquote() << "session lost:" << why;
    m_lostReason = why;
    m_retryTimer.stop();
    m_attemptTimer.stop();
    if (m_link) {
        m_link->abort();
        m_link->deleteLater();
        m_link = nullptr;
    }
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
    s.epoch = m_epoch;
    s.lastSeq = m_lastSeq;
    s.nextCsn = m_nextCsn;
    s.token = m_token;
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
