#pragma once

#include "Colour.h"
#include "Noise.h"

#include <cstdint>

namespace vellmar::samplegen {

// Per-pixel ground textures shared by the painters. Each takes picture
// coordinates, so neighbouring areas of one material join without seams.
class Materials
{
public:
    explicit Materials(std::uint32_t seed);

    // A square flagstone filling one grid cell; (u, v) is the position inside
    // the cell of size `cell`, `stone` identifies the cell. The grout sits on
    // the cell border, i.e. on the grid lines.
    Rgb flagstone(double x, double y, double u, double v, double cell, std::uint32_t stone) const;

    // Floor boards running left to right, `boardWidth` pixels wide.
    Rgb planks(double x, double y, double boardWidth, const Rgb &tint) const;

    // Rounded cobbles about `size` pixels across with dark joints.
    Rgb cobbles(double x, double y, double size) const;

    Rgb grass(double x, double y) const;
    Rgb dirt(double x, double y) const;
    // Raw rock around carved rooms: dark, with cracks.
    Rgb bedrock(double x, double y) const;
    // Water; depth 0 at the bank, 1 in the middle of the stream.
    Rgb water(double x, double y, double depth) const;

    // Fine per-pixel grain, about +-amount.
    double grain(int x, int y, double amount) const;

    const ValueNoise &noise() const { return m_broad; }

private:
    std::uint32_t m_seed;
    ValueNoise m_broad;
    ValueNoise m_detail;
};

} // namespace vellmar::samplegen
