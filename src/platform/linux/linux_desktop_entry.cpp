#include "platform/linux/linux_desktop_entry.h"

#include <glib.h>

#include "platform/error.h"

namespace tarnhold::platform::linux_backend {

namespace {

// An Exec argument with a reserved character goes in double quotes, with ",
// `, $ and \ escaped inside; the key file's own escaping comes on top. (The
// entry's quoting is not a shell's: single quotes are not allowed.)
std::string QuotedExecArgument(const std::string& argument) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  if (!argument.empty() && argument.find_first_of(kReserved) == std::string::npos) return argument;
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

// A percent sign would start a field code.
std::string WithoutFieldCodes(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    escaped.push_back(c);
    if (c == '%') escaped.push_back('%');
  }
  return escaped;
}

class DesktopEntry final : public Shortcut {
 public:
  DesktopEntry(const PathMap& paths, std::string path) : paths_(paths), path_(std::move(path)) {}
  void SetTargetPath(const std::string& path) override { target_ = path; }
  void SetArguments(const std::string& arguments) override { arguments_ = arguments; }
  void Save() override;

 private:
  const PathMap& paths_;
  std::string path_;
  std::string target_;
  std::string arguments_;
};

constexpr const char* kGroup = "Desktop Entry";

// A new entry every time, with nothing but what was set, as a new link is.
// Without a target there is no Exec line, as the link has no path. Launchers
// must be executable for a desktop to start them; the file is written beside
// its place and renamed over it, so a desktop that watches the folder never
// picks up half an entry.
void DesktopEntry::Save() {
  const std::string native = paths_.NativeOf(path_);
  const std::string file = path_.substr(path_.find_last_of("\\/") + 1);
  const std::string name = file.substr(0, file.size() - 4);
  g_autoptr(GKeyFile) entry = g_key_file_new();
  g_key_file_set_string(entry, kGroup, "Type", "Application");
  g_key_file_set_string(entry, kGroup, "Name", name.c_str());
  if (!target_.empty()) {
    std::string exec = QuotedExecArgument(paths_.NativeOf(target_));
    if (!arguments_.empty()) exec += " " + arguments_;
    g_key_file_set_string(entry, kGroup, "Exec", WithoutFieldCodes(exec).c_str());
  }
  g_key_file_set_string(entry, kGroup, "Icon", "tarnhold");
  g_key_file_set_string(entry, kGroup, "Terminal", "false");
  gsize length = 0;
  g_autofree gchar* text = g_key_file_to_data(entry, &length, nullptr);
  g_autoptr(GError) error = nullptr;
  if (!g_file_set_contents_full(native.c_str(), text, static_cast<gssize>(length),
                                G_FILE_SET_CONTENTS_CONSISTENT, 0755, &error)) {
    throw Error("cannot write " + native + ": " + error->message);
  }
}

}  // namespace

std::unique_ptr<Shortcut> NewDesktopEntry(const PathMap& paths, std::string path) {
  return std::make_unique<DesktopEntry>(paths, std::move(path));
}

}  // namespace tarnhold::platform::linux_backend
