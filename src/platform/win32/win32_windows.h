#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "platform/geometry.h"
#include "platform/pointer_input.h"
#include "platform/win32/win32_gdi.h"
#include "platform/win32/win32_ole.h"
#include "platform/win32/win32_util.h"
#include "platform/window.h"
#include "platform/windowless.h"

namespace tarnhold::platform::win32 {

class Win32Window;
class Win32Timer;

// Every timer of the program runs off one system timer, at the shortest
// interval enabled: on each of its ticks the timers that are due fire, in
// the order they were enabled. Timers of a common multiple (the frame's 10 ms
// and its buttons' 100 ms) then wake the thread together instead of apart,
// and a pointer read by several ticks of one pass is read once. Its window
// is message-only, so its ticks come in any message loop, the system's move
// loop included.
class TimerScheduler {
 public:
  explicit TimerScheduler(HINSTANCE instance);
  ~TimerScheduler();
  TimerScheduler(const TimerScheduler&) = delete;
  TimerScheduler& operator=(const TimerScheduler&) = delete;

  void Enable(Win32Timer& timer);
  void Disable(Win32Timer& timer);
  // True while the due timers of one tick are firing.
  bool InPass() const { return inPass_; }
  // The pointer as read for this pass; empty outside a pass and until read.
  std::optional<PixelPoint>& PassPointer() { return passPointer_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Pass();
  void Retime();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  std::vector<Win32Timer*> enabled_;
  UINT period_ = 0;
  bool inPass_ = false;
  std::optional<PixelPoint> passPointer_;
};

class Win32Screen final : public Screen {
 public:
  Win32Screen();
  double Width() const override;
  double Height() const override;
  double TwipsPerPixelX() const override { return tppX_; }
  double TwipsPerPixelY() const override { return tppY_; }

 private:
  double tppX_ = kTwipsPerPixel;
  double tppY_ = kTwipsPerPixel;
};

class Win32Runtime final : public WindowRuntime {
 public:
  explicit Win32Runtime(HINSTANCE instance);
  ~Win32Runtime() override;
  Win32Runtime(const Win32Runtime&) = delete;
  Win32Runtime& operator=(const Win32Runtime&) = delete;

  std::unique_ptr<Window> NewWindow(const WindowDesign& design, WindowEvents& events) override;
  const Screen& GetScreen() const override { return screen_; }
  // In a timer pass, where the system saw the pointer when it handed over
  // the tick; the ticks of one pass see one pointer.
  PixelPoint CursorPos() const override;
  PixelRect WorkArea() const override;

  HINSTANCE Instance() const { return instance_; }
  TimerScheduler& Timers() { return timers_; }
  // Hosting controls needs OLE on this (the GUI) thread; started on first use.
  void StartOle() { ole_.Start(); }
  HICON ProgramIcon() const { return bigIcon_; }
  HICON ProgramSmallIcon() const { return smallIcon_; }
  // Controls' pictures are decoded with a GDI+ of the backend's own, started
  // at the first one and kept while the runtime lives: whether and when the
  // behaviour starts its own is its business. Empty when it cannot start.
  Picture Decode(const unsigned char* bytes, std::size_t size);

 private:
  HINSTANCE instance_;
  Win32Screen screen_;
  HICON bigIcon_ = nullptr;  // shared resource icons: never destroyed
  HICON smallIcon_ = nullptr;
  OleSession ole_;
  std::optional<GdiplusSession> gdiplus_;
  mutable TimerScheduler timers_;
};

class Win32Timer final : public Timer {
 public:
  // `window`: the name of the window it belongs to, for the word of a failed tick.
  Win32Timer(TimerScheduler& scheduler, std::string window, int interval, std::function<void()> tick);
  ~Win32Timer() override;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  int Interval() const override { return interval_; }
  // Fires when due at `now` (GetTickCount64) on a scheduler ticking every
  // `period` ms, and sets the next time.
  void FireIfDue(ULONGLONG now, ULONGLONG period);

