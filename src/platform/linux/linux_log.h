#pragma once
// A trace of the moments worth timing (a page drawn, a movie started) and of
// the handlers that failed, one line each, to the file TARNHOLD_LOG names;
// nothing when it is unset.
#include <string>

namespace tarnhold::platform::linux_backend {

// "<monotonic ms> <event> <detail>": the system-wide monotonic clock, so a
// watcher can relate the lines to moments of its own.
void Log(const std::string& event, const std::string& detail);

// Every handler the event dispatch abandons leaves "handler-failed NAME: text".
void TraceHandlerFailures() noexcept;

}  // namespace tarnhold::platform::linux_backend
