#include "CombatTrackerLink.h"

#include "combat/forms/frmCombat.h"

namespace vellmar::tokens {

CombatTrackerLink::CombatTrackerLink(std::function<combat::frmCombat *()> openTracker)
    : m_openTracker(std::move(openTracker))
{}

void CombatTrackerLink::AddRow(const QString &participant, std::int32_t initiative)
{
    if (combat::frmCombat *tracker = m_openTracker ? m_openTracker() : nullptr)
        tracker->AddRow(participant, initiative);
}

} // namespace vellmar::tokens
