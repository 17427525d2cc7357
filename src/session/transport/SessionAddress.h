#pragma once

#include <QString>

class QHostAddress;

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

// An address as text, an IPv4 address mapped into IPv6 written as IPv4 (a
// dual-stack socket reports IPv4 peers that way).
QString plainAddress(const QHostAddress &address);

} // namespace vellmar::session
