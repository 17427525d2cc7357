#include "HostOptions.h"

#include <QFile>

namespace vellmar::session {

namespace {

std::optional<int> number(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// The first line of the file; a password is never given on the command
// line, where every user of the machine could read it.
std::optional<QString> readPassword(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the password file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QString line = QString::fromUtf8(file.readLine(4096)).remove(u'\n').remove(u'\r');
    if (line.isEmpty()) {
        *error = QStringLiteral("The password file %1 is empty; leave --password-file out for no password").arg(path);
        return std::nullopt;
    }
    return line;
}

} // namespace

QString hostUsage()
{
    return QStringLiteral("Usage: vellmar-host --name NAME [options]\n"
                          "Hosts a Vellmar session without a window or a player of its own; the game master\n"
                          "and the players all join it.\n\n"
                          "  --name NAME           session name shown to players (required)\n"
                          "  --port N              TCP port to listen on (default 47810; 0: any free port)\n"
                          "  --password-file F     joining needs the password on the first line of F\n"
                          "  --max-players N       at most N players at once, 1 to 99 (default 99)\n"
                          "  --listen ADDRESS      listen on this address only (default: every IPv4 and IPv6 address)\n"
                          "  --discovery-port N    answer searches on this UDP port (default 47811; 0: do not)\n"
                          "  --help                this text\n\n"
                          "Logs go to standard error. SIGTERM or SIGINT ends the session's hosting cleanly:\n"
                          "the players carry on under the earliest joiner.\n");
}

std::optional<HostOptions> parseHostOptions(const QStringList &arguments, QString *error)
{
    HostOptions o;
    o.settings.tcpPort = 47810;
    o.settings.tcpPortTries = 1; // a server's port is in its firewall rules: never another one
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == u"--help" || arg == u"-h") {
            o.help = true;
            return o;
        }
        if (i + 1 >= arguments.size()) {
            *error = QStringLiteral("Unknown option or missing value: %1").arg(arg);
            return std::nullopt;
        }
        const QString value = arguments.at(++i);
        if (arg == u"--name") {
            o.host.sessionName = value.trimmed();
        } else if (arg == u"--port" || arg == u"--discovery-port") {
            const auto port = number(value, 0, 65535);
            if (!port) {
                *error = QStringLiteral("%1 needs a port number from 0 to 65535, not \"%2\"").arg(arg, value);
                return std::nullopt;
            }
            (arg == u"--port" ? o.settings.tcpPort : o.settings.discoveryPort) = static_cast<std::uint16_t>(*port);
        } else if (arg == u"--max-players") {
            const auto max = number(value, 1, 99);
            if (!max) {
                *error = QStringLiteral("--max-players needs a number from 1 to 99, not \"%1\"").arg(value);
                return std::nullopt;
            }
            o.host.maxPlayers = *max;
        } else if (arg == u"--password-file") {
            const auto password = readPassword(value, error);
            if (!password)
                return std::nullopt;
            o.host.password = *password;
        } else if (arg == u"--listen") {
            const QHostAddress address(value);
            if (address.isNull()) {
                *error = QStringLiteral("--listen needs an IP address, not \"%1\"").arg(value);
                return std::nullopt;
            }
            o.settings.listenAddress = address;
        } else {
            *error = QStringLiteral("Unknown option: %1").arg(arg);
            return std::nullopt;
        }
    }
    if (o.host.sessionName.isEmpty()) {
        *error = QStringLiteral("--name is required");
        return std::nullopt;
    }
    return o;
}

} // namespace vellmar::session
