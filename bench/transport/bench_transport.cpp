// Session transport figures: 99 participants through one host on loopback.
// The host runs in a child process (this program with --serve-host) so that
// it can be killed for real. By default the 98 members share this process
// and thread: every delivery to every member waits for that one thread, which
// a real participant (one member per machine) never does. Two other set-ups
// measure only the latency at 1,000 sends to all per second, as each member
// sees it (--serve-members runs a share of the members): --procs P spreads
// the members evenly over P processes; --alone K runs K members each in a
// process of its own and the rest in one more, which is what one participant
// on its own machine sees while 97 others load the host (though on this
// machine they share its cores). Traffic stays on 127.0.0.1.
//
//   bench_transport [--members N] [--seconds S] [--procs P | --alone K] [--latency-only]
#include "BenchMembers.h"
#include "session/protocol/Messages.h"
#include "session/transport/Frames.h"
#include "session/transport/TcpSessionTransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <numeric>
#include <vector>

#include <unistd.h>

using namespace vellmar::session;
using namespace vellmar::bench;

namespace {

// One share of the members in a process of its own: joins them, says READY,
// waits for GO on stdin, sends its share of the rate, then reports every
// latency seen ("LAT ...") and each member's own p99 ("P99 ...").
int serveMembers(const QStringList &args)
{
    const int at = static_cast<int>(args.indexOf(QStringLiteral("--serve-members")));
    const auto port = static_cast<std::uint16_t>(args.value(at + 1).toUInt());
    const PlayerId hostId = args.value(at + 2).toInt();
    const int first = args.value(at + 3).toInt();
    const int count = args.value(at + 4).toInt();
    const int seconds = args.value(at + 5).toInt();
    const double rate = args.value(at + 6).toDouble();
    std::vector<std::unique_ptr<Member>> peers;
    for (int i = 0; i < count; ++i) {
        auto m = joinMember(port, hostId, QStringLiteral("P%1").arg(first + i), nullptr);
        if (!m)
            return 1;
        peers.push_back(std::move(m));
    }
    std::printf("READY\n");
    std::fflush(stdout);
    bool go = false;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char c = 0;
        go = ::read(STDIN_FILENO, &c, 1) != 1 || c == 'G';
    });
    spinUntil([&] { return go; }, std::chrono::minutes(5));
    for (auto &m : peers)
        m->measuring = true;
    sendAtRate(peers, rate, seconds);
    spin(std::chrono::milliseconds(500));
    std::printf("LAT");
    for (const auto &m : peers)
        for (double v : m->latencies)
            std::printf(" %.0f", v);
    std::printf("\nP99");
    for (const auto &m : peers)
        std::printf(" %.0f", percentile(m->latencies, 0.99));
    std::printf("\n");
    std::fflush(stdout);
    return 0;
}

void printLatencies(const char *what, std::size_t sent, const std::vector<double> &all, std::vector<double> memberP99)
{
    std::sort(memberP99.begin(), memberP99.end());
    std::printf("%s: %zu sent, %zu deliveries, latency p50 %.0f us, p99 %.0f us, max %.0f us; one member's own p99: "
                "median %.0f us, worst %.0f us\n",
                what, sent, all.size(), percentile(all, 0.5), percentile(all, 0.99),
                all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()), percentile(memberP99, 0.5),
                memberP99.empty() ? 0.0 : memberP99.back());
}

