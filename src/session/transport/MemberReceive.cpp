#include "MemberSide.h"

#include "History.h"
#include "SessionLog.h"

#include "session/protocol/Messages.h"

namespace vellmar::session {

// Before the Welcome (a join, or a resume with this or a new host): only the
// answer to the handshake, or a Ping, may come.
void MemberSide::onHandshakeAnswer(FrameKind kind, QByteArrayView body)
{
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
            dropNow(m_link);
            retryLater();
            return;
        }
        if (reject && reject->reason == RejectReason::NotHost)
            return onNotHost(*reject);
        lose(QStringLiteral("The host refused to take this player back: %1").arg(m_error));
        return;
    } else if (kind == FrameKind::Ping) {
        return;
    } else if (kind == FrameKind::Challenge) {
        if (answerChallenge(body))
            return;
        const QString why = QStringLiteral("The session needs a password");
        if (m_state == State::Joining) {
            m_error = why;
            m_state = State::Idle;
            return;
        }
        return lose(QStringLiteral("The new host asked for the session password, which this copy does not have"));
    }
    // Anything else before the welcome is a broken host.
    qCWarning(lcSession) << "the host sent" << frameKindName(kind) << "before its Welcome";
    if (m_state == State::Joining) {
        m_error = QStringLiteral("The host sent something unexpected");
        m_state = State::Idle;
    } else {
        attemptFailed(Failure::Silent);
    }
}

void MemberSide::onHostFrame(FrameKind kind, QByteArrayView body)
{
    if (m_state == State::Joining || m_state == State::Reconnecting)
        return onHandshakeAnswer(kind, body);
    if (m_state != State::Joined)
        return;
    switch (kind) {
    case FrameKind::Deliver:
        if (const auto d = parseDeliver(body))
            return onDeliver(*d);
        break;
    case FrameKind::BulkDeliver:
        if (const auto d = parseBulkDeliver(body))
            return onBulkDeliver(*d);
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
        dropNow(m_link);
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
    dropNow(m_link);
    linkBroke();
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

// Outside the sequence: no seq to take, and not remembered for a new host.
void MemberSide::onBulkDeliver(const BulkDeliverFrame &d)
{
    if (eventConcerns(EventKind::Message, d.from, d.to, static_cast<std::uint32_t>(m_ownId)))
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

} // namespace vellmar::session
