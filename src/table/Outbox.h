#pragma once

#include "table/Identity.h"
#include "table/MessageSender.h"

#include <QString>

#include <cstdint>

namespace vellmar::table {

// Where every subsystem sends its messages. It sends only while the identity
// says this copy is in a session and a sender is attached.
class Outbox
{
public:
    explicit Outbox(const Identity &identity) : m_identity(identity) {}

    // Null while no session exists; set once hosting or joining succeeded.
    MessageSender *sender = nullptr;

    // Sends to every other participant when in a session; false when there is
    // no session or the transport refused.
    bool sendToAll(std::int32_t type, const QString &payload);
    bool sendTo(std::int32_t playerId, std::int32_t type, const QString &payload);
    // Bulk data to one participant; see MessageSender::sendBulk.
    bool sendBulkTo(std::int32_t playerId, std::int32_t type, const QString &payload);
    // Bulk data that is bytes, not text; see MessageSender::sendBulkBytes.
    bool sendBulkBytesTo(std::int32_t playerId, std::int32_t type, const QByteArray &payload);

private:
    const Identity &m_identity;
};

} // namespace vellmar::table
