// A 20 MB picture shown to 6 players on loopback: the time until all six
// hold it verified, beside the time one raw TCP connection takes for the
// same bytes, and the chat latency (the master's lines as the players see
// them) during the transfer against the same without one. All copies share
// this process and its one thread, so every figure includes the others'
// work. Prints figures, asserts nothing.
//
//   bench_picture_share [--megabytes M] [--players N] [--window CHUNKS]
#include "PictureCopy.h"

#include "session/protocol/Messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vellmar;
using namespace vellmar::map;
using namespace vellmar::map::testing;

namespace {

session::TransportSettings loopbackSettings()
{
    session::TransportSettings s;
    s.tcpPort = 0;
    s.listenAddress = QHostAddress(QHostAddress::LocalHost);
    s.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
    s.discoveryPort = 0;
    return s;
}

void runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Milliseconds to move the bytes through one loopback TCP connection.
double rawTcpMs(const QByteArray &bytes)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    runUntil([&] { return server.hasPendingConnections() && client.state() == QTcpSocket::ConnectedState; }, 3000);
    QTcpSocket *receiver = server.nextPendingConnection();
    qint64 got = 0;
    QObject::connect(receiver, &QTcpSocket::readyRead, [&] { got += receiver->readAll().size(); });
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < bytes.size(); at += 64 * 1024)
        client.write(bytes.constData() + at, std::min<qsizetype>(64 * 1024, bytes.size() - at));
    runUntil([&] { return got == bytes.size(); }, 30000);
    return double(clock.nsecsElapsed()) / 1e6;
}

// The master says a line every 10 ms; each player notes how long it took.
struct ChatProbe
{
    std::vector<double> latenciesMs;
    QElapsedTimer clock;
    QTimer ticker;

    void attach(PictureCopy &master, std::vector<std::unique_ptr<PictureCopy>> &players)
    {
        clock.start();
        for (auto &p : players) {
            p->dispatcher->route(session::MSG_CHAT, session::Dispatcher::Payload::shownText,
                                 [this](session::PlayerId, const QString &, const QString &text) {
                                     if (ticker.isActive())
                                         latenciesMs.push_back(double(clock.nsecsElapsed() - text.toLongLong()) / 1e6);
                                 });
        }
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [this, &master] {
            master.table.sendToAll(session::MSG_CHAT, QString::number(clock.nsecsElapsed()));
        });
    }
    double percentile(double p)
    {
        if (latenciesMs.empty())
            return 0;
        std::sort(latenciesMs.begin(), latenciesMs.end());
        return latenciesMs[std::min(latenciesMs.size() - 1, size_t(p * double(latenciesMs.size())))];
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const QString &name, int fallback) {
        const auto at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
    };
    const qint64 size = qint64(option(QStringLiteral("--megabytes"), 20)) * 1000 * 1000;
    const int playerCount = option(QStringLiteral("--players"), 6);
    PictureExchangeSettings exchangeSettings;
    exchangeSettings.window = option(QStringLiteral("--window"), exchangeSettings.window);

    const QByteArray picture = randomBytes(size, 42);
    PictureCopy master(loopbackSettings());
    std::vector<std::unique_ptr<PictureCopy>> players;
    if (!master.open(session::OpenMode::Create, 0, QStringLiteral("GM (DM)")))
        return std::fprintf(stderr, "cannot host\n"), 1;
    for (int i = 0; i < playerCount; ++i) {
        players.push_back(std::make_unique<PictureCopy>(loopbackSettings()));
        if (!players.back()->open(session::OpenMode::Join, master.transport->hostPort(), QStringLiteral("P%1").arg(i)))
            return std::fprintf(stderr, "cannot join\n"), 1;
    }
    runUntil([&] { return master.transport->GetDPEnumPlayers().size() == playerCount + 1; }, 5000);
    const QString path = master.mapFile(QStringLiteral("picture.bin"));
    writeFile(path, picture);
    master.exchange->offer(sha256(picture), path);

    ChatProbe quiet;
    quiet.attach(master, players);
    quiet.ticker.start();
    runUntil([] { return false; }, 1000);
    quiet.ticker.stop();
    const double quietP50 = quiet.percentile(0.5), quietP99 = quiet.percentile(0.99);

    for (auto &p : players)
        p->restartExchange(exchangeSettings); // a fresh dispatcher: the probe above routed chat
    ChatProbe busy;
    busy.attach(master, players);
    table::ShownMap map;
    map.pictureSha256 = sha256(picture);
    map.pictureSize = size;
    QElapsedTimer clock;
    clock.start();
    busy.ticker.start();
    for (auto &p : players)
        p->exchange->request(map);
    const auto allReady = [&] {
        return std::all_of(players.begin(), players.end(), [](const auto &p) { return p->readyCount > 0; });
    };
    runUntil(allReady, 120000);
    const double shareMs = double(clock.nsecsElapsed()) / 1e6;
    busy.ticker.stop();
    if (!allReady())
        return std::fprintf(stderr, "not every player got the picture\n"), 1;

    const double rawMs = rawTcpMs(picture);
    std::printf("picture %.1f MB to %d players: all verified in %.0f ms\n", double(size) / 1e6, playerCount, shareMs);
    std::printf("same bytes over one raw loopback TCP connection: %.0f ms (ratio %.1f; %.1f per player)\n", rawMs,
                shareMs / rawMs, shareMs / rawMs / playerCount);
    std::printf("chat latency without transfer: p50 %.2f ms, p99 %.2f ms (%zu lines)\n", quietP50, quietP99,
                quiet.latenciesMs.size());
    std::printf("chat latency during transfer:  p50 %.2f ms, p99 %.2f ms (%zu lines)\n", busy.percentile(0.5),
                busy.percentile(0.99), busy.latenciesMs.size());
    return 0;
}
