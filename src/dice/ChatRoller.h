#pragma once

#include "Announcement.h"
#include "ChatRollCommand.h"
#include "chat/LineCommands.h"

#include <memory>

namespace vellmar::table {
struct Identity;
class Outbox;
} // namespace vellmar::table

namespace vellmar::dice {

class RollLog;
class UniformSource;

// Where a chat roll goes, decided by its mode and the roller's role.
struct RollRoute
{
    enum class Delivery { none, everyone, master };
    Delivery delivery = Delivery::none;
    RollSeenBy seenBy = RollSeenBy::self;
};

// Offline there is nobody to tell. The master's plain roll stays secret like
// the master's other rolls; "/publicroll" shows it. A roll for the master
// goes to the master's player id alone, so no other player ever receives it.
RollRoute routeFor(RollMode mode, bool inSession, bool isMaster);

// Rolls the roll commands typed in any chat box, sends each where its mode
// says, shows the roller's own line and keeps it in the roll log.
class ChatRoller
{
public:
    // Seeds its own source from the clock unless one is given.
    ChatRoller(const table::Identity &identity, table::Outbox &outbox, RollLog &log,
               std::unique_ptr<UniformSource> source = nullptr);
    ~ChatRoller();

    chat::CommandResult run(const QString &line);

private:
    const table::Identity &m_identity;
    table::Outbox &m_outbox;
    RollLog &m_log;
    std::unique_ptr<UniformSource> m_source;
};

} // namespace vellmar::dice
