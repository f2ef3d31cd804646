#include "platform/linux/linux_windows.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/error.h"
#include "platform/geometry.h"
#include "platform/linux/linux_log.h"
#include "platform/linux/linux_web.h"
#include "program_icon.h"

namespace tarnhold::platform::linux_backend {

namespace {

const char* CursorName(MousePointer pointer) {
  switch (pointer) {
    case MousePointer::SizeNESW:
      return "nesw-resize";
    case MousePointer::SizeNS:
      return "ns-resize";
    case MousePointer::SizeNWSE:
      return "nwse-resize";
    case MousePointer::SizeWE:
      return "ew-resize";
    default:
      return "default";
  }
}

int ButtonBit(guint button) {
  switch (button) {
    case 1:
      return kLeftButton;
    case 2:
      return kMiddleButton;
    case 3:
      return kRightButton;
    default:
      return 0;
  }
}

int Buttons(guint state) {
  int buttons = 0;
  if ((state & GDK_BUTTON1_MASK) != 0) buttons |= kLeftButton;
  if ((state & GDK_BUTTON3_MASK) != 0) buttons |= kRightButton;
  if ((state & GDK_BUTTON2_MASK) != 0) buttons |= kMiddleButton;
  return buttons;
}

// The runtime's Shift argument: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftState(guint state) {
  int shift = 0;
  if ((state & GDK_SHIFT_MASK) != 0) shift |= 1;
  if ((state & GDK_CONTROL_MASK) != 0) shift |= 2;
  if ((state & GDK_MOD1_MASK) != 0) shift |= 4;
  return shift;
}

bool Same(const GdkRectangle& a, const GdkRectangle& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

bool Contains(const GdkRectangle& r, int x, int y) {
  return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

GdkMonitor* PrimaryMonitor() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  return monitor != nullptr ? monitor : gdk_display_get_monitor(display, 0);
}

// Input only where the picture is not fully transparent, as a layered
// window is hit-tested: one rectangle per run of such pixels in a row.
cairo_region_t* OpaqueRegion(cairo_surface_t* picture) {
  cairo_region_t* region = cairo_region_create();
  cairo_surface_flush(picture);
  const int width = cairo_image_surface_get_width(picture);
  const int height = cairo_image_surface_get_height(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  const unsigned char* data = cairo_image_surface_get_data(picture);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    int x = 0;
    while (x < width) {
      while (x < width && (row[x] >> 24) == 0) ++x;
      const int start = x;
      while (x < width && (row[x] >> 24) != 0) ++x;
      if (x > start) {
        const cairo_rectangle_int_t run{start, y, x - start, 1};
        cairo_region_union_rectangle(region, &run);
      }
    }
  }
  return region;
}

}  // namespace

// --- Pictures -------------------------------------------------------------------

Picture DecodePicture(const unsigned char* bytes, std::size_t size) {
  if (bytes == nullptr || size == 0) return {};
  const GOwned<GdkPixbufLoader> loader(gdk_pixbuf_loader_new());
  GdkPixbuf* pixbuf = nullptr;
  if (gdk_pixbuf_loader_write(loader.get(), bytes, size, nullptr) &&
      gdk_pixbuf_loader_close(loader.get(), nullptr)) {
    pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (pixbuf != nullptr) g_object_ref(pixbuf);
  } else {
    gdk_pixbuf_loader_close(loader.get(), nullptr);
  }
  return Picture(pixbuf);
}

// --- Screen and runtime ---------------------------------------------------------

double LinuxScreen::Width() const {
  GdkRectangle r{};
  gdk_monitor_get_geometry(PrimaryMonitor(), &r);
  return r.width * kTwipsPerPixel;
}

double LinuxScreen::Height() const {
  GdkRectangle r{};
  gdk_monitor_get_geometry(PrimaryMonitor(), &r);
  return r.height * kTwipsPerPixel;
}

LinuxRuntime::LinuxRuntime(const PathMap& paths)
    : paths_(paths), icon_(DecodePicture(icon::kTarnhold, icon::kTarnholdSize)) {}

LinuxRuntime::~LinuxRuntime() = default;

std::unique_ptr<Window> LinuxRuntime::NewWindow(const WindowDesign& design, WindowEvents& events) {
  return std::make_unique<LinuxWindow>(*this, design, events);
}

PixelPoint LinuxRuntime::CursorPos() const {
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  gint x = 0;
  gint y = 0;
  gdk_device_get_position(gdk_seat_get_pointer(seat), nullptr, &x, &y);
  return PixelPoint{x, y};
}

// GDK answers the monitor's whole size while a window of this program is
// full screen on it, but the work area does not change with a window: the
// window manager's _NET_WORKAREA for the current desktop is asked first.
PixelRect LinuxRuntime::WorkArea() const {
  GdkRectangle r{};
  GdkMonitor* monitor = PrimaryMonitor();
  gdk_monitor_get_workarea(monitor, &r);
  GdkDisplay* display = gdk_display_get_default();
  if (GDK_IS_X11_DISPLAY(display)) {
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    const ::Window root = DefaultRootWindow(x);
    const auto cardinals = [&](const char* name) {
      std::vector<long> values;
      Atom type = None;
      int format = 0;
      unsigned long count = 0;
      unsigned long after = 0;
      unsigned char* data = nullptr;
      gdk_x11_display_error_trap_push(display);
      const int status = XGetWindowProperty(x, root, gdk_x11_get_xatom_by_name_for_display(display, name), 0,
                                            1024, False, XA_CARDINAL, &type, &format, &count, &after, &data);
      gdk_x11_display_error_trap_pop_ignored(display);
      if (status == Success && data != nullptr && format == 32 && type == XA_CARDINAL) {
        const auto* longs = reinterpret_cast<const long*>(data);
        values.assign(longs, longs + count);
      }
      if (data != nullptr) XFree(data);
      return values;
    };
    const std::vector<long> desktop = cardinals("_NET_CURRENT_DESKTOP");
    const std::vector<long> areas = cardinals("_NET_WORKAREA");
    const std::size_t at = desktop.empty() ? 0 : static_cast<std::size_t>(desktop[0]) * 4;
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(monitor, &geometry);
    if (at + 4 <= areas.size()) {
      const GdkRectangle area{static_cast<int>(areas[at]), static_cast<int>(areas[at + 1]),
                              static_cast<int>(areas[at + 2]), static_cast<int>(areas[at + 3])};
      GdkRectangle both{};
      if (gdk_rectangle_intersect(&geometry, &area, &both)) r = both;
    }
  }
  return PixelRect{r.x, r.y, r.x + r.width, r.y + r.height};
}

std::uintptr_t LinuxRuntime::Register(LinuxWindow* window) {
  const std::uintptr_t handle = nextHandle_;
  nextHandle_ += 4;
  windows_[handle] = window;
  return handle;
}

void LinuxRuntime::Unregister(std::uintptr_t handle) { windows_.erase(handle); }

LinuxWindow* LinuxRuntime::Find(std::uintptr_t handle) const {
  const auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second;
}

WebRuntime& LinuxRuntime::Web() {
  if (!web_) web_ = std::make_unique<WebRuntime>();
  return *web_;
}

bool LinuxRuntime::HasWindowManager() const {
  GdkScreen* screen = gdk_screen_get_default();
  if (!GDK_IS_X11_SCREEN(screen)) return true;
  return std::string(gdk_x11_screen_get_window_manager_name(screen)) != "unknown";
}

// --- Timers ---------------------------------------------------------------------

LinuxTimer::LinuxTimer(std::string window, int interval, std::function<void()> tick)
    : interval_(interval), tick_(std::make_shared<const Tick>(Tick{std::move(window), std::move(tick)})) {}

LinuxTimer::~LinuxTimer() { SetEnabled(false); }

void LinuxTimer::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  if (enabled) {
    source_ = g_timeout_add(static_cast<guint>(std::max(interval_, 1)), &LinuxTimer::Fire, this);
  } else {
    g_source_remove(source_);
    source_ = 0;
  }
}

