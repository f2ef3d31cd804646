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
  std::string Sha256(const std::string& path) const override;
};

class Win32ProgramInfo final : public ProgramInfo {
 public:
  std::string Folder() const override;
  std::string ExeName() const override;
  std::string Path() const override;
  std::uint32_t ProcessId() const override { return ::GetCurrentProcessId(); }
  Version FileVersion() const override;
  std::string CommandLine() const override;
  [[noreturn]] void End() override;
};

class Win32Graphics final : public Graphics {
 public:
  int GdiplusStartup(std::uint32_t& token) override;
  void GdiplusShutdown(std::uint32_t token) override;

  GdiHandle CreateCompatibleDC(std::uintptr_t window) override;
  GdiHandle CreateDIBSection(GdiHandle dc, const BitmapHeader& header) override;
  GdiHandle SelectObject(GdiHandle dc, GdiHandle object) override;
  bool DeleteObject(GdiHandle object) override;
  bool DeleteDC(GdiHandle dc) override;

  int GdipCreateFromHDC(GdiHandle dc, GdiHandle& graphics) override;
  int GdipLoadImageFromFile(const std::string& path, GdiHandle& image) override;
  int GdipGetImageWidth(GdiHandle image, std::uint32_t& width) override;
  int GdipGetImageHeight(GdiHandle image, std::uint32_t& height) override;
  int GdipDrawImageRect(GdiHandle graphics, GdiHandle image, float x, float y, float width,
                        float height) override;
  int GdipDisposeImage(GdiHandle image) override;
  int GdipDeleteGraphics(GdiHandle graphics) override;

  std::int32_t WindowLong(std::uintptr_t window, int index) override;
  void SetWindowLongValue(std::uintptr_t window, int index, std::int32_t value) override;
  bool UpdateLayered(std::uintptr_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, GdiHandle source, const BlendFunction& blend,
                     std::uint32_t flags) override;
  void ReleaseMouseCapture() override;
  std::intptr_t SendWindowMessage(std::uintptr_t window, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) override;

 private:
  // GDI+ must only be shut down with a token it handed out, once.
  std::set<std::uint32_t> tokens_;
};

class Win32Shell final : public Shell {
 public:
  // A native stand-in for "Wscript.shell": the script host may be switched
  // off by policy, and Wine's lacks RegDelete and the special folders by
  // number and some by name.
  std::unique_ptr<ScriptShell> CreateScriptShell() override;
  std::string SpecialFolderPath(std::uintptr_t owner, int csidl, bool create) override;
  bool NotifyIcon(int message, const std::vector<std::uint8_t>& record) override;
  void Execute(std::uintptr_t owner, const std::string& verb, const std::string& file) override;
  void StartProcess(const std::string& commandLine, int windowStyle) override;
  void StartProcessAfterEnd(const std::string& commandLine, int windowStyle) override;

 private:
  // The last command started to act after the end: it holds the pipe the
  // next one waits on.
  UniqueHandle lastAfterEnd_;
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
