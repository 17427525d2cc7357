#pragma once

#include "Grid.h"

#include <QImage>
#include <QSize>

#include <cstdint>

namespace vellmar::samplegen {

// A dungeon level: rooms and corridors on flagstone or plank floors, cut into
// dark rock, with walls and doors on the grid lines and furnished rooms.
QImage paintDungeon(QSize size, const MapGrid &grid, std::uint64_t seed);

} // namespace vellmar::samplegen
