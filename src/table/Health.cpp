#include "Health.h"

namespace vellmar::table {

HealthBand healthBand(std::int16_t damage, std::int16_t maxHealth)
{
    if (damage == 0)
        return HealthBand::Unscathed;
    if (maxHealth == 0)
        return damage < 0 ? HealthBand::Injured : (damage >= 10 ? HealthBand::Dead : HealthBand::Unconscious);

    // No quotient of two 16-bit numbers lies close enough to a threshold for
    // the rounding of a double to move it across.
    const double ratio = static_cast<double>(damage) / static_cast<double>(maxHealth);
    if (ratio < 0.25)
        return HealthBand::Injured;
    if (ratio < 0.5)
        return HealthBand::Hurt;
    if (ratio < 0.75)
        return HealthBand::BadlyHurt;
    if (ratio < 1.0)
        return HealthBand::NearDeath;
    if (damage == maxHealth)
        return HealthBand::Disabled;
    // In 32 bits, so a maximum near the 16-bit limit cannot overflow.
    if (std::int32_t{damage} >= std::int32_t{maxHealth} + 10)
        return HealthBand::Dead;
    return HealthBand::Unconscious;
}

QString healthWord(HealthBand band)
{
    switch (band) {
    case HealthBand::Unscathed:
        return QStringLiteral("Unscathed");
    case HealthBand::Injured:
        return QStringLiteral("Injured");
    case HealthBand::Hurt:
        return QStringLiteral("Hurt");
    case HealthBand::BadlyHurt:
        return QStringLiteral("Badly Hurt");
    case HealthBand::NearDeath:
        return QStringLiteral("Near Death");
    case HealthBand::Disabled:
        return QStringLiteral("Disabled");
    case HealthBand::Unconscious:
        return QStringLiteral("Unconscious");
    case HealthBand::Dead:
        return QStringLiteral("Dead");
    }
    return {};
}

std::int32_t healthColour(HealthBand band)
{
    constexpr std::int32_t green = 65280;
    constexpr std::int32_t yellow = 65535;
    constexpr std::int32_t olive = 32896;
    constexpr std::int32_t red = 255;
    switch (band) {
    case HealthBand::Unscathed:
    case HealthBand::Injured:
        return green;
    case HealthBand::Hurt:
        return yellow;
    case HealthBand::BadlyHurt:
        return olive;
    case HealthBand::NearDeath:
    case HealthBand::Disabled:
    case HealthBand::Unconscious:
    case HealthBand::Dead:
        return red;
    }
    return red;
}

std::optional<HealthBand> healthBandOfWord(QStringView word)
{
    for (int band = int(HealthBand::Unscathed); band <= int(HealthBand::Dead); ++band) {
        if (healthWord(HealthBand(band)) == word)
            return HealthBand(band);
    }
    return std::nullopt;
}

} // namespace vellmar::table
