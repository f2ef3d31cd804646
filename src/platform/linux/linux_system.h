#pragma once
// The system services of the Linux client: environment and drives, files,
// the program itself, the shell, downloads and the code page. Windows and
// graphics come from the GUI side.
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/context.h"
#include "platform/linux/linux_paths.h"
#include "platform/linux/linux_runner.h"

namespace tarnhold::platform::linux_backend {

// One fixed drive, C:, and the variables of the process.
class LinuxEnvironment final : public Environment {
 public:
  // Names are compared without regard to case, as Windows does; "SystemDrive"
  // is C:, the only drive offered.
  std::string Variable(const std::string& name) const override;
  // Z: is not offered: a data folder chosen there would land on "/".
  std::vector<FsoDrive> FsoDrives() const override;
  int DriveType(const std::string& root) const override;
};

class LinuxFiles final : public Files {
 public:
  explicit LinuxFiles(const PathMap& paths) : paths_(paths) {}
  bool Exists(const std::string& path) const override;
  void CreateFolder(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  void DeleteMatching(const std::string& pattern) override;
  void RemoveFolder(const std::string& path) override;
  void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  void Delete(const std::string& path) override;
  void Move(const std::string& from, const std::string& to) override;
  std::string Sha256(const std::string& path) const override;

 private:
  const PathMap& paths_;
};

// A name as the file finder matches it: * and ?, case folded (ASCII),
// "x.*" also taking a name without an extension and "x." only one without.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

class LinuxProgramInfo final : public ProgramInfo {
 public:
  // The executable is looked up once: after an uninstall has deleted it the
  // kernel's link names it "... (deleted)".
  LinuxProgramInfo(const PathMap& paths, int argc, char** argv);
  std::string Folder() const override;
  // The file name with only a ".exe" taken off, the one suffix the path
  // mapping drops again: "<Folder>\<ExeName>.exe" names this executable.
  std::string ExeName() const override;
  std::string Path() const override { return Folder() + "\\" + ExeName() + ".exe"; }
  std::uint32_t ProcessId() const override { return static_cast<std::uint32_t>(::getpid()); }
  Version FileVersion() const override;
  std::string CommandLine() const override;
  [[noreturn]] void End() override;

  // Takes away what the process leaves in the session that Windows would take
  // away with a process that ended (its tray icon); set by the GUI side.
  std::function<void()> atEnd;

 private:
  const PathMap& paths_;
  std::string executable_;
  std::string commandLine_;
};

class LinuxShell final : public Shell {
 public:
  LinuxShell(const PathMap& paths, Places places) : paths_(paths), places_(std::move(places)) {}
  // The commands started to act after the end must still wait for the
  // process, not for this object: the runner's input stays open until exit.
  ~LinuxShell() override = default;
  LinuxShell(const LinuxShell&) = delete;
  LinuxShell& operator=(const LinuxShell&) = delete;

  std::unique_ptr<ScriptShell> CreateScriptShell() override;
  std::string SpecialFolderPath(std::uintptr_t owner, int csidl, bool create) override;
  // Defined by the GUI side, next to its tray icon.
  bool NotifyIcon(int message, const std::vector<std::uint8_t>& record) override;
  void Execute(std::uintptr_t owner, const std::string& verb, const std::string& file) override;
  // Only the command lines the behaviour gives are known: "cmd /c del "<file>"",
  // "cmd /c rd "<folder>"" and the browser's clear-my-tracks call. Anything
  // else throws, as a program that cannot be found does.
  void StartProcess(const std::string& commandLine, int windowStyle) override;
  void StartProcessAfterEnd(const std::string& commandLine, int windowStyle) override;

  // Clears the browser's cached data; set by the GUI side that owns the
  // browser. Unset, the clearing command does nothing.
  std::function<void()> clearBrowsingData;

 private:
  const PathMap& paths_;
  Places places_;
  AfterEndRunner runner_;
};

// The ANSI code page a Windows system with this locale would have.
class LinuxCodePage final : public CodePage {
 public:
  // CP936 for a Chinese locale (LC_ALL, LC_CTYPE, LANG, the first one set),
  // Windows-1252 otherwise; read once.
  LinuxCodePage();
  unsigned AnsiCode(char16_t unit) const override;
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

class LinuxDownloads final : public Downloads {
 public:
  // `trusted`, a PEM file, holds the certificates trusted in place of the
  // system's; empty, the system's store decides. Checks are on either way.
  explicit LinuxDownloads(const PathMap& paths, std::string trusted = {});
  DownloadResult Fetch(const std::string& url, const std::string& path) override;

 private:
  const PathMap& paths_;
  std::string trusted_;
};

// The executable carries no resources: everything it needs is compiled in.
class LinuxResources final : public Resources {
 public:
  std::vector<std::uint8_t> Load(const std::string& type, int id) override;
};

// No Windows library can be loaded here, and the Flash runtime needs no
// registration: every call fails as the kernel32 one does.
class LinuxLibraries final : public Libraries {
 public:
  ModuleHandle Load(const std::string& path) override;
  ProcAddress Export(ModuleHandle module, const std::string& name) override;
  ThreadHandle StartThread(ProcAddress start) override;
  std::uint32_t Wait(ThreadHandle thread, std::uint32_t milliseconds) override;
  void Close(ThreadHandle handle) override;
  void Free(ModuleHandle module) override;
};

// All the system services of one process.
class LinuxSystem {
 public:
  LinuxSystem(int argc, char** argv);
  // With the folders given instead of read from the environment.
  LinuxSystem(int argc, char** argv, Places places);
  LinuxSystem(const LinuxSystem&) = delete;
  LinuxSystem& operator=(const LinuxSystem&) = delete;

  // Fills every group but windows and graphics.
  void Fill(Context& context);

  const Places& places() const { return places_; }
  const PathMap& paths() const { return paths_; }
  LinuxEnvironment& environment() { return environment_; }
  LinuxFiles& files() { return files_; }
  LinuxProgramInfo& program() { return program_; }
  LinuxShell& shell() { return shell_; }
  LinuxDownloads& downloads() { return downloads_; }
  LinuxResources& resources() { return resources_; }
  LinuxLibraries& libraries() { return libraries_; }
  LinuxCodePage& codePage() { return codePage_; }

 private:
  Places places_;
  PathMap paths_;
  LinuxEnvironment environment_;
  LinuxFiles files_;
  LinuxProgramInfo program_;
  LinuxShell shell_;
  LinuxDownloads downloads_;
  LinuxResources resources_;
  LinuxLibraries libraries_;
  LinuxCodePage codePage_;
};

}  // namespace tarnhold::platform::linux_backend
