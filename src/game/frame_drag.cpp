// The game window's own frame: moved by its title, resized by its side and
// bottom borders and their corners, in normal mode only.
#include "game/form3.h"
#include "platform/geometry.h"

namespace tarnhold {

namespace {
constexpr double kCornerPixels = 15;
constexpr double kMinimumExtent = 1000;  // twips; a step must stay strictly above it
}  // namespace

void Form3::ConnectFrame() {
  const auto up = [this](double, double) { DragActive = false; };
  for (const platform::Control* title : {label1_, bgTop_}) {
    Handlers& events = EventsOf(title);
    events.dblClick = [this] { ToggleMaximize(); };
    events.down = [this](double x, double y) { TitleDown(x, y); };
    events.up = up;
  }
  EventsOf(label1_).move = [this](double, double) { MoveByTitle(label1_->Left(), label1_->Top()); };
  // The title strip lies at 0, 0.
  EventsOf(bgTop_).move = [this](double, double) { MoveByTitle(0, 0); };

  Handlers& left = EventsOf(bgLeft_);
  left.down = [this](double x, double y) {
    if (!FrameSizable) return;
    DragActive = true;
    GrabX = platform::RoundHalfEven(x);  // from the window's left edge
    GrabY = platform::RoundHalfEven(bgLeft_->Height() - y);
    SizeCornerLeft = LeftCorner(y);
    EnableFrameSizing();
  };
  left.move = [this](double, double y) { LeftBorderMove(y); };
  left.up = up;

  Handlers& right = EventsOf(bgRight_);
  right.down = [this](double x, double y) {
    if (!FrameSizable) return;
    DragActive = true;
    GrabX = platform::RoundHalfEven(bgRight_->Width() - x);  // to the window's right edge
    // Both side borders are as high as the window.
    GrabY = platform::RoundHalfEven(bgLeft_->Height() - y);
    SizeCornerRight = RightCorner(y);
    EnableFrameSizing();
  };
  right.move = [this](double, double y) { RightBorderMove(y); };
  right.up = up;

  Handlers& bottom = EventsOf(bgBottom_);
  bottom.down = [this](double x, double y) {
    if (!FrameSizable) return;
    DragActive = true;
    BottomCorners(x);
    EnableFrameSizing();
    GrabX = platform::RoundHalfEven(SizeCornerRight ? bgBottom_->Width() - x : x);
    GrabY = platform::RoundHalfEven(bgBottom_->Height() - y);  // to the window's bottom edge
  };
  bottom.move = [this](double x, double) { BottomBorderMove(x); };
  bottom.up = up;
}

Form3::TwipsPoint Form3::PointerTwips() const {
  const platform::PixelPoint p = ctx_.Windows().CursorPos();
  const platform::Screen& screen = ctx_.Windows().GetScreen();
  return {p.x * screen.TwipsPerPixelX(), p.y * screen.TwipsPerPixelY()};
}

// --- Moving by the title ------------------------------------------------------------

void Form3::TitleDown(double x, double y) {
  if (!FrameSizable) return;
  DragActive = true;
  GrabX = platform::RoundHalfEven(x);
  GrabY = platform::RoundHalfEven(y);
}

// Never held to the screen or the work area.
void Form3::MoveByTitle(double controlLeft, double controlTop) {
  if (!DragActive) return;
  const TwipsPoint p = PointerTwips();
  Window().SetTop(p.y - controlTop - GrabY);
  Window().SetLeft(p.x - controlLeft - GrabX);
  SaveNormalBounds();
}

// --- Corner zones ----------------------------------------------------------------------

// Within the lowest 15 pixels of a side border.
bool Form3::LeftCorner(double y) const {
  return y + kCornerPixels * ctx_.Windows().GetScreen().TwipsPerPixelY() > bgLeft_->Height();
}

bool Form3::RightCorner(double y) const {
  return y + kCornerPixels * ctx_.Windows().GetScreen().TwipsPerPixelY() > bgRight_->Height();
}

// Within 15 pixels of either end of the bottom border; on one narrower than
// 30 pixels the left corner wins.
void Form3::BottomCorners(double x) {
  const double zone = kCornerPixels * ctx_.Windows().GetScreen().TwipsPerPixelX();
  SizeCornerLeft = x - zone < 0;
  SizeCornerRight = !SizeCornerLeft && x + zone > bgBottom_->Width();
}

// --- Resizing --------------------------------------------------------------------------

// The right edge stays where it was.
void Form3::SizeLeftEdge(const TwipsPoint& p) {
  const double width = Window().Left() - (p.x - GrabX) + Window().Width();
  if (width > kMinimumExtent) {
    Window().SetWidth(width);
    Window().SetLeft(p.x - GrabX);
    SaveNormalBounds();
  }
}

void Form3::SizeRightEdge(const TwipsPoint& p) {
  const double width = p.x + GrabX - Window().Left();
  if (width > kMinimumExtent) {
    Window().SetWidth(width);
    SaveNormalBounds();
  }
}

void Form3::SizeBottomEdge(const TwipsPoint& p) {
  const double height = p.y + GrabY - Window().Top();
  if (height > kMinimumExtent) {
    Window().SetHeight(height);
    SaveNormalBounds();
  }
}

// The hover step lets the size cursor follow the pointer; the corner flags of
// a drag stay as its press set them.
void Form3::LeftBorderMove(double y) {
  if (FrameSizable && !DragActive) {
    SizeCornerLeft = LeftCorner(y);
    EnableFrameSizing();
  }
  if (!DragActive) return;
  const TwipsPoint p = PointerTwips();
  SizeLeftEdge(p);
  if (SizeCornerLeft) SizeBottomEdge(p);
}

void Form3::RightBorderMove(double y) {
  if (FrameSizable && !DragActive) {
    SizeCornerRight = RightCorner(y);
    EnableFrameSizing();
  }
  if (!DragActive) return;
  const TwipsPoint p = PointerTwips();
  SizeRightEdge(p);
  if (SizeCornerRight) SizeBottomEdge(p);
}

void Form3::BottomBorderMove(double x) {
  if (FrameSizable && !DragActive) {
    BottomCorners(x);
    EnableFrameSizing();
  }
  if (!DragActive) return;
  const TwipsPoint p = PointerTwips();
  SizeBottomEdge(p);
  if (SizeCornerLeft) SizeLeftEdge(p);
  if (SizeCornerRight) SizeRightEdge(p);  // Left as the left-corner step left it
}

}  // namespace tarnhold
