#pragma once

#include <chrono>
#include <functional>

// The application calls the transport's set-up operations as plain blocking
// calls; this runs the event loop until the condition holds or time is up.
namespace vellmar::session {

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);

} // namespace vellmar::session
