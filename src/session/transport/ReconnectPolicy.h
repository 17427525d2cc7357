#pragma once

#include "TransportSettings.h"

#include <QElapsedTimer>

#include <chrono>

// How a member paces its reconnections: growing waits between attempts
// within one search for a host, and a count of links that broke soon after
// they were set up, which ends the session when it keeps happening.
namespace vellmar::session {

class ReconnectPolicy
{
public:
    explicit ReconnectPolicy(const TransportSettings &settings) : m_settings(settings) {}

    // A link to a host was set up.
    void linkUp() { m_linkClock.start(); }
    // A link broke. Returns how many broke in a row soon after being set up,
    // this one included.
    int linkBroke();
    // Too many quick breaks in a row: the two sides would only spin.
    bool givesUp() const { return m_quickBreaks > m_settings.maxQuickBreaks; }
    // The wait before reconnecting after the last break.
    std::chrono::milliseconds delayAfterBreak() const;

    // A new search for a host begins.
    void startSearch() { m_tries = 0; }
    // The wait before the next attempt of this search.
    std::chrono::milliseconds nextRetry() { return backoff(m_tries++); }
    int tries() const { return m_tries; }

private:
    std::chrono::milliseconds backoff(int step) const;

    const TransportSettings &m_settings;
    int m_tries = 0;           // retries within this search for a host
    int m_quickBreaks = 0;     // links that broke soon after being set up, in a row
    QElapsedTimer m_linkClock; // since the current link to a host was set up
};

} // namespace vellmar::session
