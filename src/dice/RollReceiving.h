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
};

// Takes the roll announcements of the other players.
void routeRolls(session::Dispatcher &dispatcher, RollAudience audience);

} // namespace vellmar::dice
