#include "Materials.h"

#include <algorithm>
#include <cmath>

namespace vellmar::samplegen {

Materials::Materials(std::uint32_t seed) : m_seed(seed), m_broad(seed * 3u + 1u), m_detail(seed * 7u + 5u) {}

double Materials::grain(int x, int y, double amount) const
{
    return (hashUnit(x, y, m_seed ^ 0xA5A5u) - 0.5) * 2.0 * amount;
}

Rgb Materials::flagstone(double x, double y, double u, double v, double cell, std::uint32_t stone) const
{
    const double tone = 0.82 + 0.28 * static_cast<double>(stone & 0xFFu) / 255.0;
    const double warm = static_cast<double>((stone >> 8) & 0xFFu) / 255.0;
    Rgb base = mix(Rgb{118, 116, 112}, Rgb{132, 120, 100}, warm) * tone;

    const double mottling = m_detail.fbm(x / 9.0, y / 9.0, 3);
    base = base * (0.82 + 0.36 * mottling);

    // Grout and a bevel: the stone's upper-left rim catches light, the
    // lower-right rim lies in shade.
    const double edge = std::min({u, v, cell - u, cell - v});
    const double groutWidth = 1.2 + 0.6 * m_broad.at(x / 13.0, y / 13.0);
    if (edge < groutWidth)
        return Rgb{52, 48, 44} * (0.9 + 0.2 * mottling);
    Rgb c = base;
    if (u < groutWidth + 2.0 || v < groutWidth + 2.0)
        c = c * 1.10;
    else if (cell - u < groutWidth + 2.5 || cell - v < groutWidth + 2.5)
        c = c * 0.84;
    // Worn pits.
    const CellularSample pit = cellular(x / 5.0, y / 5.0, m_seed + stone);
    if (pit.f1 < 0.12 && (pit.id & 7u) == 0u)
        c = c * 0.78;
    return c * (1.0 + grain(int(x), int(y), 0.05));
}

Rgb Materials::planks(double x, double y, double boardWidth, const Rgb &tint) const
{
    const double row = std::floor(y / boardWidth);
    const int board = static_cast<int>(row);
    const double v = y - row * boardWidth;
    // Board ends are staggered from row to row.
    const double boardLength = boardWidth * (5.0 + 3.0 * hashUnit(board, 3, m_seed));
    const double shift = hashUnit(board, 11, m_seed) * boardLength;
    const double along = std::fmod(x + shift + 100000.0, boardLength);
    const int piece = static_cast<int>(std::floor((x + shift + 100000.0) / boardLength));
    const double tone = 0.80 + 0.35 * hashUnit(board, piece, m_seed + 91u);

    const double grainLines = m_detail.fbm(x / 60.0, y / 2.2, 3);
    const double rings = 0.5 + 0.5 * std::sin(grainLines * 22.0);
    Rgb c = tint * (tone * (0.86 + 0.16 * rings));
    if (v < 1.1 || along < 1.0)
        c = c * 0.45;
    else if (v > boardWidth - 1.6)
        c = c * 0.80;
    // A nail at each board end.
    if (along > 2.0 && along < 4.0 && std::abs(v - boardWidth * 0.5) < 1.0)
        c = c * 0.55;
    return c * (1.0 + grain(int(x), int(y), 0.04));
}

Rgb Materials::cobbles(double x, double y, double size) const
{
    // Squash the lattice a little so the cobbles sit in rough rows.
    const CellularSample s = cellular(x / size, y / (size * 0.8), m_seed + 17u);
    const double joint = s.f2 - s.f1;
    const double tone = static_cast<double>(s.id & 0xFFu) / 255.0;
    Rgb stone = mix(Rgb{112, 106, 98}, Rgb{146, 136, 120}, tone);
    if (((s.id >> 8) & 7u) == 0u)
        stone = Rgb{120, 104, 88};
    // Domed stones: lighter in the middle, darker towards the joint.
    stone = stone * (1.08 - 0.35 * s.f1);
    const Rgb mortar = Rgb{66, 62, 56} * (0.9 + 0.2 * m_broad.at(x / 7.0, y / 7.0));
    const double t = smoothstep(0.06, 0.16, joint);
    Rgb c = mix(mortar, stone, t);
    // Grime collects in patches.
    const double grime = m_broad.fbm(x / 90.0, y / 90.0, 3);
    if (grime > 0.55)
        c = mix(c, dirt(x, y), 0.35 * smoothstep(0.55, 0.8, grime));
    return c * (1.0 + grain(int(x), int(y), 0.04));
}

Rgb Materials::grass(double x, double y) const
{
    const double broad = m_broad.fbm(x / 260.0, y / 260.0, 4);
    const double patch = m_detail.fbm(x / 34.0, y / 34.0, 3);
    Rgb c = mix(Rgb{70, 104, 44}, Rgb{112, 138, 58}, broad);
    c = mix(c, Rgb{56, 86, 38}, smoothstep(0.55, 0.85, patch) * 0.7);
    // Dry, yellowish spots.
    c = mix(c, Rgb{138, 140, 78}, smoothstep(0.72, 0.9, m_broad.at(x / 70.0 + 40.0, y / 70.0)) * 0.6);
    // Blades: short vertical streaks of brighter or darker green.
    const double blade = hashUnit(int(x), int(y / 3.0), m_seed + 5u);
    return c * (0.9 + 0.2 * blade);
}

Rgb Materials::dirt(double x, double y) const
{
    const double n = m_broad.fbm(x / 40.0, y / 40.0, 4);
    Rgb c = mix(Rgb{112, 88, 60}, Rgb{150, 124, 88}, n);
    const CellularSample pebble = cellular(x / 6.0, y / 6.0, m_seed + 33u);
    if (pebble.f1 < 0.22 && (pebble.id & 15u) == 0u)
        c = Rgb{128, 124, 116} * (1.15 - pebble.f1);
    return c * (1.0 + grain(int(x), int(y), 0.06));
}

Rgb Materials::bedrock(double x, double y) const
{
    const double n = m_broad.fbm(x / 50.0, y / 50.0, 5);
    Rgb c = mix(Rgb{36, 34, 32}, Rgb{70, 65, 60}, n);
    // Faint fissures, broken up so that they do not read as paving.
    const CellularSample crack = cellular(x / 45.0, y / 45.0, m_seed + 77u);
    if (crack.f2 - crack.f1 < 0.04 && m_detail.at(x / 17.0, y / 17.0) > 0.45)
        c = c * 0.7;
    // Hatching, as on hand-drawn maps: diagonal strokes broken by noise.
    const double stroke = std::fmod(x + y + 10000.0, 6.0);
    if (stroke < 1.0 && m_detail.at(x / 11.0, y / 11.0) > 0.55)
        c = c * 0.7;
    return c * (1.0 + grain(int(x), int(y), 0.05));
}

Rgb Materials::water(double x, double y, double depth) const
{
    Rgb c = mix(Rgb{78, 124, 128}, Rgb{34, 70, 98}, smoothstep(0.0, 0.8, depth));
    // Ripples stretched along the flow (top to bottom).
    const double ripple = m_detail.fbm(x / 9.0, y / 30.0, 3);
    c = c * (0.9 + 0.2 * ripple);
    if (ripple > 0.68 && depth > 0.2)
        c = mix(c, Rgb{170, 200, 205}, (ripple - 0.68) * 2.5);
    return c;
}

} // namespace vellmar::samplegen