// A tick may disable or destroy its own timer: the source is only kept when
// it is still this timer's.
gboolean LinuxTimer::Fire(gpointer self) {
  auto* timer = static_cast<LinuxTimer*>(self);
  const guint source = timer->source_;
  const std::shared_ptr<const Tick> tick = timer->tick_;
  Dispatch({tick->window, "Timer"}, tick->run);
  // The timer may be gone; GLib only asks whether to keep this source, and a
  // disabled or destroyed timer has already removed it.
  return g_main_context_find_source_by_id(nullptr, source) != nullptr ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

// --- Windowless controls ----------------------------------------------------------

LinuxControl::LinuxControl(LinuxWindow& window, const ControlDesign& design, ControlEvents* events,
                           Picture picture)
    : WindowlessControl(design, events, kTwipsPerPixel, kTwipsPerPixel),
      window_(window),
      picture_(std::move(picture)) {}

namespace {
GdkRectangle Gdk(const PixelRect& r) {
  return GdkRectangle{r.left, r.top, r.right - r.left, r.bottom - r.top};
}
}  // namespace

GdkRectangle LinuxControl::Area() const { return Gdk(Pixels()); }

void LinuxControl::Repaint(const PixelRect& pixels) { window_.Invalidate(Gdk(pixels)); }

// --- Windows ----------------------------------------------------------------------

LinuxWindow::LinuxWindow(LinuxRuntime& runtime, const WindowDesign& design, WindowEvents& events)
    : runtime_(runtime),
      name_(design.name),
      events_(events),
      scaleUnit_(design.scaleUnit),
      handle_(runtime.Register(this)),
      // A reference of our own: GTK's goes when the window is destroyed.
      window_(GTK_WIDGET(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))),
      input_(*this, events, runtime.GetScreen(), design.scaleUnit) {
  gtk_window_set_decorated(Gtk(), FALSE);
  gtk_window_set_resizable(Gtk(), TRUE);
  // Any window may become a layered one, and the visual must be chosen
  // before the window exists on the display.
  GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_.get()));
  if (rgba != nullptr) gtk_widget_set_visual(window_.get(), rgba);
  gtk_widget_set_app_paintable(window_.get(), TRUE);
  // A layout, unlike a fixed container, asks for no size of its children, so
  // the form may shrink below a hosted control until its layout moves it.
  layout_ = gtk_layout_new(nullptr, nullptr);
  gtk_widget_set_app_paintable(layout_, TRUE);
  gtk_widget_add_events(layout_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  g_signal_connect(layout_, "grab-broken-event", G_CALLBACK(&LinuxWindow::OnGrabBroken), this);
  gtk_container_add(GTK_CONTAINER(window_.get()), layout_);
  gtk_widget_show(layout_);
  g_signal_connect(layout_, "draw", G_CALLBACK(&LinuxWindow::OnDraw), this);
  g_signal_connect(layout_, "button-press-event", G_CALLBACK(&LinuxWindow::OnButton), this);
  g_signal_connect(layout_, "button-release-event", G_CALLBACK(&LinuxWindow::OnButton), this);
  g_signal_connect(layout_, "motion-notify-event", G_CALLBACK(&LinuxWindow::OnMotion), this);
  g_signal_connect(layout_, "size-allocate", G_CALLBACK(&LinuxWindow::OnAllocate), this);
  g_signal_connect(window_.get(), "configure-event", G_CALLBACK(&LinuxWindow::OnConfigure), this);
  g_signal_connect(window_.get(), "delete-event", G_CALLBACK(&LinuxWindow::OnDelete), this);
  g_signal_connect(window_.get(), "window-state-event", G_CALLBACK(&LinuxWindow::OnState), this);
  g_signal_connect(window_.get(), "focus-in-event", G_CALLBACK(&LinuxWindow::OnFocusIn), this);

  bounds_ = GdkRectangle{0, 0, TwipsToPixels(design.clientWidth, kTwipsPerPixel),
                         TwipsToPixels(design.clientHeight, kTwipsPerPixel)};
  gtk_window_set_default_size(Gtk(), std::max(bounds_.width, 1), std::max(bounds_.height, 1));
  gtk_window_move(Gtk(), 0, 0);
  if (design.programIcon && runtime.ProgramIcon() != nullptr) {
    icon_ = reinterpret_cast<IconRef>(runtime.ProgramIcon());
    gtk_window_set_icon(Gtk(), runtime.ProgramIcon());
  }
}

