#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace vellmar::table {

// What the outbox sends through. The session implements it from above; tests
// implement it to see what would be sent.
class MessageSender
{
public:
    virtual ~MessageSender() = default;

    // `to` is a player id, or 0 for every other participant. False when the
    // transport refused the message (for example the addressee is gone).
    virtual bool send(std::int32_t to, std::int32_t type, const QString &payload) = 0;
    // Bulk data (picture chunks): yields to every other message on the way
    // and is never replayed after a break, so its receiver asks again for
    // what it misses. A sender without a bulk lane sends it as usual.
    virtual bool sendBulk(std::int32_t to, std::int32_t type, const QString &payload)
    {
        return send(to, type, payload);
    }
    // Bulk data whose payload is bytes, not text (picture chunks), in the
    // same lane. A sender that cannot carry bytes refuses them.
    virtual bool sendBulkBytes(std::int32_t /*to*/, std::int32_t /*type*/, const QByteArray & /*payload*/)
    {
        return false;
    }
};

} // namespace vellmar::table
