#pragma once

#include "session/transport/TransportSettings.h"

#include <QHostAddress>

namespace vellmar::bench {

// A host on 127.0.0.1 whose limits a flood does not trip: the benchmarks
// measure the throughput, not what the limits stop.
inline session::TransportSettings benchSettings()
{
    session::TransportSettings s;
    s.tcpPort = 0;
    s.listenAddress = QHostAddress(QHostAddress::LocalHost);
    s.discoveryPort = 0;
    s.rateLimitFramesPerSecond = 1e7;
    s.rateLimitBurst = 1e7;
    s.outputCapBytes = 256 * 1024 * 1024;
    s.historyCapacity = 1 << 16;
    return s;
}

} // namespace vellmar::bench