LinuxWindow::~LinuxWindow() {
  flash_.clear();
  browsers_.clear();
  for (LinuxWindow* owned : owned_) owned->owner_ = nullptr;
  if (owner_ != nullptr) std::erase(owner_->owned_, this);
  runtime_.Unregister(handle_);
  if (applySource_ != 0) g_source_remove(applySource_);
  g_signal_handlers_disconnect_by_data(layout_, this);
  g_signal_handlers_disconnect_by_data(window_.get(), this);
  gtk_widget_destroy(window_.get());
  if (layered_ != nullptr) cairo_surface_destroy(layered_);
}

void LinuxWindow::SetCaption(const std::string& text) {
  caption_ = text;
  gtk_window_set_title(Gtk(), text.c_str());
}

void LinuxWindow::SetIcon(IconRef icon) {
  icon_ = icon;
  // An icon crosses the seam as the number of its native object.
  gtk_window_set_icon(Gtk(), reinterpret_cast<GdkPixbuf*>(icon));  // NOLINT(performance-no-int-to-ptr)
}

void LinuxWindow::Show(Window* owner) {
  auto* native = dynamic_cast<LinuxWindow*>(owner);
  if (owner != nullptr && native == nullptr) throw Error("not a window of this platform");
  for (LinuxWindow* o = native; o != nullptr; o = o->owner_) {
    if (o == this) throw Error("an owner chain may not loop");
  }
  if (native != owner_) {
    if (owner_ != nullptr) std::erase(owner_->owned_, this);
    owner_ = native;
    if (native != nullptr) native->owned_.push_back(this);
    gtk_window_set_transient_for(Gtk(), native != nullptr ? native->Gtk() : nullptr);
  }
  shown_ = true;
  if (owner_ == nullptr || !owner_->ownedHidden_) ShowNative();
  if (!shownOnce_) {
    shownOnce_ = true;
    Dispatch({name_, "Resized"}, [&] { events_.Resized(); });
  }
}

