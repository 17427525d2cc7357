#include "ChatReceiving.h"

#include "ChatLines.h"
#include "session/binding/Dispatcher.h"
#include "session/protocol/Messages.h"

namespace vellmar::chat {

void routeChat(session::Dispatcher &dispatcher, ChatPanes panes)
{
    using session::Dispatcher;
    const auto main = panes.main;
    dispatcher.route(
        session::MSG_CHAT, Dispatcher::Payload::shownText,
        [main](std::int32_t, const QString &sender, const QString &text) { main(saidLine(sender, text)); });
    dispatcher.route(session::MSG_PARTY_CHAT, Dispatcher::Payload::shownText,
                     [party = panes.party](std::int32_t, const QString &sender, const QString &text) {
                         party(saidLine(sender, text));
                     });
    dispatcher.route(session::MSG_PRIVATE_CHAT, Dispatcher::Payload::shownText, panes.privateText);

    const auto show = [main](QString (*line)()) { return [main, line] { main(line()); }; };
    dispatcher.onNotice(session::NOTICE_PLAYER_CREATED, show(userJoinedLine));
    dispatcher.onNotice(session::NOTICE_PLAYER_DESTROYED, show(userLeftLine));
    dispatcher.onNotice(session::NOTICE_HOST_MIGRATED, show(hostMigratedLine));
    dispatcher.onNotice(session::NOTICE_SESSION_LOST, show(sessionLostLine));
}

} // namespace vellmar::chat
