#pragma once

// Raw-socket members driven by one epoll loop (no Qt) against one server:
// join time, latency at 1,000 sends to all per second, and a checked flood.
#include <cstdint>
#include <string>

namespace vellmar::bench {

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

// Starts `server`, or with a port uses one that is already running, and
// measures it with `members` members.
Figures measureServer(int members, int seconds, int floodPerSender, const std::string &server,
                      std::uint16_t attachPort = 0);

} // namespace vellmar::bench
