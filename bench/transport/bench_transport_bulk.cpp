// Chat beside bulk data: the round trip of a chat line between two members,
// first on an idle session, then while the host sends 20 MB of bulk data
// (chunks of 64,000 bytes, as pictures travel) to each of 6 members. By
// default each member asks for every chunk and keeps 4 asked for, as a
// picture download does; with --flood the host pushes chunks until each
// link's bulk queue is full instead, the worst case for the transport. The
// host runs in a child process (this program with --serve-host), the
// members share this process. Prints figures; asserts nothing. Traffic stays
// on 127.0.0.1.
//
//   bench_transport_bulk [--members N] [--megabytes MB] [--pings N] [--window W | --flood]
#include "BenchMembers.h"
#include "session/protocol/Messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

using namespace vellmar::session;
using namespace vellmar::bench;

namespace {

constexpr std::int32_t kChunkType = 1004;
constexpr std::int32_t kAskType = 1003;
constexpr int kChunkBytes = 64000;

int option(const QStringList &args, const char *name, int fallback)
{
    const auto at = args.indexOf(QLatin1String(name));
    return at < 0 ? fallback : args.value(at + 1).toInt();
}

// The host's player sends chunks to the members: one for each ask, or, in
// a flood, to every member in turn until its bulk queue is full; a chunk
// that does not fit now is sent on a later tick.
class Streamer : public QObject
{
public:
    Streamer(TcpSessionTransport &t, PlayerId self, std::int64_t bytes, bool flood)
        : m_t(t)
        , m_self(self)
        , m_chunk(encodeBytesMessage(kChunkType, QByteArray(kChunkBytes, 'p')))
    {
        for (const auto &p : t.GetDPEnumPlayers())
            if (p.id != self)
                m_owed[p.id] = flood ? (bytes + kChunkBytes - 1) / kChunkBytes : 0;
        connect(&m_tick, &QTimer::timeout, this, &Streamer::tick);
        m_tick.start(1);
        tick();
    }
    void ask(PlayerId from)
    {
        ++m_owed[from];
        tick();
    }

private:
    void tick()
    {
        bool more = true;
        while (more) {
            more = false;
            for (auto &[id, owed] : m_owed) {
                if (owed > 0 && m_t.SendEx(m_self, id, kSendBulk, m_chunk)) {
                    --owed;
                    more = true;
                }
            }
        }
    }

