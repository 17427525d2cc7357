#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace vellmar::combat {

// One participant of a fight. The list shows it as one text: the name, a tab
// and the initiative roll, or the name alone when no roll was given.
struct CombatRow
{
    QString participant;
    QString initiative; // empty: a row that is only a name

    QString text() const;
    // The roll as a number, for ordering; empty for a name-only row.
    std::optional<double> initiativeValue() const;
    bool operator==(const CombatRow &) const = default;
};

// What the user typed into the participant and initiative boxes.
struct RowInput
{
    enum class Status {
        NoName,        // nothing to add
        BadInitiative, // the roll does not fit a 32-bit whole number
        Ok,
    };
    Status status = Status::NoName;
    CombatRow row;
};

// The name loses surrounding spaces and any tab (a tab would start the second
// column); an empty initiative box gives a name-only row, otherwise the roll
// is the number the text begins with, rounded halves to even.
RowInput readRowInput(QStringView participant, QStringView initiative);

QString initiativeOutOfRangeMessage();

} // namespace vellmar::combat
