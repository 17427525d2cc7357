// A session participant in a process of its own, so tests can kill, stop and
// continue one for real. Prints "READY <port> <id>" (host) or "READY <id>"
// (member), then one line per thing its application receives ("NOTICE <type>
// <about>", "MSG <from> <text>") and "HOST <0|1>" whenever its host role
// changes. Reads commands from stdin: "say <text>" answers "SAY <1|0>". It
// ends by itself after a minute in case the test that started it died first.
#include "TransportHarness.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

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

    qsizetype reported = 0;
    bool wasHost = peer.transport().isHost();
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const auto &events = peer.events();
        for (; reported < events.size(); ++reported) {
            const Event &e = events.at(reported);
            if (e.from == 0)
                std::printf("NOTICE %d %d\n", e.type, e.about);
            else
                std::printf("MSG %d %s\n", e.from, qPrintable(e.text));
        }
        if (peer.transport().isHost() != wasHost) {
            wasHost = !wasHost;
            std::printf("HOST %d\n", wasHost ? 1 : 0);
        }
        std::fflush(stdout);
    });
    report.start(20);

    QByteArray input;
    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const auto n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            commands.setEnabled(false);
            return;
        }
        input.append(buffer, n);
        for (qsizetype end; (end = input.indexOf('\n')) >= 0; input.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(input.left(end));
            if (line.startsWith(u"say "))
                std::printf("SAY %d\n", peer.say(line.mid(4)) ? 1 : 0);
        }
        std::fflush(stdout);
    });

    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
