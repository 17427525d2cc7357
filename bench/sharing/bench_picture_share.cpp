// A 20 MB picture shown to 6 players on loopback: the time until all six
// hold it verified, beside the time one raw TCP connection takes for the
// same bytes, and the chat latency (the master's lines as the players see
// them) during the transfer against the same without one, with their ratio.
//
// By default every player is a program of its own, as in a real session:
// this program starts each one as a child process (itself with --player),
// and the master, which hosts, stays in this one. A chat line then waits
// only for what its own receiver and the host are doing, and for the
// processor, which the copies share as they would on one machine. The same
// is measured afterwards with every copy in this process and its one
// thread, where each line also waits behind every other copy's work (skip
// it with --no-one-process). Prints figures, asserts nothing; traffic stays
// on 127.0.0.1.
//
//   bench_picture_share [--megabytes M] [--players N] [--window CHUNKS] [--no-one-process]
#include "BenchMembers.h"
#include "PictureCopy.h"

#include "session/protocol/Messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace vellmar;
using namespace vellmar::map;
using namespace vellmar::map::testing;
using bench::nowNs;
using bench::percentile;

namespace {

constexpr auto kChatInterval = std::chrono::milliseconds(10);
constexpr auto kQuietTime = std::chrono::milliseconds(1000);

session::TransportSettings loopbackSettings()
{
    session::TransportSettings s;
    s.tcpPort = 0;
    s.listenAddress = QHostAddress(QHostAddress::LocalHost);
    s.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
    s.discoveryPort = 0;
    return s;
}

int option(const QStringList &args, const QString &name, int fallback)
{
    const auto at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

// Milliseconds to move the bytes through one loopback TCP connection.
double rawTcpMs(const QByteArray &bytes)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    bench::spinUntil([&] { return server.hasPendingConnections() && client.state() == QTcpSocket::ConnectedState; },
                     std::chrono::seconds(3));
    QTcpSocket *receiver = server.nextPendingConnection();
    qint64 got = 0;
    QObject::connect(receiver, &QTcpSocket::readyRead, [&] { got += receiver->readAll().size(); });
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < bytes.size(); at += 64 * 1024)
        client.write(bytes.constData() + at, std::min<qsizetype>(64 * 1024, bytes.size() - at));
    bench::spinUntil([&] { return got == bytes.size(); }, std::chrono::seconds(30));
    return double(clock.nsecsElapsed()) / 1e6;
}

// Chat lines say when they were sent ("<phase> <ns>", on the clock every
// process on this machine shares); a player notes how long each took, by
// phase, when its handler sees it.
struct Latencies
{
    std::vector<double> quiet, busy; // milliseconds

    void route(session::Dispatcher &dispatcher)
    {
        dispatcher.route(session::MSG_CHAT, session::Dispatcher::Payload::shownText,
                         [this](session::PlayerId, const QString &, const QString &text) { note(text); });
    }
    void note(const QString &text)
    {
        const QStringList parts = text.split(u' ');
        const double ms = double(nowNs() - parts.value(1).toLongLong()) / 1e6;
        (parts.value(0) == QLatin1String("busy") ? busy : quiet).push_back(ms);
    }
};

// The master says a line every 10 ms while it runs. A tick that comes late
// also sends the lines it missed, each saying when it was due, so a master
// too busy to send on time counts too: its user waits for that as well.
struct ChatTicker
{
    QTimer timer;
    QString phase;
    std::int64_t lastNs = 0;

    explicit ChatTicker(PictureCopy &master)
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(kChatInterval);
        QObject::connect(&timer, &QTimer::timeout, [this, &master] {
            const auto say = [&](std::int64_t ns) {
                master.table.sendToAll(session::MSG_CHAT, QStringLiteral("%1 %2").arg(phase).arg(ns));
            };
            const std::int64_t now = nowNs();
            const std::int64_t interval = std::chrono::nanoseconds(kChatInterval).count();
            for (std::int64_t due = lastNs + interval; due + interval / 2 <= now; due += interval)
                say(due);
            say(now);
            lastNs = now;
        });
    }
    void run(const QString &name)
    {
        phase = name;
        lastNs = nowNs();
        timer.start();
    }
    void stop() { timer.stop(); }
};

struct Figures
{
    double shareMs = 0;
    std::vector<double> quiet, busy;
    double playerCpuSeconds = 0; // all players together, where they are processes
    double masterCpuSeconds = 0; // during the transfer
    bool ok = false;
};

table::ShownMap shownMap(const QByteArray &picture)
{
    table::ShownMap map;
    map.pictureSha256 = sha256(picture);
    map.pictureSize = picture.size();
    return map;
}

double cpuSecondsOfThisProcess() { return double(std::clock()) / CLOCKS_PER_SEC; }

