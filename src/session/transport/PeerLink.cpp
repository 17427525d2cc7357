#include "PeerLink.h"

#include "Frames.h"
#include "SessionLog.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QTcpSocket>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#endif

namespace vellmar::session {

namespace {

// While input is being handled, frames for other connections are collected
// and written once the event loop has handled all input that was ready: one
// write per connection per pass instead of one per frame (a message to all
// is one frame to each member) or one per sender. When the host falls
// behind, a pass holds more messages and each costs less, so it catches up.
thread_local int t_burstDepth = 0;
thread_local QList<PeerLink *> t_waiting;
thread_local bool t_flushPosted = false;

// Bulk frames go out one per link per pass, the links taking turns, and the
// passes are spaced out. Writing a 64 KB frame costs the host a tenth of a
// millisecond or more, and its receiver as much again: written all at once
// for every link, the bulk held the loop for milliseconds while chat lines
// waited to be read and relayed, and kept every processor of a shared
// machine busy. Between passes the loop handles the input that arrived.
// All the links of a program together write at most bulkFramesPerPass
// frames in a pass: six players starting a download at once would otherwise
// each get a frame in the same moment and all want a processor at once.
thread_local QList<PeerLink *> t_bulkTurns;
thread_local bool t_bulkPosted = false;
thread_local int t_bulkFramesThisPass = 0;

void scheduleBulkPass(std::chrono::milliseconds interval)
{
    if (t_bulkPosted)
        return;
    auto *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) {
        PeerLink::runBulkPass();
        return;
    }
    t_bulkPosted = true;
    if (interval.count() > 0)
        QTimer::singleShot(interval, Qt::PreciseTimer, dispatcher, &PeerLink::runBulkPass);
    else
        QMetaObject::invokeMethod(dispatcher, &PeerLink::runBulkPass, Qt::QueuedConnection);
}

void postOnce(bool &posted, void (*function)())
{
    if (posted)
        return;
    auto *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) {
        function();
        return;
    }
    posted = true;
    QMetaObject::invokeMethod(dispatcher, function, Qt::QueuedConnection);
}

} // namespace

void PeerLink::runBulkPass()
{
    t_bulkPosted = false;
    t_bulkFramesThisPass = 0;
    QList<PeerLink *> turns = std::exchange(t_bulkTurns, {});
    // Links that had to wait last time go first, so each gets its turn.
    std::stable_partition(turns.begin(), turns.end(), [](const PeerLink *link) { return !link->m_bulkTurn; });
    for (PeerLink *link : turns) {
        link->m_bulkTurn = false;
        link->m_bulkListed = false;
    }
    for (PeerLink *link : turns)
        link->pumpBulk();
}

void PeerLink::waitForBulkPass()
{
    if (!m_bulkListed) {
        m_bulkListed = true;
        t_bulkTurns.append(this);
    }
    scheduleBulkPass(m_settings.bulkPassInterval);
}

void PeerLink::flushWaiting()
{
    t_flushPosted = false;
    // Writing cannot add links to the list: only input handling does.
    const QList<PeerLink *> waiting = std::exchange(t_waiting, {});
    for (PeerLink *link : waiting)
        link->flushBurst();
}

PeerLink::Burst::Burst() { ++t_burstDepth; }

PeerLink::Burst::~Burst()
{
    // Posted events run after the socket notifiers that are ready now.
    if (--t_burstDepth == 0 && !t_waiting.isEmpty())
        postOnce(t_flushPosted, &PeerLink::flushWaiting);
}

const char *PeerLink::describe(CloseReason reason)
{
    switch (reason) {
    case CloseReason::PeerClosed:
        return "the other side closed it or the connection broke";
    case CloseReason::Silent:
        return "nothing heard for the dead time-out";
    case CloseReason::BadFrame:
        return "invalid framing";
    case CloseReason::HandshakeTimeout:
        return "no handshake in time";
    case CloseReason::RateLimited:
        return "over the input rate limit";
    case CloseReason::OutputOverflow:
        return "too much unsent output (not reading)";
    case CloseReason::Local:
        return "closed here";
    }
    return "?";
}

