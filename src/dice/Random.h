#pragma once

#include <cstdint>

namespace vellmar::dice {

class UniformSource;

// One die face from 1 to sides, every face equally likely. Held as a single
// precision number because that is how the roller hands faces around.
float Random(UniformSource &source, std::int16_t sides);

} // namespace vellmar::dice
