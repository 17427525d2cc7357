#include "IconEdits.h"

#include "IconEntry.h"

namespace vellmar::tokens {

std::shared_ptr<table::CIcon> addPlacedIcon(table::Records &records, const IconValues &values, std::int32_t mapX,
                                            std::int32_t mapY, std::int32_t owner)
{
    auto icon = std::make_shared<table::CIcon>();
    icon->mapX = mapX;
    icon->mapY = mapY;
    applyValues(*icon, values);
    icon->id = records.NextIconID();
    // The map menu offers an icon's commands to its owner only; recording the
    // creator keeps icons placed during a session usable.
    icon->UserID = owner;
    if (!records.icons.add(icon))
        return nullptr;
    return icon;
}

bool rewriteIcon(table::IconCollection &icons, std::int32_t id, const IconValues &values)
{
    const table::IconCollection::Pointer icon = icons.find(id);
    if (!icon)
        return false;
    applyValues(*icon, values);
    return true;
}

} // namespace vellmar::tokens
