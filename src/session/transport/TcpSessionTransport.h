#pragma once

#include "LocalSink.h"
#include "NetworkFaults.h"
#include "Roster.h"
#include "SessionTransport.h"
#include "TransportSettings.h"

#include <QPointer>

#include <deque>

namespace vellmar::core {
class Questions;
}

// The session transport over TCP/IP: a star through the host, which orders
// and relays every message. See docs/protocol.md for the wire format.
namespace vellmar::session {

class DiscoveryResponder;
class HostCore;
class MemberSide;

class TcpSessionTransport final : public SessionTransport, private LocalSink
{
    Q_OBJECT
public:
    static const QString kConnectionAddress;

    // questions: asked for the host's address during the session search, for
    // the password when hosting, and for it when joining a session that needs
    // one; may be null, which means a network search and no password unless
    // one is set.
    explicit TcpSessionTransport(core::Questions *questions, TransportSettings settings = {},
                                 QObject *parent = nullptr);
    ~TcpSessionTransport() override;

    QList<ConnectionEntry> GetDPEnumConnections() const override;
    bool InitializeConnection(const QString &address) override;
    QList<SessionDescription> GetDPEnumSessions(const SessionDescription &desc) override;
    bool Open(const SessionDescription &desc, OpenMode mode) override;
    std::int32_t CreateEvent() override;
    std::optional<PlayerId> CreatePlayer(const QString &name) override;
    bool SendEx(PlayerId from, PlayerId to, int flags, const MessageBuffer &message) override;
    int GetMessageCount(PlayerId ownId) const override;
    std::optional<ReceivedMessage> Receive() override;
    std::optional<QString> GetPlayerFriendlyName(PlayerId id) const override;
    bool isMasterPlayer(PlayerId id) const override;
    QList<PlayerEntry> GetDPEnumPlayers(const QString &guidApplication = {}, int flags = 0) const override;
    QString GetGuidApplication() const override;
    QString lastError() const override { return m_error; }

    // False again once another player took over as host while this copy was
    // not responding (stopped, or cut off); the others then appear to have
    // left and sends fail.
    bool isHost() const { return m_host != nullptr; }
    std::uint16_t hostPort() const;
    // The text the host address question starts with; empty by default.
    void setSuggestedAddress(const QString &address) { m_suggestedAddress = address; }
    // The host address last typed into that question; empty for a search.
    QString typedAddress() const { return m_typedAddress; }
    // The session password, set before Open instead of asking the user:
    // what hosting requires, or what joining proves. Blank: none.
    void setSessionPassword(const QString &password) { m_password = password; }
    // Where this participant's network is made to fail, in tests; none by
    // default. Not owned.
    void setNetworkFaults(NetworkFaults *faults);

private:
    void deliverLocal(PlayerId from, PlayerId to, const QByteArray &payload) override;
    void noticeLocal(std::int32_t type, PlayerId about) override;
    void push(ReceivedMessage message);
    void scheduleEvent();
    void becomeHost();
    void standDown();
    void onSessionLost();
    void crash();
    bool fail(const QString &error);

    core::Questions *m_questions;
    TransportSettings m_settings;
    QString m_suggestedAddress;
    QString m_typedAddress;
    bool m_initialized = false;
    SessionDescription m_session;
    OpenMode m_mode = OpenMode::Join;
    bool m_open = false;
    bool m_deposed = false; // replaced as host while not responding
    QString m_lost;         // why the session was lost, once a member gave up
    std::optional<QString> m_password;
    Roster m_roster;
    HostCore *m_host = nullptr;
    MemberSide *m_member = nullptr;
    DiscoveryResponder *m_discovery = nullptr;
    QPointer<NetworkFaults> m_faults;
    PlayerId m_ownId = 0;
    std::int32_t m_eventId = 0;
    bool m_eventPending = false;
    std::deque<ReceivedMessage> m_inbox;
    QString m_error;
};

} // namespace vellmar::session
