#include "login/frame_buttons.h"

#include "art.h"
#include "login/form2.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

FrameButton::FrameButton(Program& program, const char* name, double sizeTwips, Pictures pictures)
    : Form(program, FormDesign(name, sizeTwips, sizeTwips)), sizeTwips_(sizeTwips), pictures_(pictures) {}

void FrameButton::CreateControls() {
  platform::ControlDesign picture;
  picture.kind = platform::ControlKind::Image;
  picture.width = sizeTwips_;
  picture.height = sizeTwips_;
  picture.name = "Image1";
  picture.visible = true;
  picture.picture = pictures_.normal;
  picture.pictureSize = pictures_.normalSize;
  image1_ = &Window().AddControl(picture, this);
  picture.name = "Image2";
  picture.visible = false;
  picture.picture = pictures_.hover;
  picture.pictureSize = pictures_.hoverSize;
  image2_ = &Window().AddControl(picture, this);
  timer1_ = Window().AddTimer(100, true, [this] { Timer1_Timer(); });
}

void FrameButton::Formload() {
  Timer1().SetEnabled(true);
  Image1().SetVisible(true);
  Image2().SetVisible(false);
}

void FrameButton::FormUnload() {
  Timer1().SetEnabled(false);
  Image1().SetVisible(true);
  Image2().SetVisible(false);
}

void FrameButton::Timer1_Timer() {
  const platform::PixelPoint pointer = ctx_.Windows().CursorPos();
  const platform::Screen& screen = ctx_.Windows().GetScreen();
  const double tppX = screen.TwipsPerPixelX();
  const double tppY = screen.TwipsPerPixelY();
  // The runtime raises a division by zero here rather than comparing infinities.
  if (tppX == 0 || tppY == 0) throw platform::Error("division by zero");
  const platform::Window& self = Window();
  const double top = self.Top() / tppY;
  const double bottom = (self.Top() + self.Height()) / tppY;
  const double left = self.Left() / tppX;
  const double right = (self.Left() + self.Width()) / tppX;
  const double x = pointer.x;
  const double y = pointer.y;
  const bool over = top < y && y < bottom && left < x && x < right;
  Image1().SetVisible(!over);
  Image2().SetVisible(over);
}

void FrameButton::Click() { Pressed(); }

// Alt+F4 on a button closes the login screen as closing the frame does.
void FrameButton::CloseRequested() { program_.form1().CloseRequested(); }

Close_But::Close_But(Program& program)
    : FrameButton(program, "Close_But", 420,
                  {art::kCloseNormal, art::kCloseNormalSize, art::kCloseHover, art::kCloseHoverSize}) {}

// No unload handler runs: GDI+ and the frame's resources are left to the
// system, and there is no uninstall check.
void Close_But::Pressed() {
  program_.form1().FormUnload();
  ctx_.Program().End();
}

Small_But::Small_But(Program& program)
    : FrameButton(
          program, "Small_But", 360,
          {art::kMinimizeNormal, art::kMinimizeNormalSize, art::kMinimizeHover, art::kMinimizeHoverSize}) {}

// The frame is owned and has no taskbar button of its own; minimising the
// page as well takes the whole login screen down, and leaves the page's
// button to bring it back.
void Small_But::Pressed() {
  program_.form1().Window().SetState(platform::WindowState::Minimized);
  program_.form2().Window().SetState(platform::WindowState::Minimized);
}

}  // namespace tarnhold
