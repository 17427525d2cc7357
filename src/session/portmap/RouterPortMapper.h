#pragma once

#include "session/portmap/PortMapper.h"
#include "session/portmap/RouterSettings.h"

#include <QThread>
#include <QTimer>

// Asks the real router (UPnP IGD first, then NAT-PMP) on a worker thread, so
// the window never waits on the network. The answer comes within the
// settings' deadline: a router that is slower is reported as not answering,
// and a forwarding it makes after all is removed at once.
namespace vellmar::session {

class RouterWorker;

class RouterPortMapper final : public PortMapper
{
    Q_OBJECT
public:
    explicit RouterPortMapper(RouterSettings settings, QObject *parent = nullptr);
    // Removes the forwarding; waits for a router conversation still going on.
    ~RouterPortMapper() override;

    void start(std::uint16_t port) override;
    void release() override;

private:
    void answer(const PortMapResult &result);
    void deadlinePassed();
    void removeForwarding(Qt::ConnectionType connection);

    RouterSettings m_settings;
    QThread m_thread;
    RouterWorker *m_worker = nullptr; // lives on m_thread
    QTimer m_deadline;
    bool m_started = false;
    bool m_answered = false;
    bool m_released = false;
};

} // namespace vellmar::session
