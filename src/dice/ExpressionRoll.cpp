#include "ExpressionRoll.h"

#include "Random.h"

#include <QStringList>

#include <algorithm>
#include <numeric>
#include <vector>

namespace vellmar::dice {

namespace {

QList<DieResult> rollDice(const DiceTerm &term, UniformSource &source)
{
    const auto roll = [&] { return static_cast<int>(Random(source, static_cast<std::int16_t>(term.sides))); };
    QList<DieResult> dice;
    int explosions = 0;
    for (int i = 0; i < term.count; ++i) {
        dice.append(DieResult{roll()});
        while (term.exploding && dice.last().face == term.sides && explosions < maxExplosionsPerTerm) {
            dice.last().exploded = true;
            ++explosions;
            dice.append(DieResult{roll()});
        }
    }
    return dice;
}

// Marks the dice that a keep or drop leaves out.
void select(const DiceTerm &term, QList<DieResult> &dice)
{
    if (term.select == DiceTerm::Select::all)
        return;
    const auto size = static_cast<int>(dice.size());
    std::vector<int> order(static_cast<std::size_t>(size));
    std::iota(order.begin(), order.end(), 0);
    // Lowest face first; among equal faces the later die counts as lower, so
    // keeping the highest or dropping the lowest keeps the earlier one.
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return dice[a].face != dice[b].face ? dice[a].face < dice[b].face : a > b; });

    int first = 0; // the dropped dice are order[first, first + count)
    int count = 0;
    switch (term.select) {
    case DiceTerm::Select::all:
        return;
    case DiceTerm::Select::keepHighest:
        count = size - term.selectCount;
        break;
    case DiceTerm::Select::keepLowest:
        first = term.selectCount;
        count = size - term.selectCount;
        break;
    case DiceTerm::Select::dropHighest:
        first = size - term.selectCount;
        count = term.selectCount;
        break;
    case DiceTerm::Select::dropLowest:
        count = term.selectCount;
        break;
    }
    for (int i = first; i < first + count; ++i)
        dice[order[static_cast<std::size_t>(i)]].dropped = true;
}

QString faceText(const DieResult &die)
{
    QString text = QString::number(die.face);
    if (die.exploded)
        text += u'!';
    return die.dropped ? u'~' + text + u'~' : text;
}

QString termText(const TermResult &term)
{
    if (!term.term.isDice)
        return QString::number(term.term.constant);
    QStringList faces;
    for (const DieResult &die : term.dice)
        faces.append(faceText(die));
    return term.term.dice.notation() + u" (" + faces.join(u'+') + u')';
}

} // namespace

ExpressionResult rollExpression(const RollExpression &expression, UniformSource &source)
{
    ExpressionResult result;
    result.label = expression.label;
    // The reader refused any expression whose highest total passes 32 bits.
    std::int64_t total = 0;
    for (const Term &term : expression.terms) {
        TermResult rolled{term, {}, 0};
        std::int64_t value = term.constant;
        if (term.isDice) {
            rolled.dice = rollDice(term.dice, source);
            select(term.dice, rolled.dice);
            value = 0;
            for (const DieResult &die : rolled.dice)
                value += die.dropped ? 0 : die.face;
        }
        rolled.value = static_cast<std::int32_t>(term.negative ? -value : value);
        total += rolled.value;
        result.terms.append(rolled);
    }
    result.total = static_cast<std::int32_t>(total);
    return result;
}

QString expressionRollText(const ExpressionResult &result)
{
    QString text;
    if (!result.label.isEmpty())
        text += u'(' + result.label + u')';
    text += u'[';
    for (qsizetype i = 0; i < result.terms.size(); ++i) {
        const TermResult &term = result.terms.at(i);
        if (i > 0)
            text += term.term.negative ? u" - " : u" + ";
        else if (term.term.negative)
            text += u'-';
        text += termText(term);
    }
    text += u"] = " + QString::number(result.total);
    return text;
}

} // namespace vellmar::dice
