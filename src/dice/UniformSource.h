#pragma once

#include <cstdint>
#include <random>

namespace vellmar::dice {

// Where die faces come from: uniform numbers r with 0 <= r < 1 in single
// precision. The window uses a clock-seeded source; tests inject a seed.
class UniformSource
{
public:
    virtual ~UniformSource() = default;
    virtual float next() = 0;
};

class SeededUniformSource final : public UniformSource
{
public:
    explicit SeededUniformSource(std::uint32_t seed) : m_engine(seed) {}
    float next() override;

private:
    std::mt19937 m_engine;
};

// A seed that differs from one opening of the window to the next.
std::uint32_t clockSeed();

} // namespace vellmar::dice