// --player <port> <name> <window>: one player as a program of its own. Lines
// on standard input: "FETCH <hex hash> <size>" starts the download,
// "REPORT" prints what this player measured and ends it. Standard output:
// "READY", "HAVE" once the picture is verified, and the report.
int runPlayer(const QStringList &args)
{
    const int at = args.indexOf(QStringLiteral("--player"));
    PictureCopy copy(loopbackSettings());
    if (!copy.open(session::OpenMode::Join, std::uint16_t(args.value(at + 1).toUInt()), args.value(at + 2)))
        return std::fprintf(stderr, "cannot join\n"), 1;
    PictureExchangeSettings settings;
    settings.window = args.value(at + 3).toInt();
    copy.restartExchange(settings);
    Latencies latencies;
    latencies.route(*copy.dispatcher);
    QObject::connect(copy.exchange.get(), &PictureSupply::ready, [] {
        std::printf("HAVE\n");
        std::fflush(stdout);
    });
    const auto input = bench::onCommandLines([&](const QByteArray &line) {
        const QList<QByteArray> words = line.split(' ');
        if (words.value(0) == "FETCH") {
            table::ShownMap map;
            map.pictureSha256 = QByteArray::fromHex(words.value(1));
            map.pictureSize = words.value(2).toLongLong();
            copy.exchange->request(map);
        } else if (words.value(0) == "REPORT") {
            for (const auto &[name, values] :
                 {std::pair("quiet", &latencies.quiet), std::pair("busy", &latencies.busy)}) {
                std::printf("%s", name);
                for (double v : *values)
                    std::printf(" %.4f", v);
                std::printf("\n");
            }
            std::printf("CPU %.3f\n", cpuSecondsOfThisProcess());
            std::fflush(stdout);
            QCoreApplication::quit();
        }
    });
    std::printf("READY\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// A player program seen from the master's side.
struct PlayerProcess
{
    QProcess process;
    QByteArray pending;
    bool ready = false;
    bool have = false;
    bool reported = false;
    std::vector<double> quiet, busy;
    double cpuSeconds = 0;

    void start(std::uint16_t port, const QString &name, int window)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { read(); });
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--player"), QString::number(port), name, QString::number(window)});
    }
    void read()
    {
        pending += process.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            const QList<QByteArray> words = line.split(' ');
            if (line == "READY")
                ready = true;
            else if (line == "HAVE")
                have = true;
            else if (words.value(0) == "quiet" || words.value(0) == "busy") {
                auto &into = words.value(0) == "quiet" ? quiet : busy;
                for (qsizetype i = 1; i < words.size(); ++i)
                    into.push_back(words.at(i).toDouble());
            } else if (words.value(0) == "CPU") {
                cpuSeconds = words.value(1).toDouble();
                reported = true;
            }
        }
    }
    void tell(const QByteArray &line) { process.write(line + '\n'); }
};

Figures separateProcesses(const QByteArray &picture, int playerCount, int window)
{
    Figures figures;
    PictureCopy master(loopbackSettings());
    if (!master.open(session::OpenMode::Create, 0, QStringLiteral("GM (DM)")))
        return std::fprintf(stderr, "cannot host\n"), figures;
    std::vector<std::unique_ptr<PlayerProcess>> players;
    for (int i = 0; i < playerCount; ++i) {
        players.push_back(std::make_unique<PlayerProcess>());
        players.back()->start(master.transport->hostPort(), QStringLiteral("P%1").arg(i), window);
    }
    const auto all = [&](bool PlayerProcess::*flag) {
        return std::all_of(players.begin(), players.end(), [&](const auto &p) { return (*p).*flag; });
    };
    if (!bench::spinUntil([&] { return all(&PlayerProcess::ready); }, std::chrono::seconds(20))
        || !bench::spinUntil([&] { return master.transport->GetDPEnumPlayers().size() == playerCount + 1; },
                             std::chrono::seconds(5)))
        return std::fprintf(stderr, "the players did not join\n"), figures;
    const QString path = master.mapFile(QStringLiteral("picture.bin"));
    writeFile(path, picture);
    master.exchange->offer(sha256(picture), path);
    bench::spin(std::chrono::milliseconds(200));

    ChatTicker chat(master);
    chat.run(QStringLiteral("quiet"));
    bench::spin(kQuietTime);
    chat.stop();
    bench::spin(std::chrono::milliseconds(50)); // the last quiet lines arrive

    const QByteArray fetch = "FETCH " + sha256(picture).toHex() + ' ' + QByteArray::number(picture.size());
    const double masterCpu = cpuSecondsOfThisProcess();
    QElapsedTimer clock;
    clock.start();
    chat.run(QStringLiteral("busy"));
    for (auto &p : players)
        p->tell(fetch);
    figures.ok = bench::spinUntil([&] { return all(&PlayerProcess::have); }, std::chrono::minutes(2));
    figures.shareMs = double(clock.nsecsElapsed()) / 1e6;
    figures.masterCpuSeconds = cpuSecondsOfThisProcess() - masterCpu;
    chat.stop();
    bench::spin(std::chrono::milliseconds(50));

    for (auto &p : players)
        p->tell("REPORT");
    bench::spinUntil([&] { return all(&PlayerProcess::reported); }, std::chrono::seconds(10));
    for (auto &p : players) {
        figures.quiet.insert(figures.quiet.end(), p->quiet.begin(), p->quiet.end());
        figures.busy.insert(figures.busy.end(), p->busy.begin(), p->busy.end());
        figures.playerCpuSeconds += p->cpuSeconds;
        if (!p->reported)
            std::fprintf(stderr, "a player did not report (exit status %d, code %d)\n", int(p->process.exitStatus()),
                         p->process.exitCode());
        p->process.closeWriteChannel();
        if (!p->process.waitForFinished(3000))
            p->process.kill();
    }
    return figures;
}

