// The simulated script shell: special folders, shortcuts and the registry,
// with the failures the script host raises.
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

}  // namespace

class SimScriptShell final : public ScriptShell {
 public:
  explicit SimScriptShell(SimPlatform& sim) : sim_(sim) {}
  std::string SpecialFolder(const std::string& name) override {
    sim_.Call("Script.SpecialFolders", name);
    const auto it = sim_.specialByName_.find(name);
    return it == sim_.specialByName_.end() ? std::string() : it->second;
  }
  std::string SpecialFolder(int index) override {
    sim_.Call("Script.SpecialFolders", std::to_string(index));
    const auto it = sim_.specialByIndex_.find(index);
    return it == sim_.specialByIndex_.end() ? std::string() : it->second;
  }
  std::unique_ptr<Shortcut> CreateShortcut(const std::string& path) override {
    sim_.Call("Script.CreateShortcut", path);
    return std::make_unique<SimShortcut>(sim_, path);
  }
  void RegWrite(const std::string& name, const std::string& value, const std::string& type) override {
    sim_.Call("Script.RegWrite", name + " = " + value + " (" + type + ")");
    sim_.registry_[name] = value;
  }
  // A name ending in a backslash is the key with all its values; either must
  // be there, or the script host raises.
  void RegDelete(const std::string& name) override {
    sim_.Call("Script.RegDelete", name);
    auto& registry = sim_.registry_;
    if (!name.empty() && name.back() == '\\') {
      bool found = false;
      for (auto it = registry.lower_bound(name); it != registry.end() && it->first.rfind(name, 0) == 0;) {
        it = registry.erase(it);
        found = true;
      }
      if (!found) throw Error("unable to remove registry key " + name);
      return;
    }
    if (registry.erase(name) == 0) throw Error("unable to remove registry value " + name);
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