// An undecorated window with an owner is a utility window that a window
// manager keeps above its owner and out of the task bar.
void LinuxWindow::ShowNative() {
  if (!gtk_widget_get_realized(window_.get())) {
    gtk_window_move(Gtk(), bounds_.x, bounds_.y);
    gtk_window_resize(Gtk(), std::max(bounds_.width, 1), std::max(bounds_.height, 1));
    requested_ = bounds_;
  }
  gtk_window_set_skip_taskbar_hint(Gtk(), owner_ != nullptr);
  // Without the input hint, a window manager gives a click on the window no
  // keyboard focus (and GTK ignores its WM_TAKE_FOCUS), nor does it focus
  // the window when it maps: the page keeps the keyboard.
  const gboolean keyboard = TakesKeyboard() ? TRUE : FALSE;
  gtk_window_set_accept_focus(Gtk(), keyboard);
  gtk_window_set_focus_on_map(Gtk(), keyboard);
  gtk_widget_show(window_.get());
  if (state_ == WindowState::Minimized && runtime_.HasWindowManager()) gtk_window_iconify(Gtk());
}

void LinuxWindow::Hide() {
  shown_ = false;
  if (trayStandIn_ && runtime_.HasWindowManager()) {
    trayStandIn_ = false;
    minimizedForTray_ = true;
    gtk_window_iconify(Gtk());
    Log("tray-stand-in", name_);
    return;
  }
  minimizedForTray_ = false;
  gtk_widget_hide(window_.get());
}

void LinuxWindow::StandInForTray(bool standIn) {
  trayStandIn_ = standIn;
  if (!standIn && minimizedForTray_ && !shown_) {
    // The icon went before the window came back: it is hidden as the icon's
    // hide would have left it.
    minimizedForTray_ = false;
    gtk_widget_hide(window_.get());
  }
}

// The window a press on this one hands the keyboard to: this one or the
// nearest owner that holds a web view, shown.
LinuxWindow* LinuxWindow::KeyboardOwner() {
  for (LinuxWindow* w = this; w != nullptr; w = w->owner_) {
    if (w->TakesKeyboard()) return w->shown_ ? w : nullptr;
  }
  return nullptr;
}

// Inside the window GTK's focus follows the keyboard's owner: the web view
// on top (the player over the game's browser) while the window holds none.
void LinuxWindow::FocusWebView() {
  GtkWidget* focus = gtk_window_get_focus(Gtk());
  if (focus != nullptr && WEBKIT_IS_WEB_VIEW(focus) && gtk_widget_get_visible(focus)) return;
  GList* children = gtk_container_get_children(GTK_CONTAINER(layout_));
  GtkWidget* top = nullptr;
  for (GList* c = children; c != nullptr; c = c->next) {
    auto* child = static_cast<GtkWidget*>(c->data);
    if (WEBKIT_IS_WEB_VIEW(child) && gtk_widget_get_visible(child)) top = child;
  }
  g_list_free(children);
  if (top != nullptr) gtk_widget_grab_focus(top);
}

gboolean LinuxWindow::OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  Log("keyboard", window->name_);
  window->FocusWebView();
  return FALSE;
}

void LinuxWindow::HideOwned(bool hide) {
  ownedHidden_ = hide;
  for (LinuxWindow* owned : owned_) {
    if (!owned->shown_) continue;
    if (hide) {
      gtk_widget_hide(owned->window_.get());
    } else {
      owned->ShowNative();
    }
  }
}

