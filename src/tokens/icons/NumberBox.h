#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace vellmar::tokens {

// A text box of the icon dialogs that must hold a whole number: its caption
// names it in messages, and the field it fills decides the range.
struct NumberBox
{
    QString caption;
    std::int32_t low = 0;
    std::int32_t high = 0;
};

// What a number box holds: the number, or a message that names the box, says
// what is wrong and gives the range.
struct BoxReading
{
    std::optional<std::int32_t> value;
    QString problem;
};

// Reads the number the text begins with and rounds it, halves to even. An
// empty box, a text that begins with no number and a result outside the range
// are refused: a 0 read from "abc" would silently wipe a field.
BoxReading readNumberBox(const NumberBox &box, QStringView text);

} // namespace vellmar::tokens