 private:
  TimerScheduler& scheduler_;
  int interval_;
  bool enabled_ = false;
  ULONGLONG due_ = 0;
  struct Tick {
    std::string window;
    std::function<void()> run;
  };
  // Shared with a running tick, which may destroy the timer that holds it.
  std::shared_ptr<const Tick> tick_;
};

class Win32Control final : public WindowlessControl {
 public:
  Win32Control(Win32Window& window, Win32Runtime& runtime, const ControlDesign& design,
               ControlEvents* events);
  RECT PixelRect() const;
  // Decoded when first drawn: most pictures wait in hidden windows or behind
  // a hover, and decoding them all held up the first screen.
  const Picture& Image() const;

 private:
  void Repaint(const platform::PixelRect& pixels) override;
  Win32Window& window_;
  Win32Runtime& runtime_;
  const unsigned char* pictureBytes_;  // compiled in, so they outlive the control
  std::size_t pictureSize_;
  mutable std::optional<Picture> picture_;  // empty for labels and for images without one
};

class Win32Window final : public Window, private PointerHost {
 public:
  Win32Window(Win32Runtime& runtime, const WindowDesign& design, WindowEvents& events);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  const std::string& Name() const override { return name_; }
  std::string Caption() const override;
  void SetCaption(const std::string& text) override;
  IconRef Icon() const override { return icon_; }
  void SetIcon(IconRef icon) override;
  void Show(Window* owner) override;
  void Hide() override;
  bool Visible() const override;
  Window* Owner() const override { return owner_; }
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
  std::uintptr_t Handle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }
  std::unique_ptr<Timer> AddTimer(int intervalMs, bool enabled, std::function<void()> tick) override;
  Control& AddControl(const ControlDesign& design, ControlEvents* events) override;
  ActiveXControl* AddActiveX(const std::string& progId, const std::string& name) override;
  void RemoveActiveX(const std::string& name) override;
  Browser& AddBrowser(const std::string& name, double left, double top, double width, double height,
                      BrowserEvents& events) override;
  void SetTopmost(bool topmost) override;

  HWND hwnd() const { return hwnd_; }
  double TppX() const { return runtime_.GetScreen().TwipsPerPixelX(); }
  double TppY() const { return runtime_.GetScreen().TwipsPerPixelY(); }
  void Invalidate(const RECT& pixels);

  static const wchar_t* ClassName() { return L"TarnholdForm"; }
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The rectangle the window has, or will have when restored, in pixels.
  RECT Bounds() const;
  void Place(const RECT& bounds);
  void SetEdge(double twips, bool horizontal, bool size);
  void MouseButton(UINT message, WPARAM wParam, LPARAM lParam);
  void MouseMoved(WPARAM wParam, LPARAM lParam);
  void Paint();
  // Into `dc`, in client coordinates, what lies in `area`.
  void DrawControls(HDC dc, const RECT& area) const;
  bool HostsControlNamed(const std::string& name) const;
  // Closes every hosted control while the form's window still exists.
  void TearDownHosted() noexcept;

  Win32Runtime& runtime_;
  std::string name_;
  WindowEvents& events_;
  ScaleUnit scaleUnit_;
  HWND hwnd_ = nullptr;
  IconRef icon_ = 0;
  HICON shownIcon_ = nullptr;  // what the system shows: the class's until a change
  Win32Window* owner_ = nullptr;
  // PointerHost
  void Capture(bool capture) override;
  bool InClient(int x, int y) const override;
  void Deliver(std::string_view control, std::string_view event,
               const std::function<void()>& handler) override {
    Dispatch({name_, control, event}, handler);
  }

  std::vector<std::unique_ptr<Win32Control>> controls_;  // in z-order, bottom first
  PointerInput input_;
  bool ownedHidden_ = false;  // by a minimise, until the restore
  bool shownOnce_ = false;
  mutable RECT bounds_{};
  mutable bool boundsKnown_ = false;
  std::vector<std::unique_ptr<Win32Browser>> browsers_;
  std::vector<std::unique_ptr<Win32ActiveX>> activeX_;
};

}  // namespace tarnhold::platform::win32
