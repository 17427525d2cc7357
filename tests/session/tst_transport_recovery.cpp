// Participants that vanish: killed processes, a crashed or departed host,
// and a member whose link drops for a moment.
#include "TransportHarness.h"

#include "session/protocol/Messages.h"

#include <QProcess>
#include <QtTest/QtTest>

#include <csignal>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

// A participant in a child process; its fields come from its READY line.
struct Child
{
    QProcess process;
    QStringList ready;

    bool start(const QStringList &args)
    {
        process.start(QStringLiteral(TRANSPORT_PEER), args);
        if (!process.waitForStarted(5000))
            return false;
        // The child's host may live in this process: keep the loop turning.
        const bool ok =
            QTest::qWaitFor([&] { return process.canReadLine() || process.state() == QProcess::NotRunning; }, 10000);
        if (!ok || !process.canReadLine())
            return false;
        ready = QString::fromLatin1(process.readLine()).trimmed().split(u' ');
        return ready.value(0) == u"READY";
    }
    void kill()
    {
        signal(SIGKILL);
        process.waitForFinished(5000);
    }
    void signal(int sig) { ::kill(static_cast<pid_t>(process.processId()), sig); }
    // Waits for a line the child printed after READY, keeping the loop
    // turning for the participants in this process.
    bool sawLine(const QString &line, int timeoutMs)
    {
        return QTest::qWaitFor(
            [&] {
                while (process.canReadLine())
                    lines << QString::fromUtf8(process.readLine()).trimmed();
                return lines.contains(line);
            },
            timeoutMs);
    }
    QStringList lines;
    ~Child()
    {
        if (process.state() != QProcess::NotRunning)
            kill();
    }
};

// One total order: any two participants saw the messages they both got in
// the same order (texts are unique in these tests).
bool sameOrder(const QList<Peer *> &peers)
{
    for (Peer *p : peers) {
        for (Peer *q : peers) {
            const QStringList mine = p->texts();
            QStringList shared;
            for (const auto &t : q->texts())
                if (mine.contains(t))
                    shared << t;
            QStringList mineShared;
            for (const auto &t : mine)
                if (shared.contains(t))
                    mineShared << t;
            if (shared != mineShared)
                return false;
        }
    }
    return true;
}

} // namespace

class TransportRecoveryTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedMemberIsAnnouncedOnce()
    {
        const auto s = fastSettings();
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.transport().hostPort()));
        Child child;
        QVERIFY(child.start(
            {QStringLiteral("join"), QString::number(host.transport().hostPort()), QStringLiteral("Doomed")}));
        const PlayerId doomed = child.ready.value(1).toInt();
        QTRY_COMPARE_WITH_TIMEOUT(host.noticeCount(NOTICE_PLAYER_CREATED, doomed), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(a.noticeCount(NOTICE_PLAYER_CREATED, doomed), 1, 5000);

        child.kill();
        QTRY_COMPARE_WITH_TIMEOUT(host.noticeCount(NOTICE_PLAYER_DESTROYED, doomed), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(a.noticeCount(NOTICE_PLAYER_DESTROYED, doomed), 1, 5000);
        QTest::qWait(s.resumeGrace.count());
        QCOMPARE(host.noticeCount(NOTICE_PLAYER_DESTROYED, doomed), 1);
        QCOMPARE(a.noticeCount(NOTICE_PLAYER_DESTROYED, doomed), 1);
        QCOMPARE(a.transport().GetDPEnumPlayers().size(), 2);
        QVERIFY(!a.say(QStringLiteral("hello?"), doomed));
    }

    void killedHostIsReplacedByTheEarliestJoiner()
    {
        const auto s = fastSettings();
        Child host;
        QVERIFY(host.start({QStringLiteral("host"), QStringLiteral("GM(DM)")}));
        const auto port = static_cast<std::uint16_t>(host.ready.value(1).toUInt());
        const PlayerId hostId = host.ready.value(2).toInt();
        Peer a(s), b(s), c(s);
        QVERIFY(a.join(QStringLiteral("A"), port));
        QVERIFY(b.join(QStringLiteral("B"), port));
        QVERIFY(c.join(QStringLiteral("C"), port));
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 2, 5000);
        QVERIFY(b.say(QStringLiteral("before")));
        QTRY_COMPARE_WITH_TIMEOUT(c.texts().count(QStringLiteral("before")), 1, 5000);

        host.kill();
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_HOST_MIGRATED).size(), 1, 10000);
        QVERIFY(a.transport().isHost());
        for (Peer *p : {&a, &b, &c})
            QTRY_COMPARE_WITH_TIMEOUT(p->noticeCount(NOTICE_PLAYER_DESTROYED, hostId), 1, 10000);

        // The chat goes on, in one order, through the new host.
        QVERIFY(b.say(QStringLiteral("after")));
        QVERIFY(c.say(QStringLiteral("to b"), b.id()));
        QVERIFY(a.say(QStringLiteral("new host speaking")));
        QTRY_COMPARE_WITH_TIMEOUT(a.texts().count(QStringLiteral("after")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.texts().count(QStringLiteral("after")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(b.texts().count(QStringLiteral("to b")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(b.texts().count(QStringLiteral("new host speaking")), 1, 5000);
        QTest::qWait(200);
        for (Peer *p : {&b, &c}) {
            QCOMPARE(p->notices(NOTICE_HOST_MIGRATED).size(), 0);
            QCOMPARE(p->notices(NOTICE_PLAYER_CREATED).size(), p == &b ? 1 : 0);
            QCOMPARE(p->noticeCount(NOTICE_PLAYER_DESTROYED, hostId), 1);
            QCOMPARE(p->texts().count(QStringLiteral("before")), p == &b ? 0 : 1);
        }
        const QList<PlayerId> order{a.id(), b.id(), c.id()};
        for (Peer *p : {&a, &b, &c}) {
            QList<PlayerId> listed;
            for (const auto &e : p->transport().GetDPEnumPlayers())
                listed.append(e.id);
            QCOMPARE(listed, order);
        }
        // The host's name still resolves for the lines it left behind.
        QCOMPARE(c.transport().GetPlayerFriendlyName(hostId), QStringLiteral("GM(DM)"));
    }

    void messagesInFlightAtAHostCrashArriveExactlyOnce()
    {
        const auto s = fastSettings();
        auto host = std::make_unique<Peer>(s);
        QVERIFY(host->host(QStringLiteral("GM(DM)")));
        const PlayerId hostId = host->id();
        Peer a(s), b(s), c(s);
        QVERIFY(a.join(QStringLiteral("A"), host->transport().hostPort()));
        QVERIFY(b.join(QStringLiteral("B"), host->transport().hostPort()));
        QVERIFY(c.join(QStringLiteral("C"), host->transport().hostPort()));
        QTRY_COMPARE_WITH_TIMEOUT(c.notices(NOTICE_PLAYER_CREATED).size(), 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 2, 5000);

        // A burst, with the host dying part-way through relaying it: some of
        // it was confirmed, some was delivered to a few, some never left.
        const int total = 300;
        for (int i = 0; i < total; ++i) {
            QVERIFY(b.say(QStringLiteral("b%1").arg(i)));
            if (i == 150)
                QTest::qWait(5);
            if (i == 200)
                host->transport().simulateCrash();
        }
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_HOST_MIGRATED).size(), 1, 10000);
        for (Peer *p : {&a, &c}) {
            QTRY_COMPARE_WITH_TIMEOUT(p->messages().size(), total, 10000);
            QStringList expected;
            for (int i = 0; i < total; ++i)
                expected << QStringLiteral("b%1").arg(i);
            QCOMPARE(p->texts(), expected);
        }
        QVERIFY(b.messages().isEmpty());
        for (Peer *p : {&a, &b, &c})
            QTRY_COMPARE_WITH_TIMEOUT(p->noticeCount(NOTICE_PLAYER_DESTROYED, hostId), 1, 5000);
    }

    void departingHostHandsOverAtOnce()
    {
        const auto s = fastSettings();
        auto host = std::make_unique<Peer>(s);
        QVERIFY(host->host(QStringLiteral("GM(DM)")));
        const PlayerId hostId = host->id();
        Peer a(s), b(s);
        QVERIFY(a.join(QStringLiteral("A"), host->transport().hostPort()));
        QVERIFY(b.join(QStringLiteral("B"), host->transport().hostPort()));
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 1, 5000);
        host->leave();
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_HOST_MIGRATED).size(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(b.noticeCount(NOTICE_PLAYER_DESTROYED, hostId), 1, 5000);
        QVERIFY(b.say(QStringLiteral("still on")));
        QTRY_COMPARE_WITH_TIMEOUT(a.texts().count(QStringLiteral("still on")), 1, 5000);
    }

    void briefLinkLossResumesUnnoticed()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(a.join(QStringLiteral("A"), host.transport().hostPort()));
        QVERIFY(b.join(QStringLiteral("B"), host.transport().hostPort()));
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 1, 5000);
        const PlayerId aId = a.id();

        a.transport().interruptLink(std::chrono::milliseconds(400));
        // What happens while it is away reaches it afterwards, in order.
        for (int i = 0; i < 5; ++i)
            QVERIFY(b.say(QStringLiteral("b%1").arg(i)));
        QVERIFY(host.say(QStringLiteral("for a"), aId));
        QVERIFY(a.say(QStringLiteral("from a while away")));
        QTRY_COMPARE_WITH_TIMEOUT(a.messages().size(), 6, 5000);
        QStringList fromB;
        for (const auto &m : a.messages())
            if (m.from == b.id())
                fromB << m.text;
        QCOMPARE(fromB, (QStringList{QStringLiteral("b0"), QStringLiteral("b1"), QStringLiteral("b2"),
                                     QStringLiteral("b3"), QStringLiteral("b4")}));
        QCOMPARE(a.texts().count(QStringLiteral("for a")), 1);
        QTRY_COMPARE_WITH_TIMEOUT(b.texts().count(QStringLiteral("from a while away")), 1, 5000);
        QCOMPARE(a.id(), aId);
        QTest::qWait(s.resumeGrace.count() + 200);
        for (Peer *p : {&host, &b}) {
            QCOMPARE(p->noticeCount(NOTICE_PLAYER_DESTROYED, aId), 0);
            QCOMPARE(p->noticeCount(NOTICE_PLAYER_CREATED, aId), p == &host ? 1 : 0);
            QCOMPARE(p->texts().count(QStringLiteral("from a while away")), 1);
        }
        QCOMPARE(a.notices(NOTICE_HOST_MIGRATED).size(), 0);
        QVERIFY(!a.transport().isHost());
    }

    // The earliest joiner is the one that would take over; its own outage
    // must not make it a second host while the real one lives.
    void cutOffSuccessorRejoinsTheLivingHost()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        for (auto [p, name] : {std::pair{&a, "A"}, std::pair{&b, "B"}, std::pair{&c, "C"}})
            QVERIFY(p->join(QString::fromLatin1(name), host.transport().hostPort()));
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(host.notices(NOTICE_PLAYER_CREATED).size(), 3, 5000);

        a.transport().interruptLink(std::chrono::milliseconds(600));
        for (int i = 0; i < 8; ++i) {
            QVERIFY(host.say(QStringLiteral("h%1").arg(i)));
            QVERIFY(b.say(QStringLiteral("b%1").arg(i)));
            QVERIFY(c.say(QStringLiteral("c%1").arg(i)));
            QTest::qWait(50);
        }
        QTRY_COMPARE_WITH_TIMEOUT(a.messages().size(), 24, 5000);
        QVERIFY(a.say(QStringLiteral("a back")));
        QVERIFY(b.say(QStringLiteral("b after")));
        for (Peer *p : {&host, &b, &c})
            QTRY_COMPARE_WITH_TIMEOUT(p->texts().count(QStringLiteral("a back")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(a.texts().count(QStringLiteral("b after")), 1, 5000);
        QTest::qWait(s.resumeGrace.count() + 300);

        QVERIFY(host.transport().isHost());
        for (Peer *p : {&a, &b, &c})
            QVERIFY(!p->transport().isHost());
        const QList<PlayerId> order{host.id(), a.id(), b.id(), c.id()};
        for (Peer *p : {&host, &a, &b, &c}) {
            QCOMPARE(p->notices(NOTICE_HOST_MIGRATED).size(), 0);
            QCOMPARE(p->notices(NOTICE_PLAYER_DESTROYED).size(), 0);
            QList<PlayerId> listed;
            for (const auto &e : p->transport().GetDPEnumPlayers())
                listed.append(e.id);
            QCOMPARE(listed, order);
        }
        QCOMPARE(host.notices(NOTICE_PLAYER_CREATED).size(), 3);
        QCOMPARE(a.notices(NOTICE_PLAYER_CREATED).size(), 2);
        QCOMPARE(b.notices(NOTICE_PLAYER_CREATED).size(), 1);
        QCOMPARE(c.notices(NOTICE_PLAYER_CREATED).size(), 0);
        QVERIFY(sameOrder({&host, &a, &b, &c}));
    }

    // A stopped host is silent, not gone from the network: its port still
    // accepts. It is replaced all the same, and once continued it finds
    // itself deposed and stops hosting instead of splitting the session.
    void stoppedHostIsReplacedAndStandsDownWhenContinued()
    {
        const auto s = fastSettings();
        Child host;
        QVERIFY(host.start({QStringLiteral("host"), QStringLiteral("GM(DM)")}));
        const auto port = static_cast<std::uint16_t>(host.ready.value(1).toUInt());
        const PlayerId hostId = host.ready.value(2).toInt();
        Peer a(s), b(s), c(s);
        for (auto [p, name] : {std::pair{&a, "A"}, std::pair{&b, "B"}, std::pair{&c, "C"}})
            QVERIFY(p->join(QString::fromLatin1(name), port));
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_PLAYER_CREATED).size(), 2, 5000);
        QVERIFY(b.say(QStringLiteral("before")));
        QTRY_COMPARE_WITH_TIMEOUT(c.texts().count(QStringLiteral("before")), 1, 5000);

        host.signal(SIGSTOP);
        QTRY_COMPARE_WITH_TIMEOUT(a.notices(NOTICE_HOST_MIGRATED).size(), 1, 15000);
        QVERIFY(a.transport().isHost());
        for (Peer *p : {&a, &b, &c})
            QTRY_COMPARE_WITH_TIMEOUT(p->noticeCount(NOTICE_PLAYER_DESTROYED, hostId), 1, 5000);
        QVERIFY(b.say(QStringLiteral("while stopped")));
        QTRY_COMPARE_WITH_TIMEOUT(c.texts().count(QStringLiteral("while stopped")), 1, 5000);

        host.signal(SIGCONT);
        QVERIFY(host.sawLine(QStringLiteral("HOST 0"), 5000));
        for (Peer *p : {&a, &b, &c})
            QVERIFY(host.sawLine(QStringLiteral("NOTICE %1 %2").arg(NOTICE_PLAYER_DESTROYED).arg(p->id()), 1000));
        host.process.write("say anyone there?\n");
        QVERIFY(host.sawLine(QStringLiteral("SAY 0"), 5000));
        Peer late(s);
        QVERIFY(!late.join(QStringLiteral("Late"), port));

        QTest::qWait(s.resumeGrace.count() + 300);
        QVERIFY(c.say(QStringLiteral("after")));
        QTRY_COMPARE_WITH_TIMEOUT(a.texts().count(QStringLiteral("after")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(b.texts().count(QStringLiteral("after")), 1, 5000);
        QVERIFY(a.transport().isHost());
        for (Peer *p : {&a, &b, &c}) {
            QCOMPARE(p->notices(NOTICE_HOST_MIGRATED).size(), p == &a ? 1 : 0);
            QCOMPARE(p->notices(NOTICE_PLAYER_DESTROYED).size(), 1);
            QCOMPARE(p->transport().GetDPEnumPlayers().size(), 3);
        }
        QVERIFY(!host.lines.contains(QStringLiteral("MSG %1 after").arg(c.id())));
    }

    void hostAndSuccessorKilledTogetherLeaveTheNextJoinerInCharge()
    {
        const auto s = fastSettings();
        Child host, first;
        QVERIFY(host.start({QStringLiteral("host"), QStringLiteral("GM(DM)")}));
        const auto port = static_cast<std::uint16_t>(host.ready.value(1).toUInt());
        const PlayerId hostId = host.ready.value(2).toInt();
        QVERIFY(first.start({QStringLiteral("join"), QString::number(port), QStringLiteral("First")}));
        const PlayerId firstId = first.ready.value(1).toInt();
        Peer b(s), c(s), d(s);
        for (auto [p, name] : {std::pair{&b, "B"}, std::pair{&c, "C"}, std::pair{&d, "D"}})
            QVERIFY(p->join(QString::fromLatin1(name), port));
        QTRY_COMPARE_WITH_TIMEOUT(b.notices(NOTICE_PLAYER_CREATED).size(), 2, 5000);
        QVERIFY(c.say(QStringLiteral("before")));
        QTRY_COMPARE_WITH_TIMEOUT(d.texts().count(QStringLiteral("before")), 1, 5000);

        host.signal(SIGKILL);
        first.signal(SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(b.notices(NOTICE_HOST_MIGRATED).size(), 1, 10000);
        QVERIFY(b.transport().isHost());
        for (Peer *p : {&b, &c, &d}) {
            QTRY_COMPARE_WITH_TIMEOUT(p->noticeCount(NOTICE_PLAYER_DESTROYED, hostId), 1, 5000);
            QTRY_COMPARE_WITH_TIMEOUT(p->noticeCount(NOTICE_PLAYER_DESTROYED, firstId), 1, 5000);
        }
        QVERIFY(d.say(QStringLiteral("after")));
        QVERIFY(b.say(QStringLiteral("from the new host")));
        QTRY_COMPARE_WITH_TIMEOUT(b.texts().count(QStringLiteral("after")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.texts().count(QStringLiteral("after")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.texts().count(QStringLiteral("from the new host")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(d.texts().count(QStringLiteral("from the new host")), 1, 5000);
        QTest::qWait(300);
        const QList<PlayerId> order{b.id(), c.id(), d.id()};
        for (Peer *p : {&b, &c, &d}) {
            QCOMPARE(p->notices(NOTICE_HOST_MIGRATED).size(), p == &b ? 1 : 0);
            QCOMPARE(p->notices(NOTICE_PLAYER_DESTROYED).size(), 2);
            QList<PlayerId> listed;
            for (const auto &e : p->transport().GetDPEnumPlayers())
                listed.append(e.id);
            QCOMPARE(listed, order);
            QCOMPARE(p->texts().count(QStringLiteral("before")), p == &c ? 0 : 1);
        }
        QVERIFY(sameOrder({&b, &c, &d}));
    }
};

QTEST_GUILESS_MAIN(TransportRecoveryTest)
#include "tst_transport_recovery.moc"
