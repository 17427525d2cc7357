#pragma once

#include "session/protocol/MessageSender.h"

#include <QList>

#include <utility>

// Records what a window would put on the wire; refuses when told to.
class RecordingSender final : public vellmar::session::MessageSender
{
public:
    QList<std::pair<std::int32_t, vellmar::session::AppMessage>> sent;
    bool accept = true;

    bool send(std::int32_t to, const vellmar::session::AppMessage &message) override
    {
        sent.append({to, message});
        return accept;
    }
};
