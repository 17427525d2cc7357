#pragma once

#include "map/fog/FogHistory.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace vellmar::table {
class Outbox;
struct Identity;
} // namespace vellmar::table
namespace vellmar::session {
class Dispatcher;
}

// The fog shared through the session. The master's copy makes the steps and
// moves; every copy keeps the same history, so a step or an undo travels as
// one small message. A copy that misses one (it joined late, or a step came
// with a number it did not expect) asks the master for the whole fog.
namespace vellmar::map::fog {

class FogExchange
{
public:
    // `changed` gets the cells that may look different (empty: nothing).
    FogExchange(table::Outbox &outbox, const table::Identity &identity, std::function<void(const QRect &)> changed);

    // Takes types 1020 to 1023 as they arrive.
    void route(session::Dispatcher &dispatcher);
    void receive(std::int32_t type, std::int32_t from, const QString &payload);

    const FogHistory &history() const { return m_history; }
    const FogMask &mask() const { return m_history.mask(); }
    // Fog messages refused for their sender so far (for diagnostics).
    int refusedMessages() const { return m_refused; }

    // The master's side; each does nothing on a player's copy.
    // Another picture is shown: its fog starts revealed, and everyone hears.
    void showPicture(QSize picture);
    // Fog read from a table file, sent to everyone.
    void restore(FogHistory history);
    // False for a step the history refuses.
    bool apply(const FogStep &step);
    bool undo();
    bool redo();
    // The whole fog to one player (a late joiner) or, with 0, to everyone.
    void sendState(std::int32_t playerId);

    // A player's side: asks the master for the whole fog (on joining).
    void requestState();

    // A player's requests are answered at most once in this time; one that
    // comes sooner is answered when the time is up.
    static constexpr int kStateAnswerGapMs = 1000;
    // A player asks again when no answer came in this time.
    static constexpr int kRequestRetryMs = 3000;

private:
    bool isMaster() const;
    bool fromMaster(std::int32_t from, std::int32_t type) const;
    void move(int position);
    void receiveStep(const QString &payload);
    void receiveMove(const QString &payload);
    void receiveState(const QString &payload);
    void receiveRequest(std::int32_t from);
    void answerDeferred();
    void outOfStep(const QString &why);

    table::Outbox &m_outbox;
    const table::Identity &m_identity;
    std::function<void(const QRect &)> m_changed;
    FogHistory m_history;
    std::int32_t m_nextSerial = 1;

    // A player's copy while it waits for the whole fog: steps and moves that
    // arrive meanwhile are in it already, so they are skipped.
    bool m_awaitingState = false;
    QElapsedTimer m_requested;
    std::int32_t m_incomingSerial = 0;
    std::int32_t m_incomingParts = 0;
    QList<QByteArray> m_incoming;

    QHash<std::int32_t, QElapsedTimer> m_answered;
    QSet<std::int32_t> m_deferred;
    QTimer m_deferTimer;
    mutable int m_refused = 0;
};

} // namespace vellmar::map::fog
