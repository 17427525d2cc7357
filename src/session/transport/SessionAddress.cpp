#include "SessionAddress.h"

#include <QHostAddress>

namespace vellmar::session {

namespace {

std::optional<std::uint16_t> parsePort(const QString &text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool plausibleHost(const QString &host)
{
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (!(c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_' || c == u':'))
            return false;
    }
    return true;
}

} // namespace

std::optional<SessionAddress> parseSessionAddress(const QString &text, std::uint16_t defaultPort)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        const QString host = t.mid(1, close - 1);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        const QString rest = t.mid(close + 1);
        if (rest.isEmpty())
            return SessionAddress{host, defaultPort};
        if (!rest.startsWith(u':'))
            return std::nullopt;
        const auto port = parsePort(rest.mid(1));
        if (!port)
            return std::nullopt;
        return SessionAddress{host, *port};
    }
    if (t.count(u':') > 1) { // a bare IPv6 address has no port
        if (QHostAddress(t).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        return SessionAddress{t, defaultPort};
    }
    const qsizetype colon = t.indexOf(u':');
    const QString host = colon < 0 ? t : t.left(colon);
    if (!plausibleHost(host))
        return std::nullopt;
    if (colon < 0)
        return SessionAddress{host, defaultPort};
    const auto port = parsePort(t.mid(colon + 1));
    if (!port)
        return std::nullopt;
    return SessionAddress{host, *port};
}

QString plainAddress(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

} // namespace vellmar::session
