// A session participant in a process of its own, so tests can kill one for
// real. Prints "READY <port> <id>" (host) or "READY <id>" (member) and then
// serves until killed; it ends by itself after a minute in case the test
// that started it died first.
#include "TransportHarness.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

using namespace vellmar::session::testing;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    Peer peer(fastSettings());
    bool ok = false;
    if (args.size() == 3 && args.at(1) == u"host") {
        ok = peer.host(args.at(2));
        if (ok)
            std::printf("READY %u %d\n", unsigned(peer.transport().hostPort()), peer.id());
    } else if (args.size() == 4 && args.at(1) == u"join") {
        ok = peer.join(args.at(3), static_cast<std::uint16_t>(args.at(2).toUInt()));
        if (ok)
            std::printf("READY %d\n", peer.id());
    }
    if (!ok) {
        std::fprintf(stderr, "transport_peer: cannot start: %s\n", qPrintable(peer.transport().lastError()));
        return 1;
    }
    std::fflush(stdout);
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
