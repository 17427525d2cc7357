#pragma once

#include <QString>

namespace vellmar::dice {

// The game master's rolls stay hidden from the players, and offline there is
// nobody to tell: only a player in a session announces a roll.
inline bool isAnnounced(bool inSession, bool isMaster) { return inSession && !isMaster; }

// The roll log's line for a roll.
QString rollLogLine(const QString &rollText);
// The roller's own main chat line, the same line the players see.
QString rollChatLine(const QString &userName, const QString &rollText);
// The line the game master sees for a player's roll: the master's roll tag in
// angle brackets in front.
QString taggedRollChatLine(const QString &rollTag, const QString &userName, const QString &rollText);
// Shown in the main chat pane when the announcement could not be sent.
QString rollNotSentLine();

} // namespace vellmar::dice
