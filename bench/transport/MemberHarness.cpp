#include "MemberHarness.h"

#include "RawWire.h"
#include "ServerChild.h"

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

namespace vellmar::bench {

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

} // namespace

Figures measureServer(int members, int seconds, int floodPerSender, const std::string &server, std::uint16_t attachPort)
{
    Harness harness(members, seconds, floodPerSender);
    return harness.run(server, attachPort);
}

} // namespace vellmar::bench
