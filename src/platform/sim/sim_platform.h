#pragma once
// A deterministic, single-threaded platform that behaves like the OS where the
// behaviour depends on it. Every call lands in one ordered trace, and any
// operation can be told to fail.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/dispatch.h"
#include "platform/geometry.h"
#include "platform/pointer_input.h"

namespace tarnhold::platform::sim {

// Thrown by the simulated program end; no error skipping swallows it.
struct ProgramEnded {};

// The bytes of a simulated in-process server library: "export" names its
// DllRegisterServer (or not), "register" says what that does (finish: it
// registers "progid" with "version"; fail: it returns a failure code; hang:
// it outlasts any wait).
std::vector<std::uint8_t> SimLibrary(const std::map<std::string, std::string>& traits);

class SimPlatform;

class SimTimer final : public Timer {
 public:
  SimTimer(SimPlatform& sim, std::string window, int interval, bool enabled, std::function<void()> tick);
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  int Interval() const override { return interval_; }
  // One tick, if enabled; a failing tick is abandoned, the timer goes on.
  void Fire();

 private:
  SimPlatform& sim_;
  std::string window_;
  int interval_;
  bool enabled_;
  std::function<void()> tick_;
};

class SimControl final : public Control {
 public:
  SimControl(SimPlatform& sim, std::string window, const ControlDesign& design, ControlEvents* events);
  const std::string& Name() const override { return name_; }
  bool Visible() const override;
  void SetVisible(bool visible) override;
  double Left() const override;
  void SetLeft(double twips) override;
  double Top() const override;
  void SetTop(double twips) override;
  double Width() const override;
  void SetWidth(double twips) override;
  double Height() const override;
  void SetHeight(double twips) override;
  MousePointer Pointer() const override;
  void SetPointer(MousePointer pointer) override;
  std::string Caption() const override;
  void SetCaption(const std::string& text) override;

  // The events as the runtime raises them: x and y in twips relative to the
  // control, any button.
  void RaiseClick();
  void RaiseDblClick();
  void RaiseMouseDown(double x, double y, int button = kLeftButton);
  void RaiseMouseMove(double x, double y, int button = 0);
  void RaiseMouseUp(double x, double y, int button = kLeftButton);

 private:
  void Call(const std::string& op, const std::string& detail) const;
  SimPlatform& sim_;
  std::string window_;
  std::string name_;
  ControlEvents* events_;
  bool visible_;
  double left_, top_, width_, height_;
  MousePointer pointer_ = MousePointer::Default;
  std::string caption_;
};

// A browser control: navigations land in the trace; tests raise its events.
// It never holds a document, so body attribute writes fail.
class SimBrowser final : public Browser {
 public:
  SimBrowser(SimPlatform& sim, std::string name, BrowserEvents& events);
  void Navigate(const std::string& url) override;
  void Navigate2(const std::string& url) override;
  void SetSilent(bool silent) override;
  std::string LocationURL() const override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  void SetBodyAttribute(const std::string& name, const std::string& textValue) override;
  void SetBodyAttribute(const std::string& name, short integerValue) override;

  const std::string& Name() const { return name_; }
  bool Silent() const { return silent_; }
  void SetLocation(std::string url) { location_ = std::move(url); }
  // Raise the control's events as the browser would; BeforeNavigate2 answers
  // whether the handler cancelled the navigation.
  bool RaiseBeforeNavigate2(const std::string& url);
  void RaiseNavigateComplete2(const std::string& url);
  void RaiseDocumentComplete(const std::string& url);
  void RaiseDownloadBegin();
  void RaiseDownloadComplete();
  void RaiseBeforeScriptExecute();

 private:
  SimPlatform& sim_;
  std::string name_;  // "Form2.WebBrowser1"
  BrowserEvents& events_;
  bool silent_ = false;
  bool visible_ = true;
  std::string location_;
};

// A run-time ActiveX control; what is set on it lands in the trace.
class SimActiveX final : public ActiveXControl {
 public:
  SimActiveX(SimPlatform& sim, std::string window, std::string name, std::string progId);
  ~SimActiveX() override;
  const std::string& Name() const override { return name_; }
  void SetVisible(bool visible) override;
  void SetExtent(const std::string& property, double twips) override;
  void SetProperty(const std::string& name, const Variant& value) override;
  Variant Invoke(const std::string& method, const std::vector<Variant>& args) override;

