// The transport's limits seen from the wire: the largest payload, what the
// resume history keeps, and a member whose link keeps breaking.
#include "RawClient.h"
#include "TransportHarness.h"

#include "session/protocol/Messages.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest/QtTest>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

// A chat message whose payload is exactly `bytes` long.
QString textForPayload(qsizetype bytes) { return QString(bytes - 8, u'p'); }

ResumeFrame resumeOf(const WelcomeFrame &w, std::uint64_t lastSeq)
{
    return ResumeFrame{kGuid, kProtocolVersion, w.playerId, w.token, w.epoch, lastSeq, QStringLiteral("Raw"), 0};
}

// A host that welcomes whoever asks and then sends a frame over the cap:
// the member must drop the link, and a member that comes straight back
// for more would spin.
class BreakingHost : public QObject
{
public:
    BreakingHost()
    {
        m_server.listen(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (auto *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                m_connections.append(m_clock.isValid() ? m_clock.elapsed() : (m_clock.start(), 0));
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
    }
    std::uint16_t port() const { return m_server.serverPort(); }
    // When each connection came, in ms after the first.
    const QList<qint64> &connections() const { return m_connections; }

private:
    void answer(QTcpSocket *socket)
    {
        if (socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        const RosterEntry host{1, QStringLiteral("Host"), QString(), port(), 0};
        const RosterEntry member{2, QStringLiteral("M"), QStringLiteral("127.0.0.1"), 1, 0};
        socket->write(encode(WelcomeFrame{2, 7, 1, 0, 2, 1, QStringLiteral("S"), 99, 0, {host, member}}));
        // A moment later, so that the first join completes.
        QTimer::singleShot(50, socket, [socket] {
            char overCap[4];
            qToBigEndian<std::uint32_t>(64 * 1024 + 1, overCap);
            socket->write(overCap, 4);
        });
    }

    QTcpServer m_server;
    QElapsedTimer m_clock;
    QList<qint64> m_connections;
};

} // namespace

class TransportLimitsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The payload limit is set by the Deliver a Send turns into: a send the
    // host accepts reaches every member, and one that would not fit is
    // refused before it can cut anyone off.
    void largestPayloadReachesEveryoneAndLargerIsRefused()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(joinAll(host.port(), {&a, &b}));
        QVERIFY(settled({&host, &a, &b}));

        // Through the interface: the limit exactly, then one byte more.
        const QString largest = textForPayload(kMaxPayloadBytes);
        QVERIFY(a.say(largest));
        QVERIFY(!a.say(textForPayload(kMaxPayloadBytes + 1)));
        QVERIFY(a.transport().lastError().contains(QStringLiteral("too long")));
        QVERIFY(!host.say(textForPayload(kMaxPayloadBytes + 1)));
        QVERIFY(b.got(largest));
        QVERIFY(host.got(largest));

        // On the wire: a raw member's largest send arrives intact...
        RawClient raw;
        QVERIFY(raw.connectTo(host.port()));
        const auto welcome = raw.hello(kGuid, QStringLiteral("Raw"));
        QVERIFY(welcome);
        const auto rawId = static_cast<PlayerId>(welcome->playerId);
        QVERIFY(b.heard(NOTICE_PLAYER_CREATED, rawId));
        const QString fromRaw = QString(kMaxPayloadBytes - 8, u'r');
        raw.send(encode(SendFrame{1, 0, encodeMessage({MSG_CHAT, fromRaw})}));
        QVERIFY(b.got(fromRaw));
        QCOMPARE(b.messages().last().from, rawId);

        // ...and a Send that fills the frame cap (its Deliver would be 12
        // bytes over it) costs the sender its place, nobody else anything.
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("payload of 65519 bytes, over the limit")));
        const QByteArray capSized = encode(SendFrame{2, 0, encodeMessage({MSG_CHAT, textForPayload(65519)})});
        QCOMPARE(capSized.size(), qsizetype(kFrameHeaderBytes + s.maxFrameBytes));
        raw.send(capSized);
        QVERIFY(raw.waitClosed(3000));
        QVERIFY(a.heard(NOTICE_PLAYER_DESTROYED, rawId));
        QVERIFY(b.say(QStringLiteral("still here")));
        QVERIFY(a.got(QStringLiteral("still here")));
        QVERIFY(host.got(QStringLiteral("still here")));
        for (Peer *p : {&host, &a, &b}) {
            QCOMPARE(p->noticeCount(NOTICE_PLAYER_DESTROYED), 1);
            QCOMPARE(p->noticeCount(NOTICE_SESSION_LOST), 0);
            QVERIFY(p->texts().count(largest) == (p == &a ? 0 : 1));
        }
    }

    // The history a resume is served from is bounded by bytes as well as
    // by events: within the bound a member comes back with all it missed,
    // beyond it the resume is refused and the player leaves.
    void resumeHistoryIsBoundedByBytes()
    {
        auto s = fastSettings();
        s.historyBytes = 200 * 1024;              // a little over three of the messages below
        s.deadTimeout = std::chrono::seconds(30); // raw clients send no pings
        s.resumeGrace = std::chrono::seconds(10);
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.port()));
        auto raw = std::make_unique<RawClient>();
        QVERIFY(raw->connectTo(host.port()));
        const auto welcome = raw->hello(kGuid, QStringLiteral("Raw"));
        QVERIFY(welcome);
        const auto rawId = static_cast<PlayerId>(welcome->playerId);
        QVERIFY(a.heard(NOTICE_PLAYER_CREATED, rawId));
        const QString filler(60000, u'h');
        // Sends `n` large messages while the raw member is away.
        auto away = [&](int n, const QString &tag) {
            raw->socket().abort();
            QTest::qWait(100); // the host notices the break
            for (int i = 0; i < n; ++i)
                QVERIFY(a.say(tag + QString::number(i) + filler));
            QVERIFY(host.got(tag + QString::number(n - 1) + filler));
            raw = std::make_unique<RawClient>();
            QVERIFY(raw->connectTo(host.port()));
        };

        away(3, QStringLiteral("in"));
        raw->send(encode(resumeOf(*welcome, welcome->lastSeq)));
        auto frame = raw->next();
        QVERIFY(frame);
        QCOMPARE(frame->first, FrameKind::Welcome);
        std::uint64_t lastSeq = welcome->lastSeq;
        for (int i = 0; i < 3; ++i) {
            frame = raw->next();
            QVERIFY(frame);
            QCOMPARE(frame->first, FrameKind::Deliver);
            const auto d = parseDeliver(frame->second);
            QVERIFY(d);
            QCOMPARE(decodeMessage(d->payload)->payload, QStringLiteral("in") + QString::number(i) + filler);
            lastSeq = d->seq;
        }

        away(4, QStringLiteral("out"));
        raw->send(encode(resumeOf(*welcome, lastSeq)));
        const auto reject = raw->rejection();
        QVERIFY(reject);
        QCOMPARE(reject->reason, RejectReason::HistoryLost);
        QVERIFY(a.heard(NOTICE_PLAYER_DESTROYED, rawId));
        QVERIFY(host.heard(NOTICE_PLAYER_DESTROYED, rawId));
    }

    // A host that breaks the link right after every welcome must not keep
    // the member reconnecting at full speed: the attempts thin out, stop
    // after a few, and the user is told the session is lost.
    void linkThatKeepsBreakingBacksOffThenGivesUp()
    {
        const auto s = fastSettings();
        BreakingHost breaking;
        Peer m(s);
        QVERIFY(m.join(QStringLiteral("M"), breaking.port()));
        QVERIFY(m.heard(NOTICE_SESSION_LOST, m.id(), 10000));
        const auto attempts = breaking.connections();
        QVERIFY2(attempts.size() <= 1 + s.maxQuickBreaks, qPrintable(QString::number(attempts.size())));
        QVERIFY(attempts.size() >= 3);
        // Each wait longer than the one before (jitter aside): the last gap
        // is well above the first.
        QVERIFY(attempts.last() - attempts.at(attempts.size() - 2) > attempts.at(1) - attempts.at(0));
        // Not one more once it gave up.
        QTest::qWait(300);
        QCOMPARE(breaking.connections().size(), attempts.size());
        QVERIFY(!m.say(QStringLiteral("anyone?")));
        QVERIFY(m.transport().lastError().contains(QStringLiteral("broke")));
    }
};

QTEST_GUILESS_MAIN(TransportLimitsTest)
#include "tst_transport_limits.moc"
