#pragma once

#include "RollExpression.h"

#include <QString>
#include <QStringView>

#include <variant>

namespace vellmar::dice {

// Who sees a roll typed in chat.
enum class RollMode {
    everyone,       // "/roll", "/r": the master's own roll stays secret all the same
    publicEvenMine, // "/publicroll": everyone, also when the master rolls
    master,         // "/gmroll", "/gr": the roller and the master
    self,           // "/selfroll": the roller alone
};

struct RollCommand
{
    RollMode mode = RollMode::everyone;
    RollExpression expression;
};

struct NotARollCommand
{};

// A line that starts with a roll command followed by a blank or nothing is a
// roll command; any other line is chat. Error positions count from the start
// of the line.
using ReadRollCommand = std::variant<NotARollCommand, RollCommand, ExpressionError>;
ReadRollCommand readRollCommand(QStringView line);

// The line under the chat box: where reading went wrong and why.
QString rollErrorLine(const ExpressionError &error);

} // namespace vellmar::dice
