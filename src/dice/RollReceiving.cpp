#include "RollReceiving.h"

#include "Announcement.h"
#include "session/binding/Dispatcher.h"
#include "session/protocol/Messages.h"

namespace vellmar::dice {

void routeRolls(session::Dispatcher &dispatcher, RollAudience audience)
{
    dispatcher.route(session::MSG_DICE_ROLL, session::Dispatcher::Payload::shownText,
                     [audience = std::move(audience)](std::int32_t, const QString &sender, const QString &rollText) {
                         audience.mainPane(audience.isMaster()
                                               ? taggedRollChatLine(audience.rollTag(), sender, rollText)
                                               : rollChatLine(sender, rollText));
                     });
}

} // namespace vellmar::dice
