#pragma once

#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>

#include <chrono>
#include <cstdint>
#include <memory>

// Stand-ins for a home router on 127.0.0.1, each on its own thread so that
// the code under test may block on them from the test's thread (as the port
// mapper's destructor does). Only loopback is ever used.
namespace vellmar::testing {

// What a fake router was asked: the action and its port, client and lifetime.
struct RouterCall
{
    QString action; // AddPortMapping, DeletePortMapping, GetExternalIPAddress; NAT-PMP: address, map
    QString externalPort;
    QString internalPort;
    QString internalClient;
    QString protocol;
    quint32 lifetime = 0;
};

class CallLog
{
public:
    void add(const RouterCall &call)
    {
        QMutexLocker lock(&m_mutex);
        m_calls << call;
    }
    QList<RouterCall> calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    QStringList actions() const
    {
        QStringList names;
        for (const RouterCall &call : calls())
            names << call.action;
        return names;
    }

private:
    mutable QMutex m_mutex;
    QList<RouterCall> m_calls;
};

struct UpnpBehaviour
{
    int refuseAddWith = 0;                 // a UPnP error code, or 0 to accept
    std::chrono::milliseconds addDelay{0}; // before answering AddPortMapping
    QString externalAddress = QStringLiteral("203.0.113.7");
};

// A UPnP Internet Gateway Device: the device description over HTTP and the
// SOAP calls a port mapping makes.
class FakeUpnpGateway : public CallLog
{
public:
    using Behaviour = UpnpBehaviour;
    explicit FakeUpnpGateway(Behaviour behaviour = {});
    ~FakeUpnpGateway();
    QString descriptionUrl() const { return m_url; }

private:
    QThread m_thread;
    QString m_url;
};

// A NAT-PMP gateway on 127.0.0.1's fixed NAT-PMP port.
class FakeNatPmpGateway : public CallLog
{
public:
    FakeNatPmpGateway();
    ~FakeNatPmpGateway();
    bool listening() const { return m_listening; }
    static QString externalAddress() { return QStringLiteral("198.51.100.4"); }
    static constexpr std::uint16_t publicPortOffset = 1000; // the outside port it hands out is port + this

private:
    QThread m_thread;
    bool m_listening = false;
};

} // namespace vellmar::testing
