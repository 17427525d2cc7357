#pragma once

#include "TransportSettings.h"
#include "TransportTypes.h"

#include <QList>
#include <QString>

#include <optional>

// Finding sessions to join: by asking one host directly, or by a broadcast
// on the local network. Both block for a bounded time.
namespace vellmar::session {

// The session at host:port, when it is one of this application and version.
std::optional<SessionDescription> querySession(const TransportSettings &settings, const QString &host,
                                               std::uint16_t port, const QString &guidApplication, QString *error);

// Every session of this application that answers within the search time.
QList<SessionDescription> searchSessions(const TransportSettings &settings, const QString &guidApplication);

} // namespace vellmar::session
