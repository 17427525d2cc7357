#include "PreparedRow.h"

#include "core/Numbers.h"

namespace vellmar::dice {

PreparedRoll readPreparedRow(const QString &description, QStringView modifierText)
{
    const double value = core::leadingNumber(modifierText);
    // Compared before rounding: a row with only "0.4" in it still rolls.
    if (description.isEmpty() && value == 0.0)
        return {PreparedRoll::Action::Ignore, 0};
    const auto modifier = core::roundToInt16(value);
    if (!modifier)
        return {PreparedRoll::Action::Refuse, 0};
    return {PreparedRoll::Action::Roll, *modifier};
}

QString modifierOutOfRangeMessage()
{
    return QStringLiteral("The modifier must be a whole number from -32768 to 32767.");
}

} // namespace vellmar::dice
