#pragma once

#include "table/CMarker.h"
#include "tokens/MarkerRights.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace vellmar::table {
class Table;
}
namespace vellmar::session {
class Dispatcher;
}

namespace vellmar::tokens {

// Markers shared by everyone: this copy's marker commands, the messages that
// carry them, and what happens when such a message arrives. The game
// master's copy alone hands out marker ids, so a player's new marker goes
// there first and appears everywhere when the master announces it.
class MarkerExchange
{
public:
    // The master adds no more markers for a player that holds this many.
    static constexpr std::size_t kMostMarkersPerPlayer = 1000;

    MarkerExchange(table::Table &state, std::function<void()> repaint);

    // A new marker of this participant (the quick marker and the place dialog).
    void placeMarker(const QString &info, std::int32_t mapX, std::int32_t mapY);
    // False when the marker is gone (removed meanwhile); nothing is sent then.
    bool modifyMarker(std::int32_t id, const QString &info);
    // Removes the selected marker everywhere; does nothing without a selection.
    void removeCurrentMarker();

    // Each sends one message to all, and only while in a session.
    void RequestPlaceMarker(const table::CMarker &p_marker);
    void BroadcastPlaceMarker(const table::CMarker &p_marker);
    void BroadcastUpdateMarker(const table::CMarker &p_marker);
    // The master's copy: every marker it holds, as the same announcements,
    // to one player (one who joined late), so that player's markers equal
    // the master's. Nothing on a player's copy.
    void sendMarkersTo(std::int32_t playerId);
    // The master's copy: every marker of the session gives way to these (an
    // opened table's), removed and announced everywhere, so every copy ends
    // with exactly these. Nothing on a player's copy.
    void replaceMarkers(const std::vector<table::CMarker> &markers);

    // A received marker message (types 4, 6, 11, 12) from the player the
    // host stamped as its sender. Messages naming an unknown marker, that
    // cannot be read, or whose sender has no right to them change nothing.
    void receive(std::int32_t type, std::int32_t from, const QString &payload);
    // Takes those four types as they arrive.
    void route(session::Dispatcher &dispatcher);

    // Marker texts travel in ";"-joined messages.
    static bool acceptableInfo(const QString &info) { return !info.contains(u';'); }

private:
    void addMastersMarker(table::CMarker marker);
    MarkerActor sender(std::int32_t from) const;
    void receiveRemove(std::int32_t from, const QString &payload);
    void receivePlace(std::int32_t from, const QString &payload);
    void receiveRequest(std::int32_t from, const QString &payload);
    void receiveUpdate(std::int32_t from, const QString &payload);

    table::Table &m_state;
    std::function<void()> m_repaint;
};

} // namespace vellmar::tokens