  bool Visible() const { return visible_; }
  double Extent(const std::string& property) const;
  // Every property set, "Name=value", in order.
  const std::vector<std::string>& Properties() const { return properties_; }

 private:
  void Call(const std::string& op, const std::string& detail) const;
  SimPlatform& sim_;
  std::string window_;
  std::string name_;
  std::string progId_;
  bool visible_ = false;
  std::map<std::string, double> extents_;
  std::vector<std::string> properties_;
};

class SimWindow final : public Window, private PointerHost {
 public:
  SimWindow(SimPlatform& sim, const WindowDesign& design, WindowEvents& events);
  ~SimWindow() override;

  const std::string& Name() const override { return name_; }
  std::string Caption() const override;
  void SetCaption(const std::string& text) override;
  IconRef Icon() const override;
  void SetIcon(IconRef icon) override;
  void Show(Window* owner) override;
  void Hide() override;
  bool Visible() const override;
  Window* Owner() const override;
  double Left() const override;
  void SetLeft(double twips) override;
  double Top() const override;
  void SetTop(double twips) override;
  double Width() const override;
  void SetWidth(double twips) override;
  double Height() const override;
  void SetHeight(double twips) override;
  double ScaleWidth() const override;
  double ScaleHeight() const override;
  WindowState State() const override;
  void SetState(WindowState state) override;
  std::uintptr_t Handle() const override { return handle_; }
  std::unique_ptr<Timer> AddTimer(int intervalMs, bool enabled, std::function<void()> tick) override;
  Control& AddControl(const ControlDesign& design, ControlEvents* events) override;
  ActiveXControl* AddActiveX(const std::string& progId, const std::string& name) override;
  void RemoveActiveX(const std::string& name) override;
  Browser& AddBrowser(const std::string& name, double left, double top, double width, double height,
                      BrowserEvents& events) override;
  void SetTopmost(bool topmost) override;

  // What the test sees, without going through the trace.
  bool OnScreen() const { return visible_ && !hiddenWithOwner_; }
  SimControl& ControlNamed(const std::string& name);
  SimBrowser& BrowserNamed(const std::string& name);
  // The run-time control of that name, or nullptr.
  SimActiveX* ActiveXNamed(const std::string& name);
  bool Topmost() const { return topmost_; }
  void TickTimers();
  void RaiseCloseRequest();
  // The taskbar button's restore (SC_RESTORE): the system's, not the program's.
  void SystemRestore();
  void RaiseClick();
  void RaiseMouseDown(int button, int shift, double x, double y);
  void RaiseMouseMove(int button, int shift, double x, double y);

  // The pointer as the system delivers it, in client pixels, routed to the
  // controls as every backend routes it; the pointer's screen position goes
  // with it. A double click's second press is `doubleClick`.
  void PointerDown(int x, int y, int button = kLeftButton, bool doubleClick = false);
  void PointerUp(int x, int y, int button = kLeftButton);
  void PointerMove(int x, int y, int buttons = 0);
  // Another window takes the capture, or the system cancels the mode.
  void LoseCapture();

 private:
  friend class SimPlatform;
  friend class SimTimer;
  void Call(const std::string& op, const std::string& detail = {}) const;
  double Tpp(bool horizontal) const;
  void SetPixels(std::int32_t& field, double twips, bool horizontal, const char* op);
  void HideOwned(bool hide);
  void PointAt(int x, int y);
  // PointerHost
  void Capture(bool capture) override;
  bool InClient(int x, int y) const override;
  void Deliver(std::string_view control, std::string_view event,
               const std::function<void()>& handler) override;

