#pragma once

#include "session/transport/LocalSink.h"
#include "session/transport/Roster.h"
#include "session/transport/TransportSettings.h"

#include <QObject>
#include <QString>

// A session host without a player or a window, for a machine every player
// can reach: the players, the master among them, all join it. It does what
// a hosting copy does for its members (order, relay, resumes, history,
// limits); if it goes away, the earliest joiner carries the session on.
namespace vellmar::session {

class DiscoveryResponder;
class HostCore;

class HeadlessHost final : public QObject, private LocalSink
{
    Q_OBJECT
public:
    struct Options
    {
        QString sessionName;
        int maxPlayers = 99;
        QString password; // blank: anyone who reaches the port may join
    };

    explicit HeadlessHost(TransportSettings settings, QObject *parent = nullptr);
    ~HeadlessHost() override;

    bool start(const Options &options, QString *error);
    // Tells every member with Bye, so they carry on under the earliest
    // joiner at once, and closes the port.
    void stop();
    std::uint16_t port() const;
    int players() const { return m_roster.presentCount(); }

Q_SIGNALS:
    // Another player took over as host while this one was not answering;
    // the session goes on there.
    void deposed();

private:
    void deliverLocal(PlayerId, PlayerId, const QByteArray &) override {}
    void noticeLocal(std::int32_t type, PlayerId about) override;
    void onDeposed();

    TransportSettings m_settings;
    Roster m_roster;
    HostCore *m_host = nullptr;
    DiscoveryResponder *m_discovery = nullptr;
};

} // namespace vellmar::session
