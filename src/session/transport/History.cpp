#include "History.h"

namespace vellmar::session {

bool eventConcerns(EventKind kind, std::uint32_t from, std::uint32_t to, std::uint32_t member)
{
    switch (kind) {
    case EventKind::Message:
        return to == member || (to == 0 && from != member);
    case EventKind::Joined:
    case EventKind::Left:
        return from != member;
    }
    return false;
}

void History::append(SequencedEvent event)
{
    m_bytes += event.frame.size();
    m_events.push_back(std::move(event));
    while (m_events.size() > m_capacity || (m_bytes > m_maxBytes && m_events.size() > 1)) {
        m_floor = m_events.front().seq;
        m_bytes -= m_events.front().frame.size();
        m_events.pop_front();
    }
}

} // namespace vellmar::session
