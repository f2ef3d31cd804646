// The shell on a freedesktop desktop: special folders are the XDG ones,
// shortcuts are desktop entries, the registry is a key file of our own, and
// the few command lines the behaviour starts are carried out natively.
#include <gio/gio.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "platform/error.h"
#include "platform/linux/linux_command_line.h"
#include "platform/linux/linux_desktop_entry.h"
#include "platform/linux/linux_registry.h"
#include "platform/linux/linux_special_folders.h"
#include "platform/linux/linux_system.h"

namespace tarnhold::platform::linux_backend {

namespace {

bool IsFolder(const std::string& native) { return g_file_test(native.c_str(), G_FILE_TEST_IS_DIR) != FALSE; }

class LinuxScriptShell final : public ScriptShell {
 public:
  LinuxScriptShell(const PathMap& paths, const Places& places)
      : paths_(paths), places_(places), registry_(places.configHome + "/tarnhold") {}
  // Nothing is created: the collection only looks. An unknown name is no
  // error to it: it answers an empty text.
  std::string SpecialFolder(const std::string& name) override {
    return WindowsFolder(SpecialFolderNamed(places_, name));
  }
  std::string SpecialFolder(int index) override { return WindowsFolder(SpecialFolderAt(places_, index)); }
  std::unique_ptr<Shortcut> CreateShortcut(const std::string& path) override {
    if (path.size() < 4 || g_ascii_strcasecmp(path.c_str() + path.size() - 4, ".lnk") != 0) {
      throw Error("the shortcut pathname must end with .lnk: " + path);
    }
    return NewDesktopEntry(paths_, path);
  }
  void RegWrite(const std::string& name, const std::string& value, const std::string& type) override {
    registry_.Write(name, value, type);
  }
  void RegDelete(const std::string& name) override { registry_.Delete(name); }

 private:
  std::string WindowsFolder(const std::string& native) const {
    return native.empty() ? std::string() : paths_.FromNative(native);
  }

  const PathMap& paths_;
  const Places& places_;
  KeyFileRegistry registry_;
};

}  // namespace

std::unique_ptr<ScriptShell> LinuxShell::CreateScriptShell() {
  return std::make_unique<LinuxScriptShell>(paths_, places_);
}

// As the ANSI call leaves a caller's buffer of 255 characters: the path and
// NULs after it, or only NULs when the call fails; a path that fills the
// buffer comes back whole. A folder that is not there fails unless asked to
// be created.
std::string LinuxShell::SpecialFolderPath(std::uintptr_t /*owner*/, int csidl, bool create) {
  constexpr std::size_t kBuffer = 255;
  std::string nothing(kBuffer, '\0');
  const std::string native = CsidlFolder(places_, csidl);
  if (native.empty()) return nothing;
  if (!IsFolder(native) && !(create && g_mkdir_with_parents(native.c_str(), 0755) == 0 && IsFolder(native))) {
    return nothing;
  }
  std::string buffer = paths_.FromNative(native);
  if (buffer.size() < kBuffer) buffer.resize(kBuffer, '\0');
  return buffer;
}

// What the launch answers is not looked at, as ShellExecute's answer is not:
// a file nothing opens is no error to the callers. Only "open" is known here,
// whatever verb is asked for.
void LinuxShell::Execute(std::uintptr_t /*owner*/, const std::string& /*verb*/, const std::string& file) {
  if (file.empty()) return;
  std::string uri;
  g_autofree char* scheme = g_uri_parse_scheme(file.c_str());
  // A one-letter scheme is a drive.
  if (scheme != nullptr && std::strlen(scheme) > 1) {
    uri = file;
  } else if (const std::optional<std::string> native = paths_.ToNative(file)) {
    g_autofree char* fileUri = g_filename_to_uri(native->c_str(), nullptr, nullptr);
    if (fileUri == nullptr) return;
    uri = fileUri;
  } else {
    return;
  }
  g_autoptr(GError) ignored = nullptr;
  g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &ignored);
}

// Carried out at once: a file or folder that is not there (or cannot go) is
// as little an error as it is to cmd, which starts all the same.
void LinuxShell::StartProcess(const std::string& commandLine, int /*windowStyle*/) {
  const Command command = ParseCommand(commandLine);
  switch (command.kind) {
    case Command::Kind::kClearBrowsingData:
      if (clearBrowsingData) clearBrowsingData();
      return;
    case Command::Kind::kDelete:
      if (const auto native = paths_.ToNative(command.path)) ::unlink(native->c_str());
      return;
    case Command::Kind::kRemoveFolder:
      if (const auto native = paths_.ToNative(command.path)) ::rmdir(native->c_str());
      return;
  }
}

// One runner for all such commands, so each acts after the ones before it.
void LinuxShell::StartProcessAfterEnd(const std::string& commandLine, int /*windowStyle*/) {
  const Command command = ParseCommand(commandLine);
  if (command.kind == Command::Kind::kClearBrowsingData) {
    throw Error("the browser's data cannot be cleared once the program has ended");
  }
  const std::optional<std::string> native = paths_.ToNative(command.path);
  if (!native) return;
  g_autofree gchar* quoted = g_shell_quote(native->c_str());
  runner_.Add((command.kind == Command::Kind::kDelete ? "rm -f -- " : "rmdir -- ") + std::string(quoted));
}

}  // namespace tarnhold::platform::linux_backend
