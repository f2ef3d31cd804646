#pragma once
#include <functional>

#include "platform/win32/win32_util.h"

namespace tarnhold {
class Program;
}

namespace tarnhold::platform::win32 {

// Runs the client for the whole process: the platform, the program's start-up
// and the message loop. `started` runs once the start-up has returned, with
// the login screen shown. Never returns: the program ends with ExitProcess.
[[noreturn]] void RunClient(HINSTANCE instance, const std::function<void(Program&)>& started);

}  // namespace tarnhold::platform::win32
