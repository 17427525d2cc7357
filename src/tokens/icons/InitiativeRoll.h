#pragma once

#include <cstdint>

namespace vellmar::dice {
class UniformSource;
}

namespace vellmar::tokens {

// A d20 plus the icon's initiative. The total saturates at the 32-bit limits
// instead of wrapping, so a huge initiative still sorts first in the tracker.
std::int32_t rollInitiative(dice::UniformSource &source, std::int32_t initiative);

} // namespace vellmar::tokens
