// The floor the session host is measured against: the least a relay must do
// for the same traffic, on raw sockets with epoll and no Qt. It speaks just
// enough of the session protocol for the member harness: Hello answered by
// Joined to the others and a Welcome with the roster, Send answered by a
// Deliver to every addressee and an Ack to the sender, each with the same
// fields (so the same sizes) as the real host's. It keeps no history and
// checks no rates.
//
// Each pass of the loop reads all input that is ready, builds the deliveries
// into per-member buffers, then writes each member's buffer with one call,
// as the host does per burst. Listens on 127.0.0.1 only, prints
// "READY <port> <own id>" and ends when its standard input closes.
#include "RawWire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

using namespace vellmar::bench;

namespace {

constexpr std::uint32_t kOwnId = 1; // the relay's own place in the roster, as a host's player has

struct Conn
{
    int fd = -1;
    std::uint32_t id = 0; // 0 until its Hello was accepted
    std::string name;
    std::uint16_t listenPort = 0;
    std::uint64_t lastCsn = 0;
    std::string in;
    std::size_t inPos = 0;
    std::string out;
    bool waitingToWrite = false; // registered for EPOLLOUT
    bool queued = false;         // in the list to write at the end of the pass
    bool dead = false;
};

class Relay
{
public:
    bool listen()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(m_listener, 256) != 0)
            return false;
        socklen_t len = sizeof addr;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        watch(m_listener, EPOLLIN, nullptr);
        watch(STDIN_FILENO, EPOLLIN, &m_stdinTag);
        return true;
    }
    std::uint16_t port() const { return m_port; }

    void run()
    {
        std::vector<epoll_event> events(512);
        while (!m_stop) {
            const int n = ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), -1);
            if (n < 0 && errno != EINTR)
                return;
            for (int i = 0; i < n; ++i) {
                void *tag = events[static_cast<std::size_t>(i)].data.ptr;
                const auto what = events[static_cast<std::size_t>(i)].events;
                if (tag == nullptr)
                    accept();
                else if (tag == &m_stdinTag)
                    m_stop = true;
                else {
                    auto *c = static_cast<Conn *>(tag);
                    if (what & (EPOLLIN | EPOLLHUP | EPOLLERR))
                        readAll(*c);
                    if ((what & EPOLLOUT) && !c->dead)
                        queueWrite(*c);
                }
            }
            reap();
            writeQueued();
        }
    }

