#include "TransportHarness.h"

#include "session/protocol/Messages.h"

namespace vellmar::session::testing {

TransportSettings fastSettings()
{
    TransportSettings s;
    s.tcpPort = 0; // any free port
    s.listenAddress = QHostAddress(QHostAddress::LocalHost);
    s.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
    s.discoveryPort = 0; // tests that search choose their own
    s.searchTime = std::chrono::milliseconds(400);
    s.connectTimeout = std::chrono::milliseconds(1000);
    s.handshakeTimeout = std::chrono::milliseconds(1000);
    s.pingInterval = std::chrono::milliseconds(200);
    s.deadTimeout = std::chrono::milliseconds(3000);
    s.resumeGrace = std::chrono::milliseconds(1500);
    s.retryDelay = std::chrono::milliseconds(20);
    s.migrationTimeout = std::chrono::milliseconds(6000);
    return s;
}

Peer::Peer(const TransportSettings &settings, core::Questions *questions)
    : m_transport(std::make_unique<TcpSessionTransport>(questions, settings))
{
    connect(m_transport.get(), &SessionTransport::receiveEvent, this, &Peer::drain);
}

bool Peer::host(const QString &name, int maxPlayers, std::uint32_t flags, const QString &guid)
{
    auto &t = *m_transport;
    if (!t.InitializeConnection(t.GetDPEnumConnections().last().address))
        return false;
    SessionDescription desc = t.CreateSessionData();
    desc.guidApplication = guid;
    desc.sessionName = QStringLiteral("TestChat");
    desc.maxPlayers = maxPlayers;
    desc.flags = flags;
    if (!t.Open(desc, OpenMode::Create))
        return false;
    t.CreateEvent();
    const auto id = t.CreatePlayer(name);
    m_id = id.value_or(0);
    return id.has_value();
}

bool Peer::join(const QString &name, std::uint16_t port, const QString &guid)
{
    auto &t = *m_transport;
    if (!t.InitializeConnection(t.GetDPEnumConnections().last().address))
        return false;
    SessionDescription desc;
    desc.guidApplication = guid;
    desc.hostAddress = QStringLiteral("127.0.0.1");
    desc.hostPort = port;
    if (!t.Open(desc, OpenMode::Join))
        return false;
    t.CreateEvent();
    const auto id = t.CreatePlayer(name);
    m_id = id.value_or(0);
    return id.has_value();
}

bool Peer::say(const QString &text, PlayerId to)
{
    const QByteArray bytes = encodeMessage(AppMessage{MSG_CHAT, text});
    return m_transport->SendEx(m_id, to, 1, MessageBuffer(bytes));
}

void Peer::drain()
{
    // As the application does: the count is taken once per event.
    const int n = m_transport->GetMessageCount(m_id);
    for (int i = 0; i < n; ++i) {
        auto received = m_transport->Receive();
        if (!received)
            break;
        Event e;
        e.from = received->from;
        e.to = received->to;
        e.type = received->message.ReadLong().value_or(-1);
        if (e.from == 0)
            e.about = received->message.ReadLong().value_or(0);
        else
            e.text = received->message.ReadString().value_or(QString());
        m_events.append(e);
    }
}

QList<Event> Peer::messages() const
{
    QList<Event> out;
    for (const auto &e : m_events) {
        if (e.from != 0)
            out.append(e);
    }
    return out;
}

QList<Event> Peer::notices(std::int32_t type) const
{
    QList<Event> out;
    for (const auto &e : m_events) {
        if (e.from == 0 && e.type == type)
            out.append(e);
    }
    return out;
}

int Peer::noticeCount(std::int32_t type, PlayerId about) const
{
    int n = 0;
    for (const auto &e : m_events)
        n += (e.from == 0 && e.type == type && e.about == about) ? 1 : 0;
    return n;
}

QStringList Peer::texts() const
{
    QStringList out;
    for (const auto &e : m_events) {
        if (e.from != 0)
            out << e.text;
    }
    return out;
}

} // namespace vellmar::session::testing
