#include "CIcon.h"

#include "Health.h"

namespace vellmar::table {

QString CIcon::HealthStatus() const { return healthWord(healthBand(damage, maxHealth)); }

std::int32_t CIcon::Healthcolor() const { return healthColour(healthBand(damage, maxHealth)); }

} // namespace vellmar::table
