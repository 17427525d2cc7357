#include "Roll.h"

#include "DiceCollection.h"
#include "Random.h"

#include <QStringList>

namespace vellmar::dice {

Roll rollDice(const DiceCollection &dice, UniformSource &source, const QString &description, std::int16_t modifier)
{
    Roll roll;
    roll.description = description;
    roll.modifier = modifier;
    roll.diceText = dice.diceText();
    for (std::size_t kind = 0; kind < kindCount; ++kind) {
        for (std::int32_t i = 0; i < dice.count(kind); ++i) {
            const auto face = static_cast<std::int32_t>(Random(source, diceSides[kind]));
            roll.faces.append(face);
            roll.total += face;
        }
    }
    roll.total += modifier;
    return roll;
}

QString rollText(const Roll &roll)
{
    QStringList faces;
    faces.reserve(roll.faces.size());
    for (const std::int32_t face : roll.faces)
        faces.append(QString::number(face));

    QString text;
    if (!roll.description.isEmpty())
        text += u'(' + roll.description + u')';
    text += u'[' + roll.diceText + u" (" + faces.join(u'+') + u')';
    if (roll.modifier != 0)
        text += u'+' + QString::number(roll.modifier);
    text += u"] = " + QString::number(roll.total);
    return text;
}

} // namespace vellmar::dice
