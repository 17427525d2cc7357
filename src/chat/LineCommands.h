#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vellmar::chat {

// What became of a typed line that a command may claim ("/roll 2d6").
struct CommandResult
{
    enum class Kind {
        notACommand, // goes out as chat, as any other line
        done,        // handled; nothing more is sent
        refused,     // could not be read: nothing is sent and the line stays in the box
    };
    Kind kind = Kind::notACommand;
    QStringList lines; // shown in the pane of the box the line was typed in
    QString error;     // when refused: shown under the box
};

// Every chat box asks this first; the subsystems that offer commands
// answer. Empty when there are none.
using LineCommands = std::function<CommandResult(const QString &line)>;

} // namespace vellmar::chat
