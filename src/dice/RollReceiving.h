#pragma once

#include <QString>

#include <functional>

namespace vellmar::session {
class Dispatcher;
}

namespace vellmar::dice {

// What a received roll needs to know about this copy, asked afresh for every
// roll: the master may change the tag at any time.
struct RollAudience
{
    std::function<bool()> isMaster;
    std::function<QString()> rollTag;
    std::function<void(const QString &line)> mainPane;
    // Keeps the roll, untagged, in the roll list; may be left empty.
    std::function<void(const QString &line)> rollLog = {};
};

// Takes the roll announcements of the other players, and the rolls they
// typed for the master's eyes, which only the master shows.
void routeRolls(session::Dispatcher &dispatcher, RollAudience audience);

} // namespace vellmar::dice
