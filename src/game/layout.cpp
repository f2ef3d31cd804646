// The game window's layout after every change of its size, and the hover
// pass that shows which window button lies under the pointer.
#include "game/form3.h"
#include "platform/error.h"

namespace tarnhold {

namespace {
constexpr double kLinkGap = 5;  // twips, not pixels
}  // namespace

void Form3::Form_Resize() {
  platform::Window& w = Window();
  bgTop_->SetWidth(w.ScaleWidth());
  bgLeft_->SetHeight(w.ScaleHeight());
  bgBottom_->SetTop(w.ScaleHeight() - bgBottom_->Height());
  bgBottom_->SetWidth(w.ScaleWidth());
  bgRight_->SetLeft(w.ScaleWidth() - bgRight_->Width());
  bgRight_->SetHeight(w.ScaleHeight());
  if (FlashObject != nullptr) {
    FlashObject->SetExtent("Top", bgTop_->Height());
    FlashObject->SetExtent("Left", bgLeft_->Width());
    FlashObject->SetExtent("Height", w.ScaleHeight() - bgTop_->Height() - bgBottom_->Height());
    FlashObject->SetExtent("Width", w.ScaleWidth() - bgLeft_->Width() - bgRight_->Width());
  }
  // Window buttons right-aligned, abutting; on screen from the right: close,
  // maximize, full screen, minimize to tray, refresh.
  const ButtonPair& close = hoverOrder_[0];
  const ButtonPair& maximize = hoverOrder_[1];
  const ButtonPair& tray = hoverOrder_[2];
  const ButtonPair& full = hoverOrder_[3];
  const ButtonPair& refresh = hoverOrder_[4];
  const auto place = [](const ButtonPair& p, double left) {
    p.normal->SetLeft(left);
    p.hover->SetLeft(left);
  };
  place(close, w.ScaleWidth() - kButtonWidth);
  place(maximize, close.normal->Left() - kButtonWidth);
  place(full, maximize.normal->Left() - kButtonWidth);
  place(tray, full.normal->Left() - kButtonWidth);
  place(refresh, tray.normal->Left() - kButtonWidth);
  imageClear_->SetLeft(refresh.normal->Left() - imageClear_->Width() - kLinkGap);
  imageCharge_->SetLeft(imageClear_->Left() - imageCharge_->Width() - kLinkGap);
  imageWeb_->SetLeft(imageCharge_->Left() - imageWeb_->Width() - kLinkGap);
  imageBbs_->SetLeft(imageWeb_->Left() - imageBbs_->Width() - kLinkGap);
}

bool Form3::PointerInside(const platform::Control& control, const platform::PixelPoint& pointer) const {
  const platform::Screen& screen = ctx_.Windows().GetScreen();
  const double tppX = screen.TwipsPerPixelX();
  const double tppY = screen.TwipsPerPixelY();
  if (tppX == 0 || tppY == 0) throw platform::Error("division by zero");
  const double top = (Window().Top() + control.Top()) / tppY;
  const double bottom = (Window().Top() + control.Top() + control.Height()) / tppY;
  const double left = (Window().Left() + control.Left()) / tppX;
  const double right = (Window().Left() + control.Left() + control.Width()) / tppX;
  const double x = pointer.x;
  const double y = pointer.y;
  return top < y - 8 && bottom > y + 8 && left < x - 5 && right > x + 5;
}

void Form3::TrackHover() {
  ToolbarRefresh = true;
  timer1_->SetEnabled(true);
}

// The timer runs only while tracking (TrackHover starts it, the pass that
// ends tracking stops it): a dormant tick would only have tested the flag.
void Form3::Timer1_Timer() {
  if (!ToolbarRefresh) return;
  const platform::PixelPoint pointer = ctx_.Windows().CursorPos();
  bool hoverShown = false;
  if (!PointerInside(*bgTop_, pointer)) {
    ToolbarRefresh = false;
    timer1_->SetEnabled(false);
    hoverShown = true;
  }
  for (const ButtonPair& p : hoverOrder_) {
    if (!hoverShown && PointerInside(*p.normal, pointer)) {
      p.normal->SetVisible(false);
      p.hover->SetVisible(true);
      hoverShown = true;
    } else {
      p.normal->SetVisible(true);
      p.hover->SetVisible(false);
    }
  }
}

}  // namespace tarnhold
