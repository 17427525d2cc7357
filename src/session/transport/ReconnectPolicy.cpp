#include "ReconnectPolicy.h"

#include <QRandomGenerator>

#include <algorithm>

namespace vellmar::session {

// A link that breaks soon after it was set up, again and again, means the
// host (or the way to it) cannot take what goes on between us: each new
// attempt waits longer, and after a few the player is told the session is
// lost instead of the two sides spinning.
int ReconnectPolicy::linkBroke()
{
    const bool quick = !m_linkClock.isValid() || m_linkClock.elapsed() < m_settings.stableLinkTime.count();
    m_quickBreaks = quick ? m_quickBreaks + 1 : 1;
    return m_quickBreaks;
}

std::chrono::milliseconds ReconnectPolicy::delayAfterBreak() const
{
    return m_quickBreaks <= 1 ? std::chrono::milliseconds(0) : backoff(m_quickBreaks - 2);
}

std::chrono::milliseconds ReconnectPolicy::backoff(int step) const
{
    double delay = static_cast<double>(m_settings.retryDelay.count());
    for (int i = 0; i < step && delay < static_cast<double>(m_settings.retryDelayMax.count()); ++i)
        delay *= 2;
    delay = std::min(delay, static_cast<double>(m_settings.retryDelayMax.count()));
    // Spread by a quarter either way, so members cut off together do not
    // come back in step.
    delay *= 0.75 + QRandomGenerator::global()->bounded(0.5);
    return std::chrono::milliseconds(static_cast<std::int64_t>(delay));
}

} // namespace vellmar::session
