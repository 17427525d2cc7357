#pragma once

#include "RollExpression.h"

#include <QList>
#include <QString>

#include <cstdint>

namespace vellmar::dice {

class UniformSource;

struct DieResult
{
    int face = 0;
    bool dropped = false;  // rolled, but left out of the total by a keep or drop
    bool exploded = false; // showed its highest face and added the die after it
};

struct TermResult
{
    Term term;
    QList<DieResult> dice;  // for a dice term, in the order rolled
    std::int32_t value = 0; // signed as it counts towards the total
};

struct ExpressionResult
{
    QString label;
    QList<TermResult> terms;
    std::int32_t total = 0;
};

// Rolls every die of every term. An exploding die's extra die comes right
// after it; keep and drop then choose among all dice of the term, the later
// of two equal faces counting as the lower.
ExpressionResult rollExpression(const RollExpression &expression, UniformSource &source);

// The announced form, in the dice window's style:
// "(fire)[2d20kh1 (17+~3~) + 1d6! (6!+2) - 1] = 24". A dropped die is
// between tildes, an exploded die carries "!".
QString expressionRollText(const ExpressionResult &result);

} // namespace vellmar::dice
