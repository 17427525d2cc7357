#include "session/portmap/PortMapper.h"
#include "session/portmap/RouterSettings.h"

namespace vellmar::session {

QString portMapStatus(const PortMapResult &result)
{
    if (!result.mapped)
        return u"the router did not open the port for the internet (" + result.reason + u')';
    const QString address =
        result.externalAddress.isEmpty() ? QStringLiteral("the router's outside address") : result.externalAddress;
    return QStringLiteral("from the internet at %1:%2 (opened by %3)")
        .arg(address, QString::number(result.externalPort), result.method);
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
