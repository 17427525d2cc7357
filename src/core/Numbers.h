#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>

// How the program reads numbers that users type and turns them into whole
// numbers. Every form uses these, so the rules exist exactly once.
namespace vellmar::core {

// The number that the text begins with: leading blanks are skipped, then an
// optional sign, digits with an optional decimal point and an optional
// exponent. Anything after that is ignored; text that begins with no number
// reads as 0. "12abc" -> 12, " -2.5x" -> -2.5, "abc" -> 0, "1e3" -> 1000.
double leadingNumber(QStringView text);

// Nearest whole number, exact halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2). Empty when the result does not fit the range.
std::optional<std::int16_t> roundToInt16(double value);
std::optional<std::int32_t> roundToInt32(double value);

// Strict reading of a 32-bit signed number in decimal text, as written on the
// wire: an optional minus sign and digits, nothing else (no blanks, no plus
// sign). Empty when the text is anything else or out of range.
std::optional<std::int32_t> parseDecimalInt32(QStringView text);

} // namespace vellmar::core
