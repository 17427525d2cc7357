// Reaching a host the user named: an address that never answers gives up
// within the bound and says what to check; a refusal says so at once.
#include "TransportHarness.h"

#include "session/transport/SessionAddress.h"
#include "session/transport/SessionSearch.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest/QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vellmar::session;
using namespace vellmar::session::testing;

namespace {

// A port on 127.0.0.1 that listens but never accepts: once its queue is
// full the kernel drops further connection attempts unanswered, as a
// firewall that drops packets does.
class BlackHole
{
public:
    BlackHole()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), len) != 0 || ::listen(m_fd, 0) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        // Fill the queue; whatever does not fit hangs like the attempt under test.
        for (auto &filler : m_fillers) {
            filler.connectToHost(QHostAddress::LocalHost, m_port);
            QTest::qWait(50);
        }
    }
    ~BlackHole()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    std::uint16_t port() const { return m_port; }

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
    QTcpSocket m_fillers[3];
};

TransportSettings shortBound()
{
    TransportSettings s = fastSettings();
    s.joinConnectTimeout = std::chrono::milliseconds(1200);
    return s;
}

} // namespace

class TransportReachTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void anAddressThatNeverAnswersGivesUpInTimeAndSaysWhatToCheck()
    {
        BlackHole hole;
        QVERIFY(hole.port() != 0);
        const auto s = shortBound();

        QElapsedTimer clock;
        clock.start();
        Peer joiner(s);
        QVERIFY(!joiner.join(QStringLiteral("Late"), hole.port()));
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= s.joinConnectTimeout.count() - 100 && took < s.joinConnectTimeout.count() + 2000,
                 qPrintable(QString::number(took)));
        const QString error = joiner.transport().lastError();
        QVERIFY2(error.startsWith(QStringLiteral("No answer from 127.0.0.1:%1").arg(hole.port())), qPrintable(error));
        for (const char *check : {"address", "port", "running", "firewall"})
            QVERIFY2(error.contains(QLatin1String(check)), qPrintable(error));

        // Asking the host by address is bounded the same way.
        clock.restart();
        QString queryError;
        QVERIFY(!querySession(s, QStringLiteral("127.0.0.1"), hole.port(), kGuid, &queryError));
        QVERIFY(clock.elapsed() < s.joinConnectTimeout.count() + 2000);
        QVERIFY2(queryError.startsWith(u"No answer from"), qPrintable(queryError));
    }

    void aRefusedConnectionSaysSoAtOnce()
    {
        // A port that was free a moment ago: nobody listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const auto port = probe.serverPort();
        probe.close();
        QElapsedTimer clock;
        clock.start();
        Peer joiner(shortBound());
        QVERIFY(!joiner.join(QStringLiteral("Early"), port));
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY2(joiner.transport().lastError().contains(u"refused the connection"),
                 qPrintable(joiner.transport().lastError()));
    }

    void addressesTakeHostNamesAndIPv6()
    {
        QCOMPARE(parseSessionAddress(QStringLiteral("table.example.org"), 47810),
                 (SessionAddress{QStringLiteral("table.example.org"), 47810}));
        QCOMPARE(parseSessionAddress(QStringLiteral("table.example.org:4000"), 47810),
                 (SessionAddress{QStringLiteral("table.example.org"), 4000}));
        QCOMPARE(parseSessionAddress(QStringLiteral("[2001:db8::7]:4000"), 47810),
                 (SessionAddress{QStringLiteral("2001:db8::7"), 4000}));
        QCOMPARE(parseSessionAddress(QStringLiteral("2001:db8::7"), 47810),
                 (SessionAddress{QStringLiteral("2001:db8::7"), 47810}));
        QVERIFY(!parseSessionAddress(QStringLiteral("[2001:db8::7"), 47810));
        // A dual-stack host writes IPv4 peers as plain IPv4 in its roster.
        QCOMPARE(plainAddress(QHostAddress(QStringLiteral("::ffff:192.0.2.5"))), QStringLiteral("192.0.2.5"));
        QCOMPARE(plainAddress(QHostAddress(QStringLiteral("2001:db8::7"))), QStringLiteral("2001:db8::7"));
    }
};

QTEST_MAIN(TransportReachTest)
#include "tst_transport_reach.moc"
