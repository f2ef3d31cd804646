#pragma once
// The script host's shell object, shell32 and processes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnhold::platform {

class Shortcut {
 public:
  virtual ~Shortcut() = default;
  virtual void SetTargetPath(const std::string& path) = 0;
  virtual void SetArguments(const std::string& arguments) = 0;
  virtual void Save() = 0;
};

// "Wscript.shell".
class ScriptShell {
 public:
  virtual ~ScriptShell() = default;
  virtual std::string SpecialFolder(const std::string& name) = 0;
  virtual std::string SpecialFolder(int index) = 0;
  virtual std::unique_ptr<Shortcut> CreateShortcut(const std::string& path) = 0;
  virtual void RegWrite(const std::string& name, const std::string& value, const std::string& type) = 0;
  // A name ending in a backslash names the key itself.
  virtual void RegDelete(const std::string& name) = 0;
};

// What a backend does not provide fails as the runtime fails a call it
// cannot make.
class Shell {
 public:
  virtual ~Shell() = default;
  // Creates "Wscript.shell"; throws when it cannot be created.
  virtual std::unique_ptr<ScriptShell> CreateScriptShell();
  // SHGetSpecialFolderPath into a buffer of 255 characters; the buffer as it
  // then stands, NUL characters included.
  virtual std::string SpecialFolderPath(std::uintptr_t owner, int csidl, bool create);
  // Shell_NotifyIcon with the 88-byte ANSI record.
  virtual bool NotifyIcon(int message, const std::vector<std::uint8_t>& record);
  virtual void Execute(std::uintptr_t owner, const std::string& verb, const std::string& file);
  // Starts a command line with a window style (0 hidden, 6 minimised), no wait.
  virtual void StartProcess(const std::string& commandLine, int windowStyle);
  // Starts a command line now that acts only once this program, and every
  // command started this way before it, have ended: for the commands that
  // remove the running program's own files.
  virtual void StartProcessAfterEnd(const std::string& commandLine, int windowStyle);
};

}  // namespace tarnhold::platform