void LinuxWindow::Place(const GdkRectangle& bounds) {
  if (Same(bounds, bounds_)) return;
  const bool resized = bounds.width != bounds_.width || bounds.height != bounds_.height;
  bounds_ = bounds;
  requested_ = bounds;
  if (applySource_ == 0)
    applySource_ = g_idle_add_full(G_PRIORITY_HIGH_IDLE, &LinuxWindow::Apply, this, nullptr);
  if (resized) Dispatch({name_, "Resized"}, [&] { events_.Resized(); });
}

// The form writes its bounds one property at a time (and the frame's timer
// places its attached windows every 10 ms); the system gets the result once,
// in one request. GTK moves a shown window at once but sizes it later, so
// through GTK alone a move and a size would reach the screen as two steps.
gboolean LinuxWindow::Apply(gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  window->applySource_ = 0;
  const GdkRectangle& b = window->bounds_;
  if (b.width <= 0 || b.height <= 0) return G_SOURCE_REMOVE;
  // A window manager keeps a window it has made full screen or maximized at
  // the size that state gives it, and answers a request for other bounds
  // with that size; the request after the state's removal it honours.
  if ((window->managerStates_ & GDK_WINDOW_STATE_FULLSCREEN) != 0) gtk_window_unfullscreen(window->Gtk());
  if ((window->managerStates_ & GDK_WINDOW_STATE_MAXIMIZED) != 0) gtk_window_unmaximize(window->Gtk());
  // GTK's own idea of the size agrees, so that it asks for no other.
  gtk_window_resize(window->Gtk(), b.width, b.height);
  GdkWindow* native = gtk_widget_get_window(window->window_.get());
  if (native != nullptr) {
    gdk_window_move_resize(native, b.x, b.y, b.width, b.height);
  } else {
    gtk_window_move(window->Gtk(), b.x, b.y);
  }
  return G_SOURCE_REMOVE;
}

void LinuxWindow::SetEdge(double twips, bool horizontal, bool size) {
  GdkRectangle r = bounds_;
  const int pixels = TwipsToPixels(twips, kTwipsPerPixel);
  if (size) {
    (horizontal ? r.width : r.height) = pixels;
  } else {
    (horizontal ? r.x : r.y) = pixels;
  }
  Place(r);
}

double LinuxWindow::Left() const { return PixelsToTwips(bounds_.x, kTwipsPerPixel); }
double LinuxWindow::Top() const { return PixelsToTwips(bounds_.y, kTwipsPerPixel); }
double LinuxWindow::Width() const { return PixelsToTwips(bounds_.width, kTwipsPerPixel); }
double LinuxWindow::Height() const { return PixelsToTwips(bounds_.height, kTwipsPerPixel); }
void LinuxWindow::SetLeft(double twips) { SetEdge(twips, true, false); }
void LinuxWindow::SetTop(double twips) { SetEdge(twips, false, false); }
void LinuxWindow::SetWidth(double twips) { SetEdge(twips, true, true); }
void LinuxWindow::SetHeight(double twips) { SetEdge(twips, false, true); }
double LinuxWindow::ScaleWidth() const { return bounds_.width * ScaleX(); }
double LinuxWindow::ScaleHeight() const { return bounds_.height * ScaleY(); }

// With a window manager, minimising is its work and it reports back; without
// one the window and its owned windows are hidden here and come back on the
// restore.
void LinuxWindow::SetState(WindowState state) {
  if (state == state_) return;
  if (state == WindowState::Maximized) throw Error("maximizing is the form's own placement here");
  state_ = state;
  const bool minimized = state == WindowState::Minimized;
  if (runtime_.HasWindowManager()) {
    if (minimized) {
      gtk_window_iconify(Gtk());
    } else {
      gtk_window_deiconify(Gtk());
    }
  } else if (shown_) {
    if (minimized) {
      gtk_widget_hide(window_.get());
    } else {
      ShowNative();
    }
  }
  HideOwned(minimized);
  Dispatch({name_, "Resized"}, [&] { events_.Resized(); });
}

