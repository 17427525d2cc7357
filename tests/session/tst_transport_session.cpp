// A live session on loopback: joining, ids, notices, ordering and the host's
// defences against misbehaving connections.
#include "RawClient.h"
#include "TransportHarness.h"

#include "session/protocol/Messages.h"
#include "session/transport/BlockingWait.h"

#include <QSet>
#include <QtTest/QtTest>

using namespace vellmar::session;
using namespace vellmar::session::testing;

class TransportSessionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void joiningAndLeavingGiveIdsNamesAndNoticesOnce()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s);
        QVERIFY(host.host(QStringLiteral("Scout(DM)")));
        QVERIFY(a.join(QStringLiteral("Ranger"), host.port()));
        QVERIFY(b.join(QStringLiteral("Bard"), host.port()));

        QVERIFY(host.id() != 0 && a.id() != 0 && b.id() != 0);
        QCOMPARE(QSet<PlayerId>({host.id(), a.id(), b.id()}).size(), 3);
        // Notice 3 for every later joiner only: b learns the others from the list.
        QVERIFY(settled({&host, &a, &b}));
        QCOMPARE(a.noticeCount(NOTICE_PLAYER_CREATED, b.id()), 1);
        QTest::qWait(100);
        QVERIFY(settled({&host, &a, &b}, 0));
        // Names resolve once the notice is there; lists come in join order.
        QCOMPARE(host.transport().GetPlayerFriendlyName(b.id()), QStringLiteral("Bard"));
        QCOMPARE(a.transport().GetPlayerFriendlyName(b.id()), QStringLiteral("Bard"));
        QCOMPARE(b.transport().GetPlayerFriendlyName(host.id()), QStringLiteral("Scout(DM)"));
        for (Peer *p : {&host, &a, &b})
            QCOMPARE(p->playerIds(), (QList<PlayerId>{host.id(), a.id(), b.id()}));
        QCOMPARE(b.transport().GetGuidApplication(), kGuid);

        // A clean leave: notice 5 once, the name still resolves, sends to it
        // fail, the id is never handed out again.
        const PlayerId gone = a.id();
        a.leave();
        QVERIFY(host.heard(NOTICE_PLAYER_DESTROYED, gone));
        QVERIFY(b.heard(NOTICE_PLAYER_DESTROYED, gone));
        QCOMPARE(b.transport().GetPlayerFriendlyName(gone), QStringLiteral("Ranger"));
        QCOMPARE(b.playerIds(), (QList<PlayerId>{host.id(), b.id()}));
        QVERIFY(!b.say(QStringLiteral("are you there?"), gone));
        QVERIFY(!b.transport().lastError().isEmpty());
        QVERIFY(!host.say(QStringLiteral("are you there?"), gone));
        Peer c(s);
        QVERIFY(c.join(QStringLiteral("Ranger"), host.port()));
        QVERIFY(c.id() != gone && c.id() > b.id());
        QTest::qWait(s.resumeGrace.count() + 200);
        QCOMPARE(host.noticeCount(NOTICE_PLAYER_DESTROYED, gone), 1);
    }

    void sendToAllKeepsOneOrderWithoutEchoOrDuplicates()
    {
        const auto s = fastSettings();
        Peer host(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        std::vector<std::unique_ptr<Peer>> members;
        QList<Peer *> all{&host};
        for (int i = 0; i < 19; ++i) {
            all << members.emplace_back(std::make_unique<Peer>(s)).get();
            QVERIFY(all.back()->join(QStringLiteral("P%1").arg(i), host.port()));
        }
        const int perPeer = 10;
        // Interleaved: every peer sends one, then the next round.
        for (int round = 0; round < perPeer; ++round) {
            for (Peer *p : all)
                QVERIFY(p->say(QStringLiteral("%1:%2").arg(p->id()).arg(round)));
            QTest::qWait(1);
        }
        const int expected = int(all.size() - 1) * perPeer;
        for (Peer *p : all)
            QTRY_COMPARE_WITH_TIMEOUT(p->messages().size(), expected, 15000);
        QTest::qWait(100);
        for (Peer *p : all) {
            const QStringList texts = p->texts();
            QCOMPARE(texts.size(), expected);
            QCOMPARE(QSet<QString>(texts.cbegin(), texts.cend()).size(), expected); // no duplicates
            for (const auto &m : p->messages()) {
                QVERIFY(m.from != p->id());                                 // never its own
                QVERIFY(m.text.startsWith(QString::number(m.from) + u':')); // real sender
                QCOMPARE(m.to, 0);
            }
        }
        QVERIFY(sameOrder(all));
    }

    // The host's application answers from its receive handler, while what
    // the host relayed in the same pass may not be written yet. A member
    // drops an event numbered below one it already took, so the answer must
    // not overtake the message it answers.
    void hostsAnswerFollowsTheMessageItAnswers()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(joinAll(host.port(), {&a, &b}));
        QVERIFY(settled({&host, &a, &b}));
        bool answered = false;
        connect(&host.transport(), &SessionTransport::receiveEvent, &host, [&] {
            if (!answered && host.texts().contains(QStringLiteral("request")))
                answered = host.say(QStringLiteral("answer"));
        });
        QVERIFY(a.say(QStringLiteral("request")));
        QVERIFY(a.got(QStringLiteral("answer")));
        QVERIFY(b.got(QStringLiteral("answer")));
        QCOMPARE(b.texts(), QStringList({QStringLiteral("request"), QStringLiteral("answer")}));
    }

    void sendsReachOnlyTheAddresseeUnderTheRealSendersId()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(joinAll(host.port(), {&a, &b, &c}));
        QVERIFY(settled({&host, &a, &b, &c}));

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

        // On the wire the send frame has no sender field: whatever was meant,
        // it arrives as Mallory's.
        RawClient raw;
        QVERIFY(raw.connectTo(host.port()));
        const auto welcome = raw.hello(kGuid, QStringLiteral("Mallory"));
        QVERIFY(welcome);
        const auto mallory = static_cast<PlayerId>(welcome->playerId);
        raw.send(encode(SendFrame{1, 0, encodeMessage({MSG_CHAT, QStringLiteral("I am the GM")})}));
        QVERIFY(a.got(QStringLiteral("I am the GM")));
        QCOMPARE(a.messages().first().from, mallory);
        // A frame only a host may send is a protocol violation: out it goes.
        raw.send(encode(DeliverFrame{1000, static_cast<std::uint32_t>(host.id()), 0, 1,
                                     encodeMessage({MSG_CHAT, QStringLiteral("forged")})}));
        QVERIFY(raw.waitClosed(3000));
        QVERIFY(a.heard(NOTICE_PLAYER_DESTROYED, mallory));
        QCOMPARE(a.messages().size(), 1);
    }

    void wrongApplicationOrVersionIsRefusedWithoutNotice()
    {
        const auto s = fastSettings();
        Peer host(s), stranger(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(
            !stranger.join(QStringLiteral("X"), host.port(), QStringLiteral("{00000000-0000-0000-0000-000000000000}")));
        QVERIFY(stranger.transport().lastError().contains(QStringLiteral("another application")));

        RawClient future;
        QVERIFY(future.connectTo(host.port()));
        future.sendHello(kGuid, QStringLiteral("Y"), kProtocolVersion + 1);
        const auto reject = future.rejection();
        QVERIFY(reject);
        QCOMPARE(reject->reason, RejectReason::WrongVersion);
        QTest::qWait(100);
        QVERIFY(host.events().isEmpty());
        QCOMPARE(host.playerIds(), QList<PlayerId>{host.id()});
    }

    // Whoever takes a member for the host (its own link to the host broke)
    // is sent back to the host the member still has.
    void memberSendsAskersToItsLivingHost()
    {
        const auto s = fastSettings();
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.port()));
        RawClient probe, asker;
        QVERIFY(probe.connectTo(host.port()));
        const auto welcome = probe.hello(kGuid, QStringLiteral("Probe"));
        QVERIFY(welcome);
        const auto member = std::find_if(welcome->roster.cbegin(), welcome->roster.cend(),
                                         [&](const RosterEntry &e) { return PlayerId(e.id) == a.id(); });
        QVERIFY(member != welcome->roster.cend());

        QVERIFY(asker.connectTo(member->listenPort));
        asker.send(encode(ResumeFrame{kGuid, kProtocolVersion, welcome->playerId, welcome->token, welcome->epoch,
                                      welcome->lastSeq, QStringLiteral("Probe"), 0}));
        const auto reject = asker.rejection();
        QVERIFY(reject);
        QCOMPARE(reject->reason, RejectReason::NotHost);
        QCOMPARE(static_cast<PlayerId>(reject->hostId), host.id());
        QCOMPARE(reject->hostPort, host.port());
        QVERIFY(asker.waitClosed(2000));
        QVERIFY(!a.transport().isHost());
    }

    void hundredthPlayerIsRefusedAndRacersGetOneSeat()
    {
        auto s = fastSettings();
        s.deadTimeout = std::chrono::seconds(30); // raw clients send no pings
        Peer host(s), late(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        std::vector<std::unique_ptr<RawClient>> players;
        for (int i = 0; i < 97; ++i) {
            QVERIFY(players.emplace_back(std::make_unique<RawClient>())->connectTo(host.port()));
            QVERIFY(players.back()->hello(kGuid, QStringLiteral("R%1").arg(i)));
        }
        QCOMPARE(host.playerIds().size(), 98);

        // Two joiners race for the 99th seat: both hellos are on the wire
        // before the host reads either.
        RawClient racers[2];
        for (auto &r : racers)
            QVERIFY(r.connectTo(host.port()));
        for (auto &r : racers)
            r.sendHello(kGuid, QStringLiteral("Racer"));
        int welcomed = 0;
        for (auto &r : racers) {
            const auto answer = r.next();
            QVERIFY(answer);
            if (answer->first == FrameKind::Welcome) {
                ++welcomed;
                continue;
            }
            QCOMPARE(answer->first, FrameKind::Reject);
            QCOMPARE(parseReject(answer->second)->reason, RejectReason::SessionFull);
            QVERIFY(parseReject(answer->second)->text.contains(QStringLiteral("full")));
            QVERIFY(r.waitClosed(3000));
        }
        QCOMPARE(welcomed, 1);
        QCOMPARE(host.playerIds().size(), 99);

        // Through the interface, too.
        QVERIFY(!late.join(QStringLiteral("Late"), host.port()));
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
        QVERIFY(raw.connectTo(host.port()));
        raw.send(bytes);
        QVERIFY(raw.waitClosed(5000));
        QCOMPARE(host.playerIds().size(), 1);
    }

    // The set-up calls block on conditions that event handlers change: the
    // wait must notice the change when it happens, not at its deadline, and
    // must end at the deadline when nothing happens.
    void blockingWaitEndsOnTheChangeOrAtItsDeadline()
    {
        using namespace std::chrono_literals;
        bool set = false;
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(30, [&] { set = true; });
        QVERIFY(waitUntil([&] { return set; }, 5s));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));

        set = false;
        clock.restart();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { set = true; }, Qt::QueuedConnection);
        QVERIFY(waitUntil([&] { return set; }, 5s));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));

        clock.restart();
        QVERIFY(!waitUntil([] { return false; }, 150ms));
        QVERIFY(clock.elapsed() >= 140);
    }

    void silentOrFloodingConnectionsAreClosed()
    {
        auto s = fastSettings();
        s.handshakeTimeout = std::chrono::milliseconds(300);
        s.rateLimitFramesPerSecond = 200;
        s.rateLimitBurst = 400;
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.port()));
        RawClient mute, flooder;
        QVERIFY(mute.connectTo(host.port()));
        QVERIFY(mute.waitClosed(5000)); // never said hello

        QVERIFY(flooder.connectTo(host.port()));
        const auto welcome = flooder.hello(kGuid, QStringLiteral("Flood"));
        QVERIFY(welcome);
        QByteArray burst;
        for (std::uint64_t i = 1; i <= 2000; ++i)
            burst += encode(SendFrame{i, static_cast<std::uint32_t>(host.id()), QByteArray("x")});
        flooder.send(burst);
        QVERIFY(flooder.waitClosed(5000));
        QVERIFY(a.heard(NOTICE_PLAYER_DESTROYED, static_cast<PlayerId>(welcome->playerId)));
        QVERIFY(host.messages().size() < 2000); // cut off part-way, however fast it was read

        // Replays count like any frame while no host change asked for them.
        RawClient replayer;
        QVERIFY(replayer.connectTo(host.port()));
        const auto replayerWelcome = replayer.hello(kGuid, QStringLiteral("Replayer"));
        QVERIFY(replayerWelcome);
        QByteArray replays;
        for (std::uint64_t i = 1; i <= 2000; ++i) {
            const DeliverFrame d{i, replayerWelcome->playerId, 0, i, QByteArray("x")};
            replays += i % 2 ? encode(d, FrameKind::Replay) : encodeEmpty(FrameKind::ReplayEnd);
        }
        replayer.send(replays);
        QVERIFY(replayer.waitClosed(1500)); // well before its silence would close it
        QVERIFY(a.heard(NOTICE_PLAYER_DESTROYED, static_cast<PlayerId>(replayerWelcome->playerId)));

        // The session itself is unharmed.
        QVERIFY(a.say(QStringLiteral("still here")));
        QVERIFY(host.got(QStringLiteral("still here")));
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
        QVERIFY(joinAll(host.port(), {&sender, &reader}));
        RawClient stalled;
        QVERIFY(stalled.connectTo(host.port()));
        const auto welcome = stalled.hello(kGuid, QStringLiteral("Stalled"));
        QVERIFY(welcome);
        // From here on the raw client never reads: its socket buffers fill up.
        stalled.socket().setReadBufferSize(1);
        const auto stalledId = static_cast<PlayerId>(welcome->playerId);
        QVERIFY(sender.heard(NOTICE_PLAYER_CREATED, stalledId));

        const QString filler(1000, u'x');
        const int total = 20000; // ~20 MB for each reader
        for (int sent = 0; sent < total; QTest::qWait(1)) {
            for (int i = 0; i < 500 && sent < total; ++i, ++sent)
                QVERIFY(sender.say(filler + QString::number(sent)));
        }
        QVERIFY(host.heard(NOTICE_PLAYER_DESTROYED, stalledId, 20000));
        QTRY_COMPARE_WITH_TIMEOUT(reader.messages().size(), total, 30000);
        QCOMPARE(host.messages().size(), total);
        QCOMPARE(reader.noticeCount(NOTICE_PLAYER_DESTROYED, stalledId), 1);
    }
};

QTEST_GUILESS_MAIN(TransportSessionTest)
#include "tst_transport_session.moc"
