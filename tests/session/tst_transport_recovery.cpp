// Participants that vanish: killed processes, a crashed or stopped host, and
// a member whose link drops for a moment.
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
    QStringList lines; // printed after READY

    bool start(const QStringList &args)
    {
        process.start(QStringLiteral(TRANSPORT_PEER), args);
        // The child's host may live in this process: keep the loop turning.
        const auto answered = [&] { return process.canReadLine() || process.state() == QProcess::NotRunning; };
        if (!process.waitForStarted(5000) || !QTest::qWaitFor(answered, 10000) || !process.canReadLine())
            return false;
        ready = QString::fromLatin1(process.readLine()).trimmed().split(u' ');
        return ready.value(0) == u"READY";
    }
    void signal(int sig)
    {
        if (process.processId() > 0)
            ::kill(static_cast<pid_t>(process.processId()), sig);
    }
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
    ~Child()
    {
        signal(SIGKILL);
        process.waitForFinished(5000);
    }
};

enum class HostLoss { Killed, KilledWithSuccessor, Stopped };

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
        QVERIFY(a.join(QStringLiteral("A"), host.port()));
        Child child;
        QVERIFY(child.start({QStringLiteral("join"), QString::number(host.port()), QStringLiteral("Doomed")}));
        const PlayerId doomed = child.ready.value(1).toInt();
        QVERIFY(host.heard(NOTICE_PLAYER_CREATED, doomed));
        QVERIFY(a.heard(NOTICE_PLAYER_CREATED, doomed));

        child.signal(SIGKILL);
        QVERIFY(host.heard(NOTICE_PLAYER_DESTROYED, doomed, 10000));
        QVERIFY(a.heard(NOTICE_PLAYER_DESTROYED, doomed));
        QTest::qWait(s.resumeGrace.count());
        QCOMPARE(host.noticeCount(NOTICE_PLAYER_DESTROYED, doomed), 1);
        QCOMPARE(a.noticeCount(NOTICE_PLAYER_DESTROYED, doomed), 1);
        QCOMPARE(a.playerIds(), (QList<PlayerId>{host.id(), a.id()}));
        QVERIFY(!a.say(QStringLiteral("hello?"), doomed));
    }

    // A stopped host is silent, not gone from the network: its port still
    // accepts. It is replaced all the same, and once continued it finds
    // itself deposed and stops hosting instead of splitting the session.
    void lostHostIsReplacedByTheEarliestLivingJoiner_data()
    {
        QTest::addColumn<HostLoss>("loss");
        QTest::newRow("host killed") << HostLoss::Killed;
        QTest::newRow("host and earliest joiner killed together") << HostLoss::KilledWithSuccessor;
        QTest::newRow("host stopped, later continued") << HostLoss::Stopped;
    }
    void lostHostIsReplacedByTheEarliestLivingJoiner()
    {
        QFETCH(HostLoss, loss);
        const auto s = fastSettings();
        Child host, first;
        QVERIFY(host.start({QStringLiteral("host"), QStringLiteral("GM(DM)")}));
        const auto port = static_cast<std::uint16_t>(host.ready.value(1).toUInt());
        const PlayerId hostId = host.ready.value(2).toInt();
        QList<PlayerId> gone{hostId};
        if (loss == HostLoss::KilledWithSuccessor) {
            QVERIFY(first.start({QStringLiteral("join"), QString::number(port), QStringLiteral("First")}));
            gone << first.ready.value(1).toInt();
        }
        Peer a(s), b(s), c(s);
        QVERIFY(joinAll(port, {&a, &b, &c}));
        QVERIFY(settled({&a, &b, &c}));
        QVERIFY(b.say(QStringLiteral("before")));
        QVERIFY(c.got(QStringLiteral("before")));

        host.signal(loss == HostLoss::Stopped ? SIGSTOP : SIGKILL);
        first.signal(SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(a.noticeCount(NOTICE_HOST_MIGRATED), 1, 15000);
        QVERIFY(a.transport().isHost());
        for (Peer *p : {&a, &b, &c}) {
            for (PlayerId id : gone)
                QVERIFY(p->heard(NOTICE_PLAYER_DESTROYED, id, 10000));
        }
        // The chat goes on through the new host.
        QVERIFY(b.say(QStringLiteral("after")));
        QVERIFY(c.say(QStringLiteral("to b"), b.id()));
        QVERIFY(a.say(QStringLiteral("new host speaking")));
        QVERIFY(a.got(QStringLiteral("after")));
        QVERIFY(c.got(QStringLiteral("after")));
        QVERIFY(b.got(QStringLiteral("to b")));
        QVERIFY(b.got(QStringLiteral("new host speaking")));

        if (loss == HostLoss::Stopped) {
            host.signal(SIGCONT);
            QVERIFY(host.sawLine(QStringLiteral("HOST 0"), 5000));
            for (Peer *p : {&a, &b, &c})
                QVERIFY(host.sawLine(QStringLiteral("NOTICE %1 %2").arg(NOTICE_PLAYER_DESTROYED).arg(p->id()), 1000));
            host.process.write("say anyone there?\n");
            QVERIFY(host.sawLine(QStringLiteral("SAY 0"), 5000));
            Peer late(s);
            QVERIFY(!late.join(QStringLiteral("Late"), port));
            QTest::qWait(s.resumeGrace.count() + 300);
            QVERIFY(c.say(QStringLiteral("after stand-down")));
            QVERIFY(b.got(QStringLiteral("after stand-down")));
            QVERIFY(a.transport().isHost());
            QVERIFY(!host.lines.contains(QStringLiteral("MSG %1 after stand-down").arg(c.id())));
        }
        QTest::qWait(200);
        // The others resumed: no 257 and no 3 for them, the same list, one order.
        QVERIFY(settled({&a, &b, &c}, 0));
        for (Peer *p : {&a, &b, &c}) {
            QCOMPARE(p->noticeCount(NOTICE_HOST_MIGRATED), p == &a ? 1 : 0);
            QCOMPARE(p->noticeCount(NOTICE_PLAYER_DESTROYED), int(gone.size()));
            QCOMPARE(p->playerIds(), (QList<PlayerId>{a.id(), b.id(), c.id()}));
            QCOMPARE(p->texts().count(QStringLiteral("before")), p == &b ? 0 : 1);
        }
        QVERIFY(sameOrder({&a, &b, &c}));
        // The host's name still resolves for the lines it left behind.
        QCOMPARE(c.transport().GetPlayerFriendlyName(hostId), QStringLiteral("GM(DM)"));
    }

    void messagesInFlightAtAHostCrashArriveExactlyOnce()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(joinAll(host.port(), {&a, &b, &c}));
        QVERIFY(settled({&host, &a, &b, &c}));

        // A burst, with the host dying part-way through relaying it: some of
        // it was confirmed, some was delivered to a few, some never left.
        const int total = 300;
        QStringList expected;
        for (int i = 0; i < total; ++i) {
            QVERIFY(b.say(expected.emplace_back(QStringLiteral("b%1").arg(i))));
            if (i == 150)
                QTest::qWait(5);
            if (i == 200)
                host.crash();
        }
        QTRY_COMPARE_WITH_TIMEOUT(a.noticeCount(NOTICE_HOST_MIGRATED), 1, 10000);
        for (Peer *p : {&a, &c}) {
            QTRY_COMPARE_WITH_TIMEOUT(p->messages().size(), total, 10000);
            QCOMPARE(p->texts(), expected);
        }
        QVERIFY(b.messages().isEmpty());
        for (Peer *p : {&a, &b, &c})
            QVERIFY(p->heard(NOTICE_PLAYER_DESTROYED, host.id()));
    }

    // The earliest joiner is the one that would take over; its own outage
    // must not make it a second host while the real one lives.
    void briefLinkLossOfTheSuccessorResumesUnnoticed()
    {
        const auto s = fastSettings();
        Peer host(s), a(s), b(s), c(s);
        QVERIFY(host.host(QStringLiteral("GM(DM)")));
        QVERIFY(joinAll(host.port(), {&a, &b, &c}));
        QVERIFY(settled({&host, &a, &b, &c}));
        const PlayerId aId = a.id();

        a.interruptLink(std::chrono::milliseconds(600));
        // What happens while it is away reaches it afterwards, in order.
        QStringList fromB;
        for (int i = 0; i < 8; ++i) {
            QVERIFY(host.say(QStringLiteral("h%1").arg(i)));
            QVERIFY(b.say(fromB.emplace_back(QStringLiteral("b%1").arg(i))));
            QVERIFY(c.say(QStringLiteral("c%1").arg(i)));
            QTest::qWait(50);
        }
        QVERIFY(host.say(QStringLiteral("for a"), aId));
        QVERIFY(a.say(QStringLiteral("from a while away")));
        QTRY_COMPARE_WITH_TIMEOUT(a.messages().size(), 25, 5000);
        QVERIFY(a.got(QStringLiteral("for a")));
        QCOMPARE(a.texts().filter(QRegularExpression(QStringLiteral("^b\\d$"))), fromB);
        for (Peer *p : {&host, &b, &c})
            QVERIFY(p->got(QStringLiteral("from a while away")));
        QCOMPARE(a.id(), aId);

        QTest::qWait(s.resumeGrace.count() + 300);
        QVERIFY(host.transport().isHost());
        QVERIFY(settled({&host, &a, &b, &c}, 0)); // no second notice 3
        for (Peer *p : {&host, &a, &b, &c}) {
            QVERIFY(p == &host || !p->transport().isHost());
            QCOMPARE(p->noticeCount(NOTICE_HOST_MIGRATED), 0);
            QCOMPARE(p->noticeCount(NOTICE_PLAYER_DESTROYED), 0);
            QCOMPARE(p->playerIds(), (QList<PlayerId>{host.id(), a.id(), b.id(), c.id()}));
        }
        QVERIFY(sameOrder({&host, &a, &b, &c}));
    }
};

QTEST_GUILESS_MAIN(TransportRecoveryTest)
#include "tst_transport_recovery.moc"
