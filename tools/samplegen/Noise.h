#pragma once

#include <cmath>
#include <cstdint>

namespace vellmar::samplegen {

// Integer hash of a lattice point; the basis of every texture, so a pixel's
// colour depends only on its position and the seed, never on drawing order.
// Inline: textures call it tens of times per pixel of multi-megapixel maps.
inline std::uint32_t hash2(int x, int y, std::uint32_t seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x27D4EB2Du;
    h ^= static_cast<std::uint32_t>(y) * 0x165667B1u;
    h ^= seed * 0x9E3779B9u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// hash2 mapped to [0, 1).
inline double hashUnit(int x, int y, std::uint32_t seed)
{
    return static_cast<double>(hash2(x, y, seed)) * (1.0 / 4294967296.0);
}

// Smooth value noise on the unit lattice, values in [0, 1].
class ValueNoise
{
public:
    explicit ValueNoise(std::uint32_t seed) : m_seed(seed) {}

    double at(double x, double y) const
    {
        const double fx = std::floor(x);
        const double fy = std::floor(y);
        const int ix = static_cast<int>(fx);
        const int iy = static_cast<int>(fy);
        const double tx = smooth(x - fx);
        const double ty = smooth(y - fy);
        const double a = hashUnit(ix, iy, m_seed);
        const double b = hashUnit(ix + 1, iy, m_seed);
        const double c = hashUnit(ix, iy + 1, m_seed);
        const double d = hashUnit(ix + 1, iy + 1, m_seed);
        const double top = a + (b - a) * tx;
        const double bottom = c + (d - c) * tx;
        return top + (bottom - top) * ty;
    }

    // Octaves of halving amplitude and doubling frequency, normalised to [0, 1].
    double fbm(double x, double y, int octaves) const;

private:
    static double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

    std::uint32_t m_seed;
};

// Worley noise on a jittered unit lattice: distances to the nearest and the
// second-nearest feature point and the nearest point's id. Stones, cobbles and
// cracks come from f2 - f1 (small near cell borders).
struct CellularSample
{
    double f1;
    double f2;
    std::uint32_t id;
};

CellularSample cellular(double x, double y, std::uint32_t seed);

} // namespace vellmar::samplegen
