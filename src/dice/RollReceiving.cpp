#include "RollReceiving.h"

#include "Announcement.h"
#include "session/binding/Dispatcher.h"
#include "session/protocol/Messages.h"

#include <QLoggingCategory>

namespace vellmar::dice {

namespace {

Q_LOGGING_CATEGORY(lcDice, "vellmar.dice", QtWarningMsg)

void show(const RollAudience &audience, const QString &line)
{
    audience.mainPane(audience.isMaster() ? taggedRollChatLine(audience.rollTag(), line) : line);
    if (audience.rollLog)
        audience.rollLog(line);
}

} // namespace

void routeRolls(session::Dispatcher &dispatcher, RollAudience audience)
{
    using session::Dispatcher;
    dispatcher.route(session::MSG_DICE_ROLL, Dispatcher::Payload::shownText,
                     [audience](std::int32_t, const QString &sender, const QString &rollText) {
                         show(audience, rollChatLine(sender, rollText));
                     });
    dispatcher.route(session::MSG_MASTER_ROLL, Dispatcher::Payload::shownText,
                     [audience](std::int32_t from, const QString &sender, const QString &rollText) {
                         // Only ever addressed to the master; a player shows none.
                         if (!audience.isMaster()) {
                             qCWarning(lcDice, "skipped a roll for the master from player %d", int(from));
                             return;
                         }
                         show(audience, rollChatLine(sender, RollSeenBy::master, rollText));
                     });
}

} // namespace vellmar::dice
