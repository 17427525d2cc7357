#include "Numbers.h"

#include <cmath>
#include <limits>
#include <string>

namespace vellmar::core {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

template <typename Int>
std::optional<Int> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // The default floating-point rounding mode is to-nearest, halves to even.
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min())
        || rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

} // namespace

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;

    std::string number;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        number += static_cast<char>(text[i++].unicode());

    bool anyDigit = false;
    while (i < n && isDigit(text[i])) {
        number += static_cast<char>(text[i++].unicode());
        anyDigit = true;
    }
    if (i < n && text[i] == u'.') {
        std::string fraction = ".";
        qsizetype j = i + 1;
        while (j < n && isDigit(text[j]))
            fraction += static_cast<char>(text[j++].unicode());
        if (anyDigit || fraction.size() > 1) {
            number += fraction;
            anyDigit = true;
            i = j;
        }
    }
    if (!anyDigit)
        return 0.0;

    // An exponent counts only when digits follow it ("2e" reads as 2).
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exponent += static_cast<char>(text[j++].unicode());
        const qsizetype digitsStart = j;
        while (j < n && isDigit(text[j]))
            exponent += static_cast<char>(text[j++].unicode());
        if (j > digitsStart)
            number += exponent;
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

std::optional<std::int16_t> roundToInt16(double value) { return roundHalfEven<std::int16_t>(value); }

std::optional<std::int32_t> roundToInt32(double value) { return roundHalfEven<std::int32_t>(value); }

std::optional<std::int32_t> parseDecimalInt32(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && text[0] == u'-') {
        negative = true;
        i = 1;
    }
    if (i >= text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace vellmar::core
