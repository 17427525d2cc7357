#pragma once

#include "session/transport/TcpSessionTransport.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

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

class Peer : public QObject
{
    Q_OBJECT
public:
    explicit Peer(const TransportSettings &settings, core::Questions *questions = nullptr);

    TcpSessionTransport &transport() { return *m_transport; }
    PlayerId id() const { return m_id; }
    const QList<Event> &events() const { return m_events; }
    QList<Event> messages() const;
    QList<Event> notices(std::int32_t type) const;
    int noticeCount(std::int32_t type, PlayerId about) const;
    QStringList texts() const;

    bool host(const QString &name, int maxPlayers = 99, std::uint32_t flags = kFlags, const QString &guid = kGuid);
    bool join(const QString &name, std::uint16_t port, const QString &guid = kGuid);
    bool say(const QString &text, PlayerId to = 0);
    // Destroys the transport: a clean leave.
    void leave() { m_transport.reset(); }

private:
    void drain();

    std::unique_ptr<TcpSessionTransport> m_transport;
    PlayerId m_id = 0;
    QList<Event> m_events;
};

} // namespace vellmar::session::testing
