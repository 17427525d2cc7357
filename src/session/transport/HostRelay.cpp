#include "HostCore.h"

#include "SessionLog.h"

#include "session/protocol/Messages.h"

#include <QtEndian>

namespace vellmar::session {

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
    case FrameKind::BulkSend:
        if (const auto bulk = parseBulkSend(body)) {
            relayBulk(id, static_cast<PlayerId>(bulk->to), bulk->payload);
            return;
        }
        if (body.size() >= 8 && qFromBigEndian<std::uint32_t>(body.data() + 4) > kMaxPayloadBytes) {
            qCWarning(lcSession).noquote()
                << "player" << id << "sent bulk data of" << qFromBigEndian<std::uint32_t>(body.data() + 4)
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
            if (member.link)
                member.link->setReplayExpected(false);
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
    dropNow(member.link);
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
    if (!m_roster.canAddress(from, to))
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

// Bulk data goes straight to the bulk queues of the members it concerns:
// not sequenced, not recorded for a resume or a take-over (it would evict the
// messages that must be replayed), and dropped for a member that is away or
// whose queue is full. Its receiver asks again for what it misses.
bool HostCore::relayBulk(PlayerId from, PlayerId to, const QByteArray &payload)
{
    if (m_takingOver || !m_roster.canAddress(from, to))
        return false;
    const auto sender = static_cast<std::uint32_t>(from), addressee = static_cast<std::uint32_t>(to);
    // One head for every receiver; the payload is shared, not copied.
    const QByteArray head = bulkDeliverHead(sender, addressee, payload.size());
    bool queued = true;
    for (auto &[id, member] : m_members) {
        if (eventConcerns(EventKind::Message, sender, addressee, static_cast<std::uint32_t>(id)))
            queued = member.link && member.link->sendBulk(head, payload) && queued;
    }
    if (m_localId != 0 && eventConcerns(EventKind::Message, sender, addressee, static_cast<std::uint32_t>(m_localId)))
        m_sink.deliverLocal(from, to, payload);
    return queued;
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
        dropNow(it->second.link);
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

} // namespace vellmar::session
