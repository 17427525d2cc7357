// vellmar-host: players join a host that holds no player, the master role is
// given on request and cannot be taken, and the session outlives the host
// whether it is killed or told to stop.
#include "RawClient.h"
#include "TransportHarness.h"

#include "session/host/HeadlessHost.h"
#include "session/host/HostOptions.h"
#include "session/protocol/Messages.h"
#include "session/transport/SessionSearch.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryFile>
#include <QtTest/QtTest>

#include <csignal>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

// vellmar-host in a child process, on loopback only.
struct HostProcess
{
    QProcess process;
    std::uint16_t port = 0;

    bool start(const QStringList &extra = {})
    {
        process.start(QStringLiteral(VELLMAR_HOST),
                      QStringList{QStringLiteral("--name"), QStringLiteral("Friday group"), QStringLiteral("--port"),
                                  QStringLiteral("0"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                                  QStringLiteral("--discovery-port"), QStringLiteral("0")}
                          + extra);
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(10000))
            return false;
        const QStringList line = QString::fromLatin1(process.readLine()).trimmed().split(u' ');
        port = static_cast<std::uint16_t>(line.value(1).toUInt());
        return line.value(0) == u"LISTENING" && port != 0;
    }
    void signal(int sig)
    {
        if (process.processId() > 0)
            ::kill(static_cast<pid_t>(process.processId()), sig);
    }
    ~HostProcess()
    {
        signal(SIGKILL);
        process.waitForFinished(5000);
    }
};

bool joinAsking(Peer &peer, const QString &name, std::uint16_t port, bool asksForMaster)
{
    SessionDescription desc;
    desc.guidApplication = kGuid;
    desc.hostAddress = QStringLiteral("127.0.0.1");
    desc.hostPort = port;
    desc.asksForMaster = asksForMaster;
    return peer.open(desc, OpenMode::Join, name);
}

std::uint32_t infoFlags(std::uint16_t port)
{
    const auto found = querySession(fastSettings(), QStringLiteral("127.0.0.1"), port, kGuid, nullptr);
    return found ? found->flags : 0;
}

} // namespace

class HeadlessHostTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void threePlayersChatAndCarryOnUnderTheEarliestJoinerWhenTheHostIsKilled()
    {
        HostProcess host;
        QVERIFY(host.start());
        const auto s = fastSettings();
        Peer a(s), b(s), c(s);
        QVERIFY(joinAsking(a, QStringLiteral("Ann(DM)"), host.port, true));
        QVERIFY(b.join(QStringLiteral("Bo"), host.port));
        QVERIFY(c.join(QStringLiteral("Cy"), host.port));
        QVERIFY(settled({&a, &b, &c}));
        // The host is in nobody's list; the three are, in join order.
        for (Peer *p : {&a, &b, &c}) {
            QCOMPARE(p->playerIds(), (QList<PlayerId>{a.id(), b.id(), c.id()}));
            QVERIFY(p->transport().isMasterPlayer(a.id()));
        }
        QVERIFY(a.say(QStringLiteral("welcome all")));
        QVERIFY(c.say(QStringLiteral("hello from Cy")));
        QVERIFY(b.got(QStringLiteral("welcome all")) && c.got(QStringLiteral("welcome all")));
        QVERIFY(a.got(QStringLiteral("hello from Cy")) && b.got(QStringLiteral("hello from Cy")));

        host.signal(SIGKILL);
        QVERIFY(QTest::qWaitFor([&] { return a.transport().isHost(); }, 8000));
        QVERIFY(b.say(QStringLiteral("after the host")));
        QVERIFY(a.got(QStringLiteral("after the host")) && c.got(QStringLiteral("after the host")));
        QVERIFY(c.say(QStringLiteral("and again"), a.id()));
        QVERIFY(a.got(QStringLiteral("and again")));
        // The master is still the master; nobody left.
        QVERIFY(c.transport().isMasterPlayer(a.id()));
        QCOMPARE(b.noticeCount(NOTICE_PLAYER_DESTROYED), 0);
        QVERIFY(sameOrder({&a, &b, &c}));
    }

    void sigtermTellsEveryMemberWithByeAndExitsCleanly()
    {
        HostProcess host;
        QVERIFY(host.start());
        const auto s = fastSettings();
        Peer a(s);
        QVERIFY(a.join(QStringLiteral("Ann"), host.port));
        RawClient raw;
        QVERIFY(raw.connectTo(host.port));
        QVERIFY(raw.hello(kGuid, QStringLiteral("Raw")));

        QElapsedTimer clock;
        clock.start();
        host.signal(SIGTERM);
        bool bye = false;
        for (auto frame = raw.next(); frame && !bye; frame = raw.next())
            bye = frame->first == FrameKind::Bye;
        QVERIFY(bye);
        QVERIFY(host.process.waitForFinished(5000));
        QCOMPARE(host.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(host.process.exitCode(), 0);
        QVERIFY(host.process.readAllStandardError().contains("stopping"));
        // Told, not left to notice the silence: the member moves on well
        // before its dead time-out.
        QVERIFY(QTest::qWaitFor([&] { return a.transport().isHost(); }, 5000));
        QVERIFY2(clock.elapsed() < s.deadTimeout.count(), qPrintable(QString::number(clock.elapsed())));
    }

    void theMasterRoleGoesToTheFirstWhoAsksAndCannotBeTakenWhileItsHolderIsHere()
    {
        const auto s = fastSettings();
        HeadlessHost host(s);
        QString error;
        QVERIFY2(host.start({QStringLiteral("Friday group"), 99, QString()}, &error), qPrintable(error));
        QVERIFY(infoFlags(host.port()) & kSessionFlagMasterFree);

        auto ann = std::make_unique<Peer>(s);
        Peer bo(s), cy(s), di(s);
        QVERIFY(bo.join(QStringLiteral("Bo"), host.port()));
        QVERIFY(!bo.transport().isMasterPlayer(bo.id())); // did not ask
        QVERIFY(joinAsking(*ann, QStringLiteral("Ann(DM)"), host.port(), true));
        QVERIFY(joinAsking(cy, QStringLiteral("Cy(DM)"), host.port(), true));
        QVERIFY(settled({&bo, ann.get(), &cy}));
        for (Peer *p : {&bo, ann.get(), &cy}) {
            QVERIFY(p->transport().isMasterPlayer(ann->id()));
            QVERIFY(!p->transport().isMasterPlayer(cy.id()));
        }
        QVERIFY(!(infoFlags(host.port()) & kSessionFlagMasterFree));

        // Once the master has left, the next who asks gets the role.
        const PlayerId gone = ann->id();
        ann.reset();
        QVERIFY(bo.heard(NOTICE_PLAYER_DESTROYED, gone));
        QVERIFY(infoFlags(host.port()) & kSessionFlagMasterFree);
        QVERIFY(joinAsking(di, QStringLiteral("Di(DM)"), host.port(), true));
        QVERIFY(bo.heard(NOTICE_PLAYER_CREATED, di.id()));
        QVERIFY(bo.transport().isMasterPlayer(di.id()) && cy.transport().isMasterPlayer(di.id()));
        QCOMPARE(host.players(), 3);
    }

    void aHostingCopysOwnPlayerIsTheMasterAndNoJoinerCanAskForIt()
    {
        const auto s = fastSettings();
        Peer host(s), a(s);
        QVERIFY(host.host(QStringLiteral("Keeper(DM)")));
        QVERIFY(!(infoFlags(host.port()) & kSessionFlagMasterFree));
        QVERIFY(joinAsking(a, QStringLiteral("Usurper(DM)"), host.port(), true));
        QVERIFY(a.transport().isMasterPlayer(host.id()) && host.transport().isMasterPlayer(host.id()));
        QVERIFY(!a.transport().isMasterPlayer(a.id()) && !host.transport().isMasterPlayer(a.id()));
    }

    void commandLineNeedsANameAndReadsThePasswordFromAFile()
    {
        QString error;
        QVERIFY(!parseHostOptions({QStringLiteral("vellmar-host")}, &error));
        QVERIFY(error.contains(u"--name"));
        QVERIFY(!parseHostOptions({QStringLiteral("vellmar-host"), QStringLiteral("--name"), QStringLiteral("X"),
                                   QStringLiteral("--max-players"), QStringLiteral("100")},
                                  &error));
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write("open sesame\n");
        file.flush();
        const auto o = parseHostOptions({QStringLiteral("vellmar-host"), QStringLiteral("--name"),
                                         QStringLiteral("Friday group"), QStringLiteral("--password-file"),
                                         file.fileName(), QStringLiteral("--max-players"), QStringLiteral("6")},
                                        &error);
        QVERIFY2(o, qPrintable(error));
        QCOMPARE(o->host.password, QStringLiteral("open sesame"));
        QCOMPARE(o->host.maxPlayers, 6);
        QCOMPARE(o->settings.tcpPort, std::uint16_t(47810));
    }

    void aHostWithAPasswordFileLetsInOnlyThoseWhoKnowIt()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write("open sesame\n");
        file.flush();
        HostProcess host;
        QVERIFY(host.start({QStringLiteral("--password-file"), file.fileName(), QStringLiteral("--max-players"),
                            QStringLiteral("1")}));
        const auto s = fastSettings();
        Peer in(s), wrong(s), extra(s);
        wrong.transport().setSessionPassword(QStringLiteral("open says me"));
        QVERIFY(!wrong.join(QStringLiteral("Wrong"), host.port));
        QCOMPARE(wrong.transport().lastError(), QStringLiteral("Wrong session password"));
        in.transport().setSessionPassword(QStringLiteral("open sesame"));
        QVERIFY2(in.join(QStringLiteral("In"), host.port), qPrintable(in.transport().lastError()));
        extra.transport().setSessionPassword(QStringLiteral("open sesame"));
        QVERIFY(!extra.join(QStringLiteral("Extra"), host.port));
        QVERIFY(extra.transport().lastError().contains(u"full"));
    }
};

QTEST_MAIN(HeadlessHostTest)
#include "tst_headless_host.moc"
