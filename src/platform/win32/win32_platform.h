#pragma once
#include <memory>
#include <set>

#include "platform/context.h"
#include "platform/win32/win32_content.h"
#include "platform/win32/win32_windows.h"

namespace tarnhold::platform::win32 {

class Win32Environment final : public Environment {
 public:
  std::string Variable(const std::string& name) const override;
  std::vector<FsoDrive> FsoDrives() const override;
  int DriveType(const std::string& root) const override;
};

class Win32Files final : public Files {
 public:
  bool Exists(const std::string& path) const override;
  void CreateFolder(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  void DeleteMatching(const std::string& pattern) override;
  void RemoveFolder(const std::string& path) override;
  void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  void Delete(const std::string& path) override;
  void Move(const std::string& from, const std::string& to) override;
};

class Win32ProgramInfo final : public ProgramInfo {
 public:
  std::string Folder() const override;
  std::string ExeName() const override;
  Version FileVersion() const override;
  std::string CommandLine() const override;
  [[noreturn]] void End() override;
};

class Win32Graphics final : public Graphics {
 public:
  int GdiplusStartup(std::uint32_t& token) override;
  void GdiplusShutdown(std::uint32_t token) override;

 private:
  // GDI+ must only be shut down with a token it handed out, once.
  std::set<std::uint32_t> tokens_;
};

class Win32Shell final : public Shell {
 public:
  bool NotifyIcon(int message, const std::vector<std::uint8_t>& record) override;
};

class Win32CodePage final : public CodePage {
 public:
  unsigned AnsiCode(char16_t unit) const override;
};

// The real platform for one process.
class Win32Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);
  Context& context() { return context_; }

 private:
  Win32Runtime windows_;
  Win32Environment environment_;
  Win32Files files_;
  Win32ProgramInfo program_;
  Win32Graphics graphics_;
  Win32Shell shell_;
  Win32CodePage codePage_;
  Win32Downloads downloads_;
  Win32Resources resources_;
  Win32Libraries libraries_;
  Context context_;
};

// The arguments after the program's name, as the runtime's Command gives them.
std::wstring ArgumentsOf(const wchar_t* commandLine);

}  // namespace tarnhold::platform::win32
