#include "FakeRouter.h"
#include "session/portmap/PortMapper.h"
#include "session/portmap/RouterPortMapper.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest/QTest>

using namespace vellmar;
using namespace std::chrono_literals;
using session::PortMapResult;
using session::RouterPortMapper;
using session::RouterSettings;
using testing::FakeNatPmpGateway;
using testing::FakeUpnpGateway;

namespace {

// Only the routers a test names: never a search of the network.
RouterSettings askOnly(const QString &descriptionUrl)
{
    RouterSettings settings;
    settings.searchNetwork = false;
    settings.gatewayDescriptionUrl = descriptionUrl;
    return settings;
}

PortMapResult outcome(QSignalSpy &finished)
{
    if (finished.isEmpty() && !finished.wait(10000))
        return {};
    return finished.first().first().value<PortMapResult>();
}

QString closedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/rootDesc.xml").arg(port);
}

} // namespace

class PortMapTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The test harness switches the program's own router search off for
        // every test; without it a test could multicast.
        QCOMPARE(qEnvironmentVariable("VELLMAR_NO_ROUTER_SEARCH"), QStringLiteral("1"));
    }

    void upnpForwardsThePortAndRemovesItWhenReleased()
    {
        FakeUpnpGateway gateway;
        QVERIFY(!gateway.descriptionUrl().isEmpty());
        RouterPortMapper mapper(askOnly(gateway.descriptionUrl()));
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        mapper.start(47810);
        QVERIFY(finished.isEmpty()); // never from inside start()
        const PortMapResult result = outcome(finished);
        QVERIFY2(result.mapped, qPrintable(result.reason));
        QCOMPARE(result.method, QStringLiteral("UPnP"));
        QCOMPARE(result.externalAddress, QStringLiteral("203.0.113.7"));
        QCOMPARE(result.externalPort, 47810);
        QVERIFY(session::portMapStatus(result).contains(u"203.0.113.7:47810"));

        const auto calls = gateway.calls();
        const auto add = std::find_if(calls.cbegin(), calls.cend(),
                                      [](const auto &call) { return call.action == u"AddPortMapping"; });
        QVERIFY(add != calls.cend());
        QCOMPARE(add->externalPort, QStringLiteral("47810"));
        QCOMPARE(add->internalPort, QStringLiteral("47810"));
        QCOMPARE(add->internalClient, QStringLiteral("127.0.0.1")); // the address the router reached us from
        QCOMPARE(add->protocol, QStringLiteral("TCP"));
        QVERIFY(!gateway.actions().contains(u"DeletePortMapping"));

        mapper.release();
        QTRY_COMPARE(gateway.actions().count(u"DeletePortMapping"), 1);
        const auto removal = gateway.calls().constLast();
        QCOMPARE(removal.externalPort, QStringLiteral("47810"));
        QCOMPARE(removal.protocol, QStringLiteral("TCP"));
    }

    void aPrivateOutsideAddressIsCalledOut()
    {
        // The router is itself behind another one (or the provider's shared
        // addresses): the forwarding works, but saying "from the internet"
        // alone would mislead.
        FakeUpnpGateway gateway({.externalAddress = QStringLiteral("100.64.12.5")});
        RouterPortMapper mapper(askOnly(gateway.descriptionUrl()));
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        mapper.start(47810);
        const PortMapResult result = outcome(finished);
        QVERIFY(result.mapped);
        const QString status = session::portMapStatus(result);
        QVERIFY2(status.contains(u"100.64.12.5:47810") && status.contains(u"itself private"), qPrintable(status));
    }

    void endingTheProgramRemovesTheForwarding()
    {
        FakeUpnpGateway gateway;
        {
            RouterPortMapper mapper(askOnly(gateway.descriptionUrl()));
            QSignalSpy finished(&mapper, &session::PortMapper::finished);
            mapper.start(47815);
            QVERIFY(outcome(finished).mapped);
        }
        // The destructor waited for the removal.
        QCOMPARE(gateway.actions().count(u"DeletePortMapping"), 1);
    }

    void aRefusalSaysWhy()
    {
        FakeUpnpGateway gateway({.refuseAddWith = 718});
        RouterPortMapper mapper(askOnly(gateway.descriptionUrl()));
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        mapper.start(47810);
        const PortMapResult result = outcome(finished);
        QVERIFY(!result.mapped);
        QVERIFY2(result.reason.contains(u"refused") && result.reason.contains(u"718"), qPrintable(result.reason));
        QVERIFY(session::portMapStatus(result).startsWith(u"the router did not open the port"));
    }

    void noGatewayEndsWithinTheBound()
    {
        RouterPortMapper mapper(askOnly(closedLoopbackPort()));
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        QElapsedTimer clock;
        clock.start();
        mapper.start(47810);
        QVERIFY(finished.wait(6000));
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
        const PortMapResult result = outcome(finished);
        QVERIFY(!result.mapped);
        QVERIFY2(result.reason.contains(u"no UPnP gateway answered"), qPrintable(result.reason));
    }

    void aSilentGatewayEndsWithinTheBound()
    {
        // A router that takes the connection and never answers: the deadline
        // ends the attempt, not the library's own time-outs (5 s per read).
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost)); // never accepts: the kernel's backlog takes the call
        RouterSettings settings = askOnly(QStringLiteral("http://127.0.0.1:%1/rootDesc.xml").arg(silent.serverPort()));
        settings.deadline = 1500ms;
        RouterPortMapper mapper(settings);
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        QElapsedTimer clock;
        clock.start();
        mapper.start(47810);
        QVERIFY(finished.wait(6000));
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
        const PortMapResult result = outcome(finished);
        QVERIFY(!result.mapped);
        QVERIFY2(result.reason.contains(u"no answer within 1.5 s"), qPrintable(result.reason));
        silent.close(); // resets the waiting call, so the destructor does not wait long
    }

    void aLateForwardingIsRemovedAgain()
    {
        // The router answers after the attempt's deadline: the user was told
        // it did not work, so the forwarding must not stay open.
        FakeUpnpGateway gateway({.addDelay = 800ms});
        RouterSettings settings = askOnly(gateway.descriptionUrl());
        settings.deadline = 200ms;
        RouterPortMapper mapper(settings);
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        mapper.start(47810);
        const PortMapResult result = outcome(finished);
        QVERIFY(!result.mapped);
        QVERIFY2(result.reason.contains(u"no answer"), qPrintable(result.reason));
        QTRY_COMPARE(gateway.actions().count(u"DeletePortMapping"), 1);
        QTest::qWait(50);
        QCOMPARE(finished.size(), 1); // the late success is not reported
    }

    void natPmpForwardsWhenThereIsNoUpnp()
    {
        FakeNatPmpGateway gateway;
        if (!gateway.listening())
            QSKIP("the NAT-PMP port on 127.0.0.1 is taken");
        RouterSettings settings = askOnly({});
        settings.natPmpGateway = QHostAddress(QHostAddress::LocalHost);
        RouterPortMapper mapper(settings);
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        mapper.start(47810);
        const PortMapResult result = outcome(finished);
        QVERIFY2(result.mapped, qPrintable(result.reason));
        QCOMPARE(result.method, QStringLiteral("NAT-PMP"));
        QCOMPARE(result.externalAddress, FakeNatPmpGateway::externalAddress());
        QCOMPARE(result.externalPort, 47810 + FakeNatPmpGateway::publicPortOffset);
        const auto request = gateway.calls().constLast();
        QCOMPARE(request.internalPort, QStringLiteral("47810"));
        QVERIFY(request.lifetime > 0);

        mapper.release();
        QTRY_COMPARE(gateway.calls().size(), 3);
        QCOMPARE(gateway.calls().constLast().lifetime, 0u); // lifetime 0 removes it
    }

    void theEnvironmentSwitchesTheSearchOff()
    {
        // With the switch set, a mapper told to search asks nobody at all.
        RouterPortMapper mapper{RouterSettings{}};
        QSignalSpy finished(&mapper, &session::PortMapper::finished);
        mapper.start(47810);
        const PortMapResult result = outcome(finished);
        QVERIFY(!result.mapped);
        QCOMPARE(result.reason, QStringLiteral("searching for the router is switched off"));
        QVERIFY(!RouterSettings::fromEnvironment().searchNetwork);
    }
};

QTEST_GUILESS_MAIN(PortMapTest)
#include "tst_portmap.moc"
