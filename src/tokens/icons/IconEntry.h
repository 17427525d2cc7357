#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vellmar::table {
class CIcon;
}

namespace vellmar::tokens {

// The five boxes of the icon dialogs, in tab order.
enum class IconBox { Name, Damage, MaxHealth, Size, Initiative };

// The boxes' texts exactly as typed.
struct IconEntry
{
    QString name;
    QString damage;
    QString maxHealth;
    QString size;
    QString initiative;
    bool operator==(const IconEntry &) const = default;
};

// The user-facing fields of an icon, read from a complete entry.
struct IconValues
{
    QString name;
    std::int16_t damage = 0;
    std::int16_t maxHealth = 0;
    std::int32_t size = 0;
    std::int32_t initiative = 0;
    bool operator==(const IconValues &) const = default;
};

// Either every field, or the first box (in tab order) that cannot be used and
// the message that explains why.
struct EntryReading
{
    std::optional<IconValues> values;
    IconBox box = IconBox::Name;
    QString problem;
};

// The name is taken as typed, ";" included: icons never travel in messages.
EntryReading readEntry(const IconEntry &entry);

// The boxes filled from an icon, so that an unchanged entry reads back as the
// icon's own values.
IconEntry entryOf(const table::CIcon &icon);

// Overwrites all five fields; position, id and owner stay.
void applyValues(table::CIcon &icon, const IconValues &values);

} // namespace vellmar::tokens
