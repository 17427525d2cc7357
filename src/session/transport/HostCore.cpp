#include "HostCore.h"

#include "SessionLog.h"

#include <QTcpServer>

#include <algorithm>

namespace vellmar::session {

HostCore::HostCore(const TransportSettings &settings, const SessionDescription &session, Roster &roster,
                   LocalSink &sink, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_session(session)
    , m_roster(roster)
    , m_sink(sink)
    , m_history(settings.historyCapacity, settings.historyBytes)
    , m_failures(settings.passwordDelay, settings.passwordDelayMax)
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

std::uint16_t HostCore::port() const { return m_server ? m_server->serverPort() : 0; }

InfoFrame HostCore::info() const
{
    InfoFrame f;
    f.guidApplication = m_session.guidApplication;
    f.sessionName = m_session.sessionName;
    f.maxPlayers = static_cast<std::uint32_t>(std::max(0, m_session.maxPlayers));
    f.players = static_cast<std::uint32_t>(m_roster.presentCount());
    f.flags = m_session.flags;
    if (m_password.required())
        f.flags |= kSessionFlagPassword;
    if ((m_session.flags & kSessionFlagMasterOnRequest) && !masterPresent())
        f.flags |= kSessionFlagMasterFree;
    f.tcpPort = port();
    return f;
}

void HostCore::openWithoutPlayer()
{
    m_session.flags |= kSessionFlagMasterOnRequest;
    m_hostId = static_cast<PlayerId>(++m_highestId);
}

PlayerId HostCore::createLocalPlayer(const QString &name)
{
    const auto id = static_cast<PlayerId>(++m_highestId);
    // The hosting copy's player is the master, unless the session gives the
    // role on request.
    const std::uint8_t roles = (m_session.flags & kSessionFlagMasterOnRequest) ? 0 : kRoleMaster;
    RosterEntry entry{static_cast<std::uint32_t>(id),    name, QString(), port(),
                      resumeTokenHash(newResumeToken()), roles};
    m_roster.add(entry);
    m_localId = id;
    m_hostId = id;
    announceJoined(entry);
    return id;
}

bool HostCore::sendFromLocal(PlayerId to, const QByteArray &payload)
{
    if (m_localId == 0 || m_deposed || !m_roster.canAddress(m_localId, to)
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

bool HostCore::sendBulkFromLocal(PlayerId to, const QByteArray &payload)
{
    if (m_localId == 0 || m_deposed || payload.size() > maxPayloadFor(m_settings.maxFrameBytes))
        return false;
    return relayBulk(m_localId, to, payload);
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
    for (auto *&link : m_pending)
        dropNow(link);
    m_pending.clear();
    m_challenged.clear();
    if (m_server)
        m_server->close();
}

void HostCore::abortAll()
{
    for (auto &[id, member] : m_members)
        dropNow(member.link);
    forgetEveryone();
}

void HostCore::stepDown()
{
    m_takeoverTimer.stop();
    m_deposalCheck.stop();
    m_takingOver = false;
    m_deposed = true;
    leave();
}

} // namespace vellmar::session
