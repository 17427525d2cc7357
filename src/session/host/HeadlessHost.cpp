#include "HeadlessHost.h"

#include "session/binding/SessionIdentity.h"
#include "session/protocol/Messages.h"
#include "session/transport/DiscoveryResponder.h"
#include "session/transport/HostCore.h"

#include <QLoggingCategory>

namespace vellmar::session {

namespace {
Q_LOGGING_CATEGORY(lcHost, "vellmar.host", QtWarningMsg)
} // namespace

HeadlessHost::HeadlessHost(TransportSettings settings, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
{}

HeadlessHost::~HeadlessHost()
{
    // The host core refers to the roster and to this sink.
    delete m_host;
}

bool HeadlessHost::start(const Options &options, QString *error)
{
    SessionDescription desc;
    desc.guidApplication = identity::applicationGuid();
    desc.sessionName = options.sessionName;
    desc.maxPlayers = options.maxPlayers;
    desc.flags = identity::sessionFlags;
    if (desc.sessionName.isEmpty() || desc.sessionName.toUtf8().size() > qsizetype(kMaxNameBytes)) {
        *error = QStringLiteral("The session name must have 1 to %1 bytes").arg(kMaxNameBytes);
        return false;
    }
    m_host = new HostCore(m_settings, desc, m_roster, *this, this);
    connect(m_host, &HostCore::deposed, this, &HeadlessHost::onDeposed);
    m_host->setPassword(newPasswordKey(options.password, m_settings.passwordKeyRounds));
    QString listenError;
    if (!m_host->listen(&listenError)) {
        *error = QStringLiteral("Cannot listen for players: %1").arg(listenError);
        delete std::exchange(m_host, nullptr);
        return false;
    }
    m_host->openWithoutPlayer();
    if (m_settings.discoveryPort != 0) {
        m_discovery = new DiscoveryResponder(
            m_settings, [this] { return m_host ? m_host->info() : InfoFrame{}; }, this);
        if (!m_discovery->start())
            qCWarning(lcHost) << "cannot answer searches on UDP port" << m_settings.discoveryPort
                              << "; players join by address";
    }
    qCInfo(lcHost).noquote() << QStringLiteral("hosting \"%1\" on TCP port %2 for up to %3 players%4")
                                    .arg(desc.sessionName)
                                    .arg(m_host->port())
                                    .arg(desc.maxPlayers)
                                    .arg(options.password.isEmpty() ? QString() : QStringLiteral(", with a password"));
    return true;
}

void HeadlessHost::stop()
{
    if (!m_host)
        return;
    qCInfo(lcHost) << "stopping; telling" << m_roster.presentCount() << "players";
    delete std::exchange(m_discovery, nullptr);
    m_host->leave();
}

std::uint16_t HeadlessHost::port() const { return m_host ? m_host->port() : 0; }

void HeadlessHost::noticeLocal(std::int32_t type, PlayerId about)
{
    if (type == NOTICE_PLAYER_DESTROYED)
        qCInfo(lcHost) << "player" << about << "left;" << m_roster.presentCount() << "present";
}

void HeadlessHost::onDeposed()
{
    qCWarning(lcHost) << "another player took over as host while this one was not answering; stopping";
    delete std::exchange(m_discovery, nullptr);
    m_host->stepDown();
    Q_EMIT deposed();
}

} // namespace vellmar::session
