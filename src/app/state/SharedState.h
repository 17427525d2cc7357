#pragma once

#include "session/protocol/MessageSender.h"
#include "tokens/Collections.h"

#include <QString>

#include <cstdint>

namespace vellmar::app {

// The program-wide state that every window reads: identity, role and the
// identifier counters. The main window owns the one instance and hands it to
// other windows by reference.
class SharedState
{
public:
    // Offline a copy counts as game master for its own map.
    bool inSession = false;
    bool isMaster = true;
    bool appClosing = false;

    std::int32_t ownPlayerID = 0;
    QString userName; // the master's ends in "(DM)"
    // The player id of the session's master, as the host stamps it on the
    // master's messages; 0 outside a session. Set once when the session
    // starts and never moved: a host change makes nobody master.
    std::int32_t masterPlayerID = 0;

    // Null while no session exists; set once hosting or joining succeeded.
    session::MessageSender *sender = nullptr;

    // The records on this copy's map, in the order they were added.
    tokens::IconCollection icons;
    tokens::MarkerCollection markers;
    // The selection on the map; null when nothing is selected.
    tokens::MarkerCollection::Pointer currentMarker;
    tokens::IconCollection::Pointer currentIcon;

    // Hands out 1, 2, 3, ... ; the master's counter is the only source of
    // marker ids in a session.
    std::int32_t NextMarkerID() { return m_nextMarkerID++; }
    std::int32_t NextIconID() { return m_nextIconID++; }

    // Sends to every other participant when in a session; false when there is
    // no session or the transport refused.
    bool sendToAll(std::int32_t type, const QString &payload);
    bool sendTo(std::int32_t playerId, std::int32_t type, const QString &payload);

private:
    std::int32_t m_nextMarkerID = 1;
    std::int32_t m_nextIconID = 1;
};

} // namespace vellmar::app