gboolean LinuxWindow::OnState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  constexpr auto kManaged =
      static_cast<GdkWindowState>(GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_MAXIMIZED);
  if ((event->changed_mask & kManaged) != 0) {
    window->managerStates_ = static_cast<GdkWindowState>(event->new_window_state & kManaged);
    Log("window-state",
        window->name_ + ((event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN) != 0 ? " fullscreen" : "") +
            ((event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0 ? " maximized" : ""));
  }
  if ((event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) == 0) return FALSE;
  const bool iconic = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
  if (window->minimizedForTray_) {
    // The form sees a hidden window, not a minimised one; the window
    // manager's restore is the icon's click.
    if (!iconic) {
      window->minimizedForTray_ = false;
      Log("tray-stand-in-restored", window->name_);
      window->TrayCallback(kTrayClick);
    }
    return FALSE;
  }
  const WindowState now = iconic ? WindowState::Minimized : WindowState::Normal;
  if (now == window->state_) return FALSE;
  window->state_ = now;
  window->HideOwned(iconic);
  Dispatch({window->name_, "Resized"}, [&] { window->events_.Resized(); });
  return FALSE;
}

std::unique_ptr<Timer> LinuxWindow::AddTimer(int intervalMs, bool enabled, std::function<void()> tick) {
  auto timer = std::make_unique<LinuxTimer>(name_, intervalMs, std::move(tick));
  timer->SetEnabled(enabled);
  return timer;
}

Control& LinuxWindow::AddControl(const ControlDesign& design, ControlEvents* events) {
  Picture picture;
  if (design.kind == ControlKind::Image) picture = DecodePicture(design.picture, design.pictureSize);
  controls_.push_back(std::make_unique<LinuxControl>(*this, design, events, std::move(picture)));
  input_.Add(*controls_.back(), events);
  if (design.visible) Invalidate(controls_.back()->Area());
  return *controls_.back();
}

void LinuxWindow::Invalidate(const GdkRectangle& pixels) {
  if (pixels.width <= 0 || pixels.height <= 0) return;
  gtk_widget_queue_draw_area(layout_, pixels.x, pixels.y, pixels.width, pixels.height);
}

void LinuxWindow::SetTopmost(bool topmost) {
  gtk_window_set_keep_above(Gtk(), topmost ? TRUE : FALSE);
  if (topmost && gtk_widget_get_realized(window_.get()))
    gdk_window_raise(gtk_widget_get_window(window_.get()));
}

// --- Drawing --------------------------------------------------------------------

