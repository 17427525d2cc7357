#pragma once

#include "table/Collections.h"
#include "table/ShownMap.h"

#include <cstdint>
#include <optional>

namespace vellmar::table {

// The records on this copy's map, the selection among them and the counters
// that hand out their ids.
class Records
{
public:
    // In the order they were added.
    IconCollection icons;
    MarkerCollection markers;
    ShownIconCollection shownIcons;
    // The selection on the map; null when nothing is selected.
    MarkerCollection::Pointer currentMarker;
    IconCollection::Pointer currentIcon;
    // The map the master shows to everyone; empty until it shows one.
    std::optional<ShownMap> shownMap;

    // Hands out 1, 2, 3, ... ; the master's counter is the only source of
    // marker ids in a session.
    std::int32_t NextMarkerID() { return m_nextMarkerID++; }
    std::int32_t NextIconID() { return m_nextIconID++; }
    // Records read from a file keep their ids: the counters move past them so
    // nothing handed out later collides.
    void keepIdsAbove(std::int32_t markerId, std::int32_t iconId)
    {
        if (markerId >= m_nextMarkerID)
            m_nextMarkerID = markerId + 1;
        if (iconId >= m_nextIconID)
            m_nextIconID = iconId + 1;
    }

private:
    std::int32_t m_nextMarkerID = 1;
    std::int32_t m_nextIconID = 1;
};

} // namespace vellmar::table
