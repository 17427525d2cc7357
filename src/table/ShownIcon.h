#pragma once

#include <QString>

#include <cstdint>

namespace vellmar::table {

// An icon of the master's that a player's copy draws, read-only: what the
// players may know of it, without its numbers.
struct ShownIcon
{
    std::int32_t id = 0; // the master's icon id
    QString name;
    QString healthWord; // as table::healthWord gives it
    std::int32_t size = 0;
    std::int32_t mapX = 0;
    std::int32_t mapY = 0;
    bool operator==(const ShownIcon &) const = default;
};

} // namespace vellmar::table
