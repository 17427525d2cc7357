#include "DiceCollection.h"

#include <algorithm>

namespace vellmar::dice {

void DiceCollection::add(std::size_t kind) { ++m_counts.at(kind); }

bool DiceCollection::isEmpty() const
{
    return std::all_of(m_counts.begin(), m_counts.end(), [](std::int32_t n) { return n == 0; });
}

void DiceCollection::clear() { m_counts.fill(0); }

void DiceCollection::setSingleD20()
{
    clear();
    m_counts[d20Kind] = 1;
}

QString DiceCollection::countText(std::size_t kind) const
{
    const std::int32_t n = count(kind);
    return n > 0 ? QString::number(n) : QString();
}

QString DiceCollection::diceText() const
{
    QString text;
    for (std::size_t kind = 0; kind < kindCount; ++kind) {
        if (m_counts[kind] <= 0)
            continue;
        if (!text.isEmpty())
            text += u" + ";
        text += countText(kind) + u'd' + QString::number(diceSides[kind]);
    }
    return text;
}

} // namespace vellmar::dice
