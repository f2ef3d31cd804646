#pragma once
// The procedures that more than one window uses.
#include <cstdint>

namespace tarnhold {

class Program;

namespace modMain {

// 1 shows the game screen; every other mode the login screen. Errors are not
// caught here: they go to the caller's own error skipping.
void SwitchScreen(Program& program, const std::int32_t& mode);

}  // namespace modMain
}  // namespace tarnhold
