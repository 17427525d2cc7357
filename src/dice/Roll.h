#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace vellmar::dice {

class DiceCollection;
class UniformSource;

// One roll as the roller announces it.
struct Roll
{
    QString description; // empty when there is none
    std::int16_t modifier = 0;
    QString diceText;          // "2d4 + 1d20"
    QList<std::int32_t> faces; // every die, in kind order
    std::int32_t total = 0;    // faces plus modifier
};

// Rolls every collected die, d4s first and d20s last. Counts grow one click
// at a time, so the 32-bit total cannot overflow in practice.
Roll rollDice(const DiceCollection &dice, UniformSource &source, const QString &description, std::int16_t modifier);

// "(Stealth)[1d20 (12)+4] = 16": the description in parentheses when there
// is one, the dice, the faces joined by "+", "+" and the modifier unless it
// is 0 (so -2 reads "+-2"), then the total.
QString rollText(const Roll &roll);

} // namespace vellmar::dice