private:
    void watch(int fd, std::uint32_t events, void *tag)
    {
        epoll_event ev{};
        ev.events = events;
        ev.data.ptr = tag;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
    }

    void accept()
    {
        for (;;) {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                return;
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            auto conn = std::make_unique<Conn>();
            conn->fd = fd;
            watch(fd, EPOLLIN, conn.get());
            m_conns.emplace(fd, std::move(conn));
        }
    }

    void readAll(Conn &c)
    {
        for (;;) {
            const std::size_t old = c.in.size();
            c.in.resize(old + 64 * 1024);
            const auto got = ::read(c.fd, c.in.data() + old, 64 * 1024);
            c.in.resize(old + static_cast<std::size_t>(got > 0 ? got : 0));
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                c.dead = true;
            if (got <= 0)
                break;
        }
        Frame f;
        while (!c.dead) {
            const long used = nextFrame(c.in.data() + c.inPos, c.in.size() - c.inPos, f);
            if (used == 0)
                break;
            if (used < 0) {
                c.dead = true;
                break;
            }
            c.inPos += static_cast<std::size_t>(used);
            handle(c, f);
        }
        if (c.inPos == c.in.size()) {
            c.in.clear();
            c.inPos = 0;
        } else if (c.inPos > 64 * 1024) {
            c.in.erase(0, c.inPos);
            c.inPos = 0;
        }
    }

    void handle(Conn &c, const Frame &f)
    {
        Reader r(f.body, f.size);
        if (c.id == 0) {
            const bool head = f.kind == Hello && r.u32() == kMagic && r.u16() == kVersion && r.bytes() == kGuid;
            const std::string_view name = head ? r.bytes() : std::string_view();
            const std::uint16_t listenPort = r.u16();
            if (!r.done() || name.empty()) {
                c.dead = true;
                return;
            }
            join(c, name, listenPort);
            return;
        }
        switch (f.kind) {
        case Send: {
            const std::uint64_t csn = r.u64();
            const std::uint32_t to = r.u32();
            const std::string_view payload = r.bytes();
            if (!r.done() || csn == 0) {
                c.dead = true;
                return;
            }
            relay(c, csn, to, payload);
            return;
        }
        case Ping:
            return;
        default: // Bye, or anything a member may not send
            c.dead = true;
        }
    }

    void join(Conn &c, std::string_view name, std::uint16_t listenPort)
    {
        c.id = ++m_highestId;
        c.name = name;
        c.listenPort = listenPort;
        m_scratch.clear();
        Writer w(m_scratch);
        w.begin(Joined).u64(++m_seq);
        writeEntry(w, c);
        w.end();
        for (Conn *m : m_members)
            append(*m, m_scratch);
        m_members.push_back(&c);

        m_scratch.clear();
        w.begin(Welcome).u32(c.id).u64(0x9e3779b97f4a7c15ull * c.id).u32(1).u64(m_seq).u32(m_highestId).u32(kOwnId);
        w.bytes("Floor").u32(99).u32(0).u32(static_cast<std::uint32_t>(m_members.size() + 1));
        w.u32(kOwnId).bytes("Floor").bytes("").u16(m_port).u64(0);
        for (Conn *m : m_members)
            writeEntry(w, *m);
        w.end();
        append(c, m_scratch);
    }

    static void writeEntry(Writer &w, const Conn &c)
    {
        w.u32(c.id).bytes(c.name).bytes("127.0.0.1").u16(c.listenPort).u64(0x51ed270b27d4d0a5ull ^ c.id);
    }

    void relay(Conn &from, std::uint64_t csn, std::uint32_t to, std::string_view payload)
    {
        std::uint64_t seq = 0;
        const bool present = to == 0 || std::any_of(m_members.begin(), m_members.end(), [to](const Conn *m) {
                                 return m->id == to && !m->dead;
                             });
        if (csn > from.lastCsn && to != from.id && present) {
            from.lastCsn = csn;
            seq = ++m_seq;
            m_scratch.clear();
            Writer(m_scratch).begin(Deliver).u64(seq).u32(from.id).u32(to).u64(csn).bytes(payload).end();
            for (Conn *m : m_members) {
                if (!m->dead && (to == 0 ? m != &from : m->id == to))
                    append(*m, m_scratch);
            }
        }
        m_scratch.clear();
        Writer(m_scratch).begin(Ack).u64(csn).u64(seq).end();
        append(from, m_scratch);
    }

    void append(Conn &c, const std::string &frame)
    {
        c.out.append(frame);
        queueWrite(c);
    }

    void queueWrite(Conn &c)
    {
        if (!c.queued) {
            c.queued = true;
            m_toWrite.push_back(&c);
        }
    }

    void writeQueued()
    {
        for (Conn *c : m_toWrite) {
            c->queued = false;
            std::size_t done = 0;
            if (!c->out.empty()) {
                const auto sent = ::send(c->fd, c->out.data(), c->out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                done = sent > 0 ? static_cast<std::size_t>(sent) : 0;
                c->out.erase(0, done);
            }
            const bool wait = !c->out.empty();
            if (wait != c->waitingToWrite) {
                c->waitingToWrite = wait;
                epoll_event ev{};
                ev.events = EPOLLIN | (wait ? EPOLLOUT : 0u);
                ev.data.ptr = c;
                ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, c->fd, &ev);
            }
        }
        m_toWrite.clear();
    }

    // Closed or misbehaving connections go; the others hear that a member left.
    void reap()
    {
        for (auto it = m_conns.begin(); it != m_conns.end();) {
            Conn &c = *it->second;
            if (!c.dead) {
                ++it;
                continue;
            }
            std::erase(m_members, &c);
            std::erase(m_toWrite, &c);
            if (c.id != 0) {
                m_scratch.clear();
                Writer(m_scratch).begin(Left).u64(++m_seq).u32(c.id).end();
                for (Conn *m : m_members)
                    append(*m, m_scratch);
            }
            ::close(c.fd);
            it = m_conns.erase(it);
        }
    }

    int m_listener = -1;
    int m_epoll = -1;
    std::uint16_t m_port = 0;
    char m_stdinTag = 0;
    bool m_stop = false;
    std::uint64_t m_seq = 0;
    std::uint32_t m_highestId = kOwnId;
    std::unordered_map<int, std::unique_ptr<Conn>> m_conns;
    std::vector<Conn *> m_members; // in join order
    std::vector<Conn *> m_toWrite;
    std::string m_scratch;
};

} // namespace

int main()
{
    std::signal(SIGPIPE, SIG_IGN);
    Relay relay;
    if (!relay.listen()) {
        std::perror("bench_transport_floor: listen");
        return 1;
    }
    std::printf("READY %u %u\n", unsigned(relay.port()), unsigned(kOwnId));
    std::fflush(stdout);
    relay.run();
    return 0;
}
