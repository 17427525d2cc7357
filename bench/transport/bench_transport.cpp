// Session transport figures: 99 participants through one host on loopback.
// The host runs in a child process (this program with --serve-host) so that
// it can be killed for real; the 98 members share this process and thread.
// Traffic stays on 127.0.0.1.
//
//   bench_transport [--members N] [--seconds S]
#include "session/protocol/Messages.h"
#include "session/transport/TcpSessionTransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace vellmar::session;
using Clock = std::chrono::steady_clock;

namespace {

const QString kGuid = QStringLiteral("{12332123-5544-6546-4332-112344334334}");

TransportSettings benchSettings()
{
    TransportSettings s;
    s.tcpPort = 0;
    s.listenAddress = QHostAddress(QHostAddress::LocalHost);
    s.discoveryPort = 0;
    // A flood is what is measured here, not what the limit stops.
    s.rateLimitFramesPerSecond = 1e7;
    s.rateLimitBurst = 1e7;
    s.outputCapBytes = 256 * 1024 * 1024;
    s.historyCapacity = 1 << 16;
    return s;
}

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// A member that timestamps what it receives and counts what it gets.
struct Member
{
    std::unique_ptr<TcpSessionTransport> t;
    PlayerId id = 0;
    std::int64_t delivered = 0;
    std::vector<double> *latencies = nullptr; // microseconds, when measuring
    bool migrated = false;
    bool sawHostLeave = false;
    PlayerId hostId = 0;

    void drain()
    {
        const int n = t->GetMessageCount(id);
        for (int i = 0; i < n; ++i) {
            auto m = t->Receive();
            if (!m)
                break;
            const auto type = m->message.ReadLong().value_or(-1);
            if (m->from == 0) {
                const auto about = m->message.ReadLong().value_or(0);
                migrated |= type == NOTICE_HOST_MIGRATED;
                sawHostLeave |= type == NOTICE_PLAYER_DESTROYED && about == hostId;
                continue;
            }
            ++delivered;
            if (latencies) {
                const auto text = m->message.ReadString().value_or(QString());
                latencies->push_back(static_cast<double>(nowNs() - text.toLongLong()) / 1000.0);
            }
        }
    }
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

bool say(Member &m, const QString &text)
{
    return m.t->SendEx(m.id, 0, 1, MessageBuffer(encodeMessage({MSG_CHAT, text})));
}

void spin(std::chrono::milliseconds ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

int serveHost()
{
    TcpSessionTransport t(nullptr, benchSettings());
    t.InitializeConnection(t.GetDPEnumConnections().last().address);
    SessionDescription d;
    d.guidApplication = kGuid;
    d.sessionName = QStringLiteral("TestChat");
    d.maxPlayers = 99;
    d.flags = 8196;
    if (!t.Open(d, OpenMode::Create))
        return 1;
    t.CreateEvent();
    const auto id = t.CreatePlayer(QStringLiteral("Host(DM)"));
    // Drain what arrives so the host's own inbox does not grow.
    QObject::connect(&t, &SessionTransport::receiveEvent, [&] {
        while (t.Receive()) {
        }
    });
    std::printf("READY %u %d\n", unsigned(t.hostPort()), id.value_or(0));
    std::fflush(stdout);
    QTimer::singleShot(600000, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--serve-host")))
        return serveHost();
    const int members = args.contains(QStringLiteral("--members"))
                            ? args.value(args.indexOf(QStringLiteral("--members")) + 1).toInt()
                            : 98;
    const int seconds = args.contains(QStringLiteral("--seconds"))
                            ? args.value(args.indexOf(QStringLiteral("--seconds")) + 1).toInt()
                            : 3;

    QProcess host;
    host.start(app.applicationFilePath(), {QStringLiteral("--serve-host")});
    if (!host.waitForStarted() || !host.waitForReadyRead(10000)) {
        std::fprintf(stderr, "host did not start\n");
        return 1;
    }
    const QStringList ready = QString::fromLatin1(host.readLine()).trimmed().split(u' ');
    const auto port = static_cast<std::uint16_t>(ready.value(1).toUInt());
    const PlayerId hostId = ready.value(2).toInt();

    // Joining, one after the other, as players would.
    std::vector<std::unique_ptr<Member>> peers;
    std::vector<double> joinMs;
    for (int i = 0; i < members; ++i) {
        auto m = std::make_unique<Member>();
        m->hostId = hostId;
        m->t = std::make_unique<TcpSessionTransport>(nullptr, benchSettings());
        m->t->InitializeConnection(m->t->GetDPEnumConnections().last().address);
        SessionDescription d;
        d.guidApplication = kGuid;
        d.hostAddress = QStringLiteral("127.0.0.1");
        d.hostPort = port;
        m->t->Open(d, OpenMode::Join);
        m->t->CreateEvent();
        QElapsedTimer clock;
        clock.start();
        const auto id = m->t->CreatePlayer(QStringLiteral("P%1").arg(i));
        joinMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (!id) {
            std::fprintf(stderr, "join %d failed: %s\n", i, qPrintable(m->t->lastError()));
            return 1;
        }
        m->id = *id;
        Member *raw = m.get();
        QObject::connect(m->t.get(), &SessionTransport::receiveEvent, [raw] { raw->drain(); });
        peers.push_back(std::move(m));
    }
    spin(std::chrono::milliseconds(300));
    std::printf("participants: %d (1 host process + %d members in this process)\n", members + 1, members);
    std::printf("join time: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(joinMs, 0.5), percentile(joinMs, 0.99),
                *std::max_element(joinMs.begin(), joinMs.end()));

    // Latency: 1,000 sends to all per second, senders taking turns.
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(seconds) * 1000 * static_cast<std::size_t>(members));
    for (auto &m : peers)
        m->latencies = &latencies;
    {
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        int next = 0;
        int sent = 0;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&tick, &QTimer::timeout, [&] {
            // Catch up if a tick was late, so the rate stays 1,000/s.
            const auto due = clock.elapsed();
            while (sent < due) {
                say(*peers[static_cast<std::size_t>(next)], QString::number(nowNs()));
                next = (next + 1) % members;
                ++sent;
            }
        });
        tick.start();
        spin(std::chrono::seconds(seconds));
        tick.stop();
        spin(std::chrono::milliseconds(500));
        std::printf(
            "send to all at 1,000/s for %d s: %d sent, %zu deliveries, latency p50 %.0f us, p99 %.0f us, max %.0f us\n",
            seconds, sent, latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99),
            latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()));
    }
    for (auto &m : peers)
        m->latencies = nullptr;