  SimPlatform& sim_;
  std::string name_;
  WindowEvents& events_;
  ScaleUnit scaleUnit_;
  std::uintptr_t handle_;
  IconRef icon_;
  std::string caption_;
  bool visible_ = false;
  bool hiddenWithOwner_ = false;
  SimWindow* owner_ = nullptr;
  std::int32_t left_ = 0, top_ = 0, width_, height_;  // pixels
  WindowState state_ = WindowState::Normal;
  std::vector<std::unique_ptr<SimControl>> controls_;
  std::vector<std::unique_ptr<SimBrowser>> browsers_;
  std::vector<std::unique_ptr<SimActiveX>> activeX_;
  std::vector<SimTimer*> timers_;
  bool shownOnce_ = false;
  bool topmost_ = false;
  PointerInput input_;
};

struct SimDrive {
  int type = kDriveFixed;  // GetDriveType's numbering
  bool ready = true;       // a CD drive without a disc is not
};

class SimPlatform final : private WindowRuntime,
                          private Screen,
                          private Environment,
                          private Files,
                          private ProgramInfo,
                          private Graphics,
                          private Shell,
                          private CodePage,
                          private Downloads,
                          private Resources,
                          private Libraries {
 public:
  SimPlatform();
  ~SimPlatform() override;

  Context& context() { return context_; }

  // --- The trace and failure injection -----------------------------------
  // Every platform call, in order, as "Group.Operation detail".
  const std::vector<std::string>& Trace() const { return trace_; }
  // The entries that start with one of the given prefixes.
  std::vector<std::string> TraceOf(const std::vector<std::string>& prefixes) const;
  void ClearTrace() { trace_.clear(); }
  // Makes the operation fail (raise platform::Error), optionally only when its
  // detail text equals `detail`, `times` times (-1: always).
  void Fail(const std::string& op, const std::string& detail = "*", int times = -1);
  void ClearFailures() { failures_.clear(); }
  // Runs one of the behaviour's handlers as a backend's event dispatch does:
  // a failing one is abandoned with a "Handler.Failed NAME: text" entry, and
  // the program goes on. The program's end still travels to the test.
  void Deliver(const HandlerName& name, const std::function<void()>& handler);

  // --- The machine --------------------------------------------------------
  void SetScreenPixels(std::int32_t width, std::int32_t height);
  void SetTwipsPerPixel(double x, double y);
  void SetEnvironmentVariable(const std::string& name, const std::string& value);
  void UnsetEnvironmentVariable(const std::string& name);
  void AddDrive(char letter, SimDrive drive);
  void RemoveAllDrives();
  void SetExePath(const std::string& path);  // also puts the file there
  void SetCommandLine(const std::string& arguments) { commandLine_ = arguments; }
  void SetGdiplusStatus(int status) { gdiplusStatus_ = status; }
  void SetCursor(std::int32_t x, std::int32_t y) { cursor_ = {x, y}; }
  void SetWorkArea(PixelRect area) { workArea_ = area; }
  // Makes the ProgID creatable; a Flash control answers "$version" with the text.
  // With its property names given, its controls raise for any other, as a
  // control's automation interface does.
  void RegisterProgId(const std::string& progId, const std::string& versionText = {},
                      std::vector<std::string> properties = {});
  void UnregisterProgId(const std::string& progId) { progIds_.erase(progId); }
  // The run-time controls alive now, on every window.
  int LiveActiveX() const { return liveActiveX_; }
  // What the network answers for a URL; an URL not served is unreachable.
  void Serve(const std::string& url, std::vector<std::uint8_t> body, int status = 200);
  // Announces the whole body but sends only its first `sent` bytes.
  void ServeCut(const std::string& url, std::vector<std::uint8_t> body, std::size_t sent);
  // The bytes of a file as stored, or nothing.
  std::vector<std::uint8_t> FileBytes(const std::string& path) const;
  // GDI objects and DCs made and not deleted, GDI+ objects not disposed.
  int LiveGdiObjects() const { return static_cast<int>(gdiObjects_.size()); }
  // What the system's move loop does with the frame: moves it by this much.
  void SetDragMove(std::int32_t dx, std::int32_t dy) { dragMove_ = {dx, dy}; }
  // The picture a PNG file of this size would be (signature and header only).
  static std::vector<std::uint8_t> PngHeader(std::uint32_t width, std::uint32_t height);
  // The notification-area records handed to the shell, with their messages.
  struct NotifyCall {
    int message;
    std::vector<std::uint8_t> record;
  };
  const std::vector<NotifyCall>& NotifyCalls() const { return notifyCalls_; }
  // --- The script shell and shell32 ----------------------------------------
  // What SpecialFolders answers for a name or for a number of its own ("" for
  // one it does not know, as the script host answers), and what
  // SHGetSpecialFolderPath answers for a CSIDL (nothing: the call fails).
  // All start as a Windows 10 machine with user Player has them, the folders
  // made.
  void SetSpecialFolder(const std::string& name, std::string path) { specialByName_[name] = std::move(path); }
  void SetSpecialFolder(int index, std::string path) { specialByIndex_[index] = std::move(path); }
  void SetShell32Folder(int csidl, std::string path) { shell32Folders_[csidl] = std::move(path); }
  // A saved shortcut's file holds "TargetPath=...\nArguments=...\n"; the
  // properties set, nothing else.
  std::string ShortcutText(const std::string& path) const;
  // Registry values by their full names ("HKEY_LOCAL_MACHINE\...\Name").
  const std::map<std::string, std::string>& Registry() const { return registry_; }

  // The modules loaded and not freed.
  int LoadedLibraries() const { return static_cast<int>(modules_.size()); }

  // 1252 (Western) or 936 (Simplified Chinese), as the system's ANSI code page.
  void SetCodePage(int codePage) { codePage_ = codePage; }

  // The simulated file system: case-insensitive, keeps the case it was given.
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, std::vector<std::uint8_t> bytes = {});
  void SetInUse(const std::string& path, bool inUse);
  bool HasFile(const std::string& path) const;
  bool HasFolder(const std::string& path) const;
  std::vector<std::string> Listing() const;  // every entry, as stored

