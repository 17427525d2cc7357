#pragma once

#include "map/MapOverlay.h"
#include "table/Collections.h"

#include <cstdint>

namespace vellmar::map {

namespace fog {
class FogMask;
}

// What the view shows besides the map itself, read afresh for every drawing.
struct MapScene
{
    const table::MarkerCollection *markers = nullptr;
    const table::IconCollection *icons = nullptr;
    const table::CMarker *selectedMarker = nullptr; // ringed; null when nothing is selected
    std::int32_t ownPlayerID = 0;                   // a selected marker of this id gets the yellow ring
    bool showGrid = true;
    const table::ShownIconCollection *shownIcons = nullptr; // the master's, drawn read-only
    // Drawn over the picture and grid but under the icons and markers, and
    // over everything including the selection ring; either may be null.
    const MapOverlay *underRecords = nullptr;
    const MapOverlay *overRecords = nullptr;
    // The fog over the table's shown map; null where there is none (a map
    // loaded for oneself). The master sees hidden cells shaded, players opaque.
    const fog::FogMask *fog = nullptr;
    bool fogForMaster = false;
};

} // namespace vellmar::map