    TcpSessionTransport &m_t;
    PlayerId m_self;
    MessageBuffer m_chunk;
    std::map<PlayerId, std::int64_t> m_owed; // chunks
    QTimer m_tick;
};

// Hosts the session; "BULK <bytes>" on stdin starts a flood, "ASKED" lets
// the members ask for chunks.
int serveHost()
{
    TcpSessionTransport t(nullptr, benchSettings());
    t.InitializeConnection(t.GetDPEnumConnections().last().address);
    SessionDescription d;
    d.guidApplication = kGuid;
    d.sessionName = QStringLiteral("Bulk");
    d.maxPlayers = 99;
    d.flags = 8196;
    if (!t.Open(d, OpenMode::Create))
        return 1;
    t.CreateEvent();
    const auto id = t.CreatePlayer(QStringLiteral("Host(DM)"));
    std::unique_ptr<Streamer> streamer;
    QObject::connect(&t, &SessionTransport::receiveEvent, [&] {
        while (auto m = t.Receive()) {
            if (m->from != 0 && m->message.ReadLong() == kAskType && streamer)
                streamer->ask(m->from);
        }
    });
    const auto input = onCommandLines([&](const QByteArray &line) {
        if (line.startsWith("BULK "))
            streamer = std::make_unique<Streamer>(t, id.value_or(0), line.mid(5).toLongLong(), true);
        else if (line == "ASKED")
            streamer = std::make_unique<Streamer>(t, id.value_or(0), 0, false);
    });
    std::printf("READY %u %d\n", unsigned(t.hostPort()), id.value_or(0));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// A member that counts the bulk bytes it gets and plays its part in the
// round trip: answers "ping" with "pong", and times the "pong" it gets back.
struct Receiver
{
    // Keeps asking while fewer than `count` chunks are on their way.
    void askMore(int count)
    {
        for (int i = 0; i < count && asked < wanted; ++i) {
            t->SendEx(id, host, kSendGuaranteed, MessageBuffer(encodeMessage({kAskType, QString()})));
            asked += kChunkBytes;
        }
    }

    std::unique_ptr<TcpSessionTransport> t;
    PlayerId id = 0;
    std::int64_t bulkBytes = 0;
    std::int64_t asked = 0; // bytes asked for so far, in asked mode
    std::int64_t wanted = 0;
    PlayerId host = 0;
    std::vector<double> *roundTrips = nullptr; // where this member's pongs go
    bool waiting = false;

    void drain()
    {
        while (auto m = t->Receive()) {
            if (m->from == 0)
                continue;
            const auto type = m->message.ReadLong().value_or(-1);
            if (type == kChunkType) {
                bulkBytes += kChunkBytes;
                askMore(1);
                continue;
            }
            const QString text = m->message.ReadString().value_or(QString());
            if (text.startsWith(QLatin1String("ping ")))
                t->SendEx(id, m->from, kSendGuaranteed,
                          MessageBuffer(encodeMessage({MSG_CHAT, QStringLiteral("pong ") + text.mid(5)})));
            else if (text.startsWith(QLatin1String("pong ")) && roundTrips) {
                roundTrips->push_back(static_cast<double>(nowNs() - text.mid(5).toLongLong()) / 1000.0);
                waiting = false;
            }
        }
    }
};

std::unique_ptr<Receiver> join(std::uint16_t port, const QString &name)
{
    auto r = std::make_unique<Receiver>();
    r->t = std::make_unique<TcpSessionTransport>(nullptr, benchSettings());
    r->t->InitializeConnection(r->t->GetDPEnumConnections().last().address);
    SessionDescription d;
    d.guidApplication = kGuid;
    d.hostAddress = QStringLiteral("127.0.0.1");
    d.hostPort = port;
    r->t->Open(d, OpenMode::Join);
    r->t->CreateEvent();
    const auto id = r->t->CreatePlayer(name);
    if (!id) {
        std::fprintf(stderr, "join of %s failed: %s\n", qPrintable(name), qPrintable(r->t->lastError()));
        return nullptr;
    }
    r->id = *id;
    Receiver *raw = r.get();
    QObject::connect(r->t.get(), &SessionTransport::receiveEvent, [raw] { raw->drain(); });
    return r;
}

// Round trips from `from` to `to` and back, one at a time with a short
// pause between them, until `done` says so.
std::vector<double> roundTrips(Receiver &from, Receiver &to, const std::function<bool()> &done)
{
    std::vector<double> out;
    from.roundTrips = &out;
    from.waiting = false;
    QTimer pinger;
    QObject::connect(&pinger, &QTimer::timeout, [&] {
        if (from.waiting)
            return;
        from.waiting = true;
        from.t->SendEx(from.id, to.id, kSendGuaranteed,
                       MessageBuffer(encodeMessage({MSG_CHAT, QStringLiteral("ping %1").arg(nowNs())})));
    });
    pinger.start(2);
    spinUntil(done, std::chrono::minutes(5));
    from.roundTrips = nullptr;
    return out;
}

void print(const char *what, const std::vector<double> &v)
{
    std::printf("%-34s %6zu round trips, p50 %8.0f us, p99 %8.0f us\n", what, v.size(), percentile(v, 0.5),
                percentile(v, 0.99));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--serve-host")))
        return serveHost();
    const int members = std::max(2, option(args, "--members", 6));
    const std::int64_t bytes = std::int64_t(option(args, "--megabytes", 20)) * 1000 * 1000;
    const int pings = option(args, "--pings", 500);
    const bool flood = args.contains(QStringLiteral("--flood"));
    const int window = std::max(1, option(args, "--window", 4));

    QProcess host;
    host.start(app.applicationFilePath(), {QStringLiteral("--serve-host")});
    if (!host.waitForStarted() || !host.waitForReadyRead(10000)) {
        std::fprintf(stderr, "host did not start\n");
        return 1;
    }
    const QStringList ready = QString::fromLatin1(host.readLine()).trimmed().split(u' ');
    const auto port = static_cast<std::uint16_t>(ready.value(1).toUInt());
    const auto hostId = static_cast<PlayerId>(ready.value(2).toInt());
    std::vector<std::unique_ptr<Receiver>> peers;
    for (int i = 0; i < members; ++i) {
        auto r = join(port, QStringLiteral("P%1").arg(i));
        if (!r)
            return 1;
        peers.push_back(std::move(r));
    }
    spin(std::chrono::milliseconds(300));
    Receiver &x = *peers[0];
    Receiver &y = *peers[1];

    const auto quiet = roundTrips(x, y, [&] { return x.roundTrips && int(x.roundTrips->size()) >= pings; });

    QElapsedTimer clock;
    clock.start();
    host.write(flood ? QByteArrayLiteral("BULK ") + QByteArray::number(bytes) + '\n' : QByteArrayLiteral("ASKED\n"));
    host.waitForBytesWritten(1000);
    if (!flood) {
        spin(std::chrono::milliseconds(50)); // the host reads its line first
        clock.restart();
        for (auto &p : peers) {
            p->host = hostId;
            p->wanted = bytes;
            p->askMore(window);
        }
    }
    auto allHave = [&] {
        return std::all_of(peers.begin(), peers.end(), [&](const auto &p) { return p->bulkBytes >= bytes; });
    };
    const auto busy = roundTrips(x, y, allHave);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;

    if (flood)
        std::printf("chat round trip between two members; host floods %.0f MB of bulk data to each of %d members\n",
                    static_cast<double>(bytes) / 1e6, members);
    else
        std::printf("chat round trip between two members; %d members each fetch %.0f MB of bulk data from the host, "
                    "%d chunks asked for at a time\n",
                    members, static_cast<double>(bytes) / 1e6, window);
    print("without a stream", quiet);
    print("during the stream", busy);
    std::printf("ratio during/without: p50 %.2f, p99 %.2f\n", percentile(busy, 0.5) / percentile(quiet, 0.5),
                percentile(busy, 0.99) / percentile(quiet, 0.99));
    std::printf("stream: %.0f MB in %.2f s to all %d (%.0f MB/s out of the host); %s\n",
                static_cast<double>(bytes) * members / 1e6, seconds, members,
                static_cast<double>(bytes) * members / 1e6 / seconds, qPrintable(memoryOf(host.processId())));
    host.closeWriteChannel();
    if (!host.waitForFinished(3000))
        host.kill();
    return 0;
}
