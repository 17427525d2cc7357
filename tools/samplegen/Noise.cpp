#include "Noise.h"

#include <cmath>

namespace vellmar::samplegen {

double ValueNoise::fbm(double x, double y, int octaves) const
{
    double sum = 0.0;
    double amplitude = 1.0;
    double total = 0.0;
    for (int i = 0; i < octaves; ++i) {
        // The offset keeps octaves from sharing lattice points at the origin.
        sum += amplitude * at(x + i * 17.31, y - i * 9.77);
        total += amplitude;
        amplitude *= 0.5;
        x *= 2.0;
        y *= 2.0;
    }
    return sum / total;
}

CellularSample cellular(double x, double y, std::uint32_t seed)
{
    const int ix = static_cast<int>(std::floor(x));
    const int iy = static_cast<int>(std::floor(y));
    // Squared distances while searching; one square root each at the end.
    CellularSample best{1e18, 1e18, 0};
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int cx = ix + dx;
            const int cy = iy + dy;
            const std::uint32_t h = hash2(cx, cy, seed);
            const double px = cx + 0.1 + 0.8 * static_cast<double>(h & 0xFFFFu) / 65536.0;
            const double py = cy + 0.1 + 0.8 * static_cast<double>(h >> 16) / 65536.0;
            const double d = (px - x) * (px - x) + (py - y) * (py - y);
            if (d < best.f1) {
                best.f2 = best.f1;
                best.f1 = d;
                best.id = h;
            } else if (d < best.f2) {
                best.f2 = d;
            }
        }
    }
    best.f1 = std::sqrt(best.f1);
    best.f2 = std::sqrt(best.f2);
    return best;
}

} // namespace vellmar::samplegen
