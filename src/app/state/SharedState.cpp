#include "SharedState.h"

namespace vellmar::app {

bool SharedState::sendToAll(std::int32_t type, const QString &payload) { return sendTo(0, type, payload); }

bool SharedState::sendTo(std::int32_t playerId, std::int32_t type, const QString &payload)
{
    if (!inSession || !sender)
        return false;
    return sender->send(playerId, session::AppMessage{type, payload});
}

} // namespace vellmar::app
