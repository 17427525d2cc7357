#pragma once

#include <QByteArray>

#include <cstdint>
#include <deque>

// The host's record of recently sequenced events, each kept as the frame that
// was sent, so a member that lost its connection for a moment can be sent
// exactly what it missed.
namespace vellmar::session {

// Who a sequenced event is for. A message goes to its addressee, or with
// addressee 0 to everyone but its sender; a roster change goes to everyone
// but the player it is about. Live relaying, resume and take-over all ask
// this one rule.
enum class EventKind { Message, Joined, Left };
bool eventConcerns(EventKind kind, std::uint32_t from, std::uint32_t to, std::uint32_t member);

struct SequencedEvent
{
    using Kind = EventKind;
    std::uint64_t seq = 0;
    Kind kind = Kind::Message;
    std::uint32_t from = 0; // Message: sender; Joined/Left: the player concerned
    std::uint32_t to = 0;   // Message only; 0 = all but the sender
    QByteArray frame;

    bool concerns(std::uint32_t member) const { return eventConcerns(kind, from, to, member); }
};

class History
{
public:
    // Keeps at most `capacity` events and `maxBytes` bytes of frames (but
    // always the newest event).
    History(int capacity, std::int64_t maxBytes) : m_capacity(capacity > 0 ? capacity : 1), m_maxBytes(maxBytes) {}

    // Events must arrive in increasing seq order.
    void append(SequencedEvent event);
    // True when every event after lastSeq is still here.
    bool covers(std::uint64_t lastSeq) const { return lastSeq >= m_floor; }
    void setFloor(std::uint64_t floor) { m_floor = floor; }
    std::int64_t bytes() const { return m_bytes; }

    template <typename F>
    void forEachAfter(std::uint64_t seq, F &&f) const
    {
        for (const auto &e : m_events) {
            if (e.seq > seq)
                f(e);
        }
    }

private:
    std::deque<SequencedEvent> m_events;
    std::size_t m_capacity;
    std::int64_t m_maxBytes;
    std::int64_t m_bytes = 0;
    std::uint64_t m_floor = 0;
};

} // namespace vellmar::session
