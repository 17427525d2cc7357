#pragma once

#include <cstdint>

namespace vellmar::samplegen {

// Splitmix64. The standard library's distributions differ between
// implementations; this one gives the same numbers everywhere, so the sample
// content is reproducible from its fixed seeds.
class Rng
{
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // In [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }

    // In [lo, hi], both ends included.
    int range(int lo, int hi)
    {
        if (hi <= lo)
            return lo;
        const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
        return lo + static_cast<int>(next() % span);
    }

    bool chance(double p) { return uniform() < p; }

private:
    std::uint64_t m_state;
};

} // namespace vellmar::samplegen
