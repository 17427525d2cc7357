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
#include "MemberHarness.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace vellmar::bench;

namespace {

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 == 1 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

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
        const Figures f =
            measureServer(members, seconds, floodPerSender, std::string(), static_cast<std::uint16_t>(attach));
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
            const Figures f = measureServer(members, seconds, floodPerSender, hostTurn ? host : floor);
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
