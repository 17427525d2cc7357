#include "TransportSender.h"

#include "session/transport/SessionTransport.h"

namespace vellmar::session {

bool TransportSender::send(std::int32_t to, const AppMessage &message)
{
    constexpr int guaranteed = 1;
    return m_transport.SendEx(m_ownPlayerID, to, guaranteed, MessageBuffer(encodeMessage(message)));
}

} // namespace vellmar::session
