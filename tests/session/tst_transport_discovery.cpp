// Finding a session: by the address the user types, or, with a blank
// answer, by a search that here only ever goes to the loopback network.
#include "ScriptedQuestions.h"
#include "TransportHarness.h"

#include "session/protocol/Messages.h"

#include <QRandomGenerator>
#include <QtTest/QtTest>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

TransportSettings searchSettings(std::uint16_t discoveryPort)
{
    auto s = fastSettings();
    s.discoveryPort = discoveryPort;
    return s;
}

std::uint16_t somePort() { return static_cast<std::uint16_t>(QRandomGenerator::global()->bounded(40000, 60000)); }

QList<SessionDescription> search(const TransportSettings &s, const QString &answer, QStringList *asked = nullptr)
{
    ScriptedQuestions questions;
    questions.textAnswers.push_back(answer);
    TcpSessionTransport t(&questions, s);
    t.InitializeConnection(t.GetDPEnumConnections().last().address);
    SessionDescription desc;
    desc.guidApplication = kGuid;
    const auto found = t.GetDPEnumSessions(desc);
    if (asked)
        *asked = questions.asked;
    return found;
}

} // namespace

class TransportDiscoveryTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void blankAnswerFindsThisApplicationsSessionsOnly()
    {
        const auto s = searchSettings(somePort());
        Peer ours(s), theirs(s);
        QVERIFY(ours.host(QStringLiteral("GM(DM)")));
        QVERIFY(
            theirs.host(QStringLiteral("Other"), 99, 8196, QStringLiteral("{99999999-0000-0000-0000-000000000000}")));

        QElapsedTimer clock;
        clock.start();
        QStringList asked;
        const auto found = search(s, QString(), &asked);
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().hostPort, ours.transport().hostPort());
        QCOMPARE(found.first().sessionName, QStringLiteral("TestChat"));
        QCOMPARE(found.first().guidApplication, kGuid);
        QCOMPARE(found.first().currentPlayers, 1);

        // What the search found can be joined as it is.
        Peer joiner(s);
        auto &t = joiner.transport();
        QVERIFY(t.InitializeConnection(t.GetDPEnumConnections().last().address));
        QVERIFY(t.Open(found.first(), OpenMode::Join));
        QVERIFY(t.CreatePlayer(QStringLiteral("Ranger")));
        QTRY_COMPARE_WITH_TIMEOUT(ours.notices(NOTICE_PLAYER_CREATED).size(), 1, 5000);
    }

    void typedAddressAsksThatHostDirectly()
    {
        const auto s = searchSettings(somePort());
        Peer ours(s), theirs(s);
        QVERIFY(ours.host(QStringLiteral("GM(DM)")));
        QVERIFY(
            theirs.host(QStringLiteral("Other"), 99, 8196, QStringLiteral("{99999999-0000-0000-0000-000000000000}")));
        const auto found = search(s, QStringLiteral(" 127.0.0.1:%1 ").arg(ours.transport().hostPort()));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().hostAddress, QStringLiteral("127.0.0.1"));
        QCOMPARE(found.first().hostPort, ours.transport().hostPort());

        QVERIFY(search(s, QStringLiteral("127.0.0.1:%1").arg(theirs.transport().hostPort())).isEmpty());
        QVERIFY(search(s, QStringLiteral("not an address!")).isEmpty());
        // Nobody listens there any more: a stale address fails fast.
        std::uint16_t gonePort = 0;
        {
            Peer gone(s);
            QVERIFY(gone.host(QStringLiteral("Gone")));
            gonePort = gone.transport().hostPort();
        }
        QElapsedTimer clock;
        clock.start();
        QVERIFY(search(s, QStringLiteral("127.0.0.1:%1").arg(gonePort)).isEmpty());
        QVERIFY(clock.elapsed() < 2000);
    }

    void cancelledQuestionFindsNothing()
    {
        ScriptedQuestions questions;
        questions.textAnswers.push_back(std::nullopt);
        TcpSessionTransport t(&questions, searchSettings(somePort()));
        QVERIFY(!t.InitializeConnection(QStringLiteral("ipx")));
        QVERIFY(t.InitializeConnection(t.GetDPEnumConnections().last().address));
        QVERIFY(t.GetDPEnumConnections().last().displayName.contains(QStringLiteral("TCP")));
        SessionDescription desc;
        desc.guidApplication = kGuid;
        QVERIFY(t.GetDPEnumSessions(desc).isEmpty());
        QVERIFY(!t.Open(desc, OpenMode::Join)); // no host to join
    }
};

QTEST_GUILESS_MAIN(TransportDiscoveryTest)
#include "tst_transport_discovery.moc"
