#pragma once

#include <QString>

#include <cstdint>

namespace vellmar::table {

// A token for a character or monster, kept by this copy only.
class CIcon
{
public:
    std::int16_t damage = 0; // 0 means unhurt
    std::int16_t maxHealth = 0;
    QString name;
    std::int32_t size = 0; // radius of the round footprint, map pixels
    std::int32_t mapX = 0; // centre, map pixels
    std::int32_t mapY = 0;
    std::int32_t id = 0;     // unique among this copy's icons
    std::int32_t UserID = 0; // owner's player id; 0 from the place-icon dialog
    std::int32_t initiative = 0;
    // The master's copy: players' copies draw this icon too (name and
    // health word only).
    bool shownToPlayers = false;

    // Derived from damage and maxHealth on every read.
    QString HealthStatus() const;
    // red + 256 * green + 65536 * blue
    std::int32_t Healthcolor() const;

    bool operator==(const CIcon &) const = default;
};

} // namespace vellmar::table
