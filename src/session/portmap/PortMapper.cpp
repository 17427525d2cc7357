#include "session/portmap/PortMapper.h"
#include "session/portmap/RouterSettings.h"

#include <QHostAddress>

namespace vellmar::session {

namespace {
// Behind a second router, or the provider's shared address range, the
// forwarding opens only the inner door.
bool isPrivate(const QHostAddress &address)
{
    for (const auto &[network, length] : {std::pair{"10.0.0.0", 8}, std::pair{"172.16.0.0", 12},
                                          std::pair{"192.168.0.0", 16}, std::pair{"100.64.0.0", 10}}) {
        if (address.isInSubnet(QHostAddress(QString::fromLatin1(network)), length))
            return true;
    }
    return false;
}
} // namespace

QString portMapStatus(const PortMapResult &result)
{
    if (!result.mapped)
        return u"the router did not open the port for the internet (" + result.reason + u')';
    const QString address =
        result.externalAddress.isEmpty() ? QStringLiteral("the router's outside address") : result.externalAddress;
    QString status = QStringLiteral("from the internet at %1:%2 (opened by %3)")
                         .arg(address, QString::number(result.externalPort), result.method);
    if (isPrivate(QHostAddress(result.externalAddress)))
        status += u", but that address is itself private: another router or the provider stands in front, so "
                  u"players from the internet may still not get through";
    return status;
}

QString portMapPending() { return QStringLiteral("asking the router to open the port for the internet..."); }

RouterSettings RouterSettings::fromEnvironment()
{
    RouterSettings settings;
    settings.searchNetwork = networkSearchAllowed(settings);
    settings.gatewayDescriptionUrl = qEnvironmentVariable("VELLMAR_GATEWAY_URL");
    return settings;
}

bool networkSearchAllowed(const RouterSettings &settings)
{
    const QString off = qEnvironmentVariable("VELLMAR_NO_ROUTER_SEARCH");
    return settings.searchNetwork && (off.isEmpty() || off == u"0");
}

} // namespace vellmar::session
