#pragma once

#include "TransportHarness.h"
#include "session/transport/SessionTransport.h"
#include "session/transport/TcpSessionTransport.h"

namespace vellmar::session::testing {

// The real loopback transport behind the interface, for tests that watch or
// delay one of its operations: a subclass overrides that one and calls the
// inner transport; everything else goes straight through.
class LoopbackWrapper : public SessionTransport
{
public:
    explicit LoopbackWrapper(core::Questions &asker) : m_inner(&asker, fastSettings())
    {
        connect(&m_inner, &SessionTransport::receiveEvent, this, &SessionTransport::receiveEvent);
    }

    std::optional<PlayerId> CreatePlayer(const QString &name) override { return m_inner.CreatePlayer(name); }
    std::optional<ReceivedMessage> Receive() override { return m_inner.Receive(); }
    QList<ConnectionEntry> GetDPEnumConnections() const override { return m_inner.GetDPEnumConnections(); }
    bool InitializeConnection(const QString &address) override { return m_inner.InitializeConnection(address); }
    QList<SessionDescription> GetDPEnumSessions(const SessionDescription &wanted) override
    {
        return m_inner.GetDPEnumSessions(wanted);
    }
    bool Open(const SessionDescription &session, OpenMode mode) override { return m_inner.Open(session, mode); }
    std::int32_t CreateEvent() override { return m_inner.CreateEvent(); }
    bool SendEx(PlayerId from, PlayerId to, int flags, const MessageBuffer &message) override
    {
        return m_inner.SendEx(from, to, flags, message);
    }
    int GetMessageCount(PlayerId id) const override { return m_inner.GetMessageCount(id); }
    std::optional<QString> GetPlayerFriendlyName(PlayerId id) const override
    {
        return m_inner.GetPlayerFriendlyName(id);
    }
    QList<PlayerEntry> GetDPEnumPlayers(const QString &group, int flags) const override
    {
        return m_inner.GetDPEnumPlayers(group, flags);
    }
    QString GetGuidApplication() const override { return m_inner.GetGuidApplication(); }
    QString lastError() const override { return m_inner.lastError(); }
    bool isMasterPlayer(PlayerId id) const override { return m_inner.isMasterPlayer(id); }

protected:
    TcpSessionTransport m_inner;
};

} // namespace vellmar::session::testing
