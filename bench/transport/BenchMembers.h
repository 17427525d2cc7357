#pragma once

// Members of a benchmark session on loopback, each a real transport, and the
// waiting and sending that the figures are taken with.
#include "BenchSettings.h"
#include "session/transport/TcpSessionTransport.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vellmar::bench {

inline const QString kGuid = QStringLiteral("{12332123-5544-6546-4332-112344334334}");

std::int64_t nowNs();

// A member that timestamps what it receives and counts what it gets.
struct Member
{
    std::unique_ptr<session::TcpSessionTransport> t;
    session::PlayerId id = 0;
    std::int64_t delivered = 0;
    bool measuring = false;
    std::vector<double> latencies; // microseconds
    bool migrated = false;
    bool sawHostLeave = false;
    session::PlayerId hostId = 0;

    void drain();
};

// In a child process: calls `handle` with each line its parent writes to its
// standard input, without the line break, and quits the program when the
// parent closes it. Keep the notifier for as long as lines may come.
std::unique_ptr<QSocketNotifier> onCommandLines(std::function<void(const QByteArray &line)> handle);

// The host process's resident memory now and at its peak, from the kernel.
QString memoryOf(qint64 pid);
double percentile(std::vector<double> v, double p);
bool say(Member &m, const QString &text);
// Waiting sleeps in the event loop: a loop that polls without blocking
// keeps a core busy, and on a machine of two cores that time is taken from
// the host and from the other members being measured.
void spin(std::chrono::milliseconds ms);
bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds ms);
std::unique_ptr<Member> joinMember(std::uint16_t port, session::PlayerId hostId, const QString &name, double *joinMs);
// Sends to all at `rate` per second for `seconds`, the members taking turns;
// a late tick catches up, so the rate holds. Returns how many were sent.
int sendAtRate(std::vector<std::unique_ptr<Member>> &peers, double rate, int seconds);

} // namespace vellmar::bench
