// A session host and nothing else, for bench_transport_server to drive from
// the outside: listens on 127.0.0.1, creates its own player, prints
// "READY <port> <own id>" and ends when its standard input closes. Limits
// that a flood would trip are lifted: the throughput is measured here, not
// what the limits stop.
#include "BenchSettings.h"
#include "session/transport/TcpSessionTransport.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace vellmar::session;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    TcpSessionTransport t(nullptr, vellmar::bench::benchSettings());
    t.InitializeConnection(t.GetDPEnumConnections().last().address);
    SessionDescription d;
    d.guidApplication = QStringLiteral("{12332123-5544-6546-4332-112344334334}");
    d.sessionName = QStringLiteral("Bench");
    d.maxPlayers = 99;
    if (!t.Open(d, OpenMode::Create))
        return 1;
    t.CreateEvent();
    const auto id = t.CreatePlayer(QStringLiteral("Host(DM)"));
    if (!id)
        return 1;
    // The host's own application takes its messages as a real one would.
    QObject::connect(&t, &SessionTransport::receiveEvent, [&] {
        while (t.Receive()) {
        }
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            QCoreApplication::quit();
    });
    std::printf("READY %u %d\n", unsigned(t.hostPort()), *id);
    std::fflush(stdout);
    return QCoreApplication::exec();
}