    // Flood: a few senders as fast as they can; deliveries counted at every
    // member until all has arrived.
    {
        const int senders = 4;
        const int perSender = 20000;
        const QString text(32, u'x');
        std::int64_t before = 0;
        for (auto &m : peers)
            before += m->delivered;
        const std::int64_t expected = static_cast<std::int64_t>(senders) * perSender * (members - 1);
        QElapsedTimer clock;
        clock.start();
        for (int batch = 0; batch < perSender / 500; ++batch) {
            for (int s = 0; s < senders; ++s)
                for (int i = 0; i < 500; ++i)
                    say(*peers[static_cast<std::size_t>(s)], text);
            QCoreApplication::processEvents();
        }
        auto total = [&] {
            std::int64_t n = 0;
            for (auto &m : peers)
                n += m->delivered;
            return n - before;
        };
        spinUntil([&] { return total() >= expected; }, std::chrono::seconds(120));
        const double secs = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        std::printf("flood: %d senders x %d msgs, %lld of %lld deliveries in %.2f s = %.2f M deliveries/s\n", senders,
                    perSender, static_cast<long long>(total()), static_cast<long long>(expected), secs,
                    static_cast<double>(total()) / secs / 1e6);
    }

    // Host killed: until the earliest joiner is host and every member has
    // seen the old host leave, then until a message from the new host has
    // reached everyone.
    {
        spin(std::chrono::milliseconds(500));
        std::int64_t before = 0;
        for (auto &m : peers)
            before += m->delivered;
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(host.processId()), SIGKILL);
        const bool settled = spinUntil(
            [&] {
                return peers.front()->migrated
                       && std::all_of(peers.begin(), peers.end(), [](const auto &m) { return m->sawHostLeave; });
            },
            std::chrono::seconds(30));
        const double settledMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        say(*peers.front(), QStringLiteral("back"));
        const bool resumed = spinUntil(
            [&] {
                std::int64_t n = 0;
                for (auto &m : peers)
                    n += m->delivered;
                return n - before >= members - 1;
            },
            std::chrono::seconds(30));
        const double resumedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        std::printf("host killed: new host and all notified %s after %.0f ms; chat through new host %s after %.0f ms\n",
                    settled ? "" : "(NOT settled)", settledMs, resumed ? "" : "(NOT resumed)", resumedMs);
    }
    host.waitForFinished(2000);
    return 0;
}
