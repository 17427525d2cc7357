#include "TableState.h"

#include "table/Records.h"

#include <algorithm>
#include <memory>

namespace vellmar::saving {

TableContent contentOf(const table::Records &records, const combat::TurnOrder &order)
{
    TableContent content;
    content.markers.reserve(records.markers.size());
    records.markers.forEach([&content](const table::CMarker &marker) { content.markers.push_back(marker); });
    content.icons.reserve(records.icons.size());
    records.icons.forEach([&content](const table::CIcon &icon) { content.icons.push_back(icon); });
    content.combat = order.state();
    return content;
}

void restoreContent(const TableContent &content, OpenAs as, std::int32_t ownPlayerId, table::Records &records,
                    combat::TurnOrder &order)
{
    // Read before anything changes: the file was checked, this cannot fail.
    const auto restoredOrder = combat::TurnOrder::fromState(content.combat);
    if (restoredOrder)
        order = *restoredOrder;

    std::int32_t highestIcon = 0;
    records.currentIcon.reset();
    records.icons = {};
    for (table::CIcon icon : content.icons) {
        icon.UserID = ownPlayerId;
        highestIcon = std::max(highestIcon, icon.id);
        records.icons.add(std::make_shared<table::CIcon>(icon));
    }
    std::int32_t highestMarker = 0;
    if (as == OpenAs::Alone) {
        records.currentMarker.reset();
        records.markers = {};
        for (const table::CMarker &marker : content.markers) {
            highestMarker = std::max(highestMarker, marker.id);
            records.markers.add(std::make_shared<table::CMarker>(marker));
        }
    }
    records.keepIdsAbove(highestMarker, highestIcon);
}

} // namespace vellmar::saving
