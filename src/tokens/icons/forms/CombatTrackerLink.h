#pragma once

#include "tokens/icons/InitiativeTracker.h"

#include <functional>

namespace vellmar::combat {
class frmCombat;
}

namespace vellmar::tokens {

// Sends rolled initiatives to the combat tracker window. `openTracker` shows
// the one tracker (building it when needed) and returns it; null when there is
// none to be had, and the roll is dropped.
class CombatTrackerLink final : public InitiativeTracker
{
public:
    explicit CombatTrackerLink(std::function<combat::frmCombat *()> openTracker);
    void AddRow(const QString &participant, std::int32_t initiative) override;

private:
    std::function<combat::frmCombat *()> m_openTracker;
};

} // namespace vellmar::tokens
