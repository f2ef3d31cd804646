#include "platform/pointer_input.h"

#include "platform/error.h"
#include "platform/geometry.h"

namespace tarnhold::platform {

PixelRect ControlPixels(const Control& control, double twipsPerPixelX, double twipsPerPixelY) {
  try {
    const double left = control.Left();
    const double top = control.Top();
    return PixelRect{TwipsToPixels(left, twipsPerPixelX), TwipsToPixels(top, twipsPerPixelY),
                     TwipsToPixels(left + control.Width(), twipsPerPixelX),
                     TwipsToPixels(top + control.Height(), twipsPerPixelY)};
  } catch (const Error&) {
    return {};
  }
}

namespace {
bool Inside(const PixelRect& r, int x, int y) {
  return x >= r.left && y >= r.top && x < r.right && y < r.bottom;
}
}  // namespace

PointerInput::PointerInput(PointerHost& host, WindowEvents& form, const Screen& screen, ScaleUnit scaleUnit)
    : host_(host), form_(form), screen_(screen), scaleUnit_(scaleUnit) {}

void PointerInput::Add(const Control& control, ControlEvents* events) {
  controls_.push_back({&control, events});
}

PointerInput::Entry PointerInput::EntryAt(int x, int y) const {
  const double tppX = screen_.TwipsPerPixelX();
  const double tppY = screen_.TwipsPerPixelY();
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {  // NOLINT(modernize-loop-convert)
    if (it->control->Visible() && Inside(ControlPixels(*it->control, tppX, tppY), x, y)) return *it;
  }
  return {};
}

const Control* PointerInput::ControlAt(int x, int y) const { return EntryAt(x, y).control; }

const Control* PointerInput::PointerOwner(int x, int y) const {
  return pressing_ ? pressed_.control : ControlAt(x, y);
}

double PointerInput::ToTwipsX(int x) const { return PixelsToTwips(x, screen_.TwipsPerPixelX()); }
double PointerInput::ToTwipsY(int y) const { return PixelsToTwips(y, screen_.TwipsPerPixelY()); }
double PointerInput::FormX(int x) const {
  return scaleUnit_ == ScaleUnit::Pixels ? x : x * screen_.TwipsPerPixelX();
}
double PointerInput::FormY(int y) const {
  return scaleUnit_ == ScaleUnit::Pixels ? y : y * screen_.TwipsPerPixelY();
}

// The state is set, and the pointer held, before any handler runs: a handler
// may give the capture away (the frame's drag does) and so end the press.
void PointerInput::Begin(const Entry& target, int button, bool doubleClick) {
  pressing_ = true;
  doubleClick_ = doubleClick;
  pressed_ = target;
  button_ = button;
  host_.Capture(true);
}

void PointerInput::Press(int button, int shift, int x, int y) {
  lastX_ = x;
  lastY_ = y;
  // A second button while one is held goes where the first went.
  const Entry target = pressing_ ? pressed_ : EntryAt(x, y);
  Begin(target, button, false);
  Raise(target, &WindowEvents::MouseDown, &ControlEvents::MouseDown, "MouseDown", button, shift, x, y);
}

// The second press raises DblClick instead of MouseDown; its release is a
// MouseUp without a click.
void PointerInput::DoublePress(int button, int /*shift*/, int x, int y) {
  lastX_ = x;
  lastY_ = y;
  const Entry target = pressing_ ? pressed_ : EntryAt(x, y);
  Begin(target, button, true);
  if (target.control != nullptr && target.events != nullptr)
    host_.Deliver(target.control->Name(), "DblClick", [&] { target.events->DblClick(); });
}

// The form's events take its scale unit; a control's, twips from its corner.
void PointerInput::Raise(const Entry& target, FormEvent formEvent, ControlEvent controlEvent,
                         std::string_view event, int button, int shift, int x, int y) {
  if (target.control == nullptr) {
    const double fx = FormX(x);
    const double fy = FormY(y);
    host_.Deliver({}, event, [&] { (form_.*formEvent)(button, shift, fx, fy); });
  } else if (target.events != nullptr) {
    const double tx = ToTwipsX(x) - target.control->Left();
    const double ty = ToTwipsY(y) - target.control->Top();
    host_.Deliver(target.control->Name(), event,
                  [&] { (target.events->*controlEvent)(button, shift, tx, ty); });
  }
}

void PointerInput::Up(const Entry& target, int button, int shift, int x, int y) {
  Raise(target, &WindowEvents::MouseUp, &ControlEvents::MouseUp, "MouseUp", button, shift, x, y);
}

void PointerInput::Release(int button, int shift, int x, int y) {
  lastX_ = x;
  lastY_ = y;
  if (!pressing_) {
    // A release whose press this window never saw: a MouseUp, never a click.
    Up(EntryAt(x, y), button, shift, x, y);
    return;
  }
  const Entry pressed = pressed_;
  const bool doubleClick = doubleClick_;
  pressing_ = false;
  doubleClick_ = false;
  pressed_ = {};
  host_.Capture(false);  // the press is over already: losing the capture now ends nothing
  Up(pressed, button, shift, x, y);
  if (doubleClick) return;
  if (pressed.control != nullptr) {
    const PixelRect r = ControlPixels(*pressed.control, screen_.TwipsPerPixelX(), screen_.TwipsPerPixelY());
    if (pressed.events != nullptr && Inside(r, x, y))
      host_.Deliver(pressed.control->Name(), "Click", [&] { pressed.events->Click(); });
  } else if (host_.InClient(x, y) && EntryAt(x, y).control == nullptr) {
    host_.Deliver({}, "Click", [&] { form_.Click(); });
  }
}

void PointerInput::Move(int buttons, int shift, int x, int y) {
  lastX_ = x;
  lastY_ = y;
  const Entry target = pressing_ ? pressed_ : EntryAt(x, y);
  Raise(target, &WindowEvents::MouseMove, &ControlEvents::MouseMove, "MouseMove", buttons, shift, x, y);
}

void PointerInput::CaptureLost() {
  if (!pressing_) return;
  const Entry pressed = pressed_;
  pressing_ = false;
  doubleClick_ = false;
  pressed_ = {};
  Up(pressed, button_, 0, lastX_, lastY_);
}

}  // namespace tarnhold::platform
