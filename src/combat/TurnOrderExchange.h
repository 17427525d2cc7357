#pragma once

#include "session/protocol/TableMessages.h"

#include <QObject>

#include <cstdint>
#include <optional>

namespace vellmar::table {
class Table;
}
namespace vellmar::session {
class Dispatcher;
}

namespace vellmar::combat {

class TurnOrder;

// The combat tracker's order as the players see it when the master shows it:
// on the master's copy it sends the order whenever it changes while shown;
// on a player's copy it keeps the last order received, read-only.
class TurnOrderExchange final : public QObject
{
    Q_OBJECT
public:
    explicit TurnOrderExchange(table::Table &table, QObject *parent = nullptr);

    // The master's copy.
    bool shown() const { return m_shown; }
    void setShown(bool shown, const TurnOrder &order);
    // The tracker's order changed; sent when shown.
    void publish(const TurnOrder &order);
    // The shown order to one player (one who joined late).
    void sendTo(std::int32_t playerId) const;

    // A player's copy: the order the master shows; empty while none is.
    const std::optional<session::ShowTurnOrderPayload> &seen() const { return m_seen; }

    // Types 1012 and 1013, counted only from the master.
    void receive(std::int32_t type, std::int32_t from, const QString &payload);
    void route(session::Dispatcher &dispatcher);

    static session::ShowTurnOrderPayload payloadOf(const TurnOrder &order);

Q_SIGNALS:
    void seenChanged();

private:
    table::Table &m_table;
    bool m_shown = false;
    std::optional<session::ShowTurnOrderPayload> m_last;
    std::optional<session::ShowTurnOrderPayload> m_seen;
};

} // namespace vellmar::combat
