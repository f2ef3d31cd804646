// The simulated script shell: special folders, shortcuts and the registry,
// with the failures the script host raises.
#include <glib.h>

#include "platform/sim/sim_platform.h"

namespace tarnhold::platform::sim {

namespace {

class SimShortcut final : public Shortcut {
 public:
  SimShortcut(SimPlatform& sim, std::string path) : sim_(sim), path_(std::move(path)) {}
  void SetTargetPath(const std::string& path) override {
    sim_.Call("Script.Shortcut.TargetPath", path);
    target_ = path;
  }
  void SetArguments(const std::string& arguments) override {
    sim_.Call("Script.Shortcut.Arguments", arguments);
    arguments_ = arguments;
  }
  // Written through the file system, so it fails as a file would.
  void Save() override {
    sim_.Call("Script.Shortcut.Save", path_);
    std::string text = "TargetPath=" + target_ + "\n";
    if (!arguments_.empty()) text += "Arguments=" + arguments_ + "\n";
    static_cast<Files&>(sim_.context().FileSystem()).WriteFile(path_, {text.begin(), text.end()});
  }

 private:
  SimPlatform& sim_;
  std::string path_;
  std::string target_;
  std::string arguments_;
};

// A registry name as the registry compares it: the root in its long form,
// all in one letter case. Empty when it starts with no root the script host
// knows, or names nothing below one.
std::string Canonical(const std::string& name) {
  static const std::pair<const char*, const char*> kRoots[] = {
      {"HKCU", "HKEY_CURRENT_USER"},  {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
      {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
      {"HKCR", "HKEY_CLASSES_ROOT"},  {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
      {"HKEY_USERS", "HKEY_USERS"},   {"HKEY_CURRENT_CONFIG", "HKEY_CURRENT_CONFIG"}};
  const auto slash = name.find('\\');
  if (slash == std::string::npos) return {};
  for (const auto& [spelling, root] : kRoots) {
    if (g_ascii_strncasecmp(name.c_str(), spelling, slash) != 0 || spelling[slash] != '\0') continue;
    gchar* rest = g_ascii_strup(name.c_str() + slash, -1);
    std::string canonical = root + std::string(rest);
    g_free(rest);
    return canonical;
  }
  return {};
}

}  // namespace

class SimScriptShell final : public ScriptShell {
 public:
  explicit SimScriptShell(SimPlatform& sim) : sim_(sim) {}
  // A name in any letter case, as the collection takes it.
  std::string SpecialFolder(const std::string& name) override {
    sim_.Call("Script.SpecialFolders", name);
    for (const auto& [known, path] : sim_.specialByName_) {
      if (g_ascii_strcasecmp(known.c_str(), name.c_str()) == 0) return path;
    }
    return {};
  }
  // The collection holds sixteen items; another number is out of its range.
  std::string SpecialFolder(int index) override {
    sim_.Call("Script.SpecialFolders", std::to_string(index));
    if (index < 0 || index > 15) throw Error("subscript out of range");
    const auto it = sim_.specialByIndex_.find(index);
    return it == sim_.specialByIndex_.end() ? std::string() : it->second;
  }
  std::unique_ptr<Shortcut> CreateShortcut(const std::string& path) override {
    sim_.Call("Script.CreateShortcut", path);
    if (path.size() < 4 || g_ascii_strcasecmp(path.c_str() + path.size() - 4, ".lnk") != 0)
      throw Error("the shortcut pathname must end with .lnk: " + path);
    return std::make_unique<SimShortcut>(sim_, path);
  }
  // Text values only, under a root it knows; a value written again under
  // another spelling is the same value and keeps its first name.
  void RegWrite(const std::string& name, const std::string& value, const std::string& type) override {
    sim_.Call("Script.RegWrite", name + " = " + value + " (" + type + ")");
    if (g_ascii_strcasecmp(type.c_str(), "REG_SZ") != 0) throw Error("registry type not supported: " + type);
    const std::string canonical = Canonical(name);
    if (canonical.empty()) throw Error("invalid root in registry key " + name);
    for (auto& [stored, old] : sim_.registry_) {
      if (Canonical(stored) != canonical) continue;
      old = value;
      return;
    }
    sim_.registry_[name] = value;
  }
  // A name ending in a backslash is the key with all its values, which goes
  // only without subkeys; either must be there, or the script host raises.
  void RegDelete(const std::string& name) override {
    sim_.Call("Script.RegDelete", name);
    auto& registry = sim_.registry_;
    const std::string canonical = Canonical(name);
    if (canonical.empty()) throw Error("invalid root in registry key " + name);
    if (name.back() == '\\') {
      std::vector<std::string> values;
      for (const auto& [stored, value] : registry) {
        const std::string other = Canonical(stored);
        if (other.rfind(canonical, 0) != 0) continue;
        if (other.find('\\', canonical.size()) != std::string::npos)
          throw Error("unable to remove registry key " + name + ": it has subkeys");
        values.push_back(stored);
      }
      if (values.empty() || canonical.find('\\') == canonical.size() - 1)
        throw Error("unable to remove registry key " + name);
      for (const std::string& value : values) registry.erase(value);
      return;
    }
    for (auto it = registry.begin(); it != registry.end(); ++it) {
      if (Canonical(it->first) != canonical) continue;
      registry.erase(it);
      return;
    }
    throw Error("unable to remove registry value " + name);
  }

 private:
  SimPlatform& sim_;
};

std::unique_ptr<ScriptShell> SimPlatform::CreateScriptShell() {
  Record("Shell.CreateScriptShell", "Wscript.shell");
  return std::make_unique<SimScriptShell>(*this);
}

std::string SimPlatform::SpecialFolderPath(std::uintptr_t owner, int csidl, bool create) {
  Record("Shell.SpecialFolderPath",
         std::to_string(csidl) + " owner " + WindowName(owner) + (create ? " create" : " no create"));
  std::string buffer(255, '\0');
  const auto it = shell32Folders_.find(csidl);
  if (it == shell32Folders_.end()) return buffer;  // the call fails and leaves the buffer
  buffer.replace(0, it->second.size(), it->second);
  return buffer;
}

std::string SimPlatform::ShortcutText(const std::string& path) const {
  const std::vector<std::uint8_t> bytes = FileBytes(path);
  return {bytes.begin(), bytes.end()};
}

}  // namespace tarnhold::platform::sim
