#pragma once

#include <QHostAddress>
#include <QString>

#include <chrono>
#include <optional>

// Which routers the port mapping asks, and how long it may take.
namespace vellmar::session {

struct RouterSettings
{
    // Searching the local network: UPnP's SSDP multicast and NAT-PMP to the
    // default gateway. Tests and CI switch it off (see fromEnvironment).
    bool searchNetwork = true;
    // A UPnP gateway's device description, asked directly without searching.
    QString gatewayDescriptionUrl;
    // A NAT-PMP gateway to ask instead of the default route's.
    std::optional<QHostAddress> natPmpGateway;
    // The whole attempt, as the user sees it.
    std::chrono::milliseconds deadline{5000};
    // How long UPnP's search listens for answers.
    std::chrono::milliseconds searchTime{1500};
    // The name the router shows for the mapping.
    QString description = QStringLiteral("Vellmar session");

    // The program's settings: VELLMAR_NO_ROUTER_SEARCH (set and not "0")
    // switches the search off; VELLMAR_GATEWAY_URL names a UPnP gateway's
    // description URL to use instead of searching.
    static RouterSettings fromEnvironment();
};

// False when the environment forbids searching, whatever the settings say:
// the last guard before anything is multicast or sent off this machine.
bool networkSearchAllowed(const RouterSettings &settings);

} // namespace vellmar::session
