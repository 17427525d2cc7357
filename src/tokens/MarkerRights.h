#pragma once

#include "table/CMarker.h"

#include <cstdint>

// Who may do what with a marker. The map's menus offer a participant exactly
// what these allow it, and a received marker message counts only when its
// sender, as the host stamped it, passes the same test: a rule that lived in
// the menus alone would bind only the copies that keep to them.
namespace vellmar::tokens {

struct MarkerActor
{
    std::int32_t playerId = 0;
    bool isMaster = false;
};

// Only the master hands out marker ids, so only the master announces markers.
inline bool mayAnnounceMarker(MarkerActor actor) { return actor.isMaster; }

// Text and position (the modify dialog, dragging): the marker's owner only;
// the master may not change a player's marker either.
inline bool mayChangeMarker(const table::CMarker &marker, MarkerActor actor) { return marker.UserID == actor.playerId; }

// The owner, and the master for any marker.
inline bool mayRemoveMarker(const table::CMarker &marker, MarkerActor actor)
{
    return marker.UserID == actor.playerId || actor.isMaster;
}

} // namespace vellmar::tokens
