#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// How badly an icon's figure is wounded, from its damage and maximum health.
namespace vellmar::table {

// Ordered from unhurt to dead; every threshold belongs to the more serious band.
enum class HealthBand { Unscathed, Injured, Hurt, BadlyHurt, NearDeath, Disabled, Unconscious, Dead };

// A maximum health of 0 is read as an infinitely small maximum: no damage is
// Unscathed, negative damage Injured, positive damage Unconscious and, from 10
// points on, Dead. A negative maximum follows the same ratio rules as any other.
HealthBand healthBand(std::int16_t damage, std::int16_t maxHealth);

// "Unscathed", "Injured", "Hurt", "Badly Hurt", "Near Death", "Disabled",
// "Unconscious", "Dead".
QString healthWord(HealthBand band);
// The band a word names; empty for any other text.
std::optional<HealthBand> healthBandOfWord(QStringView word);

// A colour as red + 256 * green + 65536 * blue: green up to Injured, yellow for
// Hurt, olive for Badly Hurt, red from Near Death on.
std::int32_t healthColour(HealthBand band);

} // namespace vellmar::table