  // --- Windows -----------------------------------------------------------
  SimWindow& WindowNamed(const std::string& name);
  bool HasWindow(const std::string& name) const;
  IconRef ProgramIconValue() const { return kProgramIcon; }

  // Recording used by the simulated objects.
  void Call(const std::string& op, const std::string& detail);

 private:
  friend class SimWindow;
  friend class SimActiveX;
  friend class SimScriptShell;
  static constexpr IconRef kProgramIcon = 0x1C0;

  // WindowRuntime
  std::unique_ptr<Window> NewWindow(const WindowDesign& design, WindowEvents& events) override;
  const Screen& GetScreen() const override { return *this; }
  PixelPoint CursorPos() const override;
  PixelRect WorkArea() const override;
  // Screen
  double Width() const override;
  double Height() const override;
  double TwipsPerPixelX() const override;
  double TwipsPerPixelY() const override;
  // Environment
  std::string Variable(const std::string& name) const override;
  std::vector<FsoDrive> FsoDrives() const override;
  int DriveType(const std::string& root) const override;
  // Files
  bool Exists(const std::string& path) const override;
  void CreateFolder(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  void DeleteMatching(const std::string& pattern) override;
  void RemoveFolder(const std::string& path) override;
  void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  void Delete(const std::string& path) override;
  void Move(const std::string& from, const std::string& to) override;
  std::string Sha256(const std::string& path) const override;
  // ProgramInfo
  std::string Folder() const override;
  std::string ExeName() const override;
  std::string Path() const override;
  std::uint32_t ProcessId() const override;
  Version FileVersion() const override;
  std::string CommandLine() const override;
  [[noreturn]] void End() override;
  // Graphics
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
  std::string WindowName(std::uintptr_t handle) const;
  // Shell
  bool NotifyIcon(int message, const std::vector<std::uint8_t>& record) override;
  void Execute(std::uintptr_t owner, const std::string& verb, const std::string& file) override;
  std::unique_ptr<ScriptShell> CreateScriptShell() override;
  std::string SpecialFolderPath(std::uintptr_t owner, int csidl, bool create) override;
  void StartProcess(const std::string& commandLine, int windowStyle) override;
  void StartProcessAfterEnd(const std::string& commandLine, int windowStyle) override;
  // CodePage
  unsigned AnsiCode(char16_t unit) const override;
  // Downloads and resources
  DownloadResult Fetch(const std::string& url, const std::string& path) override;
  std::vector<std::uint8_t> Load(const std::string& type, int id) override;
  // Libraries
  ModuleHandle Load(const std::string& path) override;
  ProcAddress Export(ModuleHandle module, const std::string& name) override;
  ThreadHandle StartThread(ProcAddress start) override;
  std::uint32_t Wait(ThreadHandle thread, std::uint32_t milliseconds) override;
  void Close(ThreadHandle handle) override;
  void Free(ModuleHandle module) override;

  struct Entry {
    std::string path;  // as given
    bool folder = false;
    bool inUse = false;
    std::vector<std::uint8_t> bytes;
  };
  struct Failure {
    std::string op;
    std::string detail;
    int remaining;
  };
  // Const so that the read-only operations record too.
  void Record(const std::string& op, const std::string& detail) const;
  static std::string Key(const std::string& path);
  static std::string ParentKey(const std::string& key);
  bool DriveReady(char letter) const;
  bool KeyExists(const std::string& key) const;

  Context context_;
  mutable std::vector<std::string> trace_;
  mutable std::vector<Failure> failures_;
  std::int32_t screenWidth_ = 1280, screenHeight_ = 1024;
  double tppX_ = kTwipsPerPixel, tppY_ = kTwipsPerPixel;
  std::map<std::string, std::string> environment_;  // upper-case name -> value
  std::map<char, SimDrive> drives_;
  std::map<std::string, Entry> entries_;  // by Key()
  std::string exePath_ = R"(C:\Users\Player\Downloads\Veltrotarn.exe)";
  std::string commandLine_;
  int gdiplusStatus_ = 0;
  std::uint32_t nextToken_ = 0x5100;
  PixelPoint cursor_;
  PixelRect workArea_{0, 0, 1280, 984};
  std::map<std::string, std::string> progIds_;  // creatable ProgID -> version text
  std::map<std::string, std::vector<std::string>> progIdProperties_;
  int liveActiveX_ = 0;
  struct Served {
    int status = 200;
    std::vector<std::uint8_t> body;
    std::size_t sent = 0;
  };
  std::map<std::string, Served> served_;
  // A simulated library is a file whose text says what it does (see SimLibrary).
  struct Module {
    std::map<std::string, std::string> traits;
  };
  std::map<ModuleHandle, Module> modules_;
  std::map<ThreadHandle, Module> threads_;
  std::uintptr_t nextKernelHandle_ = 0x700;
  // Every live GDI/GDI+ object by handle: "dc", "bitmap", "graphics", "image WxH".
  std::map<GdiHandle, std::string> gdiObjects_;
  std::map<GdiHandle, GdiHandle> selected_;  // DC -> the bitmap selected into it
  std::map<std::pair<std::uintptr_t, int>, std::int32_t> windowLongs_;
  GdiHandle nextGdiHandle_ = 0x4000;
  PixelPoint dragMove_;
  std::vector<NotifyCall> notifyCalls_;
  std::map<std::string, std::string> specialByName_{
      {"Desktop", R"(C:\Users\Player\Desktop)"},
      {"Programs", R"(C:\Users\Player\AppData\Roaming\Microsoft\Windows\Start Menu\Programs)"},
      {"AllUsersPrograms", R"(C:\ProgramData\Microsoft\Windows\Start Menu\Programs)"}};
  // The script host's collection order: 2 AllUsersPrograms, 4 Desktop.
  std::map<int, std::string> specialByIndex_{{2, R"(C:\ProgramData\Microsoft\Windows\Start Menu\Programs)"},
                                             {4, R"(C:\Users\Player\Desktop)"}};
  std::map<int, std::string> shell32Folders_{
      {16, R"(C:\Users\Player\Desktop)"},
      {2, R"(C:\Users\Player\AppData\Roaming\Microsoft\Windows\Start Menu\Programs)"},
      {23, R"(C:\ProgramData\Microsoft\Windows\Start Menu\Programs)"}};
  std::map<std::string, std::string> registry_;
  int codePage_ = 1252;
  static constexpr std::uint32_t kProcessId = 4242;
  std::uintptr_t nextHandle_ = 0x10010;
  std::vector<SimWindow*> windows_;
  SimWindow* captured_ = nullptr;  // holds the mouse capture
};

}  // namespace tarnhold::platform::sim
