// A live session on loopback: joining, ids, notices, ordering and the host's
// defences against misbehaving connections.
#include "RawClient.h"
#include "TransportHarness.h"

#include "session/protocol/Messages.h"

#include <QSet>
#include <QtTest/QtTest>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

std::vector<std::unique_ptr<Peer>> joinAll(int count, std::uint16_t port, const TransportSettings &s)
{
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<Peer>(s);
        if (!p->join(QStringLiteral("P%1").arg(i), port))
            return {};
        peers.push_back(std::move(p));
    }
    return peers;
}

QList<PlayerId> ids(const QList<PlayerEntry> &players)
{
    QList<PlayerId> out;
    for (const auto &p : players)
        out.append(p.id);
    return out;
}

} // namespace

class TransportSessionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void joiningGivesIdsNamesAndJoinNotices()
    {
        const auto s = fastSettings();
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("Scout(DM)")));
        Peer a(s), b(s);
        QVERIFY(a.join(QStringLiteral("Ranger"), host.transport().hostPort()));
        QVERIFY(b.join(QStringLiteral("Bard"), host.transport().hostPort()));

        QVERIFY(host.id() != 0 && a.id() != 0 && b.id() != 0);
        QCOMPARE(QSet<PlayerId>({host.id(), a.id(), b.id()}).size(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(host.notices(NOTICE_PLAYER_CREATED).size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 1, 5000);
        QCOMPARE(a.noticeCount(NOTICE_PLAYER_CREATED, b.id()), 1);
        QTest::qWait(100);
        QCOMPARE(b.notices(NOTICE_PLAYER_CREATED).size(), 0); // it learns the others from the list
        // Names resolve once the notice is there; lists come in join order.
        QCOMPARE(host.transport().GetPlayerFriendlyName(b.id()), QStringLiteral("Bard"));
        QCOMPARE(a.transport().GetPlayerFriendlyName(b.id()), QStringLiteral("Bard"));
        QCOMPARE(b.transport().GetPlayerFriendlyName(host.id()), QStringLiteral("Scout(DM)"));
        const QList<PlayerId> order{host.id(), a.id(), b.id()};
        QCOMPARE(ids(host.transport().GetDPEnumPlayers()), order);
        QCOMPARE(ids(a.transport().GetDPEnumPlayers()), order);
        QCOMPARE(ids(b.transport().GetDPEnumPlayers()), order);
        QCOMPARE(b.transport().GetDPEnumPlayers().first().shortName, QStringLiteral("Scout(DM)"));
        QCOMPARE(b.transport().GetGuidApplication(), kGuid);

        // A clean leave: notice 5 once, the name still resolves, the id is
        // never handed out again.
        const PlayerId gone = a.id();
        a.leave();
        QTRY_COMPARE_WITH_TIMEOUT(host.noticeCount(NOTICE_PLAYER_DESTROYED, gone), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(b.noticeCount(NOTICE_PLAYER_DESTROYED, gone), 1, 5000);
        QCOMPARE(b.transport().GetPlayerFriendlyName(gone), QStringLiteral("Ranger"));
        QCOMPARE(ids(b.transport().GetDPEnumPlayers()), (QList<PlayerId>{host.id(), b.id()}));
        Peer c(s);
        QVERIFY(c.join(QStringLiteral("Ranger"), host.transport().hostPort()));
        QVERIFY(c.id() != gone && c.id() > b.id());
        QTest::qWait(s.resumeGrace.count() + 200);
        QCOMPARE(host.noticeCount(NOTICE_PLAYER_DESTROYED, gone), 1);
    }

    void sendToAllKeepsOneOrderWithoutEchoOrDuplicates()
    {
        auto s = fastSettings();
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        auto peers = joinAll(19, host.transport().hostPort(), s);
        QCOMPARE(peers.size(), std::size_t(19));
        std::vector<Peer *> all{&host};
        for (auto &p : peers)
            all.push_back(p.get());
        const int perPeer = 10;
        // Interleaved: every peer sends one, then the next round.
        for (int round = 0; round < perPeer; ++round) {
            for (Peer *p : all)
                QVERIFY(p->say(QStringLiteral("%1:%2").arg(p->id()).arg(round)));
            QTest::qWait(1);
        }
        const int expected = static_cast<int>(all.size() - 1) * perPeer;
        for (Peer *p : all)
            QTRY_COMPARE_WITH_TIMEOUT(p->messages().size(), expected, 15000);
        QTest::qWait(100);
        for (Peer *p : all) {
            QCOMPARE(p->messages().size(), expected);
            const QStringList texts = p->texts();
            QCOMPARE(QSet<QString>(texts.cbegin(), texts.cend()).size(), expected); // no duplicates
            for (const auto &m : p->messages()) {
                QVERIFY(m.from != p->id());                                 // never its own
                QVERIFY(m.text.startsWith(QString::number(m.from) + u':')); // real sender
                QCOMPARE(m.to, 0);
            }
        }
        // Same order everywhere: any two peers agree on the messages both saw.
        for (Peer *p : all) {
            for (Peer *q : all) {
                if (p == q)
                    continue;
                QStringList mine, theirs;
                for (const auto &m : p->messages())
                    if (m.from != q->id())
                        mine << m.text;
                for (const auto &m : q->messages())
                    if (m.from != p->id())
                        theirs << m.text;
                QCOMPARE(mine, theirs);
            }
        }
    }

    void directedSendsReachOnlyTheAddresseeAndFailWhenItIsGone()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.transport().hostPort()));
        QVERIFY(b.join(QStringLiteral("B"), host.transport().hostPort()));
        QVERIFY(c.join(QStringLiteral("C"), host.transport().hostPort()));
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 2, 5000);

        QVERIFY(a.say(QStringLiteral("psst"), b.id()));
        QVERIFY(host.say(QStringLiteral("to c"), c.id()));
        QTRY_COMPARE_WITH_TIMEOUT(b.texts(), QStringList{QStringLiteral("psst")}, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.texts(), QStringList{QStringLiteral("to c")}, 5000);
        QCOMPARE(b.messages().first().to, b.id());
        QCOMPARE(b.messages().first().from, a.id());
        QTest::qWait(100);
        QVERIFY(host.texts().isEmpty() && a.texts().isEmpty());

        // Nobody can speak as someone else, nor to themselves or a stranger.
        QVERIFY(!a.transport().SendEx(b.id(), 0, 1, MessageBuffer()));
        QVERIFY(!a.transport().SendEx(a.id(), a.id(), 1, MessageBuffer()));
        QVERIFY(!a.transport().SendEx(a.id(), 999999, 1, MessageBuffer()));

        const PlayerId gone = c.id();
        c.leave();
        QTRY_COMPARE_WITH_TIMEOUT(a.noticeCount(NOTICE_PLAYER_DESTROYED, gone), 1, 5000);
        QVERIFY(!a.say(QStringLiteral("are you there?"), gone));
        QVERIFY(!host.say(QStringLiteral("are you there?"), gone));
        QVERIFY(!a.transport().lastError().isEmpty());
    }

    void hostStampsTheRealSenderAndDropsForgedFrames()
    {
        const auto s = fastSettings();
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.transport().hostPort()));
        RawClient raw;
        QVERIFY(raw.connectTo(host.transport().hostPort()));
        const auto welcome = raw.hello(kGuid, QStringLiteral("Mallory"));
        QVERIFY(welcome);
        const auto mallory = static_cast<PlayerId>(welcome->playerId);

        // The send frame has no sender field; whatever was meant, it arrives
        // as Mallory's.
        raw.send(encode(SendFrame{1, 0, encodeMessage({MSG_CHAT, QStringLiteral("I am the GM")})}));
        QTRY_COMPARE_WITH_TIMEOUT(a.messages().size(), 1, 5000);
        QCOMPARE(a.messages().first().from, mallory);
        // A frame only a host may send is a protocol violation: out it goes.
        raw.send(encode(DeliverFrame{1000, static_cast<std::uint32_t>(host.id()), 0, 1,
                                     encodeMessage({MSG_CHAT, QStringLiteral("forged")})}));
        QVERIFY(raw.waitClosed(3000));
        QTRY_COMPARE_WITH_TIMEOUT(a.noticeCount(NOTICE_PLAYER_DESTROYED, mallory), 1, 5000);
        QCOMPARE(a.messages().size(), 1);
    }

    void wrongApplicationOrVersionIsRefusedWithoutNotice()
    {
        const auto s = fastSettings();
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        Peer stranger(s);
        QVERIFY(!stranger.join(QStringLiteral("X"), host.transport().hostPort(),
                               QStringLiteral("{00000000-0000-0000-0000-000000000000}")));
        QVERIFY(stranger.transport().lastError().contains(QStringLiteral("another application")));

        RawClient future;
        QVERIFY(future.connectTo(host.transport().hostPort()));
        future.send(encode(HelloFrame{kGuid, kProtocolVersion + 1, QStringLiteral("Y"), 0}));
        const auto reject = future.nextOf(FrameKind::Reject);
        QVERIFY(reject);
        QCOMPARE(parseReject(*reject)->reason, RejectReason::WrongVersion);
        QTest::qWait(100);
        QVERIFY(host.events().isEmpty());
        QCOMPARE(host.transport().GetDPEnumPlayers().size(), 1);
    }

    // Whoever takes a member for the host (its own link to the host broke)
    // is sent back to the host the member still has.
    void memberSendsAskersToItsLivingHost()
    {
        const auto s = fastSettings();
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.transport().hostPort()));
        RawClient probe;
        QVERIFY(probe.connectTo(host.transport().hostPort()));
        const auto welcome = probe.hello(kGuid, QStringLiteral("Probe"));
        QVERIFY(welcome);
        std::uint16_t aPort = 0;
        for (const auto &e : welcome->roster)
            if (static_cast<PlayerId>(e.id) == a.id())
                aPort = e.listenPort;
        QVERIFY(aPort != 0);

        RawClient asker;
        QVERIFY(asker.connectTo(aPort));
        asker.send(encode(ResumeFrame{kGuid, kProtocolVersion, welcome->playerId, welcome->token, welcome->epoch,
                                      welcome->lastSeq, QStringLiteral("Probe"), 0}));
        const auto body = asker.nextOf(FrameKind::Reject);
        QVERIFY(body);
        const auto reject = parseReject(*body);
        QVERIFY(reject);
        QCOMPARE(reject->reason, RejectReason::NotHost);
        QCOMPARE(static_cast<PlayerId>(reject->hostId), host.id());
        QCOMPARE(reject->hostPort, host.transport().hostPort());
        QVERIFY(asker.waitClosed(2000));
        QVERIFY(!a.transport().isHost());
    }

    void hundredthPlayerIsRefusedAndRacersGetOneSeat()
    {
        auto s = fastSettings();
        s.deadTimeout = std::chrono::seconds(30); // raw clients send no pings
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        const auto port = host.transport().hostPort();
        std::vector<std::unique_ptr<RawClient>> players;
        for (int i = 0; i < 97; ++i) {
            players.push_back(std::make_unique<RawClient>());
            QVERIFY(players.back()->connectTo(port));
            QVERIFY(players.back()->hello(kGuid, QStringLiteral("R%1").arg(i)));
        }
        QCOMPARE(host.transport().GetDPEnumPlayers().size(), 98);

        // Two joiners race for the 99th seat: both hellos are on the wire
        // before the host reads either.
        RawClient first, second;
        QVERIFY(first.connectTo(port));
        QVERIFY(second.connectTo(port));
        first.send(encode(HelloFrame{kGuid, kProtocolVersion, QStringLiteral("First"), 0}));
        second.send(encode(HelloFrame{kGuid, kProtocolVersion, QStringLiteral("Second"), 0}));
        const auto a = first.next();
        const auto b = second.next();
        QVERIFY(a && b);
        QCOMPARE(int(a->first == FrameKind::Welcome) + int(b->first == FrameKind::Welcome), 1);
        RawClient &loser = a->first == FrameKind::Welcome ? second : first;
        const auto &refusal = a->first == FrameKind::Welcome ? b : a;
        QCOMPARE(refusal->first, FrameKind::Reject);
        QCOMPARE(parseReject(refusal->second)->reason, RejectReason::SessionFull);
        QVERIFY(parseReject(refusal->second)->text.contains(QStringLiteral("full")));
        QVERIFY(loser.waitClosed(3000));
        QCOMPARE(host.transport().GetDPEnumPlayers().size(), 99);

        // Through the interface, too.
        Peer late(s);
        QVERIFY(!late.join(QStringLiteral("Late"), port));
        QVERIFY(late.transport().lastError().contains(QStringLiteral("full")));
    }

    void misbehavingConnectionsAreClosed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const auto length = [](std::uint32_t n) {
            char raw[4];
            qToBigEndian(n, raw);
            return QByteArray(raw, 4);
        };
        QTest::newRow("length 0") << length(0);
        QTest::newRow("length over the cap") << length(64 * 1024 + 1);
        QTest::newRow("length negative") << length(0xfffffff0u);
        QTest::newRow("unknown kind") << length(10) + char(0x55);
        QTest::newRow("not a handshake") << encodeEmpty(FrameKind::Ping);
        QTest::newRow("garbage handshake") << encodeFrame(FrameKind::Hello, QByteArray("nonsense"));
    }
    void misbehavingConnectionsAreClosed()
    {
        QFETCH(QByteArray, bytes);
        auto s = fastSettings();
        s.handshakeTimeout = std::chrono::seconds(20); // so only the bad bytes can close it
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        RawClient raw;
        QVERIFY(raw.connectTo(host.transport().hostPort()));
        raw.send(bytes);
        QVERIFY(raw.waitClosed(5000));
        QCOMPARE(host.transport().GetDPEnumPlayers().size(), 1);
    }

    void silentOrFloodingConnectionsAreClosed()
    {
        auto s = fastSettings();
        s.handshakeTimeout = std::chrono::milliseconds(300);
        s.rateLimitFramesPerSecond = 200;
        s.rateLimitBurst = 400;
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.transport().hostPort()));

        RawClient mute;
        QVERIFY(mute.connectTo(host.transport().hostPort()));
        QVERIFY(mute.waitClosed(5000)); // never said hello

        RawClient flooder;
        QVERIFY(flooder.connectTo(host.transport().hostPort()));
        const auto welcome = flooder.hello(kGuid, QStringLiteral("Flood"));
        QVERIFY(welcome);
        QByteArray burst;
        for (std::uint64_t i = 1; i <= 2000; ++i)
            burst += encode(SendFrame{i, static_cast<std::uint32_t>(host.id()), QByteArray("x")});
        flooder.send(burst);
        QVERIFY(flooder.waitClosed(5000));
        QTRY_COMPARE_WITH_TIMEOUT(a.noticeCount(NOTICE_PLAYER_DESTROYED, static_cast<PlayerId>(welcome->playerId)), 1,
                                  5000);
        QVERIFY(host.messages().size() < 2000); // cut off part-way, however fast it was read
        // The session itself is unharmed.
        QVERIFY(a.say(QStringLiteral("still here")));
        QTRY_COMPARE_WITH_TIMEOUT(host.texts().count(QStringLiteral("still here")), 1, 5000);
    }

    void stalledReaderIsDroppedWhileOthersKeepGoing()
    {
        auto s = fastSettings();
        s.outputCapBytes = 256 * 1024;
        s.deadTimeout = std::chrono::seconds(30); // only the full output may drop it
        s.rateLimitFramesPerSecond = 1e6;
        s.rateLimitBurst = 1e6;
        Peer host(s), sender(s), reader(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(sender.join(QStringLiteral("Sender"), host.transport().hostPort()));
        QVERIFY(reader.join(QStringLiteral("Reader"), host.transport().hostPort()));
        RawClient stalled;
        QVERIFY(stalled.connectTo(host.transport().hostPort()));
        const auto welcome = stalled.hello(kGuid, QStringLiteral("Stalled"));
        QVERIFY(welcome);
        // From here on the raw client never reads: its socket buffers fill up.
        stalled.socket().setReadBufferSize(1);
        const auto stalledId = static_cast<PlayerId>(welcome->playerId);
        QTRY_COMPARE_WITH_TIMEOUT(sender.noticeCount(NOTICE_PLAYER_CREATED, stalledId), 1, 5000);

        const QString filler(1000, u'x');
        const int total = 20000; // ~20 MB for each reader
        int sent = 0;
        while (sent < total) {
            for (int i = 0; i < 500 && sent < total; ++i, ++sent)
                QVERIFY(sender.say(filler + QString::number(sent)));
            QTest::qWait(1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(host.noticeCount(NOTICE_PLAYER_DESTROYED, stalledId), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(reader.messages().size(), total, 30000);
        QCOMPARE(host.messages().size(), total);
        QCOMPARE(reader.noticeCount(NOTICE_PLAYER_DESTROYED, stalledId), 1);
    }
};

QTEST_GUILESS_MAIN(TransportSessionTest)
#include "tst_transport_session.moc"
