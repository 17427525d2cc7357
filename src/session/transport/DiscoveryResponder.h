#pragma once

#include "Frames.h"
#include "TransportSettings.h"

#include <QObject>

#include <functional>

class QUdpSocket;

// Answers session searches on the discovery port for the host. It answers
// only searches for its own application and protocol version, and only to the
// searcher's own address and port.
namespace vellmar::session {

class DiscoveryResponder : public QObject
{
    Q_OBJECT
public:
    using InfoSource = std::function<InfoFrame()>;

    DiscoveryResponder(const TransportSettings &settings, InfoSource info, QObject *parent = nullptr);
    // False when the port cannot be bound; the session still works by address.
    bool start();

private:
    void onReadyRead();

    const TransportSettings &m_settings;
    InfoSource m_info;
    QUdpSocket *m_socket = nullptr;
};

} // namespace vellmar::session
