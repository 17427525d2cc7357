#pragma once

#include "dice/UniformSource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace vellmar::table {
class CIcon;
class Records;
} // namespace vellmar::table

namespace vellmar::tokens {

class IconDialogs;
class InitiativeTracker;

// The icon commands of the map's pop-up menu. The menu decides which commands
// it offers; each command here acts only on an icon that is still in `icons`,
// so a stale selection does nothing.
class IconCommands
{
public:
    // `repaint` redraws the map view. Without a dice source the commands use
    // a clock-seeded one.
    IconCommands(table::Records &records, IconDialogs &dialogs, InitiativeTracker &tracker,
                 std::function<void()> repaint, std::unique_ptr<dice::UniformSource> dice = nullptr);
    ~IconCommands();

    // Opens the place dialog for a new icon at this map position.
    void PlaceIcon(std::int32_t mapX, std::int32_t mapY);
    // Opens the modify dialog filled from the icon; false for no icon.
    bool ModifyIcon(const table::CIcon *icon);
    // Takes the icon out of `icons` and repaints; its id is never reused.
    // The caller drops its selection of the icon when this returns true.
    bool RemoveIcon(const table::CIcon *icon);
    // d20 + the icon's initiative, added to the tracker under the icon's name.
    std::optional<std::int32_t> RollInitiative(const table::CIcon *icon);

private:
    bool isKept(const table::CIcon *icon) const;

    table::Records &m_records;
    IconDialogs &m_dialogs;
    InitiativeTracker &m_tracker;
    std::function<void()> m_repaint;
    std::unique_ptr<dice::UniformSource> m_dice;
};

} // namespace vellmar::tokens
