#include "History.h"

namespace vellmar::session {

bool SequencedEvent::concerns(std::uint32_t member) const
{
    switch (kind) {
    case Kind::Message:
        return to == member || (to == 0 && from != member);
    case Kind::Joined:
    case Kind::Left:
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
