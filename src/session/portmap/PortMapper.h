#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

#include <cstdint>

// Opening the hosting copy's port on the home router, so that players from
// the internet can reach it. The window only sees this interface; tests give
// it a fake.
namespace vellmar::session {

struct PortMapResult
{
    bool mapped = false;
    QString externalAddress;        // the router's outside address, if it told
    std::uint16_t externalPort = 0; // the outside port that leads here
    QString method;                 // "UPnP" or "NAT-PMP"
    QString reason;                 // why not, in plain words, when not mapped
};

// The status bar's words for the outcome, after the local addresses.
QString portMapStatus(const PortMapResult &result);
// The status bar's words while the router is being asked.
QString portMapPending();

class PortMapper : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Asks for TCP port `port` to be forwarded to this machine. finished()
    // comes exactly once, later from the event loop, never from inside start().
    virtual void start(std::uint16_t port) = 0;
    // Removes a mapping that was made (the destructor does it too).
    virtual void release() = 0;

Q_SIGNALS:
    void finished(const vellmar::session::PortMapResult &result);
};

} // namespace vellmar::session

Q_DECLARE_METATYPE(vellmar::session::PortMapResult)
