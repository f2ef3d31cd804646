#pragma once
// The window runtime on GTK 3: undecorated top-level windows whose windowless
// controls the form draws with cairo and hit-tests itself, as the Win32
// backend does. The runtime the behaviour was written for answers geometry
// at once, so each window keeps the bounds it was last given and follows
// the window system only where the system itself moves it (a drag, a
// window manager's placement).
#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "platform/geometry.h"
#include "platform/linux/linux_gobject.h"
#include "platform/pointer_input.h"
#include "platform/window.h"
#include "platform/windowless.h"

namespace tarnhold::platform::linux_backend {

// The tray icon's click as its callback carries it (a left button's release).
inline constexpr int kTrayClick = 0x202;

class LinuxWindow;
class LinuxBrowser;
class LinuxFlash;
class WebRuntime;
class PathMap;

// A decoded picture for an image control; empty when it could not be decoded.
using Picture = GOwned<GdkPixbuf>;

Picture DecodePicture(const unsigned char* bytes, std::size_t size);

class LinuxScreen final : public Screen {
 public:
  double Width() const override;
  double Height() const override;
  // The layout's own resolution; a desktop's scale factor is GTK's
  // business, below the pixels the behaviour sees.
  double TwipsPerPixelX() const override { return kTwipsPerPixel; }
  double TwipsPerPixelY() const override { return kTwipsPerPixel; }
};

class LinuxRuntime final : public WindowRuntime {
 public:
  explicit LinuxRuntime(const PathMap& paths);
  ~LinuxRuntime() override;
  LinuxRuntime(const LinuxRuntime&) = delete;
  LinuxRuntime& operator=(const LinuxRuntime&) = delete;

  std::unique_ptr<Window> NewWindow(const WindowDesign& design, WindowEvents& events) override;
  const Screen& GetScreen() const override { return screen_; }
  PixelPoint CursorPos() const override;
  PixelRect WorkArea() const override;

  // Windows cross the seam as small numbers: the tray record holds a handle
  // in 32 bits, which a pointer does not fit.
  std::uintptr_t Register(LinuxWindow* window);
  void Unregister(std::uintptr_t handle);
  LinuxWindow* Find(std::uintptr_t handle) const;

  WebRuntime& Web();
  const PathMap& Paths() const { return paths_; }
  GdkPixbuf* ProgramIcon() const { return icon_.get(); }
  // Whether a window manager runs: without one, minimising and keeping
  // owned windows with their owner are this backend's own work.
  bool HasWindowManager() const;

 private:
  const PathMap& paths_;
  LinuxScreen screen_;
  std::map<std::uintptr_t, LinuxWindow*> windows_;
  std::uintptr_t nextHandle_ = 0x1000;
  std::unique_ptr<WebRuntime> web_;
  Picture icon_;
};

class LinuxTimer final : public Timer {
 public:
  // `window`: the name of the window it belongs to, for the word of a failed tick.
  LinuxTimer(std::string window, int interval, std::function<void()> tick);
  ~LinuxTimer() override;
  LinuxTimer(const LinuxTimer&) = delete;
  LinuxTimer& operator=(const LinuxTimer&) = delete;
  bool Enabled() const override { return source_ != 0; }
  void SetEnabled(bool enabled) override;
  int Interval() const override { return interval_; }

 private:
  static gboolean Fire(gpointer self);
  struct Tick {
    std::string window;
    std::function<void()> run;
  };
  int interval_;
  guint source_ = 0;
  // Shared with a running tick, which may destroy the timer that holds it.
  std::shared_ptr<const Tick> tick_;
};

class LinuxControl final : public WindowlessControl {
 public:
  LinuxControl(LinuxWindow& window, const ControlDesign& design, ControlEvents* events, Picture picture);
  GdkRectangle Area() const;
  const Picture& Image() const { return picture_; }

 private:
  void Repaint(const PixelRect& pixels) override;
  LinuxWindow& window_;
  Picture picture_;
};

class LinuxWindow final : public Window, private PointerHost {
 public:
  LinuxWindow(LinuxRuntime& runtime, const WindowDesign& design, WindowEvents& events);
  ~LinuxWindow() override;
  LinuxWindow(const LinuxWindow&) = delete;
  LinuxWindow& operator=(const LinuxWindow&) = delete;

  const std::string& Name() const override { return name_; }
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override;
  IconRef Icon() const override { return icon_; }
  void SetIcon(IconRef icon) override;
  void Show(Window* owner) override;
  void Hide() override;
  bool Visible() const override { return shown_; }
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
  WindowState State() const override { return state_; }
  void SetState(WindowState state) override;
  std::uintptr_t Handle() const override { return handle_; }
  std::unique_ptr<Timer> AddTimer(int intervalMs, bool enabled, std::function<void()> tick) override;
  Control& AddControl(const ControlDesign& design, ControlEvents* events) override;
  ActiveXControl* AddActiveX(const std::string& progId, const std::string& name) override;
  void RemoveActiveX(const std::string& name) override;
  Browser& AddBrowser(const std::string& name, double left, double top, double width, double height,
                      BrowserEvents& events) override;
  void SetTopmost(bool topmost) override;

