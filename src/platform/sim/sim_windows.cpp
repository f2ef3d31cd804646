#include <algorithm>
#include <cstdio>

#include "platform/geometry.h"
#include "platform/sim/sim_platform.h"

namespace tarnhold::platform::sim {

namespace {
std::string Num(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

// --- Timers -------------------------------------------------------------------

SimTimer::SimTimer(SimPlatform& sim, std::string window, int interval, bool enabled,
                   std::function<void()> tick)
    : sim_(sim), window_(std::move(window)), interval_(interval), enabled_(enabled), tick_(std::move(tick)) {}

void SimTimer::SetEnabled(bool enabled) {
  sim_.Call("Timer.SetEnabled", window_ + (enabled ? ".Timer on" : ".Timer off"));
  enabled_ = enabled;
}

void SimTimer::Fire() {
  if (enabled_) sim_.Deliver({window_, "Timer"}, tick_);
}

// --- Controls -----------------------------------------------------------------

SimControl::SimControl(SimPlatform& sim, std::string window, const ControlDesign& design,
                       ControlEvents* events)
    : sim_(sim),
      window_(std::move(window)),
      name_(design.name),
      events_(events),
      visible_(design.visible),
      left_(design.left),
      top_(design.top),
      width_(design.width),
      height_(design.height) {}

void SimControl::Call(const std::string& op, const std::string& detail) const {
  sim_.Call(op, window_ + "." + name_ + (detail.empty() ? "" : " " + detail));
}

bool SimControl::Visible() const { return visible_; }
void SimControl::SetVisible(bool visible) {
  Call("Control.SetVisible", visible ? "true" : "false");
  visible_ = visible;
}
double SimControl::Left() const { return left_; }
void SimControl::SetLeft(double twips) {
  Call("Control.SetLeft", Num(twips));
  left_ = twips;
}
double SimControl::Top() const { return top_; }
void SimControl::SetTop(double twips) {
  Call("Control.SetTop", Num(twips));
  top_ = twips;
}
double SimControl::Width() const { return width_; }
void SimControl::SetWidth(double twips) {
  Call("Control.SetWidth", Num(twips));
  width_ = twips;
}
double SimControl::Height() const { return height_; }
void SimControl::SetHeight(double twips) {
  Call("Control.SetHeight", Num(twips));
  height_ = twips;
}
MousePointer SimControl::Pointer() const { return pointer_; }
void SimControl::SetPointer(MousePointer pointer) {
  Call("Control.SetPointer", std::to_string(static_cast<int>(pointer)));
  pointer_ = pointer;
}
std::string SimControl::Caption() const { return caption_; }
void SimControl::SetCaption(const std::string& text) {
  Call("Control.SetCaption", "\"" + text + "\"");
  caption_ = text;
}
void SimControl::RaiseClick() {
  if (events_ != nullptr) sim_.Deliver({window_, name_, "Click"}, [&] { events_->Click(); });
}
void SimControl::RaiseDblClick() {
  if (events_ != nullptr) sim_.Deliver({window_, name_, "DblClick"}, [&] { events_->DblClick(); });
}
void SimControl::RaiseMouseDown(double x, double y, int button) {
  if (events_ != nullptr)
    sim_.Deliver({window_, name_, "MouseDown"}, [&] { events_->MouseDown(button, 0, x, y); });
}
void SimControl::RaiseMouseMove(double x, double y, int button) {
  if (events_ != nullptr)
    sim_.Deliver({window_, name_, "MouseMove"}, [&] { events_->MouseMove(button, 0, x, y); });
}
void SimControl::RaiseMouseUp(double x, double y, int button) {
  if (events_ != nullptr)
    sim_.Deliver({window_, name_, "MouseUp"}, [&] { events_->MouseUp(button, 0, x, y); });
}

// --- Windows ------------------------------------------------------------------

SimWindow::SimWindow(SimPlatform& sim, const WindowDesign& design, WindowEvents& events)
    : sim_(sim),
      name_(design.name),
      events_(events),
      scaleUnit_(design.scaleUnit),
      handle_(sim.nextHandle_ += 0x10),
      icon_(design.programIcon ? SimPlatform::kProgramIcon : 0),
      width_(TwipsToPixels(design.clientWidth, sim.tppX_)),
      height_(TwipsToPixels(design.clientHeight, sim.tppY_)),
      input_(*this, events, sim.GetScreen(), design.scaleUnit) {
  sim_.windows_.push_back(this);
  // CreateWindowEx sends WM_SIZE before it returns: a form hears of its size
  // before it holds its window.
  sim_.Deliver({name_, "Resized"}, [&] { events_.Resized(); });
}

SimWindow::~SimWindow() {
  auto& all = sim_.windows_;
  for (SimWindow* other : all) {
    if (other->owner_ == this) other->owner_ = nullptr;
  }
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  if (sim_.captured_ == this) sim_.captured_ = nullptr;
}

void SimWindow::Call(const std::string& op, const std::string& detail) const {
  sim_.Call(op, detail.empty() ? name_ : name_ + " " + detail);
}

double SimWindow::Tpp(bool horizontal) const { return horizontal ? sim_.tppX_ : sim_.tppY_; }

std::string SimWindow::Caption() const {
  Call("Window.Caption");
  return caption_;
}
void SimWindow::SetCaption(const std::string& text) {
  Call("Window.SetCaption", "\"" + text + "\"");
  caption_ = text;
}
IconRef SimWindow::Icon() const {
  Call("Window.Icon");
  return icon_;
}
void SimWindow::SetIcon(IconRef icon) {
  Call("Window.SetIcon", Num(static_cast<double>(icon)));
  icon_ = icon;
}

void SimWindow::Show(Window* owner) {
  Call("Window.Show", owner == nullptr ? "owner=none" : "owner=" + owner->Name());
  auto* simOwner = dynamic_cast<SimWindow*>(owner);
  if (owner != nullptr && simOwner == nullptr) throw Error("not a window of this platform");
  for (SimWindow* o = simOwner; o != nullptr; o = o->owner_) {
    if (o == this) throw Error("an owner chain may not loop");
  }
  owner_ = simOwner;
  visible_ = true;
  // The runtime lays a window out when it is first shown.
  if (!shownOnce_) {
    shownOnce_ = true;
    sim_.Deliver({name_, "Resized"}, [&] { events_.Resized(); });
  }
  // An owned window shown while its owner is minimised waits for the restore.
  hiddenWithOwner_ = owner_ != nullptr && owner_->state_ == WindowState::Minimized;
}

void SimWindow::Hide() {
  Call("Window.Hide");
  visible_ = false;
  hiddenWithOwner_ = false;
}

bool SimWindow::Visible() const {
  Call("Window.Visible");
  return visible_ && !hiddenWithOwner_;
}

Window* SimWindow::Owner() const { return owner_; }

void SimWindow::SetPixels(std::int32_t& field, double twips, bool horizontal, const char* op) {
  Call(op, Num(twips));
  field = TwipsToPixels(twips, Tpp(horizontal));
}

double SimWindow::Left() const {
  Call("Window.Left");
  return PixelsToTwips(left_, sim_.tppX_);
}
void SimWindow::SetLeft(double twips) { SetPixels(left_, twips, true, "Window.SetLeft"); }
double SimWindow::Top() const {
  Call("Window.Top");
  return PixelsToTwips(top_, sim_.tppY_);
}
void SimWindow::SetTop(double twips) { SetPixels(top_, twips, false, "Window.SetTop"); }
double SimWindow::Width() const {
  Call("Window.Width");
  return PixelsToTwips(width_, sim_.tppX_);
}
void SimWindow::SetWidth(double twips) {
  SetPixels(width_, twips, true, "Window.SetWidth");
  sim_.Deliver({name_, "Resized"}, [&] { events_.Resized(); });
}
double SimWindow::Height() const {
  Call("Window.Height");
  return PixelsToTwips(height_, sim_.tppY_);
}
void SimWindow::SetHeight(double twips) {
  SetPixels(height_, twips, false, "Window.SetHeight");
  sim_.Deliver({name_, "Resized"}, [&] { events_.Resized(); });
}

// The windows have no border: the client area is the whole window.
double SimWindow::ScaleWidth() const {
  Call("Window.ScaleWidth");
  return scaleUnit_ == ScaleUnit::Pixels ? width_ : PixelsToTwips(width_, sim_.tppX_);
}
double SimWindow::ScaleHeight() const {
  Call("Window.ScaleHeight");
  return scaleUnit_ == ScaleUnit::Pixels ? height_ : PixelsToTwips(height_, sim_.tppY_);
}

WindowState SimWindow::State() const {
  Call("Window.State");
  return state_;
}

void SimWindow::HideOwned(bool hide) {
  for (SimWindow* other : sim_.windows_) {
    if (other->owner_ != this || !other->visible_) continue;
    other->hiddenWithOwner_ = hide;
    // A minimised window's own popups stay hidden when its owner comes back.
    if (hide || other->state_ != WindowState::Minimized) other->HideOwned(hide);
  }
}

void SimWindow::SetState(WindowState state) {
  Call("Window.SetState", std::to_string(static_cast<int>(state)));
  const bool wasMinimized = state_ == WindowState::Minimized;
  const bool changed = state_ != state;
  state_ = state;
  if (state == WindowState::Minimized && !wasMinimized) HideOwned(true);
  if (state != WindowState::Minimized && wasMinimized) HideOwned(false);
  // As on the system: a state change is a size change.
  if (changed) sim_.Deliver({name_, "Resized"}, [&] { events_.Resized(); });
}

void SimWindow::SystemRestore() {
  if (state_ != WindowState::Minimized) return;
  state_ = WindowState::Normal;
  HideOwned(false);
  sim_.Deliver({name_, "Resized"}, [&] { events_.Resized(); });
}

std::unique_ptr<Timer> SimWindow::AddTimer(int intervalMs, bool enabled, std::function<void()> tick) {
  Call("Window.AddTimer", std::to_string(intervalMs) + (enabled ? " on" : " off"));
  auto timer = std::make_unique<SimTimer>(sim_, name_, intervalMs, enabled, std::move(tick));
  timers_.push_back(timer.get());
  return timer;
}

Control& SimWindow::AddControl(const ControlDesign& design, ControlEvents* events) {
  Call("Window.AddControl", design.name);
  controls_.push_back(std::make_unique<SimControl>(sim_, name_, design, events));
  input_.Add(*controls_.back(), events);
  return *controls_.back();
}

SimControl& SimWindow::ControlNamed(const std::string& name) {
  for (auto& control : controls_) {
    if (control->Name() == name) return *control;
  }
  throw std::out_of_range("no control " + name + " on " + name_);
}

void SimWindow::TickTimers() {
  for (SimTimer* timer : timers_) timer->Fire();
}

void SimWindow::RaiseCloseRequest() {
  sim_.Deliver({name_, "CloseRequested"}, [&] { events_.CloseRequested(); });
}
void SimWindow::RaiseClick() {
  sim_.Deliver({name_, "Click"}, [&] { events_.Click(); });
}
void SimWindow::RaiseMouseDown(int button, int shift, double x, double y) {
  sim_.Deliver({name_, "MouseDown"}, [&] { events_.MouseDown(button, shift, x, y); });
}
void SimWindow::RaiseMouseMove(int button, int shift, double x, double y) {
  sim_.Deliver({name_, "MouseMove"}, [&] { events_.MouseMove(button, shift, x, y); });
}

void SimWindow::PointAt(int x, int y) { sim_.cursor_ = {left_ + x, top_ + y}; }

void SimWindow::PointerDown(int x, int y, int button, bool doubleClick) {
  PointAt(x, y);
  if (doubleClick) {
    input_.DoublePress(button, 0, x, y);
  } else {
    input_.Press(button, 0, x, y);
  }
}

void SimWindow::PointerUp(int x, int y, int button) {
  PointAt(x, y);
  input_.Release(button, 0, x, y);
}

void SimWindow::PointerMove(int x, int y, int buttons) {
  PointAt(x, y);
  input_.Move(buttons, 0, x, y);
}

void SimWindow::LoseCapture() {
  if (sim_.captured_ == this) sim_.captured_ = nullptr;
  input_.CaptureLost();
}

// One window holds the capture at a time; the one that had it loses it.
void SimWindow::Capture(bool capture) {
  if (capture) {
    SimWindow* before = sim_.captured_;
    sim_.captured_ = this;
    if (before != nullptr && before != this) before->input_.CaptureLost();
  } else if (sim_.captured_ == this) {
    sim_.captured_ = nullptr;
  }
}

bool SimWindow::InClient(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

void SimWindow::Deliver(std::string_view control, std::string_view event,
                        const std::function<void()>& handler) {
  sim_.Deliver({name_, control, event}, handler);
}

// --- The runtime --------------------------------------------------------------

std::unique_ptr<Window> SimPlatform::NewWindow(const WindowDesign& design, WindowEvents& events) {
  Record("Window.New", design.name);
  return std::make_unique<SimWindow>(*this, design, events);
}

PixelPoint SimPlatform::CursorPos() const {
  Record("Window.CursorPos", "");
  return cursor_;
}

double SimPlatform::Width() const {
  Record("Screen.Width", "");
  return PixelsToTwips(screenWidth_, tppX_);
}
double SimPlatform::Height() const {
  Record("Screen.Height", "");
  return PixelsToTwips(screenHeight_, tppY_);
}
double SimPlatform::TwipsPerPixelX() const { return tppX_; }
double SimPlatform::TwipsPerPixelY() const { return tppY_; }

SimWindow& SimPlatform::WindowNamed(const std::string& name) {
  for (SimWindow* window : windows_) {
    if (window->Name() == name) return *window;
  }
  throw std::out_of_range("no window " + name);
}

bool SimPlatform::HasWindow(const std::string& name) const {
  return std::any_of(windows_.begin(), windows_.end(), [&](SimWindow* w) { return w->Name() == name; });
}

}  // namespace tarnhold::platform::sim
