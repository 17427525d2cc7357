#pragma once

#include "Frames.h"
#include "History.h"
#include "LocalSink.h"
#include "PeerLink.h"
#include "Roster.h"
#include "SessionPassword.h"
#include "TransportSettings.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <map>
#include <memory>

class QTcpServer;

// The host's side of a session: accepts and checks new connections, hands out
// player ids, puts every message into one sequence and relays it to its
// addressees with the real sender stamped on. The host's own player is a
// member too, served through the local sink instead of a socket.
namespace vellmar::session {

class HostCore : public QObject
{
    Q_OBJECT
public:
    HostCore(const TransportSettings &settings, const SessionDescription &session, Roster &roster, LocalSink &sink,
             QObject *parent = nullptr);
    ~HostCore() override;

    // A new session: listens on the configured port or the next free one.
    bool listen(QString *error);
    // A member taking over: keeps the server it listened on as a member and
    // waits a while for the others to come back before carrying on.
    void takeOver(QTcpServer *server, const TakeoverState &state);

    std::uint16_t port() const;
    // A host with no player of its own: it takes an id, so that members can
    // name it, but is in no roster; the master role goes to a joiner who
    // asks for it. Nobody is let in before this or createLocalPlayer.
    void openWithoutPlayer();
    PlayerId createLocalPlayer(const QString &name);
    // Joining needs the password this key was derived from; empty: anyone may join.
    void setPassword(const PasswordKey &key) { m_password = key; }
    // The id members know this host by (its own player's, if it has one).
    PlayerId hostId() const { return m_hostId; }
    PlayerId localPlayer() const { return m_localId; }
    // False when the addressee is not (or no longer) in the session.
    bool sendFromLocal(PlayerId to, const QByteArray &payload);
    // Bulk data from the local player: relayed at once, never recorded.
    // False when the addressee is gone or a link's bulk queue dropped it.
    bool sendBulkFromLocal(PlayerId to, const QByteArray &payload);
    // Tells every member that the host leaves, so they move on at once.
    void leave();
    // Drops every connection without a word, as a crash would.
    void abortAll();

    // After deposed(): tells any members still here to move on, closes the
    // port, and takes no more sends.
    void stepDown();

    InfoFrame info() const;

Q_SIGNALS:
    // A player took over as host in a later epoch while this host was not
    // answering, and none of the members is heard here any more; the
    // session goes on there without this copy.
    void deposed();

private:
    struct Member
    {
        PeerLink *link = nullptr; // null while waiting for a resume
        std::uint64_t token = 0;
        std::uint64_t lastCsn = 0;
        std::uint64_t resumedFrom = 0; // lastSeq it resumed with
        bool replayDone = true;
        std::unique_ptr<QTimer> grace;
    };

    void forgetEveryone();

    // Admission (HostAdmission.cpp): new connections and their first frame.
    void acceptConnections();
    void onHandshake(PeerLink *link, FrameKind kind, QByteArrayView body);
    // proved: the connection has answered the password challenge.
    void acceptHello(PeerLink *link, const HelloFrame &hello, bool proved = false);
    void admit(PeerLink *link, const HelloFrame &hello);
    void acceptResume(PeerLink *link, const ResumeFrame &resume, bool proved = false);
    bool masterPresent() const;

    // Password (HostPassword.cpp): the challenge, and the answer to it, paced.
    void challenge(PeerLink *link, const Handshake &first);
    void onProof(PeerLink *link, FrameKind kind, QByteArrayView body);
    void forgetChallenge(PeerLink *link);
    void reject(PeerLink *link, RejectReason reason, const QString &text);
    void attach(PlayerId id, PeerLink *link);
    WelcomeFrame welcomeFor(PlayerId id) const;

    // Relay (HostRelay.cpp): the members' frames, the sequence, the roster.
    void onMemberFrame(PlayerId id, FrameKind kind, QByteArrayView body);
    void onMemberClosed(PlayerId id, PeerLink *link, PeerLink::CloseReason reason);
    void handleSend(PlayerId from, const SendFrame &frame);
    std::uint64_t relay(PlayerId from, PlayerId to, std::uint64_t csn, const QByteArray &payload);
    void record(SequencedEvent event);
    bool relayBulk(PlayerId from, PlayerId to, const QByteArray &payload);
    void deliverLocal(const DeliverFrame &d, std::uint64_t localAfter);
    void announceJoined(const RosterEntry &entry);
    void announceLeft(PlayerId id);
    void removePlayer(PlayerId id);
    void suspend(PlayerId id);

    // Take-over (HostTakeover.cpp): gathering the members, their replays,
    // and the merge that ends it.
    void recover(const DeliverFrame &d);
    void startReplay();
    void askForReplay(PeerLink &link);
    void onTakeoverTimer();
    void finishTakeover();
    void maybeFinishTakeover();

    // Deposal (HostDeposal.cpp): a later host's claim, either way round.
    void checkDeposed(PeerLink *link, const ResumeFrame &resume);
    std::chrono::milliseconds deposalWindow() const;
    void settleDeposal();
    void tellOldHost(const TakeoverState &state);

    const TransportSettings &m_settings;
    SessionDescription m_session;
    Roster &m_roster;
    LocalSink &m_sink;
    QTcpServer *m_server = nullptr;
    History m_history;
    std::map<PlayerId, Member> m_members;
    QList<PeerLink *> m_pending;
    PlayerId m_localId = 0;
    PlayerId m_hostId = 0;
    PasswordKey m_password;
    FailurePacing m_failures;
    std::map<PeerLink *, std::pair<Handshake, QByteArray>> m_challenged; // what it asked, and the nonce
    std::uint64_t m_localCsn = 0;
    std::uint64_t m_seq = 0;
    std::uint32_t m_epoch = 1;
    std::uint32_t m_highestId = 0;
    bool m_deposed = false;
    QTimer m_deposalCheck; // a claim that another host took over, being weighed

    // Take-over state: messages recovered from the members' own records,
    // keyed by (sender, sender's counter) so each is delivered once. First
    // the members come back (gathering), then they send what the others may
    // lack (replaying).
    bool m_takingOver = false;
    bool m_replaying = false;
    std::uint64_t m_replayFloor = 0;
    PlayerId m_oldHost = 0;
    std::uint64_t m_localResumedFrom = 0;
    std::map<std::pair<std::uint32_t, std::uint64_t>, DeliverFrame> m_recovered;
    std::int64_t m_recoveredBytes = 0; // payloads in m_recovered, bounded like the history
    QList<RosterEntry> m_newDuringTakeover;
    QTimer m_takeoverTimer;
};

} // namespace vellmar::session
