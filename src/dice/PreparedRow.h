#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace vellmar::dice {

// What "Roll it" on a prepared d20 row should do with the row's two boxes.
struct PreparedRoll
{
    enum class Action {
        Ignore, // no description and a modifier that reads as 0
        Refuse, // the modifier does not fit 16 bits; never roll with a wrong value
        Roll,
    };
    Action action = Action::Ignore;
    std::int16_t modifier = 0;
};

// The modifier is the number its text begins with, rounded to the nearest
// whole number with halves to even (2.5 -> 2, 3.5 -> 4).
PreparedRoll readPreparedRow(const QString &description, QStringView modifierText);

// The message shown when a modifier is refused.
QString modifierOutOfRangeMessage();

} // namespace vellmar::dice
