#include "IconEntry.h"

#include "NumberBox.h"
#include "table/CIcon.h"

#include <limits>

namespace vellmar::tokens {

namespace {

template <typename Int>
NumberBox boxFor(const QString &caption)
{
    return {caption, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max()};
}

} // namespace

EntryReading readEntry(const IconEntry &entry)
{
    const struct
    {
        IconBox box;
        NumberBox rule;
        const QString &text;
    } numbers[] = {
        {IconBox::Damage, boxFor<std::int16_t>(QStringLiteral("Damage")), entry.damage},
        {IconBox::MaxHealth, boxFor<std::int16_t>(QStringLiteral("Max Health")), entry.maxHealth},
        {IconBox::Size, boxFor<std::int32_t>(QStringLiteral("Size")), entry.size},
        {IconBox::Initiative, boxFor<std::int32_t>(QStringLiteral("Initiative")), entry.initiative},
    };
    std::int32_t read[std::size(numbers)] = {};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        const BoxReading reading = readNumberBox(numbers[i].rule, numbers[i].text);
        if (!reading.value)
            return {std::nullopt, numbers[i].box, reading.problem};
        read[i] = *reading.value;
    }
    // The ranges above keep the 16-bit fields in range.
    return {IconValues{entry.name, static_cast<std::int16_t>(read[0]), static_cast<std::int16_t>(read[1]), read[2],
                       read[3]},
            IconBox::Name, QString()};
}

IconEntry entryOf(const table::CIcon &icon)
{
    return {icon.name, QString::number(icon.damage), QString::number(icon.maxHealth), QString::number(icon.size),
            QString::number(icon.initiative)};
}

void applyValues(table::CIcon &icon, const IconValues &values)
{
    icon.damage = values.damage;
    icon.name = values.name;
    icon.maxHealth = values.maxHealth;
    icon.size = values.size;
    icon.initiative = values.initiative;
}

} // namespace vellmar::tokens