PeerLink::PeerLink(QTcpSocket *socket, const TransportSettings &settings, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_settings(settings)
    , m_tokens(settings.rateLimitBurst)
{
    m_socket->setParent(this);
    m_label = QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());
    // Small frames written one by one must not wait for Nagle's algorithm.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_lastHeard.start();
    m_lastSent.start();
    m_bucketClock.start();

    connect(m_socket, &QTcpSocket::readyRead, this, &PeerLink::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &PeerLink::pumpBulk);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { fail(CloseReason::PeerClosed); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { fail(CloseReason::PeerClosed); });

    const auto tick = std::max<std::chrono::milliseconds>(std::min(m_settings.pingInterval, m_settings.deadTimeout) / 2,
                                                          std::chrono::milliseconds(10));
    m_tick.setInterval(tick);
    connect(&m_tick, &QTimer::timeout, this, &PeerLink::onTick);
    m_tick.start();

    m_handshake.setSingleShot(true);
    connect(&m_handshake, &QTimer::timeout, this, [this] { fail(CloseReason::HandshakeTimeout); });

    // Bytes may already be waiting when the socket was handed over.
    if (m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &PeerLink::onReadyRead, Qt::QueuedConnection);
}

PeerLink::~PeerLink()
{
    if (m_waiting)
        t_waiting.removeOne(this);
    if (m_bulkListed)
        t_bulkTurns.removeOne(this);
    m_closed = true;
    if (m_socket)
        m_socket->disconnect(this);
}

void PeerLink::startHandshakeDeadline() { m_handshake.start(m_settings.handshakeTimeout); }

void PeerLink::setEstablished() { m_handshake.stop(); }

void PeerLink::send(const QByteArray &frame)
{
    if (m_closed)
        return;
    if (m_outputCapped && pendingOutput() + frame.size() > m_settings.outputCapBytes) {
        fail(CloseReason::OutputOverflow);
        return;
    }
    // Behind frames still waiting for the end of the pass, if any.
    if (t_burstDepth > 0 || m_waiting) {
        waitForBurst();
        m_out.append(frame);
        return;
    }
    write(frame);
}

bool PeerLink::sendBulk(QByteArray head, QByteArray payload)
{
    if (m_closed)
        return false;
    const qint64 size = head.size() + payload.size();
    if (m_bulkBytes + size > m_settings.bulkQueueBytes) {
        // On the host the sender is not told; on a member its application
        // is, by the failed send, and it is expected to wait and try again.
        if (m_bulkDropped++ == 0) {
            const QString line =
                QStringLiteral("bulk queue to %1 is full (%2 bytes); dropping bulk data until it drains")
                    .arg(m_label)
                    .arg(m_bulkBytes);
            if (m_outputCapped)
                qCWarning(lcSession).noquote() << line;
            else
                qCInfo(lcSession).noquote() << line;
        }
        return false;
    }
    if (!m_bulkSeen)
        limitKernelBacklog();
    m_bulk.push_back({std::move(head), std::move(payload)});
    m_bulkBytes += size;
    pumpBulk();
    return true;
}

// Bulk data held back here is no use if it then waits in the kernel's send
// buffer, which grows to megabytes: an ordinary frame would queue behind all
// of it. Where the system allows, the kernel takes only as much unsent data
// as the bulk threshold; the rest waits in the socket's own buffer, which
// drains (and pumps the bulk queue) as the kernel's empties.
void PeerLink::limitKernelBacklog()
{
    m_bulkSeen = true;
#if defined(Q_OS_UNIX) && defined(TCP_NOTSENT_LOWAT)
    const auto fd = static_cast<int>(m_socket->socketDescriptor());
    const int limit = static_cast<int>(std::min<qint64>(m_settings.bulkWriteThreshold, 1 << 30));
    if (fd >= 0 && ::setsockopt(fd, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &limit, sizeof limit) != 0)
        qCDebug(lcSession).noquote() << "link to" << m_label << "cannot limit its unsent kernel backlog";
#endif
}