// The members spread over several processes: what each participant sees
// when it does not share its thread with 97 others.
int latencyAcrossProcesses(std::uint16_t port, PlayerId hostId, const std::vector<int> &counts, int seconds)
{
    const int members = std::accumulate(counts.begin(), counts.end(), 0);
    std::vector<std::unique_ptr<QProcess>> workers;
    for (std::size_t p = 0, first = 0; p < counts.size(); ++p) {
        const int count = counts[p];
        auto w = std::make_unique<QProcess>();
        w->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--serve-members"), QString::number(port), QString::number(hostId),
                  QString::number(first), QString::number(count), QString::number(seconds),
                  QString::number(1000.0 * count / members)});
        first += static_cast<std::size_t>(count);
        workers.push_back(std::move(w));
    }
    for (auto &w : workers) {
        if (!w->waitForStarted() || !w->waitForReadyRead(60000) || !w->readLine().startsWith("READY")) {
            std::fprintf(stderr, "a member process did not start\n");
            return 1;
        }
    }
    QThread::msleep(300);
    for (auto &w : workers) {
        w->write("G");
        w->waitForBytesWritten(1000); // without an event loop nothing else would send it now
    }
    // Members that share their process with others, and members alone in
    // theirs, are reported apart.
    std::vector<double> all[2];
    std::vector<double> memberP99[2];
    for (std::size_t p = 0; p < workers.size(); ++p) {
        auto &w = workers[p];
        const int alone = counts[p] == 1 ? 1 : 0;
        w->waitForFinished((seconds + 60) * 1000);
        const auto lines = w->readAllStandardOutput().split('\n');
        for (const auto &line : lines) {
            const auto fields = line.split(' ');
            auto &into = fields.value(0) == "LAT" ? all[alone] : memberP99[alone];
            if (fields.value(0) == "LAT" || fields.value(0) == "P99")
                for (qsizetype i = 1; i < fields.size(); ++i)
                    into.push_back(fields.at(i).toDouble());
        }
    }
    std::printf("participants: %d (1 host process + %d members in %zu processes of", members + 1, members,
                counts.size());
    for (int c : counts)
        std::printf(" %d", c);
    std::printf(")\n");
    const char *what[2] = {"members sharing a process", "members alone in a process"};
    for (int alone = 0; alone < 2; ++alone) {
        if (!all[alone].empty())
            printLatencies(qPrintable(QStringLiteral("send to all at 1,000/s for %1 s, %2")
                                          .arg(seconds)
                                          .arg(QString::fromLatin1(what[alone]))),
                           static_cast<std::size_t>(seconds) * 1000, all[alone], memberP99[alone]);
    }
    return 0;
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
    if (args.contains(QStringLiteral("--serve-members")))
        return serveMembers(args);
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
    const int procs =
        args.contains(QStringLiteral("--procs")) ? args.value(args.indexOf(QStringLiteral("--procs")) + 1).toInt() : 1;
    const int alone =
        args.contains(QStringLiteral("--alone")) ? args.value(args.indexOf(QStringLiteral("--alone")) + 1).toInt() : 0;
    if (procs > 1 || alone > 0) {
        std::vector<int> counts;
        if (alone > 0) {
            counts.push_back(members - alone);
            counts.insert(counts.end(), static_cast<std::size_t>(alone), 1);
        } else {
            for (int p = 0; p < procs; ++p)
                counts.push_back(members / procs + (p < members % procs ? 1 : 0));
        }
        const int status = latencyAcrossProcesses(port, hostId, counts, seconds);
        host.kill();
        host.waitForFinished(2000);
        return status;
    }

    // Joining, one after the other, as players would.
    std::vector<std::unique_ptr<Member>> peers;
    std::vector<double> joinMs;
    for (int i = 0; i < members; ++i) {
        double ms = 0;
        auto m = joinMember(port, hostId, QStringLiteral("P%1").arg(i), &ms);
        if (!m)
            return 1;
        joinMs.push_back(ms);
        peers.push_back(std::move(m));
    }
    spin(std::chrono::milliseconds(300));
    std::printf("participants: %d (1 host process + %d members in this process)\n", members + 1, members);
    std::printf("join time: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(joinMs, 0.5), percentile(joinMs, 0.99),
                *std::max_element(joinMs.begin(), joinMs.end()));

    // Latency: 1,000 sends to all per second, senders taking turns.
    {
        for (auto &m : peers)
            m->measuring = true;
        const int sent = sendAtRate(peers, 1000.0, seconds);
        spin(std::chrono::milliseconds(500));
        std::vector<double> all;
        std::vector<double> memberP99;
        for (auto &m : peers) {
            m->measuring = false;
            all.insert(all.end(), m->latencies.begin(), m->latencies.end());
            memberP99.push_back(percentile(m->latencies, 0.99));
        }
        printLatencies(qPrintable(QStringLiteral("send to all at 1,000/s for %1 s").arg(seconds)),
                       static_cast<std::size_t>(sent), all, memberP99);
    }

    if (args.contains(QStringLiteral("--latency-only"))) {
        host.kill();
        host.waitForFinished(2000);
        return 0;
    }

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
        std::printf("after the flood: %s\n", qPrintable(memoryOf(host.processId())));
    }

    // History: the largest messages, far more of them (64 MiB) than the
    // host's history may keep in bytes, from one member to another.
    {
        const int count = 1000;
        Member &from = *peers.front();
        Member &to = *peers.back();
        const std::int64_t before = to.delivered;
        const MessageBuffer largest(encodeMessage({MSG_CHAT, QString(kMaxPayloadBytes - 8, u'h')}));
        QElapsedTimer clock;
        clock.start();
        // In batches, each waited for: what stays in the host is its
        // history, not a backlog of frames in flight.
        const int batch = 25;
        for (int sent = 0; sent < count;) {
            for (int i = 0; i < batch && sent < count; ++i, ++sent)
                from.t->SendEx(from.id, to.id, 1, largest);
            if (!spinUntil([&] { return to.delivered - before >= sent; }, std::chrono::seconds(30)))
                break;
        }
        std::printf("history: %d messages of %u bytes to one member, %lld delivered in %.2f s; %s\n", count,
                    kMaxPayloadBytes, static_cast<long long>(to.delivered - before),
                    static_cast<double>(clock.nsecsElapsed()) / 1e9, qPrintable(memoryOf(host.processId())));
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
