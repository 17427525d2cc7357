#include "InitiativeRoll.h"

#include "dice/Random.h"

#include <algorithm>
#include <limits>

namespace vellmar::tokens {

namespace {
constexpr std::int16_t d20 = 20;
}

std::int32_t rollInitiative(dice::UniformSource &source, std::int32_t initiative)
{
    const auto face = static_cast<std::int64_t>(dice::Random(source, d20));
    const std::int64_t total = face + initiative;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(total, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace vellmar::tokens