void PeerLink::waitForBurst()
{
    if (m_waiting)
        return;
    m_waiting = true;
    t_waiting.append(this);
}

void PeerLink::flushBurst()
{
    m_waiting = false;
    if (!m_closed && !m_out.isEmpty())
        write(m_out);
    m_out.resize(0); // keeps the buffer for the next burst
    pumpBulk();
}

// Runs again whenever the socket has written some of its backlog.
void PeerLink::pumpBulk()
{
    if (m_closed || m_waiting)
        return;
    if (t_burstDepth > 0) {
        // The ordinary frames of this pass are not written yet.
        if (!m_bulk.empty())
            waitForBurst();
        return;
    }
    if (m_bulkTurn)
        return; // this pass wrote its frame; the next one comes
    if (!m_bulk.empty() && pendingOutput() < m_settings.bulkWriteThreshold) {
        if (t_bulkFramesThisPass >= m_settings.bulkFramesPerPass) {
            waitForBulkPass();
            return;
        }
        ++t_bulkFramesThisPass;
        const BulkFrame frame = std::move(m_bulk.front());
        m_bulk.pop_front();
        m_bulkBytes -= frame.head.size() + frame.payload.size();
        write(frame.head, frame.payload);
        // The next frame waits for the next pass, even when the socket
        // could take it now.
        m_bulkTurn = true;
        waitForBulkPass();
    }
    if (m_bulk.empty() && m_bulkDropped > 0) {
        qCInfo(lcSession).noquote() << "bulk queue to" << m_label << "drained;" << m_bulkDropped
                                    << "bulk frames were dropped";
        m_bulkDropped = 0;
    }
}

void PeerLink::dropBulk()
{
    m_bulk.clear();
    m_bulkBytes = 0;
}

// `more` follows `bytes` on the wire; a frame in two parts is written
// without being joined first.
void PeerLink::write(QByteArrayView bytes, QByteArrayView more)
{
    // Timed per write, not per frame: reading the clock for each of a
    // burst's frames cost the host a third of its time in a flood.
    m_lastSent.restart();
#ifdef Q_OS_UNIX
    // The host writes straight into the kernel when the socket has nothing
    // queued: Qt would buffer the bytes and write them only on its next pass
    // through the event loop, which costs every member that pass. Whatever
    // the kernel does not take now is queued in the socket behind it, so the
    // order holds; errors surface there too. A member keeps Qt's buffering:
    // with direct writes a flooding member got so much into the host's input
    // at once that one pass of relaying it overran other members' caps.
    const auto fd = m_socket->socketDescriptor();
    if (m_outputCapped && fd >= 0 && m_socket->bytesToWrite() == 0
        && m_socket->state() == QAbstractSocket::ConnectedState) {
        iovec parts[2] = {{const_cast<char *>(bytes.data()), static_cast<size_t>(bytes.size())},
                          {const_cast<char *>(more.data()), static_cast<size_t>(more.size())}};
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = more.isEmpty() ? 1 : 2;
        const auto sent = ::sendmsg(static_cast<int>(fd), &message, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            const qsizetype first = std::min<qsizetype>(sent, bytes.size());
            bytes = bytes.sliced(first);
            more = more.sliced(std::min<qsizetype>(sent - first, more.size()));
        }
    }
#endif
    if (!bytes.isEmpty())
        m_socket->write(bytes.data(), bytes.size());
    if (!more.isEmpty())
        m_socket->write(more.data(), more.size());
}

void PeerLink::closeGracefully()
{
    if (m_closed)
        return;
    qCDebug(lcSession).noquote() << "link to" << m_label << "closed here after its last frames";
    dropBulk(); // best effort: not worth holding the close for
    flushBurst();
    t_waiting.removeOne(this);
    m_closed = true;
    m_tick.stop();
    m_handshake.stop();
    m_socket->disconnect(this);
    m_socket->flush();
#ifdef Q_OS_UNIX
    // Send our FIN right behind the last bytes: if the socket is destroyed
    // soon with unread input, the close turns into a reset, and the peer
    // must have seen the data before that.
    if (m_socket->bytesToWrite() == 0 && m_socket->socketDescriptor() >= 0)
        ::shutdown(static_cast<int>(m_socket->socketDescriptor()), SHUT_WR);
#endif
    // The link outlives its owner's interest until the last bytes are out.
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    QTimer::singleShot(m_settings.handshakeTimeout, this, &QObject::deleteLater);
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        deleteLater();
}

