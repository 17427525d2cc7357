// The session host measured as a server, side by side with a floor. Absolute
// figures swing with whatever else the machine runs; a floor measured in the
// same run, with the same members, shows what part of them is the host's own.
//
// Members are raw sockets driven by one epoll loop in this process (no Qt),
// speaking the session frames themselves. In turn they are pointed at two
// servers, each in a child process:
//   - the host: bench_transport_host, the real transport library;
//   - the floor: bench_transport_floor, a minimal relay of the same frames.
// For each: join time of the members one after the other, latency at 1,000
// sends to all per second (from this process writing the Send to it reading
// each Deliver), and a flood of sends to all from a few senders (each with a
// bounded number of sends in flight), counted at every member and checked
// for loss, duplicates and order. The server's CPU time is read from /proc,
// which is steadier than wall-clock figures on a shared machine. Traffic
// stays on 127.0.0.1. Asserts nothing.
//
//   bench_transport_server [--members N] [--seconds S] [--rounds R] [--flood MSGS_PER_SENDER]
//   bench_transport_server --host PATH [...]     another build of the host program (to compare two)
//   bench_transport_server --attach PORT [...]   one run against a server already listening on PORT
#include "RawWire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace vellmar::bench;

namespace {

std::int64_t nowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 == 1 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// A server in a child process; its standard input is a pipe whose closing
// tells it to end.
class Child
{
public:
    bool start(const std::string &path)
    {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
            std::perror(path.c_str());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        // "READY <port> <own id>"
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) == 1) {
            char buffer[128];
            const auto n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        unsigned port = 0;
        if (std::sscanf(line.c_str(), "READY %u", &port) != 1)
            return false;
        m_port = static_cast<std::uint16_t>(port);
        return true;
    }
    void stop()
    {
        if (m_pid <= 0)
            return;
        ::close(m_stdin);
        for (int i = 0; i < 300; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            ::usleep(10000);
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    // User plus system time of every thread, in seconds.
    double cpuSeconds() const
    {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/stat", int(m_pid));
        FILE *f = std::fopen(path, "r");
        if (!f)
            return 0;
        char buffer[1024] = {};
        const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        buffer[n] = 0;
        // Fields after the command name, which is in parentheses: state is
        // field 3, utime 14 and stime 15.
        const char *p = std::strrchr(buffer, ')');
        unsigned long utime = 0;
        unsigned long stime = 0;
        if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
            return 0;
        return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    // A server started by someone else (under a profiler, say); its CPU
    // time is not read.
    void attach(std::uint16_t port) { m_port = port; }
    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    std::uint16_t m_port = 0;
};

struct Member
{
    int fd = -1;
    std::size_t index = 0;
    std::uint32_t id = 0; // from the Welcome
    std::string in;
    std::size_t inPos = 0;
    std::string out;
    bool waitingToWrite = false;
    std::int64_t lastSentNs = 0;
    std::uint64_t csn = 0;              // last sent
    std::uint64_t acked = 0;            // highest confirmed
    std::vector<std::int64_t> sentAt;   // by csn - 1
    std::uint64_t lastSeq = 0;          // from the Welcome on
    std::vector<std::uint64_t> csnFrom; // last csn delivered, by sender index
    std::int64_t delivered = 0;
};

struct Figures
{
    double joinP50 = 0, joinP99 = 0, joinMax = 0;
    double latP50 = 0, latP99 = 0, latMax = 0;
    std::int64_t latSent = 0, latDelivered = 0, latExpected = 0;
    double latCpuShare = 0; // server CPU seconds per second of the latency run
    double floodRate = 0;   // deliveries per second
    double floodSecs = 0;
    std::int64_t floodDelivered = 0, floodExpected = 0;
    double floodCpuPerM = 0; // server CPU seconds per million deliveries
    std::int64_t faults = 0;
    bool ok = false;
};

class Harness
{
public:
    Harness(int members, int seconds, int floodPerSender)
        : m_count(members)
        , m_seconds(seconds)
        , m_floodPerSender(floodPerSender)
        , m_payload(chatPayload(32))
    {}

    // Starts `server`, or with a port uses one that is already running.
    Figures run(const std::string &server, std::uint16_t attachPort = 0)
    {
        Figures fig;
        m_fig = &fig;
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        m_timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        watch(m_timer, EPOLLIN, &m_timerTag, EPOLL_CTL_ADD);
        Child child;
        if (attachPort != 0) {
            child.attach(attachPort);
        }
        if (attachPort == 0 && !child.start(server)) {
            std::fprintf(stderr, "%s did not start\n", server.c_str());
        } else {
            m_child = &child;
            fig.ok = joinAll(child.port()) && latency() && flood();
            fig.faults = m_faults;
            m_child = nullptr;
        }
        for (auto &m : m_members)
            ::close(m->fd);
        m_members.clear();
        m_byId.clear();
        child.stop();
        ::close(m_timer);
        ::close(m_epoll);
        m_faults = 0;
        return fig;
    }

private:
    void watch(int fd, std::uint32_t events, void *tag, int op)
    {
        epoll_event ev{};
        ev.events = events;
        ev.data.ptr = tag;
        ::epoll_ctl(m_epoll, op, fd, &ev);
    }

    bool fail(const char *what)
    {
        std::fprintf(stderr, "  %s\n", what);
        return false;
    }

    // One pass: waits up to timeoutMs for input, reads every ready socket,
    // then sends pings for members that have been quiet (the host takes
    // 5 s of silence for a broken connection).
    void pump(int timeoutMs)
    {
        epoll_event events[256];
        const int n = ::epoll_wait(m_epoll, events, 256, timeoutMs);
        for (int i = 0; i < n; ++i) {
            void *tag = events[i].data.ptr;
            if (tag == &m_timerTag) {
                std::uint64_t expirations = 0;
                if (::read(m_timer, &expirations, sizeof expirations) > 0 && m_onTick)
                    m_onTick();
                continue;
            }
            auto *m = static_cast<Member *>(tag);
            if (events[i].events & EPOLLOUT)
                flush(*m);
            if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR))
                readAll(*m);
        }
        const std::int64_t now = nowNs();
        if (now - m_lastPingCheck > 200'000'000) {
            m_lastPingCheck = now;
            for (auto &m : m_members) {
                if (now - m->lastSentNs > 900'000'000) {
                    Writer(m->out).begin(Ping).end();
                    flush(*m);
                }
            }
        }
    }

    bool pumpUntil(const std::function<bool()> &done, std::int64_t timeoutNs)
    {
        const std::int64_t end = nowNs() + timeoutNs;
        while (!done()) {
            if (nowNs() > end)
                return false;
            pump(5);
        }
        return true;
    }

    void readAll(Member &m)
    {
        for (;;) {
            const std::size_t old = m.in.size();
            m.in.resize(old + 256 * 1024);
            const auto got = ::read(m.fd, m.in.data() + old, 256 * 1024);
            m.in.resize(old + static_cast<std::size_t>(got > 0 ? got : 0));
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                ++m_faults;
                watch(m.fd, 0, &m, EPOLL_CTL_DEL);
                std::fprintf(stderr, "  member %zu: connection closed by the server\n", m.index);
            }
            if (got <= 0)
                break;
            const std::int64_t now = nowNs();
            Frame f;
            for (;;) {
                const long used = nextFrame(m.in.data() + m.inPos, m.in.size() - m.inPos, f);
                if (used <= 0) {
                    if (used < 0) {
                        ++m_faults;
                        m.inPos = m.in.size();
                    }
                    break;
                }
                m.inPos += static_cast<std::size_t>(used);
                onFrame(m, f, now);
            }
            if (m.inPos == m.in.size()) {
                m.in.clear();
                m.inPos = 0;
            } else if (m.inPos > 256 * 1024) {
                m.in.erase(0, m.inPos);
                m.inPos = 0;
            }
        }
    }