gboolean LinuxWindow::OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  if (!gtk_cairo_should_draw_window(cr, gtk_layout_get_bin_window(GTK_LAYOUT(widget)))) return FALSE;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (window->layered_ != nullptr) {
    cairo_set_source_surface(cr, window->layered_, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    return FALSE;
  }
  // The system's button face, as a form's background.
  cairo_set_source_rgb(cr, 0xF0 / 255.0, 0xF0 / 255.0, 0xF0 / 255.0);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  for (const auto& control : window->controls_) {
    if (!control->Visible()) continue;
    const GdkRectangle r = control->Area();
    if (r.width <= 0 || r.height <= 0) continue;
    if (control->IsLabel()) {
      if (control->Caption().empty()) continue;
      const GOwned<PangoLayout> text(gtk_widget_create_pango_layout(widget, control->Caption().c_str()));
      const std::uint32_t c = control->ForeColor();
      cairo_set_source_rgb(cr, (c >> 16 & 0xFF) / 255.0, (c >> 8 & 0xFF) / 255.0, (c & 0xFF) / 255.0);
      cairo_save(cr);
      cairo_rectangle(cr, r.x, r.y, r.width, r.height);
      cairo_clip(cr);
      cairo_move_to(cr, r.x, r.y);
      pango_cairo_show_layout(cr, text.get());
      cairo_restore(cr);
      continue;
    }
    const Picture& picture = control->Image();
    if (!picture) continue;
    const int w = gdk_pixbuf_get_width(picture.get());
    const int h = gdk_pixbuf_get_height(picture.get());
    cairo_save(cr);
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_clip(cr);
    cairo_translate(cr, r.x, r.y);
    cairo_scale(cr, static_cast<double>(r.width) / w, static_cast<double>(r.height) / h);
    gdk_cairo_set_source_pixbuf(cr, picture.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  cairo_restore(cr);
  return FALSE;
}

void LinuxWindow::SetLayered(cairo_surface_t* picture, int x, int y, int width, int height) {
  if (layered_ != nullptr) cairo_surface_destroy(layered_);
  layered_ = cairo_surface_reference(picture);
  cairo_region_t* region = OpaqueRegion(picture);
  gtk_widget_input_shape_combine_region(window_.get(), region);
  cairo_region_destroy(region);
  Place(GdkRectangle{x, y, width, height});
  gtk_widget_queue_draw(layout_);
  if (!logged_) {
    logged_ = true;
    Log("layered", name_);
  }
}

// --- Input ------------------------------------------------------------------------

bool LinuxWindow::InClient(int x, int y) const {
  return Contains(GdkRectangle{0, 0, bounds_.width, bounds_.height}, x, y);
}

void LinuxWindow::UpdateCursor(int x, int y) {
  const Control* control = input_.PointerOwner(x, y);
  const MousePointer pointer = control != nullptr ? control->Pointer() : MousePointer::Default;
  if (pointer == shownPointer_) return;
  shownPointer_ = pointer;
  GdkWindow* native = gtk_layout_get_bin_window(Surface());
  if (native == nullptr) return;
  const GOwned<GdkCursor> cursor(
      gdk_cursor_new_from_name(gdk_window_get_display(native), CursorName(pointer)));
  gdk_window_set_cursor(native, cursor.get());
}

// GDK sends a double click as a second press followed by its own
// GDK_2BUTTON_PRESS, so the second press has already been handled as a plain
// one when that event comes. The press is classed here instead, by the same
// settings and the same rule GDK applies; a press after a double click starts
// over, as it does on Windows.
bool LinuxWindow::SecondPress(const GdkEventButton& event) {
  GtkSettings* settings = gtk_widget_get_settings(window_.get());
  gint time = 400;
  gint distance = 5;
  g_object_get(settings, "gtk-double-click-time", &time, "gtk-double-click-distance", &distance, nullptr);
  const int x = static_cast<int>(std::floor(event.x));
  const int y = static_cast<int>(std::floor(event.y));
  const bool second = lastPress_.valid && lastPress_.button == event.button &&
                      event.time - lastPress_.time <= static_cast<guint32>(time) &&
                      std::abs(x - lastPress_.x) <= distance && std::abs(y - lastPress_.y) <= distance;
  lastPress_ = second ? LastPress{} : LastPress{event.button, event.time, x, y, true};
  return second;
}

gboolean LinuxWindow::OnButton(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  const int button = ButtonBit(event->button);
  if (button == 0) return FALSE;
  if (event->type == GDK_2BUTTON_PRESS || event->type == GDK_3BUTTON_PRESS)
    return TRUE;  // classed at the press
  const int x = static_cast<int>(std::floor(event->x));
  const int y = static_cast<int>(std::floor(event->y));
  const int shift = ShiftState(event->state);
  if (event->type == GDK_BUTTON_PRESS) {
    // A window manager that gives a click the keyboard in spite of the
    // input hint has it taken back at once.
    if (!window->TakesKeyboard()) {
      LinuxWindow* owner = window->KeyboardOwner();
      if (owner != nullptr && !gtk_window_is_active(owner->Gtk()))
        gtk_window_present_with_time(owner->Gtk(), event->time);
    }
    if (window->SecondPress(*event)) {
      window->input_.DoublePress(button, shift, x, y);
    } else {
      window->input_.Press(button, shift, x, y);
    }
  } else {
    window->input_.Release(button, shift, x, y);
  }
  return TRUE;
}

// Pointer input reaches the form only inside the layout's allocation, which
// follows a resize at GTK's next layout pass: a press in the part a window
// has just grown by, before that pass, goes to no control. The trace says
// when the form takes input at its new size.
void LinuxWindow::OnAllocate(GtkWidget*, GdkRectangle* allocation, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  if (allocation->width == window->allocated_.width && allocation->height == window->allocated_.height)
    return;
  window->allocated_ = *allocation;
  Log("allocated",
      window->name_ + " " + std::to_string(allocation->width) + "x" + std::to_string(allocation->height));
}

gboolean LinuxWindow::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  const int x = static_cast<int>(std::floor(event->x));
  const int y = static_cast<int>(std::floor(event->y));
  window->UpdateCursor(x, y);
  window->input_.Move(Buttons(event->state), ShiftState(event->state), x, y);
  return TRUE;
}

// Another client's grab, or the window system's, takes the pointer from a
// press this window holds: the press ends here, as a release would.
gboolean LinuxWindow::OnGrabBroken(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<LinuxWindow*>(self)->input_.CaptureLost();
  return FALSE;
}

void LinuxWindow::TrayCallback(int mouseMessage) {
  const double scale = ScaleX();
  Dispatch({name_, "MouseMove"}, [&] { events_.MouseMove(0, 0, mouseMessage * scale, 0); });
}

// The window system's answers to this backend's own requests come late and
// may be stale; only an answer to the last request, or a move the system
// made itself (a drag, a window manager), is the window's place.
gboolean LinuxWindow::OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  int x = event->x;
  int y = event->y;
  if (gtk_widget_get_realized(window->window_.get())) {
    gdk_window_get_root_origin(gtk_widget_get_window(window->window_.get()), &x, &y);
  }
  const GdkRectangle seen{x, y, event->width, event->height};
  if (window->requested_ && !window->moving_) {
    if (Same(seen, *window->requested_)) window->requested_.reset();
    return FALSE;
  }
  if (Same(seen, window->bounds_)) return FALSE;
  const bool resized = seen.width != window->bounds_.width || seen.height != window->bounds_.height;
  window->bounds_ = seen;
  if (resized) Dispatch({window->name_, "Resized"}, [&] { window->events_.Resized(); });
  return FALSE;
}

