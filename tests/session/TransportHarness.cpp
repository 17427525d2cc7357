#include "TransportHarness.h"

#include "session/protocol/Messages.h"

#include <QSet>
#include <QtTest/QTest>

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

std::chrono::milliseconds SimulatedNetwork::outageLeft() const
{
    if (!m_since.isValid())
        return std::chrono::milliseconds(0);
    return std::max(std::chrono::milliseconds(0), m_outage - std::chrono::milliseconds(m_since.elapsed()));
}

void SimulatedNetwork::cut(std::chrono::milliseconds outage)
{
    m_since.start();
    m_outage = outage;
    Q_EMIT linkCut();
}

Peer::Peer(const TransportSettings &settings, core::Questions *questions)
    : m_transport(std::make_unique<TcpSessionTransport>(questions, settings))
{
    m_transport->setNetworkFaults(&m_network);
    connect(m_transport.get(), &SessionTransport::receiveEvent, this, &Peer::drain);
}

std::optional<PlayerId> openSession(TcpSessionTransport &transport, const SessionDescription &desc, OpenMode mode,
                                    const QString &name)
{
    if (!transport.InitializeConnection(transport.GetDPEnumConnections().last().address) || !transport.Open(desc, mode))
        return std::nullopt;
    transport.CreateEvent();
    return transport.CreatePlayer(name);
}

std::optional<PlayerId> openOnLoopback(TcpSessionTransport &transport, OpenMode mode, std::uint16_t port,
                                       const QString &name)
{
    SessionDescription desc = transport.CreateSessionData();
    desc.guidApplication = kGuid;
    desc.sessionName = QStringLiteral("TestTable");
    desc.maxPlayers = 99;
    desc.flags = kFlags;
    desc.hostAddress = QStringLiteral("127.0.0.1");
    desc.hostPort = port;
    return openSession(transport, desc, mode, name);
}

bool Peer::open(const SessionDescription &desc, OpenMode mode, const QString &name)
{
    const auto id = openSession(*m_transport, desc, mode, name);
    m_id = id.value_or(0);
    return id.has_value();
}

bool Peer::host(const QString &name, int maxPlayers, std::uint32_t flags, const QString &guid)
{
    SessionDescription desc = m_transport->CreateSessionData();
    desc.guidApplication = guid;
    desc.sessionName = QStringLiteral("TestChat");
    desc.maxPlayers = maxPlayers;
    desc.flags = flags;
    return open(desc, OpenMode::Create, name);
}

bool Peer::join(const QString &name, std::uint16_t port, const QString &guid)
{
    SessionDescription desc;
    desc.guidApplication = guid;
    desc.hostAddress = QStringLiteral("127.0.0.1");
    desc.hostPort = port;
    return open(desc, OpenMode::Join, name);
}

bool Peer::say(const QString &text, PlayerId to)
{
    const QByteArray bytes = encodeMessage(AppMessage{MSG_CHAT, text});
    return m_transport->SendEx(m_id, to, 1, MessageBuffer(bytes));
}

bool Peer::sendBulk(PlayerId to, const QString &tag, int bytes)
{
    QString text = tag + QLatin1Char('|');
    text.append(QString(std::max(0, bytes - int(text.size()) - 8), u'.'));
    const QByteArray message = encodeMessage(AppMessage{kBulkType, text});
    return m_transport->SendEx(m_id, to, kSendBulk, MessageBuffer(message));
}

QStringList Peer::bulkTags() const
{
    QStringList out;
    for (const auto &e : m_events) {
        if (e.from != 0 && e.type == kBulkType)
            out << e.text;
    }
    return out;
}

void Peer::drain()
{
    // As the application does: the count is taken once per event.
    const int n = m_transport->GetMessageCount(m_id);
    for (int i = 0; i < n; ++i) {
        auto received = m_transport->Receive();
        if (!received)
            break;
        Event e{received->from, received->to, received->message.ReadLong().value_or(-1), {}, 0};
        if (e.from == 0)
            e.about = received->message.ReadLong().value_or(0);
        else
            e.text = received->message.ReadString().value_or(QString());
        if (e.from != 0 && e.type == kBulkType)
            e.text = e.text.section(QLatin1Char('|'), 0, 0); // megabytes of padding are not worth keeping
        m_events.append(e);
    }
}

QList<Event> Peer::messages() const
{
    QList<Event> out;
    std::copy_if(m_events.cbegin(), m_events.cend(), std::back_inserter(out), [](const Event &e) { return e.from; });
    return out;
}

QStringList Peer::texts() const
{
    QStringList out;
    for (const auto &e : messages())
        out << e.text;
    return out;
}

int Peer::noticeCount(std::int32_t type, std::optional<PlayerId> about) const
{
    return int(std::count_if(m_events.cbegin(), m_events.cend(), [&](const Event &e) {
        return e.from == 0 && e.type == type && (!about || e.about == *about);
    }));
}

QList<PlayerId> Peer::playerIds()
{
    QList<PlayerId> out;
    for (const auto &p : m_transport->GetDPEnumPlayers())
        out.append(p.id);
    return out;
}

bool Peer::got(const QString &text, int timeoutMs) const
{
    (void)QTest::qWaitFor([&] { return texts().contains(text); }, timeoutMs);
    return texts().count(text) == 1;
}

bool Peer::heard(std::int32_t type, PlayerId about, int timeoutMs) const
{
    (void)QTest::qWaitFor([&] { return noticeCount(type, about) > 0; }, timeoutMs);
    return noticeCount(type, about) == 1;
}

bool joinAll(std::uint16_t port, std::initializer_list<Peer *> peers)
{
    char name = 'A';
    for (Peer *p : peers) {
        if (!p->join(QString(QLatin1Char(name++)), port))
            return false;
    }
    return true;
}

bool settled(std::initializer_list<Peer *> peers, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            int later = int(peers.size());
            for (Peer *p : peers) {
                if (p->noticeCount(NOTICE_PLAYER_CREATED) != --later)
                    return false;
            }
            return true;
        },
        timeoutMs);
}

// The texts of `of` that `in` got too, in the order `of` got them.
static QStringList shared(const QStringList &of, const QStringList &in)
{
    const QSet<QString> keep(in.cbegin(), in.cend());
    QStringList out;
    std::copy_if(of.cbegin(), of.cend(), std::back_inserter(out), [&](const QString &t) { return keep.contains(t); });
    return out;
}

bool sameOrder(const QList<Peer *> &peers)
{
    for (Peer *p : peers) {
        for (Peer *q : peers) {
            if (shared(p->texts(), q->texts()) != shared(q->texts(), p->texts()))
                return false;
        }
    }
    return true;
}

} // namespace vellmar::session::testing
