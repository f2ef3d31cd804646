// The GUI side defines the tray call; these tests link the system services
// alone, where no tray exists.
#include "platform/linux/linux_system.h"

namespace tarnhold::platform::linux_backend {

bool LinuxShell::NotifyIcon(int /*message*/, const std::vector<std::uint8_t>& /*record*/) { return false; }

}  // namespace tarnhold::platform::linux_backend