    bool sequenced(Member &m, std::uint64_t seq)
    {
        if (seq <= m.lastSeq) {
            ++m_faults;
            return false;
        }
        m.lastSeq = seq;
        return true;
    }

    void onFrame(Member &m, const Frame &f, std::int64_t now)
    {
        Reader r(f.body, f.size);
        switch (f.kind) {
        case Deliver: {
            const std::uint64_t seq = r.u64();
            const std::uint32_t from = r.u32();
            r.u32();
            const std::uint64_t csn = r.u64();
            r.bytes();
            if (!r.done() || from >= m_byId.size() || !m_byId[from] || !sequenced(m, seq)) {
                ++m_faults;
                return;
            }
            // Sends to all from one sender reach each member in the order
            // sent: anything but the next csn is a loss or a duplicate.
            Member &sender = *m_byId[from];
            std::uint64_t &last = m.csnFrom[sender.index];
            if (csn != last + 1)
                ++m_faults;
            last = csn;
            ++m.delivered;
            ++m_delivered;
            if (m_measuring && csn >= 1 && csn <= sender.sentAt.size())
                m_latencies.push_back(static_cast<double>(now - sender.sentAt[csn - 1]) / 1000.0);
            return;
        }
        case Ack: {
            const std::uint64_t csn = r.u64();
            const std::uint64_t seq = r.u64();
            if (!r.done() || seq == 0)
                ++m_faults;
            m.acked = std::max(m.acked, csn);
            return;
        }
        case Welcome: {
            m.id = r.u32();
            r.u64();
            r.u32();
            m.lastSeq = r.u64();
            if (!r.ok() || m.id == 0) {
                ++m_faults;
                return;
            }
            if (m_byId.size() <= m.id)
                m_byId.resize(m.id + 1, nullptr);
            m_byId[m.id] = &m;
            return;
        }
        case Joined:
        case Left:
            sequenced(m, r.u64());
            return;
        case Ping:
            return;
        default:
            ++m_faults;
            std::fprintf(stderr, "  member %zu: unexpected frame kind 0x%02x\n", m.index, unsigned(f.kind));
        }
    }