  GtkWindow* Gtk() const { return GTK_WINDOW(window_.get()); }
  GtkLayout* Surface() const { return GTK_LAYOUT(layout_); }
  WindowEvents& Events() const { return events_; }
  LinuxRuntime& Runtime() const { return runtime_; }
  double ScaleX() const { return scaleUnit_ == ScaleUnit::Pixels ? 1.0 : kTwipsPerPixel; }
  double ScaleY() const { return scaleUnit_ == ScaleUnit::Pixels ? 1.0 : kTwipsPerPixel; }
  void Invalidate(const GdkRectangle& pixels);
  // The frame's per-pixel-alpha picture, as the layered-window call hands it
  // over: shown instead of the controls, and the window takes input only
  // where the picture is not fully transparent.
  void SetLayered(cairo_surface_t* picture, int x, int y, int width, int height);
  // The system's move, from where the pointer is, until its button is
  // released: the call returns then, as the runtime's modal move does.
  void MoveWithPointer();
  // The tray icon's callback, as the runtime hands it to a hidden form.
  void TrayCallback(int mouseMessage);
  // Where no tray can show the icon, the form's next hide is the window
  // manager's minimise instead, so that the window stays in the task bar and
  // the overview; the window manager's restore is then the icon's click.
  void StandInForTray(bool standIn);

 private:
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
  static void OnAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static gboolean OnGrabBroken(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
  static gboolean OnFocusIn(GtkWidget* widget, GdkEventFocus* event, gpointer self);

  void Place(const GdkRectangle& bounds);
  static gboolean Apply(gpointer self);
  void SetEdge(double twips, bool horizontal, bool size);
  void UpdateCursor(int x, int y);
  bool SecondPress(const GdkEventButton& event);
  void ShowNative();
  void HideOwned(bool hide);
  bool HostsControlNamed(const std::string& name) const;
  // Only a window with a web view takes the keyboard: typing belongs to a
  // page or a movie, never to a frame or a button drawn by the form.
  bool TakesKeyboard() const { return !browsers_.empty() || !flash_.empty(); }
  LinuxWindow* KeyboardOwner();
  void FocusWebView();

  LinuxRuntime& runtime_;
  std::string name_;
  WindowEvents& events_;
  ScaleUnit scaleUnit_;
  std::uintptr_t handle_;
  GOwned<GtkWidget> window_;
  GtkWidget* layout_ = nullptr;
  std::string caption_;
  IconRef icon_ = 0;
  LinuxWindow* owner_ = nullptr;
  std::vector<LinuxWindow*> owned_;
  bool shown_ = false;
  bool shownOnce_ = false;
  bool ownedHidden_ = false;  // by the owner's minimise, until its restore
  WindowState state_ = WindowState::Normal;
  GdkRectangle bounds_{0, 0, 0, 0};
  GdkRectangle allocated_{0, 0, 0, 0};  // the layout's, as last traced
  // The bounds last asked of the window system and not yet confirmed: its
  // answers to earlier requests are not the window's place.
  std::optional<GdkRectangle> requested_;
  guint applySource_ = 0;  // the bounds wait to go to the system in one request
  bool moving_ = false;
  // The states the window manager has put on the window by itself: it keeps
  // a full-screen or maximized window at its own size.
  GdkWindowState managerStates_{};
  bool trayStandIn_ = false;  // the next hide minimises
  bool minimizedForTray_ = false;
  // PointerHost: X holds the pointer for the pressed window by itself.
  void Capture(bool /*capture*/) override {}
  bool InClient(int x, int y) const override;
  void Deliver(std::string_view control, std::string_view event,
               const std::function<void()>& handler) override {
    Dispatch({name_, control, event}, handler);
  }

  std::vector<std::unique_ptr<LinuxControl>> controls_;  // z-order, bottom first
  PointerInput input_;
  // The last first press, to class the next one as the system's settings do.
  struct LastPress {
    guint button = 0;
    guint32 time = 0;
    int x = 0;
    int y = 0;
    bool valid = false;
  } lastPress_;
  cairo_surface_t* layered_ = nullptr;
  bool logged_ = false;
  MousePointer shownPointer_ = MousePointer::Default;
  std::vector<std::unique_ptr<LinuxBrowser>> browsers_;
  std::vector<std::unique_ptr<LinuxFlash>> flash_;
};

}  // namespace tarnhold::platform::linux_backend
