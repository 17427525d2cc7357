#pragma once

#include "map/fog/FogExchange.h"
#include "table/ShownMap.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace vellmar::table {
class Table;
}

namespace vellmar::map {
class MapState;
}

// The fog on this copy's table: which fog lies over the map the view shows,
// and the master's tools acting on it. The session's fog belongs to the map
// the master shows to the players; a player's copy draws it only while it
// views that map, never over a map it loaded for itself. The master may also
// fog a map it has not shown yet (or any map outside a session): that fog
// stays on this copy until the map is shown, and then travels with it.
namespace vellmar::map::fog {

class TableFog
{
public:
    // `changed` is called whenever the fog in view may look different.
    TableFog(table::Table &table, const MapState &map, std::function<void()> changed);

    void route(session::Dispatcher &dispatcher) { m_exchange.route(dispatcher); }
    const FogExchange &exchange() const { return m_exchange; }

    // The fog over the map in view (a brush stroke under way included), or
    // null when none covers it.
    const FogMask *sceneFog() const;
    // The same without a stroke under way, for a table file; none when it
    // hides nothing.
    std::optional<FogMask> savedFog() const;

    // A player's copy now draws the shown map's picture.
    void shownMapArrived();
    // The master's loaded map has just become the shown map: its fog (drawn
    // before, or a fresh one with nothing hidden) goes to every player.
    void mapShown();
    // The fog of the shown map to a player who joined late; after the map.
    void sendTo(std::int32_t playerId);
    // Outside a session a table file's map has just replaced the view's: its
    // fog (none: nothing hidden) covers it now.
    void tableOpened(const std::optional<FogMask> &fog);

    // Why the fog tools do nothing here, or empty when they act.
    QString whyNoTools() const;
    // The master's tools; each is false when nothing changed.
    bool apply(const FogStep &step);
    bool undo();
    bool redo();
    // A step shown on this copy only until apply() or endPreview(): a brush
    // stroke follows the pointer while the finished stroke stays one step.
    void preview(const FogStep &step);
    void endPreview();

private:
    std::int64_t pictureSerial() const;
    bool fits(const FogMask &mask) const;
    // The shown map's fog lies over the view.
    bool viewsShared() const;
    bool viewsDraft() const;
    // Where the tools act: the session's fog or this copy's draft, made for
    // the picture in view when it has none yet.
    FogHistory *draftForView();

    table::Table &m_table;
    const MapState &m_map;
    std::function<void()> m_changed;
    FogExchange m_exchange;
    // Pictures are told apart by the serial QImage gives every new image:
    // a map loaded again from its file is another picture here.
    std::int64_t m_sharedPicture = 0;
    std::optional<table::ShownMap> m_sharedMap;
    FogHistory m_draft;
    std::int64_t m_draftPicture = 0;
    std::optional<FogMask> m_preview;
};

} // namespace vellmar::map::fog
