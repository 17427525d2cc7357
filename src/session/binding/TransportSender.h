#pragma once

#include "session/protocol/MessageSender.h"
#include "session/transport/TransportTypes.h"

namespace vellmar::session {

class SessionTransport;

// Puts application messages on the session: one message object holding the
// type and the payload, sent guaranteed from our own player id.
class TransportSender final : public MessageSender
{
public:
    TransportSender(SessionTransport &transport, PlayerId ownPlayerID)
        : m_transport(transport)
        , m_ownPlayerID(ownPlayerID)
    {}

    bool send(std::int32_t to, const AppMessage &message) override;

private:
    SessionTransport &m_transport;
    PlayerId m_ownPlayerID;
};

} // namespace vellmar::session
