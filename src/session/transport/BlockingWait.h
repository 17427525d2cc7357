#pragma once

#include <chrono>
#include <functional>

// The application calls the transport's set-up operations as plain blocking
// calls; this runs the event loop until the condition holds or time is up.
// The condition is asked again whenever the event loop has handled what was
// ready (it can only change in a handler), so it may be any expression over
// state that handlers update.
namespace vellmar::session {

// True when the condition held in the end.
bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);

} // namespace vellmar::session
