// vellmar-host: a session host without a window. See README.md, "Hosting on
// a server".
#include "HeadlessHost.h"
#include "HostOptions.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop does the rest.
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellmar-host"));
    qSetMessagePattern(QStringLiteral("vellmar-host: %{message}"));
    // Who comes and goes is what a host's log is for; QT_LOGGING_RULES still wins.
    QLoggingCategory::setFilterRules(QStringLiteral("vellmar.host.info=true\nvellmar.session.info=true"));

    QString error;
    const auto options = vellmar::session::parseHostOptions(app.arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(error), qPrintable(vellmar::session::hostUsage()));
        return 2;
    }
    if (options->help) {
        std::fputs(qPrintable(vellmar::session::hostUsage()), stdout);
        return 0;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("vellmar-host: socketpair");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    vellmar::session::HeadlessHost host(options->settings);
    if (!host.start(options->host, &error)) {
        std::fprintf(stderr, "vellmar-host: %s\n", qPrintable(error));
        return 1;
    }
    // For whoever started it (a test, a script): the port it got.
    std::printf("LISTENING %u\n", unsigned(host.port()));
    std::fflush(stdout);

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &byte, 1);
        signalNotifier.setEnabled(false);
        host.stop();
        // The Byes leave with the sockets' last writes; give them a moment.
        QTimer::singleShot(200, &app, &QCoreApplication::quit);
    });
    QObject::connect(&host, &vellmar::session::HeadlessHost::deposed, &app,
                     [&] { QTimer::singleShot(200, &app, [] { QCoreApplication::exit(3); }); });
    return app.exec();
}
