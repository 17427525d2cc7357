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

// Searching settings on a discovery port of their own.
TransportSettings searchSettings()
{
    auto s = fastSettings();
    s.discoveryPort = static_cast<std::uint16_t>(QRandomGenerator::global()->bounded(40000, 60000));
    return s;
}

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
    void searchFindsThisApplicationsSessionsOnly()
    {
        const auto s = searchSettings();
        Peer ours(s), theirs(s), joiner(s), gone(s);
        QVERIFY(ours.host(QStringLiteral("GM(DM)")));
        QVERIFY(
            theirs.host(QStringLiteral("Other"), 99, kFlags, QStringLiteral("{99999999-0000-0000-0000-000000000000}")));

        // Blank: the loopback network is searched, within 2 s.
        QElapsedTimer clock;
        clock.start();
        QStringList asked;
        auto found = search(s, QString(), &asked);
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().hostPort, ours.port());
        QCOMPARE(found.first().sessionName, QStringLiteral("TestChat"));
        QCOMPARE(found.first().guidApplication, kGuid);
        QCOMPARE(found.first().currentPlayers, 1);
        // What the search found can be joined as it is.
        QVERIFY(joiner.open(found.first(), OpenMode::Join, QStringLiteral("Ranger")));
        QVERIFY(ours.heard(NOTICE_PLAYER_CREATED, joiner.id()));

        // An address: that host is asked directly.
        found = search(s, QStringLiteral(" 127.0.0.1:%1 ").arg(ours.port()));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().hostAddress, QStringLiteral("127.0.0.1"));
        QCOMPARE(found.first().hostPort, ours.port());
        QVERIFY(search(s, QStringLiteral("127.0.0.1:%1").arg(theirs.port())).isEmpty());
        QVERIFY(search(s, QStringLiteral("not an address!")).isEmpty());
        // Nobody listens there any more: a stale address fails fast.
        QVERIFY(gone.host(QStringLiteral("Gone")));
        const auto gonePort = gone.port();
        gone.leave();
        clock.restart();
        QVERIFY(search(s, QStringLiteral("127.0.0.1:%1").arg(gonePort)).isEmpty());
        QVERIFY(clock.elapsed() < 2000);
    }

    void cancelledQuestionFindsNothing()
    {
        ScriptedQuestions questions;
        questions.textAnswers.push_back(std::nullopt);
        TcpSessionTransport t(&questions, searchSettings());
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
