#include "Outbox.h"

namespace vellmar::table {

bool Outbox::sendToAll(std::int32_t type, const QString &payload) { return sendTo(0, type, payload); }

bool Outbox::sendTo(std::int32_t playerId, std::int32_t type, const QString &payload)
{
    if (!m_identity.inSession || !sender)
        return false;
    return sender->send(playerId, type, payload);
}

bool Outbox::sendBulkTo(std::int32_t playerId, std::int32_t type, const QString &payload)
{
    if (!m_identity.inSession || !sender)
        return false;
    return sender->sendBulk(playerId, type, payload);
}

bool Outbox::sendBulkBytesTo(std::int32_t playerId, std::int32_t type, const QByteArray &payload)
{
    if (!m_identity.inSession || !sender)
        return false;
    return sender->sendBulkBytes(playerId, type, payload);
}

} // namespace vellmar::table
