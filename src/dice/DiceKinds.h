#pragma once

#include <array>
#include <cstdint>

namespace vellmar::dice {

// The six kinds of dice, in the order in which every roll lists and rolls
// them: d4, d6, d8, d10, d12, d20.
inline constexpr std::array<std::int16_t, 6> diceSides{4, 6, 8, 10, 12, 20};
inline constexpr std::size_t kindCount = diceSides.size();

// Index of the d20 in diceSides, the die of the quick and prepared rolls.
inline constexpr std::size_t d20Kind = 5;

} // namespace vellmar::dice
