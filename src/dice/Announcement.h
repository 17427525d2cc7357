#pragma once

#include <QString>

namespace vellmar::dice {

// The game master's rolls stay hidden from the players, and offline there is
// nobody to tell: only a player in a session announces a roll.
inline bool isAnnounced(bool inSession, bool isMaster) { return inSession && !isMaster; }

// Who a roll typed in chat is shown to, as its line says.
enum class RollSeenBy { everyone, master, self };

// The roll log's line for a roll.
QString rollLogLine(const QString &rollText);
// The roller's own main chat line, the same line the players see.
QString rollChatLine(const QString &userName, const QString &rollText);
// A chat roll's line: "Ranger rolls (master only) [1d20 (12)] = 12"; a roll
// everyone sees reads like any announced roll.
QString rollChatLine(const QString &userName, RollSeenBy seenBy, const QString &rollText);
// The line the game master sees for a player's roll: the master's roll tag in
// angle brackets in front of the roll's chat line.
QString taggedRollChatLine(const QString &rollTag, const QString &chatLine);
// Shown in the main chat pane when the announcement could not be sent.
QString rollNotSentLine();

} // namespace vellmar::dice
