#pragma once

#include "session/transport/TransportTypes.h"
#include "table/MessageSender.h"

namespace vellmar::session {

class SessionTransport;

// Puts the outbox's messages on the session: one application message holding
// the type and the payload, sent guaranteed from our own player id, or in the
// transport's bulk lane for bulk data.
class TransportSender final : public table::MessageSender
{
public:
    TransportSender(SessionTransport &transport, PlayerId ownPlayerID)
        : m_transport(transport)
        , m_ownPlayerID(ownPlayerID)
    {}

    bool send(std::int32_t to, std::int32_t type, const QString &payload) override;
    bool sendBulk(std::int32_t to, std::int32_t type, const QString &payload) override;
    bool sendBulkBytes(std::int32_t to, std::int32_t type, const QByteArray &payload) override;

private:
    SessionTransport &m_transport;
    PlayerId m_ownPlayerID;
};

} // namespace vellmar::session
