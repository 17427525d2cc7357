#include "TurnOrderExchange.h"

#include "TurnOrder.h"
#include "session/binding/Dispatcher.h"
#include "table/Table.h"

#include <QLoggingCategory>

namespace vellmar::combat {

namespace {
Q_LOGGING_CATEGORY(lcShownTurns, "vellmar.combat.shown", QtWarningMsg)
}

TurnOrderExchange::TurnOrderExchange(table::Table &table, QObject *parent) : QObject(parent), m_table(table) {}

session::ShowTurnOrderPayload TurnOrderExchange::payloadOf(const TurnOrder &order)
{
    session::ShowTurnOrderPayload p;
    p.round = order.round();
    p.currentRow = order.currentTurn();
    for (const CombatRow &row : order.rows())
        p.rows.append({row.participant, row.initiative});
    return p;
}

void TurnOrderExchange::setShown(bool shown, const TurnOrder &order)
{
    if (!m_table.isMaster)
        return;
    m_shown = shown;
    if (shown) {
        m_last.reset(); // sent again even when unchanged
        publish(order);
    } else {
        m_table.sendToAll(session::MSG_HIDE_TURN_ORDER, QString());
    }
}

void TurnOrderExchange::publish(const TurnOrder &order)
{
    if (!m_table.isMaster || !m_shown)
        return;
    auto payload = payloadOf(order);
    if (m_last == payload)
        return;
    m_last = std::move(payload);
    m_table.sendToAll(session::MSG_SHOW_TURN_ORDER, session::formatPayload(*m_last));
}

void TurnOrderExchange::sendTo(std::int32_t playerId) const
{
    if (m_table.isMaster && m_shown && m_last)
        m_table.sendTo(playerId, session::MSG_SHOW_TURN_ORDER, session::formatPayload(*m_last));
}

void TurnOrderExchange::route(session::Dispatcher &dispatcher)
{
    for (const auto type : {session::MSG_SHOW_TURN_ORDER, session::MSG_HIDE_TURN_ORDER}) {
        dispatcher.route(
            type, session::Dispatcher::Payload::fields,
            [this, type](std::int32_t from, const QString &, const QString &payload) { receive(type, from, payload); });
    }
}

void TurnOrderExchange::receive(std::int32_t type, std::int32_t from, const QString &payload)
{
    if (!m_table.fromMaster(from)) {
        qCWarning(lcShownTurns, "turn order from player %d refused: only the master shows it", from);
        return;
    }
    if (type == session::MSG_HIDE_TURN_ORDER) {
        m_seen.reset();
        Q_EMIT seenChanged();
        return;
    }
    auto parsed = session::parseShowTurnOrder(payload);
    auto *order = std::get_if<session::ShowTurnOrderPayload>(&parsed);
    if (!order) {
        qCWarning(lcShownTurns, "turn order skipped: %s", qUtf8Printable(std::get<QString>(parsed)));
        return;
    }
    m_seen = std::move(*order);
    Q_EMIT seenChanged();
}

} // namespace vellmar::combat
