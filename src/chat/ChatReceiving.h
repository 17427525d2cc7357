#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace vellmar::session {
class Dispatcher;
}

namespace vellmar::chat {

// The panes that received chat lands in; the windows behind them are the
// application's business.
struct ChatPanes
{
    std::function<void(const QString &line)> main;
    std::function<void(const QString &line)> party;
    // A private text, not yet a line: its window is found by the sender.
    std::function<void(std::int32_t from, const QString &senderName, const QString &text)> privateText;
};

// Takes the main, private and party chat messages, and puts the system line
// of each transport notice into the main pane. Register before anything else
// that reacts to the notices, so the line comes first.
void routeChat(session::Dispatcher &dispatcher, ChatPanes panes);

} // namespace vellmar::chat