Figures oneProcess(const QByteArray &picture, int playerCount, int window)
{
    Figures figures;
    PictureCopy master(loopbackSettings());
    std::vector<std::unique_ptr<PictureCopy>> players;
    if (!master.open(session::OpenMode::Create, 0, QStringLiteral("GM (DM)")))
        return std::fprintf(stderr, "cannot host\n"), figures;
    Latencies latencies;
    PictureExchangeSettings settings;
    settings.window = window;
    for (int i = 0; i < playerCount; ++i) {
        players.push_back(std::make_unique<PictureCopy>(loopbackSettings()));
        if (!players.back()->open(session::OpenMode::Join, master.transport->hostPort(), QStringLiteral("P%1").arg(i)))
            return std::fprintf(stderr, "cannot join\n"), figures;
        players.back()->restartExchange(settings);
        latencies.route(*players.back()->dispatcher);
    }
    bench::spinUntil([&] { return master.transport->GetDPEnumPlayers().size() == playerCount + 1; },
                     std::chrono::seconds(5));
    const QString path = master.mapFile(QStringLiteral("picture.bin"));
    writeFile(path, picture);
    master.exchange->offer(sha256(picture), path);

    ChatTicker chat(master);
    chat.run(QStringLiteral("quiet"));
    bench::spin(kQuietTime);
    chat.stop();
    bench::spin(std::chrono::milliseconds(50));

    const table::ShownMap map = shownMap(picture);
    QElapsedTimer clock;
    clock.start();
    chat.run(QStringLiteral("busy"));
    for (auto &p : players)
        p->exchange->request(map);
    figures.ok = bench::spinUntil(
        [&] { return std::all_of(players.begin(), players.end(), [](const auto &p) { return p->readyCount > 0; }); },
        std::chrono::minutes(2));
    figures.shareMs = double(clock.nsecsElapsed()) / 1e6;
    chat.stop();
    bench::spin(std::chrono::milliseconds(50));
    figures.quiet = latencies.quiet;
    figures.busy = latencies.busy;
    return figures;
}

void print(const char *title, const Figures &f, int playerCount, double rawMs)
{
    std::printf("%s\n", title);
    if (!f.ok) {
        std::printf("  not every player got the picture\n");
        return;
    }
    std::printf("  all %d verified in %.0f ms; one raw loopback TCP connection: %.0f ms (ratio %.1f)\n", playerCount,
                f.shareMs, rawMs, f.shareMs / rawMs);
    const double q50 = percentile(f.quiet, 0.5), q99 = percentile(f.quiet, 0.99);
    const double b50 = percentile(f.busy, 0.5), b99 = percentile(f.busy, 0.99);
    std::printf("  chat latency     %12s %12s %7s\n", "no transfer", "transfer", "ratio");
    std::printf("    p50            %9.2f ms %9.2f ms %7.1f\n", q50, b50, b50 / q50);
    std::printf("    p99            %9.2f ms %9.2f ms %7.1f\n", q99, b99, b99 / q99);
    std::printf("    lines seen     %12zu %12zu\n", f.quiet.size(), f.busy.size());
    if (f.playerCpuSeconds > 0)
        std::printf("  processor time: master %.2f s during the transfer; players %.2f s in all\n", f.masterCpuSeconds,
                    f.playerCpuSeconds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--player")))
        return runPlayer(args);
    const qint64 size = qint64(option(args, QStringLiteral("--megabytes"), 20)) * 1000 * 1000;
    const int playerCount = option(args, QStringLiteral("--players"), 6);
    const int window = option(args, QStringLiteral("--window"), PictureExchangeSettings().window);

    const QByteArray picture = randomBytes(size, 42);
    const double rawMs = rawTcpMs(picture);
    std::printf("picture %.1f MB to %d players, %d chunks asked for at a time; a chat line every %d ms\n",
                double(size) / 1e6, playerCount, window, int(kChatInterval.count()));
    const auto separate = separateProcesses(picture, playerCount, window);
    print("every player a process of its own (as in a session):", separate, playerCount, rawMs);
    if (!args.contains(QStringLiteral("--no-one-process")))
        print("every copy in this one process and thread:", oneProcess(picture, playerCount, window), playerCount,
              rawMs);
    return 0;
}