    void flush(Member &m)
    {
        if (!m.out.empty()) {
            const auto sent = ::send(m.fd, m.out.data(), m.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0)
                m.out.erase(0, static_cast<std::size_t>(sent));
            m.lastSentNs = nowNs();
        }
        const bool wait = !m.out.empty();
        if (wait != m.waitingToWrite) {
            m.waitingToWrite = wait;
            watch(m.fd, EPOLLIN | (wait ? EPOLLOUT : 0u), &m, EPOLL_CTL_MOD);
        }
    }

    void queueSend(Member &m, std::int64_t now)
    {
        m.sentAt.push_back(now);
        Writer(m.out).begin(Send).u64(++m.csn).u32(0).bytes(m_payload).end();
    }

    bool connectMember(std::uint16_t port, std::size_t index)
    {
        auto m = std::make_unique<Member>();
        m->index = index;
        m->csnFrom.assign(static_cast<std::size_t>(m_count), 0);
        m->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        if (::connect(m->fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
            return fail("connect failed");
        const int one = 1;
        ::setsockopt(m->fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::fcntl(m->fd, F_SETFL, ::fcntl(m->fd, F_GETFL) | O_NONBLOCK);
        watch(m->fd, EPOLLIN, m.get(), EPOLL_CTL_ADD);
        std::string name = std::to_string(index);
        name.insert(name.begin(), 'P');
        Writer(m->out).begin(Hello).u32(kMagic).u16(kVersion).bytes(kGuid).bytes(name).u16(0).end();
        flush(*m);
        m_members.push_back(std::move(m));
        return true;
    }

    // One after the other, as players arrive; each waits for its Welcome.
    bool joinAll(std::uint16_t port)
    {
        std::vector<double> ms;
        for (int i = 0; i < m_count; ++i) {
            const std::int64_t start = nowNs();
            if (!connectMember(port, static_cast<std::size_t>(i)))
                return false;
            Member &m = *m_members.back();
            if (!pumpUntil([&] { return m.id != 0; }, 10'000'000'000))
                return fail("no Welcome");
            ms.push_back(static_cast<double>(nowNs() - start) / 1e6);
        }
        m_fig->joinP50 = percentile(ms, 0.5);
        m_fig->joinP99 = percentile(ms, 0.99);
        m_fig->joinMax = *std::max_element(ms.begin(), ms.end());
        // Let the last Joined frames arrive.
        pumpUntil([] { return false; }, 300'000'000);
        return m_faults == 0 || fail("faults while joining");
    }

    // 1,000 sends to all per second, the members taking turns; a late tick
    // catches up, so the rate holds.
    bool latency()
    {
        const double rate = 1000.0;
        const std::int64_t before = m_delivered;
        std::int64_t sent = 0;
        std::size_t next = 0;
        m_latencies.clear();
        m_latencies.reserve(static_cast<std::size_t>(rate * m_seconds * (m_count - 1)));
        m_measuring = true;
        const double cpu = m_child->cpuSeconds();
        const std::int64_t start = nowNs();
        const std::int64_t end = start + std::int64_t(m_seconds) * 1'000'000'000;
        m_onTick = [&] {
            const std::int64_t now = nowNs();
            const auto due = static_cast<std::int64_t>(static_cast<double>(std::min(now, end) - start) / 1e9 * rate);
            for (; sent < due; ++sent) {
                Member &m = *m_members[next];
                queueSend(m, nowNs());
                flush(m);
                next = (next + 1) % m_members.size();
            }
        };
        const itimerspec every{{0, 1'000'000}, {0, 1'000'000}};
        ::timerfd_settime(m_timer, 0, &every, nullptr);
        pumpUntil([&] { return nowNs() >= end; }, std::int64_t(m_seconds + 5) * 1'000'000'000);
        const itimerspec off{};
        ::timerfd_settime(m_timer, 0, &off, nullptr);
        m_onTick = nullptr;
        m_fig->latCpuShare = (m_child->cpuSeconds() - cpu) / (static_cast<double>(nowNs() - start) / 1e9);
        const std::int64_t expected = sent * (m_count - 1);
        pumpUntil([&] { return m_delivered - before >= expected; }, 2'000'000'000);
        m_measuring = false;
        m_fig->latSent = sent;
        m_fig->latExpected = expected;
        m_fig->latDelivered = m_delivered - before;
        m_fig->latP50 = percentile(m_latencies, 0.5);
        m_fig->latP99 = percentile(m_latencies, 0.99);
        m_fig->latMax = m_latencies.empty() ? 0 : *std::max_element(m_latencies.begin(), m_latencies.end());
        return (m_fig->latDelivered == expected && m_faults == 0) || fail("latency run lost or mixed up messages");
    }

    // A few senders as fast as they can, each with at most `window` sends
    // not yet confirmed (a real member keeps every unconfirmed send, so it
    // cannot run unboundedly ahead either); done when every member has every
    // message.
    bool flood()
    {
        const int senders = 4;
        const std::uint64_t window = 1000;
        const std::int64_t before = m_delivered;
        const std::int64_t expected = std::int64_t(senders) * m_floodPerSender * (m_count - 1);
        std::vector<std::uint64_t> target(senders);
        for (int s = 0; s < senders; ++s)
            target[static_cast<std::size_t>(s)] = m_members[static_cast<std::size_t>(s)]->csn + m_floodPerSender;
        const double cpu = m_child->cpuSeconds();
        const std::int64_t start = nowNs();
        const bool done = pumpUntil(
            [&] {
                const std::int64_t now = nowNs();
                for (int s = 0; s < senders; ++s) {
                    Member &m = *m_members[static_cast<std::size_t>(s)];
                    const std::uint64_t upTo = std::min(m.acked + window, target[static_cast<std::size_t>(s)]);
                    if (m.csn >= upTo || m.waitingToWrite)
                        continue;
                    while (m.csn < upTo)
                        queueSend(m, now);
                    flush(m);
                }
                return m_delivered - before >= expected;
            },
            120'000'000'000);
        const double secs = static_cast<double>(nowNs() - start) / 1e9;
        const std::int64_t got = m_delivered - before;
        m_fig->floodSecs = secs;
        m_fig->floodDelivered = got;
        m_fig->floodExpected = expected;
        m_fig->floodRate = static_cast<double>(got) / secs;
        m_fig->floodCpuPerM = (m_child->cpuSeconds() - cpu) / (static_cast<double>(got) / 1e6);
        // Every member has every sender's last message, and (checked on the
        // way) each one exactly once and in order.
        bool complete = done;
        for (auto &m : m_members) {
            for (int s = 0; s < senders; ++s) {
                const Member &sender = *m_members[static_cast<std::size_t>(s)];
                if (&sender != m.get() && m->csnFrom[sender.index] != sender.csn)
                    complete = false;
            }
        }
        return (complete && m_faults == 0) || fail("flood lost or mixed up messages");
    }

    const int m_count;
    const int m_seconds;
    const int m_floodPerSender;
    const std::string m_payload;
    int m_epoll = -1;
    int m_timer = -1;
    char m_timerTag = 0;
    Child *m_child = nullptr;
    Figures *m_fig = nullptr;
    std::vector<std::unique_ptr<Member>> m_members;
    std::vector<Member *> m_byId;
    std::function<void()> m_onTick;
    std::int64_t m_lastPingCheck = 0;
    std::int64_t m_delivered = 0;
    std::int64_t m_faults = 0;
    bool m_measuring = false;
    std::vector<double> m_latencies;
};

void printRun(const char *name, const Figures &f)
{
    std::printf("  %-7s join p50 %.2f ms p99 %.2f ms max %.2f ms | latency p50 %.0f us p99 %.0f us max %.0f us "
                "(%lld of %lld deliveries), server CPU %.0f%% | flood %.2f M/s (%lld of %lld in %.2f s), "
                "server CPU %.2f s per M deliveries | faults %lld%s\n",
                name, f.joinP50, f.joinP99, f.joinMax, f.latP50, f.latP99, f.latMax,
                static_cast<long long>(f.latDelivered), static_cast<long long>(f.latExpected), f.latCpuShare * 100,
                f.floodRate / 1e6, static_cast<long long>(f.floodDelivered), static_cast<long long>(f.floodExpected),
                f.floodSecs, f.floodCpuPerM, static_cast<long long>(f.faults), f.ok ? "" : "  (RUN FAILED)");
    std::fflush(stdout);
}

std::string siblingPath(const char *name)
{
    char self[PATH_MAX] = {};
    const auto n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    dir.erase(dir.find_last_of('/') + 1);
    return dir + name;
}

const char *stringOption(int argc, char **argv, const char *name)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    }
    return nullptr;
}

int intOption(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    }
    return fallback;
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    const int members = intOption(argc, argv, "--members", 98);
    const int seconds = intOption(argc, argv, "--seconds", 3);
    const int rounds = intOption(argc, argv, "--rounds", 2);
    const int floodPerSender = intOption(argc, argv, "--flood", 20000);
    if (members < 5 || members > 98 || seconds < 1 || rounds < 1 || floodPerSender < 1) {
        std::fprintf(stderr, "usage: %s [--members 5..98] [--seconds S] [--rounds R] [--flood MSGS_PER_SENDER]\n",
                     argv[0]);
        return 2;
    }
    const int attach = intOption(argc, argv, "--attach", 0);
    if (attach > 0 && attach < 65536) {
        Harness harness(members, seconds, floodPerSender);
        const Figures f = harness.run(std::string(), static_cast<std::uint16_t>(attach));
        printRun("server", f);
        return f.ok ? 0 : 1;
    }
    const char *hostOption = stringOption(argc, argv, "--host");
    const std::string host = hostOption ? hostOption : siblingPath("bench_transport_host");
    const std::string floor = siblingPath("bench_transport_floor");
    std::printf("%d members (raw sockets, one epoll thread) against a server in a child process; "
                "%d s at 1,000 sends to all per second; flood of 4 senders x %d sends to all\n",
                members, seconds, floodPerSender);

    std::vector<Figures> vellmar;
    std::vector<Figures> floorRuns;
    for (int round = 0; round < rounds; ++round) {
        std::printf("round %d\n", round + 1);
        // Alternating which goes first spreads a change in the machine's
        // load over both.
        for (int i = 0; i < 2; ++i) {
            const bool hostTurn = (i == 0) == (round % 2 == 1);
            Harness harness(members, seconds, floodPerSender);
            const Figures f = harness.run(hostTurn ? host : floor);
            printRun(hostTurn ? "Vellmar" : "floor", f);
            (hostTurn ? vellmar : floorRuns).push_back(f);
        }
    }

    auto med = [](const std::vector<Figures> &runs, double Figures::*field) {
        std::vector<double> v;
        for (const auto &f : runs)
            v.push_back(f.*field);
        return median(v);
    };
    struct Row
    {
        const char *what;
        double Figures::*field;
        double scale;
        const char *goal;
    };
    const Row rows[] = {
        {"join p50 (ms)", &Figures::joinP50, 1, ""},
        {"join p99 (ms)", &Figures::joinP99, 1, ""},
        {"latency p50 (us)", &Figures::latP50, 1, "goal: at most 2"},
        {"latency p99 (us)", &Figures::latP99, 1, ""},
        {"server CPU at 1,000/s (%)", &Figures::latCpuShare, 100, ""},
        {"flood (M deliveries/s)", &Figures::floodRate, 1e-6, "goal: at least 0.5"},
        {"server CPU s per M deliveries", &Figures::floodCpuPerM, 1, ""},
    };
    std::printf("\nmedian of %d round%s      Vellmar      floor   Vellmar/floor\n", rounds, rounds == 1 ? "" : "s");
    for (const Row &row : rows) {
        const double v = med(vellmar, row.field) * row.scale;
        const double f = med(floorRuns, row.field) * row.scale;
        std::printf("%-30s %10.2f %10.2f %10.2f   %s\n", row.what, v, f, f > 0 ? v / f : 0.0, row.goal);
    }
    const bool allOk = std::all_of(vellmar.begin(), vellmar.end(), [](const Figures &f) { return f.ok; })
                       && std::all_of(floorRuns.begin(), floorRuns.end(), [](const Figures &f) { return f.ok; });
    std::printf("every delivery checked for loss, duplicates and order: %s\n", allOk ? "none found" : "FAULTS (above)");
    return allOk ? 0 : 1;
}
