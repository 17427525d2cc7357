#pragma once

#include <cstdint>

namespace vellmar::tokens {

struct IconEntry;

// Opens the icon dialogs. The dialogs do their own work when "Set" is
// pressed; the commands only decide what they open with.
class IconDialogs
{
public:
    virtual ~IconDialogs() = default;
    // The place dialog for a new icon at this map position.
    virtual void showPlaceIcon(std::int32_t mapX, std::int32_t mapY) = 0;
    // The modify dialog for the icon kept under `id`, its boxes filled.
    virtual void showModifyIcon(std::int32_t id, const IconEntry &entry) = 0;
};

} // namespace vellmar::tokens
