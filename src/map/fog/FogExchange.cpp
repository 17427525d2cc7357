#include "FogExchange.h"

#include "session/binding/Dispatcher.h"
#include "table/Identity.h"
#include "table/Outbox.h"

#include <QLoggingCategory>

#include <utility>

namespace vellmar::map::fog {

namespace {

Q_LOGGING_CATEGORY(lcFog, "vellmar.fog", QtWarningMsg)

template <typename T>
const T *valueOf(const session::Parsed<T> &parsed, const QString &payload)
{
    const T *value = std::get_if<T>(&parsed);
    if (!value)
        qCWarning(lcFog, "fog message skipped: %s (\"%s\")", qUtf8Printable(std::get<QString>(parsed)),
                  qUtf8Printable(payload.left(60)));
    return value;
}

} // namespace

FogExchange::FogExchange(table::Outbox &outbox, const table::Identity &identity,
                         std::function<void(const QRect &)> changed)
    : m_outbox(outbox)
    , m_identity(identity)
    , m_changed(std::move(changed))
{
    m_deferTimer.setSingleShot(true);
    QObject::connect(&m_deferTimer, &QTimer::timeout, &m_deferTimer, [this] { answerDeferred(); });
}

void FogExchange::route(session::Dispatcher &dispatcher)
{
    for (const auto type :
         {session::MSG_FOG_STEP, session::MSG_FOG_MOVE, session::MSG_FOG_STATE, session::MSG_FOG_STATE_REQUEST}) {
        dispatcher.route(
            type, session::Dispatcher::Payload::fields,
            [this, type](std::int32_t from, const QString &, const QString &payload) { receive(type, from, payload); });
    }
}

bool FogExchange::isMaster() const { return m_identity.isMaster; }

bool FogExchange::fromMaster(std::int32_t from, std::int32_t type) const
{
    // The host stamps the sender, so only the master's own copy sends under
    // its id; a fog message from anyone else changes nothing.
    if (m_identity.masterPlayerID != 0 && from == m_identity.masterPlayerID && !isMaster())
        return true;
    ++m_refused;
    qCWarning(lcFog, "fog message of type %d from player %d refused: only the master changes the fog", type, from);
    return false;
}

void FogExchange::receive(std::int32_t type, std::int32_t from, const QString &payload)
{
    if (type == session::MSG_FOG_STATE_REQUEST) {
        receiveRequest(from);
        return;
    }
    if (!fromMaster(from, type))
        return;
    switch (type) {
    case session::MSG_FOG_STEP:
        receiveStep(payload);
        break;
    case session::MSG_FOG_MOVE:
        receiveMove(payload);
        break;
    case session::MSG_FOG_STATE:
        receiveState(payload);
        break;
    default:
        break;
    }
}

void FogExchange::showPicture(QSize picture)
{
    if (!isMaster())
        return;
    m_history.reset(picture);
    m_changed(m_history.mask().cells().rect());
    sendState(0);
}

void FogExchange::restore(FogHistory history)
{
    if (!isMaster())
        return;
    m_history = std::move(history);
    m_changed(m_history.mask().cells().rect());
    sendState(0);
}

bool FogExchange::apply(const FogStep &step)
{
    if (!isMaster())
        return false;
    const int index = m_history.position();
    QRect changed;
    if (!m_history.push(step, &changed))
        return false;
    m_outbox.sendToAll(session::MSG_FOG_STEP, session::formatPayload(session::FogStepMessage{index, step}));
    m_changed(changed);
    return true;
}

bool FogExchange::undo()
{
    if (!isMaster() || !m_history.canUndo())
        return false;
    move(m_history.position() - 1);
    return true;
}

bool FogExchange::redo()
{
    if (!isMaster() || !m_history.canRedo())
        return false;
    move(m_history.position() + 1);
    return true;
}

void FogExchange::move(int position)
{
    QRect changed;
    m_history.moveTo(position, &changed);
    m_outbox.sendToAll(session::MSG_FOG_MOVE, session::formatPayload(session::FogMove{position}));
    m_changed(changed);
}

void FogExchange::sendState(std::int32_t playerId)
{
    if (!isMaster() || m_history.mask().isNull())
        return;
    const auto parts = session::splitFogState(m_history.toBytes(), m_nextSerial);
    m_nextSerial = m_nextSerial % session::kFogMaxIndex + 1;
    for (const auto &part : parts)
        m_outbox.sendTo(playerId, session::MSG_FOG_STATE, session::formatPayload(part));
}

void FogExchange::requestState()
{
    if (isMaster() || m_identity.masterPlayerID == 0)
        return;
    if (m_outbox.sendTo(m_identity.masterPlayerID, session::MSG_FOG_STATE_REQUEST, QString())) {
        m_awaitingState = true;
        m_requested.start();
    }
}

void FogExchange::outOfStep(const QString &why)
{
    if (m_awaitingState && m_requested.isValid() && m_requested.elapsed() < kRequestRetryMs)
        return;
    qCWarning(lcFog, "fog out of step (%s): asking the master for the whole fog", qUtf8Printable(why));
    requestState();
}

void FogExchange::receiveStep(const QString &payload)
{
    const auto parsed = session::parseFogStep(payload);
    const auto *m = valueOf(parsed, payload);
    if (!m)
        return;
    if (m_awaitingState)
        return outOfStep(QStringLiteral("step %1 while waiting").arg(m->index));
    QRect changed;
    if (m->index != m_history.position() || !m_history.push(m->step, &changed))
        return outOfStep(QStringLiteral("step %1 at position %2").arg(m->index).arg(m_history.position()));
    m_changed(changed);
}

void FogExchange::receiveMove(const QString &payload)
{
    const auto parsed = session::parseFogMove(payload);
    const auto *m = valueOf(parsed, payload);
    if (!m)
        return;
    if (m_awaitingState)
        return outOfStep(QStringLiteral("move while waiting"));
    QRect changed;
    if (!m_history.moveTo(m->position, &changed))
        return outOfStep(QStringLiteral("move to %1 outside %2..%3")
                             .arg(m->position)
                             .arg(m_history.firstIndex())
                             .arg(m_history.endIndex()));
    m_changed(changed);
}

void FogExchange::receiveState(const QString &payload)
{
    const auto parsed = session::parseFogStatePart(payload);
    const auto *m = valueOf(parsed, payload);
    if (!m)
        return;
    if (m->part == 0) {
        m_incomingSerial = m->serial;
        m_incomingParts = m->parts;
        m_incoming.clear();
    } else if (m->serial != m_incomingSerial || m->parts != m_incomingParts || m->part != m_incoming.size()) {
        qCWarning(lcFog, "fog state part %d/%d of %d skipped: not the one expected", m->part, m->parts, m->serial);
        return;
    }
    m_incoming.append(m->data);
    if (m_incoming.size() < m_incomingParts)
        return;
    const QByteArray bytes = m_incoming.join();
    m_incoming.clear();
    m_incomingSerial = 0;
    QString why;
    auto history = FogHistory::fromBytes(bytes, &why);
    if (!history) {
        qCWarning(lcFog, "fog state skipped: %s", qUtf8Printable(why));
        return;
    }
    m_history = std::move(*history);
    m_awaitingState = false;
    m_changed(m_history.mask().cells().rect());
}

void FogExchange::receiveRequest(std::int32_t from)
{
    if (!isMaster())
        return;
    // A copy that keeps asking gets one answer a second; the one that asked
    // again soon after an answer (it lost a step since) gets the fog as it
    // is when its second is up.
    QElapsedTimer &last = m_answered[from];
    if (last.isValid() && last.elapsed() < kStateAnswerGapMs) {
        m_deferred.insert(from);
        if (!m_deferTimer.isActive())
            m_deferTimer.start(int(kStateAnswerGapMs - last.elapsed()));
        return;
    }
    last.start();
    sendState(from);
}

void FogExchange::answerDeferred()
{
    const auto players = std::exchange(m_deferred, {});
    for (const std::int32_t player : players) {
        QElapsedTimer &last = m_answered[player];
        if (last.isValid() && last.elapsed() < kStateAnswerGapMs) {
            m_deferred.insert(player);
            continue;
        }
        last.start();
        sendState(player);
    }
    if (!m_deferred.isEmpty())
        m_deferTimer.start(kStateAnswerGapMs / 4);
}

} // namespace vellmar::map::fog