gboolean LinuxWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto* window = static_cast<LinuxWindow*>(self);
  Dispatch({window->name_, "CloseRequested"}, [&] { window->events_.CloseRequested(); });
  return TRUE;  // the form decides
}

void LinuxWindow::MoveWithPointer() {
  GdkWindow* native = gtk_widget_get_window(window_.get());
  if (native == nullptr) return;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(native));
  GdkDevice* pointer = gdk_seat_get_pointer(seat);
  gint rootX = 0;
  gint rootY = 0;
  gdk_device_get_position(pointer, nullptr, &rootX, &rootY);
  GdkModifierType mask{};
  gdk_window_get_device_position(native, pointer, nullptr, nullptr, &mask);
  if ((mask & GDK_BUTTON1_MASK) == 0) return;
  // The system's move takes the pointer: the press that started it is over.
  input_.CaptureLost();
  moving_ = true;
  requested_.reset();
  gtk_window_begin_move_drag(Gtk(), 1, rootX, rootY, gtk_get_current_event_time());
  Log("move-start", name_);
  // The move runs in the window system (or GDK's own stand-in for one); its
  // end is the button's release, which this window may never see.
  while ((mask & GDK_BUTTON1_MASK) != 0) {
    g_main_context_iteration(nullptr, TRUE);
    gdk_window_get_device_position(native, pointer, nullptr, nullptr, &mask);
  }
  // Where the move left it, as the system now says.
  gint x = 0;
  gint y = 0;
  gdk_window_get_root_origin(native, &x, &y);
  bounds_.x = x;
  bounds_.y = y;
  moving_ = false;
  Log("move-end", name_);
}

// --- Hosted controls ----------------------------------------------------------------

bool LinuxWindow::HostsControlNamed(const std::string& name) const {
  for (const auto& control : flash_) {
    if (control->Name() == name) return true;
  }
  for (const auto& browser : browsers_) {
    if (browser->Name() == name) return true;
  }
  return false;
}

ActiveXControl* LinuxWindow::AddActiveX(const std::string& progId, const std::string& name) {
  if (HostsControlNamed(name)) throw Error("there is already a control named " + name);
  if (g_ascii_strcasecmp(progId.c_str(), LinuxFlash::kProgId) != 0) return nullptr;
  flash_.push_back(std::make_unique<LinuxFlash>(runtime_.Web(), *this, name));
  return flash_.back().get();
}

void LinuxWindow::RemoveActiveX(const std::string& name) {
  const auto it = std::find_if(flash_.begin(), flash_.end(),
                               [&](const auto& control) { return control->Name() == name; });
  if (it == flash_.end()) throw Error("no control named " + name);
  std::unique_ptr<LinuxFlash> control = std::move(*it);
  flash_.erase(it);
  control.reset();
}

Browser& LinuxWindow::AddBrowser(const std::string& name, double left, double top, double width,
                                 double height, BrowserEvents& events) {
  if (HostsControlNamed(name)) throw Error("there is already a control named " + name);
  if (width < 0 || height < 0) throw Error("invalid property value");
  const int x = TwipsToPixels(left, kTwipsPerPixel);
  const int y = TwipsToPixels(top, kTwipsPerPixel);
  const GdkRectangle pixels{x, y, TwipsToPixels(width, kTwipsPerPixel),
                            TwipsToPixels(height, kTwipsPerPixel)};
  browsers_.push_back(std::make_unique<LinuxBrowser>(runtime_.Web(), *this, name, pixels, events));
  return *browsers_.back();
}

}  // namespace tarnhold::platform::linux_backend
