#include "TcpSessionTransport.h"

#include "DiscoveryResponder.h"
#include "HostCore.h"
#include "MemberSide.h"
#include "SessionAddress.h"
#include "SessionLog.h"
#include "SessionSearch.h"

#include "core/Questions.h"
#include "session/protocol/Messages.h"

#include <QTcpServer>

namespace vellmar::session {

Q_LOGGING_CATEGORY(lcSession, "vellmar.session", QtWarningMsg)

const QString TcpSessionTransport::kConnectionAddress = QStringLiteral("vellmar-tcp");

TcpSessionTransport::TcpSessionTransport(core::Questions *questions, TransportSettings settings, QObject *parent)
    : SessionTransport(parent)
    , m_questions(questions)
    , m_settings(std::move(settings))
{}

TcpSessionTransport::~TcpSessionTransport()
{
    // Leave while the roster and inbox the cores point at still exist.
    if (m_host)
        m_host->leave();
    if (m_member)
        m_member->leave();
    delete m_host;
    delete m_member;
    delete m_discovery;
}

bool TcpSessionTransport::fail(const QString &error)
{
    m_error = error;
    return false;
}

QList<ConnectionEntry> TcpSessionTransport::GetDPEnumConnections() const
{
    return {ConnectionEntry{QStringLiteral("TCP/IP connection for Vellmar sessions"), kConnectionAddress}};
}

bool TcpSessionTransport::InitializeConnection(const QString &address)
{
    if (address != kConnectionAddress)
        return fail(QStringLiteral("Unknown connection \"%1\"").arg(address));
    m_initialized = true;
    return true;
}

QList<SessionDescription> TcpSessionTransport::GetDPEnumSessions(const SessionDescription &desc)
{
    if (!m_initialized) {
        fail(QStringLiteral("No connection initialized"));
        return {};
    }
    QString answer;
    if (m_questions) {
        const auto typed = m_questions->askText(
            QStringLiteral("Join Session"),
            QStringLiteral("Host address (name or IP, optionally :port); leave blank to search this network:"),
            m_suggestedAddress);
        if (!typed) {
            fail(QStringLiteral("Session search cancelled"));
            return {};
        }
        answer = typed->trimmed();
        m_typedAddress = answer;
    }
    if (answer.isEmpty()) {
        const auto found = searchSessions(m_settings, desc.guidApplication);
        if (found.isEmpty())
            fail(QStringLiteral("No session answered on this network"));
        return found;
    }
    const auto address = parseSessionAddress(answer, m_settings.tcpPort);
    if (!address) {
        fail(QStringLiteral("\"%1\" is not a host address").arg(answer));
        return {};
    }
    QString error;
    if (auto session = querySession(m_settings, address->host, address->port, desc.guidApplication, &error))
        return {*session};
    fail(error);
    return {};
}

bool TcpSessionTransport::Open(const SessionDescription &desc, OpenMode mode)
{
    if (!m_initialized)
        return fail(QStringLiteral("No connection initialized"));
    if (m_open)
        return fail(QStringLiteral("A session is already open"));
    m_session = desc;
    m_mode = mode;
    if (mode == OpenMode::Join) {
        if (desc.hostAddress.isEmpty() || desc.hostPort == 0)
            return fail(QStringLiteral("The session has no host address; search for it first"));
        // Asked only when the host said it needs one.
        if ((desc.flags & kSessionFlagPassword) && !m_password && m_questions) {
            m_password =
                m_questions->askSecret(QStringLiteral("Join Session"),
                                       QStringLiteral("The session \"%1\" needs a password:").arg(desc.sessionName));
            if (!m_password)
                return fail(QStringLiteral("Joining cancelled"));
        }
        m_open = true;
        return true;
    }
    if (desc.guidApplication.isEmpty() || desc.maxPlayers <= 0)
        return fail(QStringLiteral("The session description is incomplete"));
    // Every Welcome carries it; a longer one would be refused by every member.
    if (desc.sessionName.toUtf8().size() > qsizetype(kMaxNameBytes))
        return fail(QStringLiteral("The session name is too long (at most %1 bytes)").arg(kMaxNameBytes));
    // Hosting asks nothing more than before: a password is set beforehand
    // (setSessionPassword), or the session has none.
    m_host = new HostCore(m_settings, desc, m_roster, *this, this);
    connect(m_host, &HostCore::deposed, this, &TcpSessionTransport::standDown);
    m_host->setPassword(newPasswordKey(m_password.value_or(QString()), m_settings.passwordKeyRounds));
    QString error;
    if (!m_host->listen(&error)) {
        delete std::exchange(m_host, nullptr);
        return fail(QStringLiteral("Cannot listen for players: %1").arg(error));
    }
    m_session.hostPort = m_host->port();
    m_discovery = new DiscoveryResponder(
        m_settings, [this] { return m_host ? m_host->info() : InfoFrame{}; }, this);
    m_discovery->start();
    m_open = true;
    return true;
}

std::int32_t TcpSessionTransport::CreateEvent()
{
    if (m_eventId == 0)
        m_eventId = 1;
    if (!m_inbox.empty())
        scheduleEvent();
    return m_eventId;
}

std::optional<PlayerId> TcpSessionTransport::CreatePlayer(const QString &name)
{
    if (!m_open) {
        fail(QStringLiteral("No session is open"));
        return std::nullopt;
    }
    if (m_ownId != 0 || name.isEmpty()) {
        fail(QStringLiteral("A player needs a name, and one transport serves one player"));
        return std::nullopt;
    }
    if (name.toUtf8().size() > qsizetype(kMaxNameBytes)) {
        fail(QStringLiteral("The player name is too long (at most %1 bytes)").arg(kMaxNameBytes));
        return std::nullopt;
    }
    if (m_host) {
        m_ownId = m_host->createLocalPlayer(name);
        return m_ownId;
    }
    m_member = new MemberSide(m_settings, m_roster, *this, this);
    connect(m_member, &MemberSide::promoted, this, &TcpSessionTransport::becomeHost);
    connect(m_member, &MemberSide::sessionLost, this, &TcpSessionTransport::onSessionLost);
    m_member->setNetworkFaults(m_faults);
    m_member->setPassword(std::exchange(m_password, std::nullopt).value_or(QString()));
    m_member->setRequests(m_session.asksForMaster ? kRequestMaster : 0);
    QString error;
    if (!m_member->join(m_session.hostAddress, m_session.hostPort, m_session.guidApplication, name, &error)) {
        delete std::exchange(m_member, nullptr);
        fail(error);
        return std::nullopt;
    }
    m_ownId = m_member->ownId();
    return m_ownId;
}

void TcpSessionTransport::becomeHost()
{
    const TakeoverState state = m_member->takeoverState();
    QTcpServer *server = m_member->releaseServer();
    m_session.sessionName = state.sessionName;
    m_session.maxPlayers = state.maxPlayers;
    m_session.flags = state.flags;
    m_host = new HostCore(m_settings, m_session, m_roster, *this, this);
    connect(m_host, &HostCore::deposed, this, &TcpSessionTransport::standDown);
    m_host->takeOver(server, state);
    m_member->deleteLater();
    m_member = nullptr;
    m_discovery = new DiscoveryResponder(
        m_settings, [this] { return m_host ? m_host->info() : InfoFrame{}; }, this);
    m_discovery->start();
}

// Another player took over as host while this copy was stopped or cut off,
// and everyone went there. To this copy's user the others leave (notice 5
// each) and sends fail from then on; nobody can join it any more. Rejoining
// the session is a new join.
void TcpSessionTransport::standDown()
{
    if (!m_host)
        return;
    delete std::exchange(m_discovery, nullptr);
    m_host->stepDown();
    std::exchange(m_host, nullptr)->deleteLater();
    m_deposed = true;
    m_error = QStringLiteral("Another player took over as host while this copy was not responding");
    for (const auto &e : m_roster.presentEntries()) {
        const auto id = static_cast<PlayerId>(e.id);
        if (id != m_ownId && m_roster.markGone(id))
            noticeLocal(NOTICE_PLAYER_DESTROYED, id);
    }
}

// The member gave up reaching any host: the others have left (notice 5
// each, already sent) and the user is told why once.
void TcpSessionTransport::onSessionLost()
{
    m_lost = m_member ? m_member->lostReason() : QStringLiteral("The session was lost");
    m_error = m_lost;
    noticeLocal(NOTICE_SESSION_LOST, m_ownId);
}

bool TcpSessionTransport::SendEx(PlayerId from, PlayerId to, int flags, const MessageBuffer &message)
{
    if (m_ownId == 0 || from != m_ownId)
        return fail(QStringLiteral("Sender %1 is not this participant").arg(from));
    if (m_deposed)
        return fail(QStringLiteral("Another player took over as host while this copy was not responding"));
    if (!m_lost.isEmpty())
        return fail(m_lost);
    if (const auto limit = maxPayloadFor(m_settings.maxFrameBytes); message.bytes().size() > qsizetype(limit))
        return fail(QStringLiteral("The message is too long to send (%1 bytes, at most %2)")
                        .arg(message.bytes().size())
                        .arg(limit));
    if (flags & kSendBulk) {
        if (!m_roster.canAddress(from, to))
            return fail(QStringLiteral("Player %1 is not in the session").arg(to));
        const bool queued = m_host ? m_host->sendBulkFromLocal(to, message.bytes())
                                   : (m_member && m_member->sendBulk(to, message.bytes()));
        return queued ? true
                      : fail(QStringLiteral("Bulk data to player %1 was dropped: the link is behind or down").arg(to));
    }
    const bool sent =
        m_host ? m_host->sendFromLocal(to, message.bytes()) : (m_member && m_member->send(to, message.bytes()));
    return sent ? true : fail(QStringLiteral("Player %1 is not in the session").arg(to));
}

int TcpSessionTransport::GetMessageCount(PlayerId ownId) const
{
    Q_UNUSED(ownId);
    return static_cast<int>(m_inbox.size());
}

std::optional<ReceivedMessage> TcpSessionTransport::Receive()
{
    if (m_inbox.empty())
        return std::nullopt;
    ReceivedMessage message = std::move(m_inbox.front());
    m_inbox.pop_front();
    return message;
}

std::optional<QString> TcpSessionTransport::GetPlayerFriendlyName(PlayerId id) const { return m_roster.nameOf(id); }

bool TcpSessionTransport::isMasterPlayer(PlayerId id) const
{
    const RosterEntry *entry = m_roster.find(id);
    return entry && (entry->roles & kRoleMaster);
}

QList<PlayerEntry> TcpSessionTransport::GetDPEnumPlayers(const QString &, int) const
{
    QList<PlayerEntry> players;
    for (const auto &e : m_roster.presentEntries())
        players.append({static_cast<PlayerId>(e.id), e.name});
    return players;
}

QString TcpSessionTransport::GetGuidApplication() const { return m_session.guidApplication; }

std::uint16_t TcpSessionTransport::hostPort() const { return m_host ? m_host->port() : 0; }

void TcpSessionTransport::setNetworkFaults(NetworkFaults *faults)
{
    if (m_faults)
        m_faults->disconnect(this);
    m_faults = faults;
    if (m_faults)
        connect(m_faults, &NetworkFaults::crashed, this, &TcpSessionTransport::crash);
    if (m_member)
        m_member->setNetworkFaults(faults);
}

// Every connection dropped without a word; nothing more goes out.
void TcpSessionTransport::crash()
{
    if (m_host)
        m_host->abortAll();
    if (m_member)
        m_member->abortAll();
    delete std::exchange(m_discovery, nullptr);
}

void TcpSessionTransport::deliverLocal(PlayerId from, PlayerId to, const QByteArray &payload)
{
    push({from, to, MessageBuffer(payload)});
}

void TcpSessionTransport::noticeLocal(std::int32_t type, PlayerId about)
{
    MessageBuffer notice;
    notice.WriteLong(type);
    notice.WriteLong(about);
    push({kSystemSender, m_ownId, notice});
}

void TcpSessionTransport::push(ReceivedMessage message)
{
    m_inbox.push_back(std::move(message));
    scheduleEvent();
}

// One queued event per burst: the handler drains everything that waits.
void TcpSessionTransport::scheduleEvent()
{
    if (m_eventId == 0 || m_eventPending)
        return;
    m_eventPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_eventPending = false;
            if (!m_inbox.empty())
                Q_EMIT receiveEvent(m_eventId);
        },
        Qt::QueuedConnection);
}

} // namespace vellmar::session
