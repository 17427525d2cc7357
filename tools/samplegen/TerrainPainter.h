#pragma once

#include "Grid.h"

#include <QImage>
#include <QSize>

#include <cstdint>

namespace vellmar::samplegen {

// Open country: meadow, a river with a plank bridge carrying a dirt road, a
// ruined chapel and a paddock whose walls and fences run on grid lines,
// trees, rocks and a camp.
QImage paintTerrain(QSize size, const MapGrid &grid, std::uint64_t seed);

} // namespace vellmar::samplegen
