#pragma once

#include <QHostAddress>

#include <chrono>
#include <cstdint>

// Every time-out, port and limit of the transport in one place, so tests can
// shrink the clocks and keep all traffic on loopback.
namespace vellmar::session {

using namespace std::chrono_literals;

struct TransportSettings
{
    // A host takes this port, or the next free one above it.
    std::uint16_t tcpPort = 47810;
    int tcpPortTries = 20;
    std::uint16_t discoveryPort = 47811;
    // Where a blank-address session search sends its request.
    QHostAddress broadcastAddress = QHostAddress(QHostAddress::Broadcast);
    // Address the host and every member listen on (members listen so that
    // one of them can take over as host).
    QHostAddress listenAddress = QHostAddress(QHostAddress::Any); // IPv4 and IPv6

    std::chrono::milliseconds searchTime = 1500ms;     // blank-address search
    std::chrono::milliseconds connectTimeout = 2000ms; // reconnecting within a session
    // A connection the user asked for (joining, or asking a host by
    // address): long enough for a host across the internet, short enough
    // not to leave the user waiting on an address nobody answers.
    std::chrono::milliseconds joinConnectTimeout = 10000ms;
    std::chrono::milliseconds handshakeTimeout = 3000ms;
    std::chrono::milliseconds pingInterval = 1000ms; // sent after this much idle time
    std::chrono::milliseconds deadTimeout = 5000ms;  // silence that means the peer is gone
    std::chrono::milliseconds resumeGrace = 4000ms;  // how long a dropped member may come back
    // Between reconnection attempts: the first waits retryDelay, each further
    // one twice as long (with some jitter), up to retryDelayMax.
    std::chrono::milliseconds retryDelay = 100ms;
    std::chrono::milliseconds retryDelayMax = 1000ms;
    // A member whose link to the host breaks again and again soon after it
    // was set up (the host or the path to it refuses what it gets) gives up
    // after this many breaks in a row; a link that lasted stableLinkTime
    // ends the run.
    int maxQuickBreaks = 6;
    std::chrono::milliseconds stableLinkTime = 5000ms;
    std::chrono::milliseconds migrationTimeout = 8000ms; // give up finding a new host

    // Session password: rounds of the key derivation a new session uses, and
    // how long a host waits before it answers after wrong passwords from
    // one address (doubling with each, up to the maximum).
    std::uint32_t passwordKeyRounds = 50000;
    std::chrono::milliseconds passwordDelay = 1000ms;
    std::chrono::milliseconds passwordDelayMax = 16000ms;

    std::uint32_t maxFrameBytes = 64 * 1024;
    std::int64_t outputCapBytes = 8 * 1024 * 1024; // unsent bytes per member before it is dropped
    int maxPendingHandshakes = 128;                // after a host change everyone arrives at once
    double rateLimitFramesPerSecond = 2000.0;
    double rateLimitBurst = 4000.0;
    int historyCapacity = 8192; // sequenced events kept for resume and host take-over
    // ... and at most this many bytes of them. Half the output cap: a resume
    // that replays all of it still fits in the member's backlog.
    std::int64_t historyBytes = 4 * 1024 * 1024;
    // Bulk data waits in a queue of its own per link and goes to the socket
    // only while less than bulkWriteThreshold bytes are unsent there, so an
    // ordinary message waits behind at most that much of it. Beyond
    // bulkQueueBytes queued, further bulk frames for that link are dropped.
    std::int64_t bulkWriteThreshold = 256 * 1024;
    std::int64_t bulkQueueBytes = 8 * 1024 * 1024;
    // Each link writes at most one bulk frame per pass, and passes come this
    // far apart: up to 64 MB/s per link with 64 KB frames, and the rest of
    // the time is left to ordinary messages and the other programs on the
    // machine. Zero: passes follow one another as fast as the loop turns.
    std::chrono::milliseconds bulkPassInterval = 1ms;
    // ... and all the links of the program together write at most this many
    // bulk frames in a pass.
    int bulkFramesPerPass = 2;
};

} // namespace vellmar::session
