#include "TransportSender.h"

#include "session/transport/SessionTransport.h"

namespace vellmar::session {

bool TransportSender::send(std::int32_t to, const AppMessage &message)
{
    constexpr int guaranteed = 1;
    MessageBuffer buffer = m_transport.CreateMessage();
    buffer.WriteLong(message.type);
    buffer.WriteString(message.payload);
    return m_transport.SendEx(m_ownPlayerID, to, guaranteed, buffer);
}

} // namespace vellmar::session
