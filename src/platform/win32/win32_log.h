#pragma once
// The Win32 backend's word on what went wrong: to a debugger's output always,
// and to the file TARNHOLD_LOG names when it is set, in the lines the Linux
// client writes there, so that one watcher reads both.
#include <string>

namespace tarnhold::platform::win32 {

// "<ms since the system started> <event> <detail>", one line.
void Log(const std::string& event, const std::string& detail) noexcept;

// Every handler the event dispatch abandons leaves "handler-failed NAME: text".
void TraceHandlerFailures() noexcept;

}  // namespace tarnhold::platform::win32
