#include "TransportSender.h"

#include "session/protocol/Messages.h"
#include "session/transport/SessionTransport.h"

namespace vellmar::session {

bool TransportSender::send(std::int32_t to, std::int32_t type, const QString &payload)
{
    return m_transport.SendEx(m_ownPlayerID, to, kSendGuaranteed,
                              MessageBuffer(encodeMessage(AppMessage{type, payload})));
}

bool TransportSender::sendBulk(std::int32_t to, std::int32_t type, const QString &payload)
{
    return m_transport.SendEx(m_ownPlayerID, to, kSendBulk, MessageBuffer(encodeMessage(AppMessage{type, payload})));
}

bool TransportSender::sendBulkBytes(std::int32_t to, std::int32_t type, const QByteArray &payload)
{
    return m_transport.SendEx(m_ownPlayerID, to, kSendBulk, MessageBuffer(encodeBytesMessage(type, payload)));
}

} // namespace vellmar::session
