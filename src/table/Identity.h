#pragma once

#include <QString>

#include <cstdint>

namespace vellmar::table {

// Who this copy is in the session and what role it plays.
struct Identity
{
    // Offline a copy counts as game master for its own map.
    bool inSession = false;
    bool isMaster = true;
    bool appClosing = false;

    std::int32_t ownPlayerID = 0;
    QString userName; // the master's ends in "(DM)"
    // The player id of the session's master, as the host stamps it on the
    // master's messages; 0 outside a session and while nobody holds the role.
    // The role is given by a host when it lets a player in (the hosting
    // copy's own player, or the joiner a host without a player gave it to)
    // and never moves to another id: a host change makes nobody master.
    std::int32_t masterPlayerID = 0;

    // A received message came from the master: the host stamps the sender,
    // so names and payload fields prove nothing.
    bool fromMaster(std::int32_t from) const { return masterPlayerID != 0 && from == masterPlayerID; }
};

} // namespace vellmar::table
