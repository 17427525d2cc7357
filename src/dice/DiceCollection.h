#pragma once

#include "DiceKinds.h"

#include <QString>

#include <array>
#include <cstdint>

namespace vellmar::dice {

// The handful of dice collected for the next roll: a count per kind.
class DiceCollection
{
public:
    void add(std::size_t kind);
    std::int32_t count(std::size_t kind) const { return m_counts.at(kind); }
    bool isEmpty() const;
    void clear();
    // Drops everything collected and leaves exactly one d20.
    void setSingleD20();

    // What a count box shows: nothing for 0, else the plain decimal count.
    QString countText(std::size_t kind) const;
    // "2d4 + 1d20": one piece per kind that has dice, in kind order.
    QString diceText() const;

private:
    std::array<std::int32_t, kindCount> m_counts{};
};

} // namespace vellmar::dice
