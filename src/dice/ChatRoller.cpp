#include "ChatRoller.h"

#include "ExpressionRoll.h"
#include "RollLog.h"
#include "UniformSource.h"
#include "session/protocol/Messages.h"
#include "table/Identity.h"
#include "table/Outbox.h"

namespace vellmar::dice {

RollRoute routeFor(RollMode mode, bool inSession, bool isMaster)
{
    using D = RollRoute::Delivery;
    if (!inSession)
        return {D::none, RollSeenBy::self};
    switch (mode) {
    case RollMode::everyone:
        return isMaster ? RollRoute{D::none, RollSeenBy::master} : RollRoute{D::everyone, RollSeenBy::everyone};
    case RollMode::publicEvenMine:
        return {D::everyone, RollSeenBy::everyone};
    case RollMode::master:
        return {isMaster ? D::none : D::master, RollSeenBy::master};
    case RollMode::self:
        return {D::none, RollSeenBy::self};
    }
    return {D::none, RollSeenBy::self};
}

ChatRoller::ChatRoller(const table::Identity &identity, table::Outbox &outbox, RollLog &log,
                       std::unique_ptr<UniformSource> source)
    : m_identity(identity)
    , m_outbox(outbox)
    , m_log(log)
    , m_source(source ? std::move(source) : std::make_unique<SeededUniformSource>(clockSeed()))
{}

ChatRoller::~ChatRoller() = default;

chat::CommandResult ChatRoller::run(const QString &line)
{
    using Kind = chat::CommandResult::Kind;
    const ReadRollCommand read = readRollCommand(line);
    if (std::holds_alternative<NotARollCommand>(read))
        return {};
    if (const auto *error = std::get_if<ExpressionError>(&read))
        return {Kind::refused, {}, rollErrorLine(*error)};

    const auto &command = std::get<RollCommand>(read);
    const QString text = expressionRollText(rollExpression(command.expression, *m_source));
    const RollRoute route = routeFor(command.mode, m_identity.inSession, m_identity.isMaster);
    chat::CommandResult result{Kind::done, {}, {}};
    bool sent = true;
    switch (route.delivery) {
    case RollRoute::Delivery::none:
        break;
    case RollRoute::Delivery::everyone:
        sent = m_outbox.sendToAll(session::MSG_DICE_ROLL, text);
        break;
    case RollRoute::Delivery::master:
        // Id 0 would address everybody: without a master it goes nowhere.
        sent = m_identity.masterPlayerID != 0
               && m_outbox.sendTo(m_identity.masterPlayerID, session::MSG_MASTER_ROLL, text);
        break;
    }
    // The roll stands either way; the pane says it went nowhere.
    if (!sent)
        result.lines.append(rollNotSentLine());
    const QString own = rollChatLine(m_identity.userName, route.seenBy, text);
    result.lines.append(own);
    m_log.append(own);
    return result;
}

} // namespace vellmar::dice
