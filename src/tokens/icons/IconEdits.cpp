#include "IconEdits.h"

#include "IconEntry.h"
#include "app/state/SharedState.h"

namespace vellmar::tokens {

std::shared_ptr<CIcon> addPlacedIcon(app::SharedState &state, const IconValues &values, std::int32_t mapX,
                                     std::int32_t mapY)
{
    auto icon = std::make_shared<CIcon>();
    icon->mapX = mapX;
    icon->mapY = mapY;
    applyValues(*icon, values);
    icon->id = state.NextIconID();
    // The map menu offers an icon's commands to its owner only; recording the
    // creator keeps icons placed during a session usable.
    icon->UserID = state.ownPlayerID;
    if (!state.icons.add(icon))
        return nullptr;
    return icon;
}

bool rewriteIcon(IconCollection &icons, std::int32_t id, const IconValues &values)
{
    const IconCollection::Pointer icon = icons.find(id);
    if (!icon)
        return false;
    applyValues(*icon, values);
    return true;
}

} // namespace vellmar::tokens
