#pragma once
// The window and control runtime: windows, windowless image and label
// controls, timers, the screen and the pointer. Geometry crosses this seam in
// twips; the backend holds it in whole pixels.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tarnhold::platform {

class Browser;
class BrowserEvents;
class ActiveXControl;

// An icon as the runtime holds it (the native handle's value); 0 is none.
using IconRef = std::uintptr_t;

enum class WindowState : int { Normal = 0, Minimized = 1, Maximized = 2 };

// Which unit ScaleWidth/ScaleHeight and the mouse coordinates of a window use.
enum class ScaleUnit { Twips, Pixels };

// The runtime's MousePointer values.
enum class MousePointer : int {
  Default = 0,
  Arrow = 1,
  SizeNESW = 6,
  SizeNS = 7,
  SizeNWSE = 8,
  SizeWE = 9,
};

// Button bits and shift bits as the runtime passes them to mouse events.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

struct PixelPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// What a window reports to its form, as semantic calls. Always on the GUI
// thread. A platform::Error that escapes a handler abandons that handler and
// the program goes on.
class WindowEvents {
 public:
  // The system asks the window to close (WM_CLOSE, session end, Alt+F4).
  virtual void CloseRequested() {}
  virtual void Resized() {}
  // x and y in the window's scale unit, relative to its client area.
  virtual void MouseDown(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {}
  virtual void MouseMove(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {}
  virtual void MouseUp(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {}
  virtual void Click() {}

 protected:
  ~WindowEvents() = default;
};

// What a windowless control reports; x and y in twips relative to the control.
class ControlEvents {
 public:
  virtual void MouseDown(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {}
  virtual void MouseMove(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {}
  virtual void MouseUp(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {}
  virtual void Click() {}
  virtual void DblClick() {}

 protected:
  ~ControlEvents() = default;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual int Interval() const = 0;
};

// A windowless image or label control, painted and hit-tested by its form.
// Geometry in twips relative to the form's client area.
class Control {
 public:
  virtual ~Control() = default;
  virtual const std::string& Name() const = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual double Left() const = 0;
  virtual void SetLeft(double twips) = 0;
  virtual double Top() const = 0;
  virtual void SetTop(double twips) = 0;
  virtual double Width() const = 0;
  virtual void SetWidth(double twips) = 0;
  virtual double Height() const = 0;
  virtual void SetHeight(double twips) = 0;
  virtual MousePointer Pointer() const = 0;
  virtual void SetPointer(MousePointer pointer) = 0;
  // Labels show their caption; images ignore it.
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
};

enum class ControlKind { Image, Label };

struct ControlDesign {
  std::string name;
  ControlKind kind = ControlKind::Image;
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  bool visible = true;
  // A label's text colour, 0xRRGGBB.
  std::uint32_t foreColor = 0x000000;
  // Compiled-in picture (PNG/JPEG/BMP bytes) stretched over an image control.
  // A backend may read them whenever it draws, so they must outlive the control.
  const unsigned char* picture = nullptr;
  std::size_t pictureSize = 0;
};

struct WindowDesign {
  std::string name;         // Form1, Form2, ...: how tests and traces name it
  double clientWidth = 0;   // twips
  double clientHeight = 0;  // twips
  ScaleUnit scaleUnit = ScaleUnit::Twips;
  // The window starts with the icon the executable carries; others start with none.
  bool programIcon = false;
};

class Window {
 public:
  virtual ~Window() = default;
  virtual const std::string& Name() const = 0;

  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual IconRef Icon() const = 0;
  virtual void SetIcon(IconRef icon) = 0;

  // Modeless; the owner (or none) replaces any earlier owner. An owned window
  // stays above its owner and is minimised and restored with it.
  virtual void Show(Window* owner) = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;
  virtual Window* Owner() const = 0;

  // Outer bounds on the screen, in twips.
  virtual double Left() const = 0;
  virtual void SetLeft(double twips) = 0;
  virtual double Top() const = 0;
  virtual void SetTop(double twips) = 0;
  virtual double Width() const = 0;
  virtual void SetWidth(double twips) = 0;
  virtual double Height() const = 0;
  virtual void SetHeight(double twips) = 0;
  // Client size in the window's scale unit.
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;

  virtual WindowState State() const = 0;
  virtual void SetState(WindowState state) = 0;

  // The native window handle as a number, for the calls that pass it on.
  virtual std::uintptr_t Handle() const = 0;

  virtual std::unique_ptr<Timer> AddTimer(int intervalMs, bool enabled, std::function<void()> tick) = 0;
  // Controls live as long as the window; the events object must outlive it.
  virtual Control& AddControl(const ControlDesign& design, ControlEvents* events) = 0;

  // Run-time ActiveX controls by programmatic identifier and name. Returns
  // nullptr when the identifier cannot be created.
  virtual ActiveXControl* AddActiveX(const std::string& progId, const std::string& name);
  virtual void RemoveActiveX(const std::string& name);
  // The browser control that fills the given rectangle (twips).
  virtual Browser& AddBrowser(const std::string& name, double left, double top, double width, double height,
                              BrowserEvents& events);
  // Keep above all non-topmost windows (SetWindowPos HWND_TOPMOST) or not.
  virtual void SetTopmost(bool topmost);
};

class Screen {
 public:
  virtual ~Screen() = default;
  virtual double Width() const = 0;   // twips
  virtual double Height() const = 0;  // twips
  virtual double TwipsPerPixelX() const = 0;
  virtual double TwipsPerPixelY() const = 0;
};

class WindowRuntime {
 public:
  virtual ~WindowRuntime() = default;
  // Creates the window hidden. The events object must outlive the window.
  virtual std::unique_ptr<Window> NewWindow(const WindowDesign& design, WindowEvents& events) = 0;
  virtual const Screen& GetScreen() const = 0;
  // GetCursorPos, in screen pixels.
  virtual PixelPoint CursorPos() const;
  // SystemParametersInfo(SPI_GETWORKAREA), in screen pixels.
  virtual PixelRect WorkArea() const;
};

}  // namespace tarnhold::platform