void PeerLink::abort()
{
    if (m_closed)
        return;
    qCDebug(lcSession).noquote() << "link to" << m_label << "dropped here";
    m_closed = true;
    dropBulk();
    m_tick.stop();
    m_handshake.stop();
    m_socket->disconnect(this);
    m_socket->abort();
}

QHostAddress PeerLink::peerAddress() const { return m_socket->peerAddress(); }

qint64 PeerLink::pendingOutput() const { return m_socket->bytesToWrite() + m_out.size(); }

bool PeerLink::takeToken()
{
    const double elapsed = static_cast<double>(m_bucketClock.nsecsElapsed()) / 1e9;
    m_bucketClock.restart();
    m_tokens = std::min(m_settings.rateLimitBurst, m_tokens + elapsed * m_settings.rateLimitFramesPerSecond);
    if (m_tokens < 1.0)
        return false;
    m_tokens -= 1.0;
    return true;
}

void PeerLink::onReadyRead()
{
    if (m_closed)
        return;
    const Burst burst;
    // Read straight behind what is left of the last read.
    const qint64 available = m_socket->bytesAvailable();
    if (available > 0) {
        const qsizetype old = m_in.size();
        m_in.resize(old + available);
        const qint64 got = m_socket->read(m_in.data() + old, available);
        m_in.resize(old + std::max<qint64>(got, 0));
    }
    m_lastHeard.restart();
    // The handler may close (or schedule the deletion of) this link.
    QPointer<PeerLink> self(this);
    while (!m_closed) {
        const auto frame = decodeFrame(QByteArrayView(m_in).sliced(m_inPos), m_settings.maxFrameBytes);
        if (frame.status == DecodedFrame::Status::NeedMore)
            break;
        if (frame.status == DecodedFrame::Status::Bad) {
            fail(CloseReason::BadFrame, frame.problem);
            return;
        }
        const bool counted =
            !m_replayExpected || (frame.kind != FrameKind::Replay && frame.kind != FrameKind::ReplayEnd);
        if (m_rateLimited && counted && !takeToken()) {
            fail(CloseReason::RateLimited);
            return;
        }
        m_inPos += frame.consumed;
        if (m_onFrame)
            m_onFrame(frame.kind, frame.body);
        if (!self)
            return;
    }
    if (m_inPos == m_in.size()) {
        m_in.resize(0); // keeps the buffer
        m_inPos = 0;
    } else if (m_inPos > 64 * 1024) {
        m_in.remove(0, m_inPos);
        m_inPos = 0;
    }
}

void PeerLink::onTick()
{
    if (m_closed)
        return;
    if (m_lastHeard.elapsed() >= m_settings.deadTimeout.count()) {
        fail(CloseReason::Silent);
        return;
    }
    if (m_lastSent.elapsed() >= m_settings.pingInterval.count())
        send(encodeEmpty(FrameKind::Ping));
}

void PeerLink::fail(CloseReason reason, const char *detail)
{
    if (m_closed)
        return;
    const QString why = detail ? QStringLiteral("%1 (%2)").arg(QLatin1String(describe(reason)), QLatin1String(detail))
                               : QLatin1String(describe(reason));
    if (reason == CloseReason::PeerClosed || reason == CloseReason::Silent)
        qCInfo(lcSession).noquote() << "link to" << m_label << "closed:" << why;
    else
        qCWarning(lcSession).noquote() << "link to" << m_label << "closed:" << why;
    m_closed = true;
    dropBulk();
    m_tick.stop();
    m_handshake.stop();
    m_socket->disconnect(this);
    m_socket->abort();
    if (m_onClose)
        m_onClose(reason);
}

} // namespace vellmar::session
