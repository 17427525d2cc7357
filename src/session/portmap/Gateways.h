#pragma once

#include "session/portmap/PortMapper.h"
#include "session/portmap/RouterSettings.h"

#include <QByteArray>
#include <QDeadlineTimer>

#include <cstdint>
#include <optional>

// Blocking conversations with a router, one per protocol; they run on the
// port mapper's worker thread. Each fills `result` (mapped, or the reason in
// plain words; an empty reason means the protocol was not tried).
namespace vellmar::session {

struct UpnpMapping
{
    QByteArray controlUrl;
    QByteArray serviceType;
    QByteArray externalPort;
};

std::optional<UpnpMapping> upnpMap(const RouterSettings &settings, std::uint16_t port, PortMapResult &result);
bool upnpUnmap(const UpnpMapping &mapping);

struct NatPmpMapping
{
    quint32 gateway = 0; // IPv4, host byte order
    std::uint16_t privatePort = 0;
    std::uint16_t publicPort = 0;
    quint32 lifetime = 0; // seconds the router granted
};

std::optional<NatPmpMapping> natPmpMap(const RouterSettings &settings, std::uint16_t port,
                                       const QDeadlineTimer &deadline, PortMapResult &result);
bool natPmpUnmap(const NatPmpMapping &mapping, const QDeadlineTimer &deadline);

} // namespace vellmar::session
