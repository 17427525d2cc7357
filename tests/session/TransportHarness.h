#pragma once

#include "session/transport/TcpSessionTransport.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <initializer_list>
#include <memory>
#include <optional>

// Session participants for tests: a transport on loopback with short clocks,
// and a record of everything its application would have received.
namespace vellmar::session::testing {

inline const QString kGuid = QStringLiteral("{12332123-5544-6546-4332-112344334334}");
constexpr std::uint32_t kFlags = 8196;

struct Event
{
    PlayerId from = 0;
    PlayerId to = 0;
    std::int32_t type = 0;
    QString text;       // application messages
    PlayerId about = 0; // notices
};

TransportSettings fastSettings();

// Hosts (Create) or joins (Join) a test session on 127.0.0.1:port and
// creates the player: its id, or none when a step fails.
std::optional<PlayerId> openOnLoopback(TcpSessionTransport &transport, OpenMode mode, std::uint16_t port,
                                       const QString &name);
// The same with a session description of one's own.
std::optional<PlayerId> openSession(TcpSessionTransport &transport, const SessionDescription &desc, OpenMode mode,
                                    const QString &name);

// Bulk data in tests travels as application messages of this type whose text
// is "<tag>|" followed by padding; only the tag is kept on receipt.
constexpr std::int32_t kBulkType = 1001;

// A participant's network, made to fail on demand.
class SimulatedNetwork : public NetworkFaults
{
    Q_OBJECT
public:
    using NetworkFaults::NetworkFaults;
    std::chrono::milliseconds outageLeft() const override;
    // The link to the host breaks, and for that long no connection attempt
    // gets through (a pulled cable).
    void cut(std::chrono::milliseconds outage);

private:
    QElapsedTimer m_since;
    std::chrono::milliseconds m_outage{0};
};

class Peer : public QObject
{
    Q_OBJECT
public:
    explicit Peer(const TransportSettings &settings, core::Questions *questions = nullptr);

    TcpSessionTransport &transport() { return *m_transport; }
    std::uint16_t port() const { return m_transport->hostPort(); }
    PlayerId id() const { return m_id; }
    const QList<Event> &events() const { return m_events; }
    QList<Event> messages() const;
    QStringList texts() const;
    // Notices of that type (about that player, if given).
    int noticeCount(std::int32_t type, std::optional<PlayerId> about = std::nullopt) const;
    // The ids of the player list, in its order.
    QList<PlayerId> playerIds();
    // Waits up to timeoutMs for text to arrive; true if it came exactly once.
    bool got(const QString &text, int timeoutMs = 5000) const;
    // Waits up to timeoutMs for notice type about that player; true if it came exactly once.
    bool heard(std::int32_t type, PlayerId about, int timeoutMs = 5000) const;

    bool host(const QString &name, int maxPlayers = 99, std::uint32_t flags = kFlags, const QString &guid = kGuid);
    bool join(const QString &name, std::uint16_t port, const QString &guid = kGuid);
    bool open(const SessionDescription &desc, OpenMode mode, const QString &name);
    bool say(const QString &text, PlayerId to = 0);
    // In the bulk lane: the text "<tag>|" padded to about `bytes`.
    bool sendBulk(PlayerId to, const QString &tag, int bytes);
    // The tags of the bulk data received, in order.
    QStringList bulkTags() const;
    // Destroys the transport: a clean leave.
    void leave() { m_transport.reset(); }
    // Every connection dropped without a word, as a crash would.
    void crash() { Q_EMIT m_network.crashed(); }
    // A member's network fails for that long (see SimulatedNetwork::cut).
    void interruptLink(std::chrono::milliseconds outage) { m_network.cut(outage); }

private:
    void drain();

    SimulatedNetwork m_network;
    std::unique_ptr<TcpSessionTransport> m_transport;
    PlayerId m_id = 0;
    QList<Event> m_events;
};

// Joins each peer in turn, named "A", "B", ...
bool joinAll(std::uint16_t port, std::initializer_list<Peer *> peers);
// Peers in join order, the last joiner last: waits until each has been told
// of every later joiner (earlier ones it learns from the player list).
bool settled(std::initializer_list<Peer *> peers, int timeoutMs = 5000);
// One total order: any two peers saw the messages they both got in the same
// order (texts must be unique).
bool sameOrder(const QList<Peer *> &peers);

} // namespace vellmar::session::testing
