#include "IconCommands.h"

#include "IconDialogs.h"
#include "IconEntry.h"
#include "InitiativeRoll.h"
#include "InitiativeTracker.h"
#include "dice/UniformSource.h"
#include "table/KeyedCollection.h"
#include "table/Records.h"

namespace vellmar::tokens {

IconCommands::IconCommands(table::Records &records, IconDialogs &dialogs, InitiativeTracker &tracker,
                           std::function<void()> repaint, std::unique_ptr<dice::UniformSource> dice)
    : m_records(records)
    , m_dialogs(dialogs)
    , m_tracker(tracker)
    , m_repaint(std::move(repaint))
    , m_dice(dice ? std::move(dice) : std::make_unique<dice::SeededUniformSource>(dice::clockSeed()))
{}

IconCommands::~IconCommands() = default;

void IconCommands::PlaceIcon(std::int32_t mapX, std::int32_t mapY) { m_dialogs.showPlaceIcon(mapX, mapY); }

bool IconCommands::ModifyIcon(const table::CIcon *icon)
{
    if (!isKept(icon))
        return false;
    m_dialogs.showModifyIcon(icon->id, entryOf(*icon));
    return true;
}

bool IconCommands::RemoveIcon(const table::CIcon *icon)
{
    if (!isKept(icon) || !m_records.icons.remove(table::recordKey(icon->id)))
        return false;
    if (m_repaint)
        m_repaint();
    return true;
}

std::optional<std::int32_t> IconCommands::RollInitiative(const table::CIcon *icon)
{
    if (!isKept(icon))
        return std::nullopt;
    const std::int32_t total = rollInitiative(*m_dice, icon->initiative);
    m_tracker.AddRow(icon->name, total);
    return total;
}

bool IconCommands::isKept(const table::CIcon *icon) const
{
    return icon && m_records.icons.find(icon->id).get() == icon;
}

} // namespace vellmar::tokens
