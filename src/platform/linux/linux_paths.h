#pragma once
// The behaviour speaks Windows paths; these are the two drives it sees here.
// "C:" is the user's data home, so the data folder and the program group land
// where a desktop keeps per-user data; "Z:" is the whole file system, as Wine
// shows it, for everything else (the program's own folder, the desktop).
#include <optional>
#include <string>

namespace tarnhold::platform::linux_backend {

// Where this user's folders are, read once from the environment.
struct Places {
  std::string dataHome;    // $XDG_DATA_HOME, else ~/.local/share
  std::string configHome;  // $XDG_CONFIG_HOME, else ~/.config
  std::string desktop;     // XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop

  // Relative XDG values are ignored, as the base directory rules ask. The
  // user-dirs file is read here rather than through GLib, whose answers stay
  // cached for the life of the process.
  static Places FromEnvironment();
};

class PathMap {
 public:
  // Makes the data home exist (with its parents): drive C: is always there.
  // Throws platform::Error when it cannot be made.
  explicit PathMap(const std::string& dataHome);

  // Nothing for a path on another drive, a relative or drive-relative one, or
  // a share: the callers take that as a file that is not there. "." and ".."
  // are resolved by name and stop at the drive's root, so no path on C:
  // leads out of the data home. A last component ending in ".exe" loses it
  // (the executable has no extension here) and one ending in ".lnk" becomes
  // ".desktop" (a shortcut is a desktop entry here), in any case.
  std::optional<std::string> ToNative(const std::string& windows) const;
  // ToNative, throwing platform::Error for a path that maps to nothing.
  std::string NativeOf(const std::string& windows) const;
  // "C:\..." below the data home (also when reached through its real path),
  // "Z:\..." otherwise. A root keeps its backslash, nothing else ends in one.
  // Throws platform::Error for a relative path.
  std::string FromNative(const std::string& native) const;

  const std::string& DataHome() const { return dataHome_; }

 private:
  std::string dataHome_;
  std::string realDataHome_;
};

}  // namespace tarnhold::platform::linux_backend
