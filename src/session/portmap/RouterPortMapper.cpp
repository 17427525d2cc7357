#include "session/portmap/RouterPortMapper.h"

#include "session/portmap/Gateways.h"
#include "session/portmap/PortMapLog.h"

#include <QStringList>

#include <optional>

namespace vellmar::session {

Q_LOGGING_CATEGORY(lcPortMap, "vellmar.portmap", QtWarningMsg)

// Holds the forwarding made and talks to the router; every call runs on the
// worker thread, in the order they were queued.
class RouterWorker : public QObject
{
    Q_OBJECT
public:
    explicit RouterWorker(RouterSettings settings) : m_settings(std::move(settings)), m_renewal(this)
    {
        m_renewal.setSingleShot(true);
        connect(&m_renewal, &QTimer::timeout, this, &RouterWorker::renew);
    }

    void map(std::uint16_t port)
    {
        const QDeadlineTimer deadline(m_settings.deadline);
        PortMapResult upnp;
        if ((m_upnp = upnpMap(m_settings, port, upnp))) {
            Q_EMIT done(upnp);
            return;
        }
        PortMapResult natPmp;
        if (!deadline.hasExpired() && (m_natPmp = natPmpMap(m_settings, port, deadline, natPmp))) {
            scheduleRenewal();
            Q_EMIT done(natPmp);
            return;
        }
        QStringList reasons;
        if (!upnp.reason.isEmpty())
            reasons << u"UPnP: " + upnp.reason;
        if (!natPmp.reason.isEmpty())
            reasons << u"NAT-PMP: " + natPmp.reason;
        PortMapResult failed;
        failed.reason = reasons.isEmpty() ? QStringLiteral("searching for the router is switched off")
                                          : reasons.join(QStringLiteral("; "));
        qCInfo(lcPortMap) << "no forwarding:" << failed.reason;
        Q_EMIT done(failed);
    }

    void unmap()
    {
        m_renewal.stop();
        if (m_upnp)
            upnpUnmap(*m_upnp);
        if (m_natPmp)
            natPmpUnmap(*m_natPmp, QDeadlineTimer(m_settings.deadline));
        m_upnp.reset();
        m_natPmp.reset();
    }

Q_SIGNALS:
    void done(const vellmar::session::PortMapResult &result);

private:
    // NAT-PMP forwardings expire; asking again at half time keeps it open.
    void scheduleRenewal()
    {
        const qint64 halfLife = std::max<qint64>(60, m_natPmp->lifetime / 2);
        m_renewal.start(std::chrono::seconds(halfLife));
    }

    void renew()
    {
        if (!m_natPmp)
            return;
        RouterSettings again = m_settings;
        again.natPmpGateway = QHostAddress(m_natPmp->gateway);
        PortMapResult result;
        if (auto renewed = natPmpMap(again, m_natPmp->privatePort, QDeadlineTimer(m_settings.deadline), result)) {
            m_natPmp = renewed;
            scheduleRenewal();
        } else {
            qCWarning(lcPortMap) << "NAT-PMP: renewing the forwarding failed:" << result.reason;
            m_renewal.start(std::chrono::seconds(60));
        }
    }

    RouterSettings m_settings;
    std::optional<UpnpMapping> m_upnp;
    std::optional<NatPmpMapping> m_natPmp;
    QTimer m_renewal;
};

RouterPortMapper::RouterPortMapper(RouterSettings settings, QObject *parent)
    : PortMapper(parent)
    , m_settings(std::move(settings))
    , m_worker(new RouterWorker(m_settings))
{
    qRegisterMetaType<PortMapResult>();
    m_thread.setObjectName(QStringLiteral("router port mapping"));
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &RouterWorker::done, this, &RouterPortMapper::answer, Qt::QueuedConnection);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &RouterPortMapper::deadlinePassed);
}

RouterPortMapper::~RouterPortMapper()
{
    if (m_thread.isRunning()) {
        // Blocking: the exit must not outrun the removal. A conversation still
        // going on ends first (miniupnpc and the deadline bound it).
        removeForwarding(Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_worker;
}

void RouterPortMapper::start(std::uint16_t port)
{
    if (m_started)
        return;
    m_started = true;
    m_thread.start();
    m_deadline.start(m_settings.deadline);
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, port] { worker->map(port); }, Qt::QueuedConnection);
}

void RouterPortMapper::release()
{
    if (!m_started || m_released)
        return;
    m_released = true;
    m_answered = true; // nothing is reported after this
    m_deadline.stop();
    removeForwarding(Qt::QueuedConnection);
}

void RouterPortMapper::removeForwarding(Qt::ConnectionType connection)
{
    // Queued behind an attempt still going on, so it also removes what that makes.
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->unmap(); }, connection);
}

void RouterPortMapper::answer(const PortMapResult &result)
{
    if (m_answered)
        return; // too late: the deadline's unmap, queued after the attempt, removes it
    m_answered = true;
    m_deadline.stop();
    Q_EMIT finished(result);
}

void RouterPortMapper::deadlinePassed()
{
    if (m_answered)
        return;
    m_answered = true;
    removeForwarding(Qt::QueuedConnection);
    PortMapResult late;
    late.reason = QStringLiteral("the router gave no answer within %1 s")
                      .arg(static_cast<double>(m_settings.deadline.count()) / 1000.0);
    qCInfo(lcPortMap) << late.reason;
    Q_EMIT finished(late);
}

} // namespace vellmar::session

#include "RouterPortMapper.moc"
