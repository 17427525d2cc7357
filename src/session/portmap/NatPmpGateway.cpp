#include "session/portmap/Gateways.h"
#include "session/portmap/PortMapLog.h"

#include <QHostAddress>

#include <arpa/inet.h>
// The library has the error texts; the header shows them only on request.
#define ENABLE_STRNATPMPERR
#include <natpmp.h>
#include <poll.h>

#include <algorithm>

// NAT-PMP through libnatpmp: one UDP request to the gateway for its outside
// address, one for the forwarding. libnatpmp retries with growing pauses for
// about a minute; every wait here stops at the attempt's deadline instead.
namespace vellmar::session {

namespace {

constexpr quint32 requestedLifetime = 7200; // seconds; renewed at half time

class Conversation
{
public:
    explicit Conversation(quint32 gateway) { m_status = initnatpmp(&m_pmp, 1, htonl(gateway)); }
    Conversation(const Conversation &) = delete;
    Conversation &operator=(const Conversation &) = delete;
    ~Conversation()
    {
        if (m_status >= 0)
            closenatpmp(&m_pmp);
    }
    bool ready() const { return m_status >= 0; }
    natpmp_t *pmp() { return &m_pmp; }

    // 0 with `response` filled, or a NATPMP_ERR_* code; 1 when the deadline came first.
    int await(natpmpresp_t &response, const QDeadlineTimer &deadline)
    {
        for (;;) {
            timeval wait{};
            getnatpmprequesttimeout(&m_pmp, &wait);
            const qint64 untilRetry = std::max<qint64>(0, wait.tv_sec * 1000 + wait.tv_usec / 1000);
            const qint64 left = deadline.remainingTime();
            if (left == 0)
                return 1;
            pollfd socket{m_pmp.s, POLLIN, 0};
            poll(&socket, 1, static_cast<int>(std::min<qint64>(untilRetry, left < 0 ? untilRetry : left)));
            const int read = readnatpmpresponseorretry(&m_pmp, &response);
            if (read != NATPMP_TRYAGAIN)
                return read;
        }
    }

private:
    natpmp_t m_pmp{};
    int m_status = -1;
};

QString natPmpError(int code)
{
    if (code == 1)
        return QStringLiteral("the router gave no NAT-PMP answer in time");
    return QStringLiteral("NAT-PMP error %1, %2").arg(code).arg(QString::fromUtf8(strnatpmperr(code)));
}

// The default route's gateway, as libnatpmp finds it; 0 when there is none.
quint32 defaultGateway()
{
    natpmp_t probe{};
    if (initnatpmp(&probe, 0, 0) < 0)
        return 0;
    const quint32 gateway = ntohl(probe.gateway);
    closenatpmp(&probe);
    return gateway;
}

} // namespace

std::optional<NatPmpMapping> natPmpMap(const RouterSettings &settings, std::uint16_t port,
                                       const QDeadlineTimer &deadline, PortMapResult &result)
{
    quint32 gateway = 0;
    if (settings.natPmpGateway)
        gateway = settings.natPmpGateway->toIPv4Address();
    else if (networkSearchAllowed(settings))
        gateway = defaultGateway();
    else
        return std::nullopt; // not tried
    if (gateway == 0) {
        result.reason = QStringLiteral("no gateway to ask");
        return std::nullopt;
    }
    qCDebug(lcPortMap) << "asking the NAT-PMP gateway" << QHostAddress(gateway).toString();
    Conversation talk(gateway);
    if (!talk.ready()) {
        result.reason = QStringLiteral("cannot reach the gateway");
        return std::nullopt;
    }
    natpmpresp_t response{};
    int status = sendpublicaddressrequest(talk.pmp());
    if (status >= 0)
        status = talk.await(response, deadline);
    if (status != 0 || response.type != NATPMP_RESPTYPE_PUBLICADDRESS) {
        result.reason = natPmpError(status != 0 ? status : NATPMP_ERR_UNDEFINEDERROR);
        return std::nullopt;
    }
    const QString outside = QHostAddress(ntohl(response.pnu.publicaddress.addr.s_addr)).toString();

    status = sendnewportmappingrequest(talk.pmp(), NATPMP_PROTOCOL_TCP, port, port, requestedLifetime);
    if (status >= 0)
        status = talk.await(response, deadline);
    if (status != 0 || response.type != NATPMP_RESPTYPE_TCPPORTMAPPING) {
        result.reason = QStringLiteral("the router refused the forwarding (%1)")
                            .arg(natPmpError(status != 0 ? status : NATPMP_ERR_UNDEFINEDERROR));
        qCInfo(lcPortMap) << "NAT-PMP:" << result.reason;
        return std::nullopt;
    }
    NatPmpMapping mapping{gateway, response.pnu.newportmapping.privateport,
                          response.pnu.newportmapping.mappedpublicport, response.pnu.newportmapping.lifetime};
    result.mapped = true;
    result.method = QStringLiteral("NAT-PMP");
    result.externalAddress = outside;
    result.externalPort = mapping.publicPort;
    result.reason.clear();
    qCInfo(lcPortMap, "NAT-PMP: port %u forwarded from outside port %u for %u s", port, mapping.publicPort,
           mapping.lifetime);
    return mapping;
}

bool natPmpUnmap(const NatPmpMapping &mapping, const QDeadlineTimer &deadline)
{
    Conversation talk(mapping.gateway);
    natpmpresp_t response{};
    // A lifetime of 0 asks the gateway to remove the forwarding.
    int status = talk.ready() ? sendnewportmappingrequest(talk.pmp(), NATPMP_PROTOCOL_TCP, mapping.privatePort, 0, 0)
                              : NATPMP_ERR_SOCKETERROR;
    if (status >= 0)
        status = talk.await(response, deadline);
    if (status != 0) {
        qCWarning(lcPortMap) << "NAT-PMP: the router did not remove the forwarding of port" << mapping.publicPort << '('
                             << natPmpError(status) << ')';
        return false;
    }
    qCInfo(lcPortMap) << "NAT-PMP: forwarding of port" << mapping.publicPort << "removed";
    return true;
}

} // namespace vellmar::session
