// The start-up's installing and uninstalling stages: the copy in the data
// folder with its shortcuts and uninstall entry, and their removal.
#include <algorithm>

#include "constants.h"
#include "platform/error.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

using platform::ResumeNext;

namespace {

constexpr const char* kUninstallKey =
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\)";
constexpr const char* kUninstallArgument = "del";
constexpr int kSpecialFolderBuffer = 255;
constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlPrograms = 2;
constexpr int kCsidlCommonPrograms = 23;
// The script shell's own numbering of its special folders.
constexpr int kShellDesktop = 4;
constexpr int kShellAllUsersPrograms = 2;
constexpr int kHidden = 0;

// A missing automation object fails as the runtime fails a call on Nothing.
template <typename T>
T& Need(const std::unique_ptr<T>& object) {
  if (!object) throw platform::Error("object variable not set");
  return *object;
}

std::string WithoutNuls(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

std::string InstalledCopy(const Program& program) {
  return program.DataFolder + "\\" + DataFolderName + ".exe";
}
std::string UninstallKey() { return std::string(kUninstallKey) + GameTitle + "\\"; }

// The folder's own name is the data folder's: only then may everything in
// it go. Exact and case-sensitive.
bool NamedLikeTheDataFolder(const std::string& folder) {
  const std::string name = DataFolderName;
  const auto slash = folder.find_last_of('\\');
  return folder.substr(slash == std::string::npos ? 0 : slash + 1) == name;
}

}  // namespace

// Tried in order, each taken when it exists; the last one is used as it is.
std::string Form1::FindSpecialFolder(const std::unique_ptr<platform::ScriptShell>& shell, bool programs) {
  platform::Files& files = ctx_.FileSystem();
  std::string found;
  const auto exists = [&] {
    bool there = false;
    ResumeNext([&] { there = files.Exists(found); });
    return there;
  };
  const auto fromShell32 = [&](int csidl) {
    std::string buffer(kSpecialFolderBuffer, '\0');
    ResumeNext([&] { buffer = ctx_.Shell32().SpecialFolderPath(Window().Handle(), csidl, false); });
    found = WithoutNuls(buffer);
  };
  ResumeNext([&] { found = Need(shell).SpecialFolder(programs ? "Programs" : "Desktop"); });
  if (!exists())
    ResumeNext([&] { found = Need(shell).SpecialFolder(programs ? kShellAllUsersPrograms : kShellDesktop); });
  if (!exists()) fromShell32(programs ? kCsidlPrograms : kCsidlDesktopDirectory);
  if (programs && !exists()) fromShell32(kCsidlCommonPrograms);
  return found;
}

void Form1::SaveShortcut(const std::unique_ptr<platform::ScriptShell>& shell, const std::string& path,
                         const std::string& target, const std::string& arguments) {
  std::unique_ptr<platform::Shortcut> link;
  ResumeNext([&] { link = Need(shell).CreateShortcut(path); });
  ResumeNext([&] { Need(link).SetTargetPath(target); });
  if (!arguments.empty()) ResumeNext([&] { Need(link).SetArguments(arguments); });
  ResumeNext([&] { Need(link).Save(); });
}

void Form1::RegisterInstall() {
  platform::Files& files = ctx_.FileSystem();
  const std::string installed = InstalledCopy(program_);
  // The module's own file: a folder may also hold another "<name>.exe".
  ResumeNext([&] { files.Copy(ctx_.Program().Path(), installed); });

  std::unique_ptr<platform::ScriptShell> shell;
  ResumeNext([&] { shell = ctx_.Shell32().CreateScriptShell(); });

  const std::string desktop = FindSpecialFolder(shell, false);
  SaveShortcut(shell, desktop + "\\" + GameTitle + ".lnk", installed, {});

  const std::string group = FindSpecialFolder(shell, true) + "\\" + GameTitle;
  bool groupThere = false;
  ResumeNext([&] { groupThere = files.Exists(group); });
  if (!groupThere) ResumeNext([&] { files.CreateFolder(group); });
  SaveShortcut(shell, group + "\\uninst.lnk", installed, kUninstallArgument);
  SaveShortcut(shell, group + "\\" + GameTitle + ".lnk", installed, {});

  const std::string key = UninstallKey();
  ResumeNext([&] { Need(shell).RegWrite(key + "DisplayIcon", installed, "REG_SZ"); });
  ResumeNext([&] {
    const platform::Version v = ctx_.Program().FileVersion();
    const std::string version =
        std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.revision);
    Need(shell).RegWrite(key + "DisplayVersion", version, "REG_SZ");
  });
  ResumeNext([&] { Need(shell).RegWrite(key + "DisplayName", GameTitle, "REG_SZ"); });
  ResumeNext(
      [&] { Need(shell).RegWrite(key + "UninstallString", installed + " " + kUninstallArgument, "REG_SZ"); });
}

// Everything is removed from the program's own folder, which is the data
// folder only when the installed copy runs. What the running executable
// holds goes through two hidden commands that run on after the program.
void Form1::Uninstall() {
  platform::Files& files = ctx_.FileSystem();
  std::unique_ptr<platform::ScriptShell> shell;
  ResumeNext([&] { shell = ctx_.Shell32().CreateScriptShell(); });

  const std::string desktop = FindSpecialFolder(shell, false);
  ResumeNext([&] { files.Delete(desktop + "\\" + GameTitle + ".lnk"); });
  const std::string group = FindSpecialFolder(shell, true) + "\\" + GameTitle;
  ResumeNext([&] { files.DeleteMatching(group + "\\*.*"); });
  ResumeNext([&] { files.RemoveFolder(group); });
  ResumeNext([&] { Need(shell).RegDelete(UninstallKey()); });

  std::string own;
  std::string self;
  ResumeNext([&] { own = ctx_.Program().Folder(); });
  // The module's own file, not "<name>.exe" beside it: started under
  // another extension, that would be someone else's file.
  ResumeNext([&] { self = ctx_.Program().Path(); });
  for (const char* name : {"\\bg.png", "\\Kestrune.lib", "\\flash32.ocx"}) {
    ResumeNext([&] { files.Delete(own + name); });
  }
  ResumeNext([&] { files.Delete(self); });
  const bool dataFolder = NamedLikeTheDataFolder(own);
  if (dataFolder) {
    ResumeNext([&] { files.DeleteMatching(own + "\\*.*"); });
    ResumeNext([&] { files.RemoveFolder(own); });
  }
  // Started now, they act once the program has ended and the delete before
  // the folder: started plainly, both raced the program's end and each other,
  // and the folder stayed whenever it lost.
  ResumeNext([&] { ctx_.Shell32().StartProcessAfterEnd("cmd /c del \"" + self + "\"", kHidden); });
  if (dataFolder)
    ResumeNext([&] { ctx_.Shell32().StartProcessAfterEnd("cmd /c rd \"" + own + "\"", kHidden); });
}

}  // namespace tarnhold
