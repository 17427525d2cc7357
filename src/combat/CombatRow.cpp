#include "CombatRow.h"

#include "core/Numbers.h"
#include "core/Text.h"

namespace vellmar::combat {

QString CombatRow::text() const { return initiative.isEmpty() ? participant : participant + u'\t' + initiative; }

std::optional<double> CombatRow::initiativeValue() const
{
    if (initiative.isEmpty())
        return std::nullopt;
    return core::leadingNumber(initiative);
}

RowInput readRowInput(QStringView participant, QStringView initiative)
{
    RowInput input;
    QString name = participant.toString();
    name.replace(u'\t', u' ');
    input.row.participant = core::trimSpaces(name);
    if (input.row.participant.isEmpty())
        return input;

    const QString roll = core::trimSpaces(initiative);
    if (!roll.isEmpty()) {
        const auto value = core::roundToInt32(core::leadingNumber(roll));
        if (!value) {
            input.status = RowInput::Status::BadInitiative;
            return input;
        }
        input.row.initiative = QString::number(*value);
    }
    input.status = RowInput::Status::Ok;
    return input;
}

QString initiativeOutOfRangeMessage()
{
    return QStringLiteral("The initiative roll must be a whole number from -2147483648 to 2147483647.");
}

} // namespace vellmar::combat
