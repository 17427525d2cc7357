#pragma once

#include "session/protocol/Messages.h"
#include "table/MessageSender.h"

#include <QList>

#include <utility>

// Records what a window would put on the wire; refuses when told to.
class RecordingSender final : public vellmar::table::MessageSender
{
public:
    QList<std::pair<std::int32_t, vellmar::session::AppMessage>> sent;
    bool accept = true;

    bool send(std::int32_t to, std::int32_t type, const QString &payload) override
    {
        sent.append({to, vellmar::session::AppMessage{type, payload}});
        return accept;
    }
};
