#include "IconCommands.h"

#include "IconDialogs.h"
#include "IconEntry.h"
#include "InitiativeRoll.h"
#include "InitiativeTracker.h"
#include "app/state/SharedState.h"
#include "dice/UniformSource.h"
#include "tokens/KeyedCollection.h"

namespace vellmar::tokens {

IconCommands::IconCommands(app::SharedState &state, IconDialogs &dialogs, InitiativeTracker &tracker,
                           std::function<void()> repaint, std::unique_ptr<dice::UniformSource> dice)
    : m_state(state)
    , m_dialogs(dialogs)
    , m_tracker(tracker)
    , m_repaint(std::move(repaint))
    , m_dice(dice ? std::move(dice) : std::make_unique<dice::SeededUniformSource>(dice::clockSeed()))
{}

IconCommands::~IconCommands() = default;

void IconCommands::PlaceIcon(std::int32_t mapX, std::int32_t mapY) { m_dialogs.showPlaceIcon(mapX, mapY); }

bool IconCommands::ModifyIcon(const CIcon *icon)
{
    if (!isKept(icon))
        return false;
    m_dialogs.showModifyIcon(icon->id, entryOf(*icon));
    return true;
}

bool IconCommands::RemoveIcon(const CIcon *icon)
{
    if (!isKept(icon) || !m_state.icons.remove(recordKey(icon->id)))
        return false;
    if (m_repaint)
        m_repaint();
    return true;
}

std::optional<std::int32_t> IconCommands::RollInitiative(const CIcon *icon)
{
    if (!isKept(icon))
        return std::nullopt;
    const std::int32_t total = rollInitiative(*m_dice, icon->initiative);
    m_tracker.AddRow(icon->name, total);
    return total;
}

bool IconCommands::isKept(const CIcon *icon) const { return icon && m_state.icons.find(icon->id).get() == icon; }

} // namespace vellmar::tokens
