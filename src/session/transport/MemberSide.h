#pragma once

#include "Frames.h"
#include "LocalSink.h"
#include "NetworkFaults.h"
#include "PeerLink.h"
#include "ReconnectPolicy.h"
#include "Roster.h"
#include "TransportSettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <deque>
#include <optional>

class QTcpServer;
class QTcpSocket;

// A member's side of a session: its one connection to the host. When that
// connection breaks it first tries to resume with the same host, and gives it
// up only when it is really gone (refuses, stays silent, or is out of reach
// for as long as it would keep our place); then it goes, like every other
// member, to the earliest joiner still listed, and takes the host role itself
// when that is its own turn.
namespace vellmar::session {

class MemberSide : public QObject
{
    Q_OBJECT
public:
    MemberSide(const TransportSettings &settings, Roster &roster, LocalSink &sink, QObject *parent = nullptr);
    ~MemberSide() override;

    // Blocks until the host answered or the time-outs ran out.
    bool join(const QString &host, std::uint16_t port, const QString &guidApplication, const QString &name,
              QString *error);
    // Before join: what to prove if the host asks for a password, and what
    // to ask the host for (kRequestMaster).
    void setPassword(const QString &password) { m_password = password; }
    void setRequests(std::uint8_t requests) { m_requests = requests; }
    bool send(PlayerId to, const QByteArray &payload);
    // Into the link's bulk queue, never kept for a resend: false (dropped)
    // while there is no link to the host or its bulk queue is full.
    bool sendBulk(PlayerId to, const QByteArray &payload);
    void leave();
    void abortAll();
    // Where its network is made to fail, in tests; none by default.
    void setNetworkFaults(NetworkFaults *faults);

    PlayerId ownId() const { return m_ownId; }
    // After sessionLost(): a sentence for the user.
    const QString &lostReason() const { return m_lostReason; }

    // For the take-over, after promoted() was emitted.
    TakeoverState takeoverState() const;
    QTcpServer *releaseServer();

Q_SIGNALS:
    void promoted();
    void sessionLost();

private:
    enum class State { Idle, Joining, Joined, Reconnecting, Promoted, Lost, Left };
    // How a connection attempt ended: nobody listens; it accepted but did
    // not answer (or closed); or no answer at all, which may be our own
    // network.
    enum class Failure { Refused, Silent, Unreachable };
    struct Redirect
    {
        PlayerId id = 0;
        QString address;
        std::uint16_t port = 0;
    };

    PeerLink *makeLink(QTcpSocket *socket);
    void onHostClosed(PeerLink::CloseReason reason);
    void onLinkCut();
    void lose(const QString &why);

    // Joining (MemberJoin.cpp).
    void applyWelcome(const WelcomeFrame &welcome, bool fresh);
    RosterEntry reachable(RosterEntry entry) const;

    // Receiving (MemberReceive.cpp): the host's frames in order.
    void onHostFrame(FrameKind kind, QByteArrayView body);
    void onHandshakeAnswer(FrameKind kind, QByteArrayView body);
    // False when it cannot answer (no password, or a malformed challenge).
    bool answerChallenge(QByteArrayView body);
    void onDeliver(const DeliverFrame &d);
    void onBulkDeliver(const BulkDeliverFrame &d);
    bool takeSeq(std::uint64_t seq);
    void onAck(const AckFrame &ack);
    void remember(const DeliverFrame &d);
    void sendRecord(std::uint64_t fromSeq);

    // Reconnecting (MemberReconnect.cpp).
    // The link to the host broke after it was set up: reconnect, backing
    // off when that keeps happening. False when it gave up instead.
    bool linkBroke();
    void beginReconnect(std::chrono::milliseconds delay);
    void retryLater();
    void attempt();
    void attemptConnected();
    void attemptFailed(Failure why);
    void resendUnacked();

    // Finding the successor, and becoming it (MemberSuccessor.cpp).
    // Picks whom to try next; false when there is nobody to try (this
    // member was promoted, or the session is lost).
    bool chooseTarget();
    void giveUpOldHost();
    void onNotHost(const RejectFrame &reject);
    void refuseIncoming();

    const TransportSettings &m_settings;
    Roster &m_roster;
    LocalSink &m_sink;
    QTcpServer *m_server = nullptr;
    PeerLink *m_link = nullptr;
    State m_state = State::Idle;
    QString m_error;

    QString m_guid;
    QString m_name;
    std::uint8_t m_requests = 0;
    // Until the first challenge; from then on only the key derived from it.
    QString m_password;
    PasswordKey m_key;
    bool m_challenged = false; // during the join: the host asked for the password
    QString m_sessionName;
    int m_maxPlayers = 0;
    std::uint32_t m_flags = 0;
    PlayerId m_ownId = 0;
    PlayerId m_hostId = 0;
    QString m_hostAddress;
    std::uint16_t m_hostPort = 0;
    std::uint64_t m_token = 0;
    std::uint32_t m_highestId = 0; // the last Welcome's
    std::uint32_t m_epoch = 0;
    std::uint64_t m_lastSeq = 0;
    std::uint64_t m_nextCsn = 1;
    std::deque<SendFrame> m_unacked;
    std::deque<DeliverFrame> m_record; // recent messages, for a new host
    std::int64_t m_recordBytes = 0;
    QString m_lostReason;

    // Reconnection.
    PlayerId m_oldHost = 0;
    PlayerId m_target = 0;
    QString m_targetAddress;
    std::uint16_t m_targetPort = 0;
    bool m_skipOldHost = false;
    bool m_movedOn = false; // gave up the old host, looking for its successor
    std::optional<Redirect> m_redirect;
    QSet<PlayerId> m_unreachable;
    QElapsedTimer m_reconnectClock; // bounds the search for a host
    QElapsedTimer m_oldHostClock;   // since the link to the old host broke
    QTcpSocket *m_attemptSocket = nullptr;
    QTimer m_attemptTimer;
    QTimer m_retryTimer;
    ReconnectPolicy m_pacing;
    QPointer<NetworkFaults> m_faults;
};

} // namespace vellmar::session
