#include "platform/windowless.h"

#include "platform/pointer_input.h"

namespace tarnhold::platform {

WindowlessControl::WindowlessControl(const ControlDesign& design, ControlEvents* events,
                                     double twipsPerPixelX, double twipsPerPixelY)
    : name_(design.name),
      kind_(design.kind),
      foreColor_(design.foreColor),
      events_(events),
      visible_(design.visible),
      left_(design.left),
      top_(design.top),
      width_(design.width),
      height_(design.height),
      tppX_(twipsPerPixelX),
      tppY_(twipsPerPixelY) {}

PixelRect WindowlessControl::Pixels() const { return ControlPixels(*this, tppX_, tppY_); }

void WindowlessControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Repaint(Pixels());
}

void WindowlessControl::Changed(double& field, double value) {
  if (field == value) return;
  const PixelRect before = Pixels();
  field = value;
  if (visible_) {
    Repaint(before);
    Repaint(Pixels());
  }
}

void WindowlessControl::SetCaption(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  if (visible_) Repaint(Pixels());
}

}  // namespace tarnhold::platform
