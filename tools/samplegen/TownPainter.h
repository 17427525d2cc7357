#pragma once

#include "Grid.h"

#include <QImage>
#include <QSize>

#include <cstdint>

namespace vellmar::samplegen {

// A walled town: cobbled streets, a market plaza with a fountain, houses shown
// either by their roofs or opened up to show their rooms, yards, towers and
// gates, fields outside. Meant to be large, to try the program on big maps.
QImage paintTown(QSize size, const MapGrid &grid, std::uint64_t seed);

} // namespace vellmar::samplegen
