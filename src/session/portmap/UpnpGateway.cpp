#include "session/portmap/Gateways.h"
#include "session/portmap/PortMapLog.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <algorithm>

// UPnP IGD through miniupnpc: find the gateway (by its description URL when
// one is given, else by an SSDP search), learn its outside address and add a
// permanent TCP forwarding that hosting's end removes again.
namespace vellmar::session {

namespace {

// miniupnpc's structures own heap strings; this frees them on every path.
struct Gateway
{
    UPNPUrls urls{};
    IGDdatas data{};
    char lanAddress[64] = {};
    Gateway() = default;
    Gateway(const Gateway &) = delete;
    Gateway &operator=(const Gateway &) = delete;
    ~Gateway() { FreeUPNPUrls(&urls); }
};

QString upnpError(int code)
{
    const char *text = strupnperror(code);
    return text ? QStringLiteral("UPnP error %1, %2").arg(code).arg(QString::fromUtf8(text))
                : QStringLiteral("UPnP error %1").arg(code);
}

// Finds the gateway; an empty string means found, else why not.
QString findGateway(const RouterSettings &settings, Gateway &gateway)
{
    if (!settings.gatewayDescriptionUrl.isEmpty()) {
        const QByteArray url = settings.gatewayDescriptionUrl.toUtf8();
        qCDebug(lcPortMap) << "asking the UPnP gateway at" << settings.gatewayDescriptionUrl;
        if (UPNP_GetIGDFromUrl(url.constData(), &gateway.urls, &gateway.data, gateway.lanAddress,
                               sizeof gateway.lanAddress)
            != 1)
            return QStringLiteral("no UPnP gateway answered at %1").arg(settings.gatewayDescriptionUrl);
        return {};
    }
    const int delay = static_cast<int>(std::max<std::int64_t>(100, settings.searchTime.count()));
    int error = 0;
    qCDebug(lcPortMap, "searching for a UPnP gateway for %d ms", delay);
    UPNPDev *devices = upnpDiscover(delay, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
    if (!devices)
        return QStringLiteral("no router answered the UPnP search");
    const int found =
        UPNP_GetValidIGD(devices, &gateway.urls, &gateway.data, gateway.lanAddress, sizeof gateway.lanAddress);
    freeUPNPDevlist(devices);
    switch (found) {
    case 1:
        return {};
    case 2:
        return QStringLiteral("the UPnP router says it is not connected to the internet");
    case 3:
        return QStringLiteral("the UPnP devices found are not routers");
    default:
        return QStringLiteral("no UPnP router found");
    }
}

} // namespace

std::optional<UpnpMapping> upnpMap(const RouterSettings &settings, std::uint16_t port, PortMapResult &result)
{
    if (settings.gatewayDescriptionUrl.isEmpty() && !networkSearchAllowed(settings))
        return std::nullopt; // not tried
    Gateway gateway;
    result.reason = findGateway(settings, gateway);
    if (!result.reason.isEmpty())
        return std::nullopt;

    const char *control = gateway.urls.controlURL;
    const char *service = gateway.data.first.servicetype;
    char outside[40] = {};
    if (UPNP_GetExternalIPAddress(control, service, outside) != UPNPCOMMAND_SUCCESS)
        outside[0] = '\0';

    const QByteArray portText = QByteArray::number(port);
    const QByteArray description = settings.description.toUtf8();
    // Lease 0 (until removed): many routers refuse any other; hosting's end
    // and the program's exit remove it.
    const int added = UPNP_AddPortMapping(control, service, portText.constData(), portText.constData(),
                                          gateway.lanAddress, description.constData(), "TCP", nullptr, "0");
    if (added != UPNPCOMMAND_SUCCESS) {
        result.reason = QStringLiteral("the router refused the forwarding (%1)").arg(upnpError(added));
        qCInfo(lcPortMap) << "UPnP:" << result.reason;
        return std::nullopt;
    }
    result.mapped = true;
    result.method = QStringLiteral("UPnP");
    result.externalAddress = QString::fromLatin1(outside);
    result.externalPort = port;
    qCInfo(lcPortMap, "UPnP: port %u forwarded to %s", port, gateway.lanAddress);
    return UpnpMapping{QByteArray(control), QByteArray(service), portText};
}

bool upnpUnmap(const UpnpMapping &mapping)
{
    const int removed = UPNP_DeletePortMapping(mapping.controlUrl.constData(), mapping.serviceType.constData(),
                                               mapping.externalPort.constData(), "TCP", nullptr);
    if (removed != UPNPCOMMAND_SUCCESS) {
        qCWarning(lcPortMap) << "UPnP: the router did not remove the forwarding of port" << mapping.externalPort << '('
                             << upnpError(removed) << ')';
        return false;
    }
    qCInfo(lcPortMap) << "UPnP: forwarding of port" << mapping.externalPort << "removed";
    return true;
}

} // namespace vellmar::session
