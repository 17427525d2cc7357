#pragma once

#include "Messages.h"

#include <cstdint>

namespace vellmar::session {

// What a form needs to put an application message on the wire. The session
// binding implements it; tests implement it to see what would be sent.
class MessageSender
{
public:
    virtual ~MessageSender() = default;

    // `to` is a player id, or 0 for every other participant. False when the
    // transport refused the message (for example the addressee is gone).
    virtual bool send(std::int32_t to, const AppMessage &message) = 0;
};

} // namespace vellmar::session
