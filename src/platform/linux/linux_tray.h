#pragma once
// The notification-area icon through AppIndicator (StatusNotifierItem). Its
// menu's one entry, and the icon's secondary activation, are the click the
// form waits for: they reach the window named in the icon's record as the
// runtime hands on a left-button release there.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/linux_gobject.h"

namespace tarnhold::platform::linux_backend {

class LinuxRuntime;

class TrayIcon {
 public:
  // One per process: the shell's notify calls reach it.
  explicit TrayIcon(LinuxRuntime& runtime);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Shell_NotifyIcon's add, modify and delete with the 88-byte ANSI record.
  bool Notify(int message, const std::vector<std::uint8_t>& record);
  // Takes the icon's file and its folder away; the next add writes them
  // again. For the program's end, which runs no destructor.
  void RemoveIconFile() noexcept;

 private:
  void WriteIconFile();
  void Activate();
  // Whether a StatusNotifier host shows items: without one (a desktop
  // without a panel that draws them) the item is registered and never seen.
  bool HostShowsItems() const;
  // The host went away, or its watcher: a game hidden in it comes back.
  void HostLost();
  friend class LinuxShell;
  static TrayIcon* current_;

  LinuxRuntime& runtime_;
  // Let go in the reverse order: the item, its menu, then the bus it lives on.
  GOwned<GObject> bus_;  // GDBusConnection
  GOwned<GObject> menu_;
  GOwned<GObject> indicator_;  // AppIndicator, kept out of this header
  void* item_ = nullptr;       // the menu's, not ours
  unsigned hostSignal_ = 0;
  std::uintptr_t window_ = 0;
  bool hiddenInHost_ = false;  // the window is hidden, its icon in a host
  std::string iconFolder_;
};

}  // namespace tarnhold::platform::linux_backend
