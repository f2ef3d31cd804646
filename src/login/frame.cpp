#include "login/form2.h"
#include "login/frame_buttons.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

namespace {
// Offsets in pixels from the frame's top-left corner.
constexpr double kLoginPageX = 306;
constexpr double kLoginPageY = 89;
constexpr double kMinimizeX = 883;
constexpr double kMinimizeY = 62;
constexpr double kCloseX = 911;
constexpr double kCloseY = 59;
}  // namespace

// Turns the window into the layered frame drawn from the image; arrives with
// the frame drawing. Its result is always 0 and ignored.
std::int16_t Form1::DrawFrameImage(const std::string& /*path*/) { return 0; }

// Gives back what DrawFrameImage took; arrives with it.
void Form1::ReleaseFrame() {}

void Form1::Timer1_Timer() {
  const platform::Screen& screen = ctx_.Windows().GetScreen();
  const double tppX = screen.TwipsPerPixelX();
  const double tppY = screen.TwipsPerPixelY();
  platform::Window& frame = Window();
  platform::Window& page = program_.form2().Window();
  page.SetLeft(frame.Left() + kLoginPageX * tppX);
  page.SetTop(frame.Top() + kLoginPageY * tppY);
  platform::Window& minimize = program_.small_But().Window();
  minimize.SetLeft(frame.Left() + kMinimizeX * tppX);
  minimize.SetTop(frame.Top() + kMinimizeY * tppY);
  platform::Window& close = program_.close_But().Window();
  close.SetLeft(frame.Left() + kCloseX * tppX);
  close.SetTop(frame.Top() + kCloseY * tppY);
}

}  // namespace tarnhold
