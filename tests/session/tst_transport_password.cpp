// The session password: who gets in, what crosses the wire, how guessing is
// slowed, and that a host change keeps the door shut.
#include "TransportHarness.h"

#include "ScriptedQuestions.h"
#include "session/protocol/Messages.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest/QtTest>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

const QString kPassword = QStringLiteral("Zebra-Lantern-4711");

TransportSettings passwordSettings()
{
    TransportSettings s = fastSettings();
    s.passwordKeyRounds = 1000; // the derivation's cost is not under test
    s.passwordDelay = std::chrono::milliseconds(150);
    s.passwordDelayMax = std::chrono::milliseconds(2000);
    return s;
}

// Sits between a joiner and the host on loopback and keeps every byte that
// passes either way.
class WireTap : public QObject
{
public:
    explicit WireTap(std::uint16_t hostPort) : m_hostPort(hostPort)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *in = m_server.nextPendingConnection()) {
                auto *out = new QTcpSocket(in);
                out->connectToHost(QHostAddress::LocalHost, m_hostPort);
                connect(in, &QTcpSocket::readyRead, out, [this, in, out] { pass(in, out); });
                connect(out, &QTcpSocket::readyRead, in, [this, in, out] { pass(out, in); });
                connect(out, &QTcpSocket::connected, in, [this, in, out] { pass(in, out); });
                connect(in, &QTcpSocket::disconnected, out, &QTcpSocket::disconnectFromHost);
                connect(out, &QTcpSocket::disconnected, in, &QTcpSocket::disconnectFromHost);
            }
        });
    }
    std::uint16_t port() const { return m_server.serverPort(); }
    const QByteArray &seen() const { return m_seen; }

private:
    void pass(QTcpSocket *from, QTcpSocket *to)
    {
        if (to->state() != QAbstractSocket::ConnectedState)
            return; // read once the other side is up
        const QByteArray bytes = from->readAll();
        m_seen += bytes;
        to->write(bytes);
    }

    QTcpServer m_server;
    std::uint16_t m_hostPort;
    QByteArray m_seen;
};

bool joinWith(Peer &peer, const QString &password, std::uint16_t port, const QString &name = QStringLiteral("P"))
{
    peer.transport().setSessionPassword(password);
    return peer.join(name, port);
}

} // namespace

class TransportPasswordTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rightPasswordJoinsAndWrongOrMissingIsRefusedWithTheReason()
    {
        const auto s = passwordSettings();
        Peer host(s);
        host.transport().setSessionPassword(kPassword);
        QVERIFY(host.host(QStringLiteral("Keeper(DM)")));

        Peer right(s), wrong(s), none(s);
        QVERIFY2(joinWith(right, kPassword, host.port()), qPrintable(right.transport().lastError()));
        QVERIFY(right.say(QStringLiteral("in")));
        QVERIFY(host.got(QStringLiteral("in")));

        QVERIFY(!joinWith(wrong, QStringLiteral("zebra-lantern-4711"), host.port()));
        QCOMPARE(wrong.transport().lastError(), QStringLiteral("Wrong session password"));
        QVERIFY(!none.join(QStringLiteral("N"), host.port()));
        QCOMPARE(none.transport().lastError(), QStringLiteral("The session needs a password"));
        // Nobody who failed was ever listed.
        QCOMPARE(host.playerIds(), (QList<PlayerId>{host.id(), right.id()}));
    }

    void joiningAsksForThePasswordOnlyWhenTheHostNeedsOne()
    {
        const auto s = passwordSettings();
        Peer open(s), locked(s);
        QVERIFY(open.host(QStringLiteral("Open(DM)")));
        locked.transport().setSessionPassword(kPassword);
        QVERIFY(locked.host(QStringLiteral("Locked(DM)")));

        const auto joinAsking = [&](std::uint16_t port, ScriptedQuestions &asker) {
            asker.textAnswers.push_back(QStringLiteral("127.0.0.1:%1").arg(port));
            TcpSessionTransport t(&asker, s);
            SessionDescription desc;
            desc.guidApplication = kGuid;
            const auto found =
                (t.InitializeConnection(TcpSessionTransport::kConnectionAddress), t.GetDPEnumSessions(desc));
            return !found.isEmpty() && t.Open(found.first(), OpenMode::Join) && t.CreatePlayer(QStringLiteral("Q"));
        };
        ScriptedQuestions plain;
        QVERIFY(joinAsking(open.port(), plain));
        QCOMPARE(plain.asked.size(), 1); // the address, as always
        QVERIFY(plain.askedSecrets.isEmpty());

        ScriptedQuestions asked;
        asked.secretAnswers.push_back(kPassword);
        QVERIFY(joinAsking(locked.port(), asked));
        QCOMPARE(asked.askedSecrets.size(), 1);
        QVERIFY(asked.askedSecrets.first().contains(u"needs a password"));
    }

    void thePasswordNeverCrossesTheWire()
    {
        const auto s = passwordSettings();
        Peer host(s);
        host.transport().setSessionPassword(kPassword);
        QVERIFY(host.host(QStringLiteral("Keeper(DM)")));
        WireTap tap(host.port());
        Peer joiner(s), guesser(s);
        QVERIFY(joinWith(joiner, kPassword, tap.port()));
        QVERIFY(!joinWith(guesser, kPassword + u'!', tap.port()));
        QVERIFY(joiner.say(QStringLiteral("through the tap")));
        QVERIFY(host.got(QStringLiteral("through the tap")));
        QVERIFY(tap.seen().contains("through the tap")); // the session really ran through it
        const QByteArray utf16(reinterpret_cast<const char *>(kPassword.utf16()), kPassword.size() * 2);
        for (const QByteArray &form : {kPassword.toUtf8(), kPassword.toLower().toUtf8(), utf16})
            QVERIFY(!tap.seen().contains(form));
    }

    void repeatedFailuresFromOneAddressAreAnsweredLaterAndLater()
    {
        const auto s = passwordSettings();
        Peer host(s);
        host.transport().setSessionPassword(kPassword);
        QVERIFY(host.host(QStringLiteral("Keeper(DM)")));
        QList<qint64> took;
        for (int i = 0; i < 3; ++i) {
            Peer guesser(s);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(!joinWith(guesser, QStringLiteral("guess %1").arg(i), host.port()));
            took << clock.elapsed();
            QCOMPARE(guesser.transport().lastError(), QStringLiteral("Wrong session password"));
        }
        QVERIFY2(took[0] >= s.passwordDelay.count(), qPrintable(QString::number(took[0])));
        QVERIFY2(took[1] > took[0] && took[2] > took[1],
                 qPrintable(QStringLiteral("%1 %2 %3").arg(took[0]).arg(took[1]).arg(took[2])));
        // The right password from that address waits out the last penalty,
        // then gets in, and clears the record.
        Peer right(s);
        QVERIFY(joinWith(right, kPassword, host.port()));
        QElapsedTimer clock;
        clock.start();
        Peer again(s);
        QVERIFY(!joinWith(again, QStringLiteral("typo"), host.port()));
        QVERIFY(clock.elapsed() < took[2]);
    }

    void aNewHostStillAsksForThePassword()
    {
        const auto s = passwordSettings();
        auto host = std::make_unique<Peer>(s);
        host->transport().setSessionPassword(kPassword);
        QVERIFY(host->host(QStringLiteral("Keeper(DM)")));
        Peer a(s), b(s);
        QVERIFY(joinWith(a, kPassword, host->port(), QStringLiteral("A")));
        QVERIFY(joinWith(b, kPassword, host->port(), QStringLiteral("B")));
        QVERIFY(settled({host.get(), &a, &b}));
        host->crash();
        QVERIFY(QTest::qWaitFor([&] { return a.transport().isHost(); }, 8000));
        QVERIFY(b.say(QStringLiteral("still here")));
        QVERIFY(a.got(QStringLiteral("still here")));

        Peer late(s), intruder(s);
        QVERIFY(!joinWith(intruder, QStringLiteral("no idea"), a.port()));
        QCOMPARE(intruder.transport().lastError(), QStringLiteral("Wrong session password"));
        QVERIFY2(joinWith(late, kPassword, a.port(), QStringLiteral("Late")), qPrintable(late.transport().lastError()));
        QVERIFY(late.say(QStringLiteral("made it")));
        QVERIFY(b.got(QStringLiteral("made it")));
    }
};

QTEST_MAIN(TransportPasswordTest)
#include "tst_transport_password.moc"
