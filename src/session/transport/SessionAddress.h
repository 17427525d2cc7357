#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// What the user may type as a session address: a host name or IP address,
// optionally followed by ":port" (IPv6 addresses in brackets when a port
// follows).
namespace vellmar::session {

struct SessionAddress
{
    QString host;
    std::uint16_t port = 0;
    bool operator==(const SessionAddress &) const = default;
};

// Empty when the text is not a usable address; blank text is not an address.
std::optional<SessionAddress> parseSessionAddress(const QString &text, std::uint16_t defaultPort);

} // namespace vellmar::session
