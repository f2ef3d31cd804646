// The layered login frame: drawn once from bg.png with per-pixel alpha, the
// attached windows glued to it, dragged by any visible pixel.
#include <cstdint>
#include <limits>

#include "login/form2.h"
#include "login/frame_buttons.h"
#include "platform/geometry.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

using platform::ResumeNext;

namespace {
// Offsets in pixels from the frame's top-left corner.
constexpr double kLoginPageX = 306;
constexpr double kLoginPageY = 89;
constexpr double kMinimizeX = 883;
constexpr double kMinimizeY = 62;
constexpr double kCloseX = 911;
constexpr double kCloseY = 59;

constexpr int kExStyleIndex = -20;
constexpr std::int32_t kLayered = 0x80000;
constexpr std::uint32_t kPerPixelAlpha = 2;
constexpr std::uint32_t kNonClientLeftButtonDown = 0xA1;
constexpr std::uintptr_t kCaptionHit = 2;
}  // namespace

// Must run after GDI+ has started and before the window is shown. Its result
// is always 0. No error is skipped here: a failure abandons the procedure.
std::int16_t Form1::DrawFrameImage(const std::string& path) {
  platform::Graphics& gdi = ctx_.Gdi();
  const std::uintptr_t hwnd = Window().Handle();
  const std::int32_t w = platform::RoundHalfEven(Window().ScaleWidth());
  const std::int32_t h = platform::RoundHalfEven(Window().ScaleHeight());
  const std::int64_t bytes = std::int64_t{4} * w * h;
  if (bytes > std::numeric_limits<std::int32_t>::max() || bytes < 0) throw platform::Error("overflow");
  platform::BitmapHeader header;
  header.width = w;
  header.height = h;  // positive: rows stored bottom-up
  header.imageSize = static_cast<std::uint32_t>(bytes);

  FrameDC = gdi.CreateCompatibleDC(hwnd);
  // Its pixels start at 0: fully transparent wherever the image does not reach.
  FrameBitmap = gdi.CreateDIBSection(FrameDC, header);
  PreviousBitmap = gdi.SelectObject(FrameDC, FrameBitmap);

  platform::GdiHandle graphics = 0;
  platform::GdiHandle image = 0;
  std::uint32_t imageWidth = 0;
  std::uint32_t imageHeight = 0;
  gdi.GdipCreateFromHDC(FrameDC, graphics);
  gdi.GdipLoadImageFromFile(path, image);
  gdi.GdipGetImageWidth(image, imageWidth);
  gdi.GdipGetImageHeight(image, imageHeight);
  // At its own size: a larger image is cut off at the right and bottom.
  gdi.GdipDrawImageRect(graphics, image, 0, 0, static_cast<float>(imageWidth),
                        static_cast<float>(imageHeight));

  const std::int32_t style = gdi.WindowLong(hwnd, kExStyleIndex);
  gdi.SetWindowLongValue(hwnd, kExStyleIndex, style | kLayered);

  const platform::Screen& screen = ctx_.Windows().GetScreen();
  const std::int32_t x = platform::RoundHalfEven((screen.Width() / screen.TwipsPerPixelX() - w) / 2);
  const std::int32_t y = platform::RoundHalfEven((screen.Height() / screen.TwipsPerPixelY() - h) / 2);
  FrameBlend = platform::BlendFunction{0, 0, 255, 1};

  gdi.GdipDisposeImage(image);
  gdi.GdipDeleteGraphics(graphics);
  gdi.UpdateLayered(hwnd, x, y, w, h, FrameDC, FrameBlend, kPerPixelAlpha);
  return 0;
}

// Selected back before it is deleted: a bitmap still in a DC cannot go.
void Form1::ReleaseFrame() {
  platform::Graphics& gdi = ctx_.Gdi();
  ResumeNext([&] { gdi.SelectObject(FrameDC, PreviousBitmap); });
  ResumeNext([&] { gdi.DeleteObject(FrameBitmap); });
  ResumeNext([&] { gdi.DeleteDC(FrameDC); });
}

// The system moves the window with the mouse until the button is released;
// then the attached windows take their final places.
void Form1::MouseDown(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {
  platform::Graphics& gdi = ctx_.Gdi();
  gdi.ReleaseMouseCapture();
  // No cursor position is passed: the move starts from where the pointer is.
  gdi.SendWindowMessage(Window().Handle(), kNonClientLeftButtonDown, kCaptionHit, 0);
  Timer1_Timer();
}

void Form1::Timer1_Timer() {
  const platform::Screen& screen = ctx_.Windows().GetScreen();
  const double tppX = screen.TwipsPerPixelX();
  const double tppY = screen.TwipsPerPixelY();
  // Nothing moves the frame between these writes.
  const double left = Window().Left();
  const double top = Window().Top();
  platform::Window& page = program_.form2().Window();
  page.SetLeft(left + kLoginPageX * tppX);
  page.SetTop(top + kLoginPageY * tppY);
  platform::Window& minimize = program_.small_But().Window();
  minimize.SetLeft(left + kMinimizeX * tppX);
  minimize.SetTop(top + kMinimizeY * tppY);
  platform::Window& close = program_.close_But().Window();
  close.SetLeft(left + kCloseX * tppX);
  close.SetTop(top + kCloseY * tppY);
}

}  // namespace tarnhold
