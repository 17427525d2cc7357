#include "UniformSource.h"

#include <chrono>

namespace vellmar::dice {

float SeededUniformSource::next()
{
    // 24 random bits are exactly what a float's mantissa holds, so every value
    // is representable and 1.0 can never come out (std::generate_canonical
    // may return 1.0 for float on some library versions).
    constexpr float scale = 1.0f / 16777216.0f;
    return static_cast<float>(m_engine() >> 8) * scale;
}

std::uint32_t clockSeed()
{
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

} // namespace vellmar::dice
