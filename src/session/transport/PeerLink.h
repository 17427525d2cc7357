#pragma once

#include "FrameCodec.h"
#include "TransportSettings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

class QTcpSocket;

// One framed TCP connection. Everything the socket hands up is checked here
// before anyone else sees it: framing, the frame cap, the handshake deadline,
// the input rate and silence. The output side is capped so that a peer that
// stops reading cannot grow our memory. Bulk frames wait in a bounded queue
// of their own and go out only behind every ordinary frame, one per pass of
// the event loop.
namespace vellmar::session {

class PeerLink : public QObject
{
    Q_OBJECT
public:
    enum class CloseReason {
        PeerClosed, // the other side closed or the connection broke
        Silent,     // nothing heard for the dead time-out
        BadFrame,
        HandshakeTimeout,
        RateLimited,
        OutputOverflow,
        Local, // we closed it
    };

    using FrameHandler = std::function<void(FrameKind, QByteArrayView)>;
    using CloseHandler = std::function<void(CloseReason)>;

    // Takes ownership of a connected socket.
    PeerLink(QTcpSocket *socket, const TransportSettings &settings, QObject *parent = nullptr);
    ~PeerLink() override;

    static const char *describe(CloseReason reason);

    void setFrameHandler(FrameHandler handler) { m_onFrame = std::move(handler); }
    // Who is at the other end, for logs ("player 3"); the address by default.
    void setLabel(const QString &label) { m_label = label; }
    const QString &label() const { return m_label; }
    void setCloseHandler(CloseHandler handler) { m_onClose = std::move(handler); }

    // The first frame must arrive before the deadline, until the owner says
    // the handshake is done.
    void startHandshakeDeadline();
    void setEstablished();
    void setRateLimited(bool on) { m_rateLimited = on; }
    // While a new host waits for a member's replay of its history, that
    // replay is bounded by the host instead of the input rate: Replay and
    // ReplayEnd are not counted then. At any other time every frame counts.
    void setReplayExpected(bool on) { m_replayExpected = on; }
    // Only the host caps what it queues for others; a member's own backlog
    // is its own application's sending and waits for the host.
    void setOutputCapped(bool on) { m_outputCapped = on; }

    void send(const QByteArray &frame);
    // Queued behind everything sent with send(), and handed to the socket
    // only while its unsent output is below the bulk threshold. False (and
    // dropped, with a log line) when the bulk queue is full or the link is
    // closed.
    // A bulk frame is given as its head and its payload (see bulkSendHead),
    // written one behind the other, so the payload is shared, not copied.
    bool sendBulk(QByteArray head, QByteArray payload);
    // Sends what is queued, then closes and deletes itself; no close handler
    // call. The owner must forget the link.
    void closeGracefully();
    // Drops the connection at once; no close handler call.
    void abort();

    // While one lives on this thread, frames sent on any link wait and go
    // out together, one write per link, once the event loop has handled the
    // other input that is ready. Every read of input runs inside one.
    class Burst
    {
    public:
        Burst();
        ~Burst();
        Burst(const Burst &) = delete;
        Burst &operator=(const Burst &) = delete;
    };

    // Writes the next bulk frame of every link whose turn it is.
    static void runBulkPass();

    bool isOpen() const { return !m_closed; }
    qint64 msSinceHeard() const { return m_lastHeard.elapsed(); }
    QHostAddress peerAddress() const;
    qint64 pendingOutput() const;
    qint64 bulkQueued() const { return m_bulkBytes; }

private:
    static void flushWaiting();
    void onReadyRead();
    void write(QByteArrayView bytes, QByteArrayView more = {});
    void flushBurst();
    void waitForBurst();
    void pumpBulk();
    void waitForBulkPass();
    void dropBulk();
    void limitKernelBacklog();
    void onTick();
    void fail(CloseReason reason, const char *detail = nullptr);
    bool takeToken();

    QTcpSocket *m_socket;
    const TransportSettings &m_settings;
    FrameHandler m_onFrame;
    CloseHandler m_onClose;
    QString m_label;
    QByteArray m_in;
    qsizetype m_inPos = 0;
    QByteArray m_out;       // sent during a burst, written when it ends
    bool m_waiting = false; // listed to be flushed when the burst ends
    struct BulkFrame
    {
        QByteArray head;
        QByteArray payload;
    };
    std::deque<BulkFrame> m_bulk;
    qint64 m_bulkBytes = 0;
    qint64 m_bulkDropped = 0; // since the queue last ran empty
    bool m_bulkSeen = false;
    bool m_bulkTurn = false;   // wrote a bulk frame in this pass
    bool m_bulkListed = false; // waits for the next pass
    QTimer m_tick;
    QTimer m_handshake;
    QElapsedTimer m_lastHeard;
    QElapsedTimer m_lastSent;
    QElapsedTimer m_bucketClock;
    double m_tokens = 0;
    bool m_rateLimited = false;
    bool m_replayExpected = false;
    bool m_outputCapped = false;
    bool m_closed = false;
};

// Drops a connection at once (no close handler runs) and forgets it. For a
// PeerLink or a bare socket that is still being set up.
template <typename Connection>
void dropNow(Connection *&connection)
{
    if (!connection)
        return;
    connection->abort();
    connection->deleteLater();
    connection = nullptr;
}

} // namespace vellmar::session
