#include "HostCore.h"

#include "SessionLog.h"

#include "session/protocol/Messages.h"

#include <QTcpServer>

#include <algorithm>

namespace vellmar::session {

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
    m_hostId = state.self;
    m_password = state.password;
    m_localCsn = state.nextCsn - 1;
    m_epoch = state.epoch + 1;
    m_seq = state.lastSeq;
    m_localResumedFrom = state.lastSeq;
    m_highestId = std::max(m_roster.highestId(), state.highestId);
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
    tellOldHost(state);
    acceptConnections();
    maybeFinishTakeover();
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
            askForReplay(*member.link);
    }
    m_takeoverTimer.start(m_settings.resumeGrace);
    maybeFinishTakeover();
}

// Its replay is bounded here (see onMemberFrame), not by the input rate.
void HostCore::askForReplay(PeerLink &link)
{
    link.setReplayExpected(true);
    link.send(encode(ReplayRequestFrame{m_replayFloor}));
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
    for (auto &[id, member] : m_members) {
        if (member.link)
            member.link->setReplayExpected(false);
    }

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
