// The layered login frame: drawn from bg.png, released at the end, dragged.
#include <gtest/gtest.h>

#include "test_support.h"

namespace tarnhold::testing {
namespace {

const std::string kBg = "C:\\Veltrotarn\\bg.png";

struct Frame : ::testing::Test {
  Machine m;
  Lines Drawing() const { return m.sim.TraceOf({"Gdi.", "Gdiplus.", "User."}); }
};

TEST_F(Frame, IsDrawnFromTheImageIntoAFrameSizedBottomUpBitmapWithPerPixelAlpha) {
  m.sim.AddFile(kBg, SimPlatform::PngHeader(1050, 630));
  m.Start();
  EXPECT_EQ(Drawing(),
            (Lines{"Gdiplus.Startup", "Gdi.CreateCompatibleDC Form1",
                   "Gdi.CreateDIBSection size=40 1050x630 planes=1 bpp=32 compression=0 image=2646000",
                   "Gdi.SelectObject", "Gdiplus.CreateFromHDC", "Gdiplus.LoadImageFromFile " + kBg,
                   "Gdiplus.GetImageWidth", "Gdiplus.GetImageHeight", "Gdiplus.DrawImageRect 0 0 1050 630",
                   "User.GetWindowLong Form1 -20", "User.SetWindowLong Form1 -20 0x80000",
                   "Gdiplus.DisposeImage", "Gdiplus.DeleteGraphics",
                   "User.UpdateLayeredWindow Form1 at 115,197 size 1050x630 blend 0,0,255,1 flags 2"}));
  const Form1& frame = m.program.form1();
  EXPECT_NE(frame.FrameDC, 0U);
  EXPECT_NE(frame.FrameBitmap, 0U);
  EXPECT_NE(frame.PreviousBitmap, 0U);
  EXPECT_EQ(m.sim.LiveGdiObjects(), 2) << "the DC and its bitmap live as long as the window";
}

TEST_F(Frame, AnImageOfAnotherSizeIsDrawnAtItsOwnSize) {
  m.sim.AddFile(kBg, SimPlatform::PngHeader(1200, 500));
  m.Start();
  EXPECT_EQ(m.sim.TraceOf({"Gdiplus.DrawImageRect"}), (Lines{"Gdiplus.DrawImageRect 0 0 1200 500"}));
}

TEST_F(Frame, AnOddRemainderIsRoundedToTheEvenPixelThenTheLoadHandlerCentresPlusOne) {
  m.sim.AddFile(kBg, SimPlatform::PngHeader(1050, 630));
  m.sim.SetScreenPixels(1283, 1027);  // 116.5 and 198.5 pixels
  m.Start();
  const Lines layered = m.sim.TraceOf({"User.UpdateLayeredWindow"});
  ASSERT_EQ(layered.size(), 1U);
  EXPECT_NE(layered[0].find("at 116,198 "), std::string::npos) << layered[0];
  // (19245 - 15750) / 2 + 15 twips is 117.5 pixels: the even neighbour again.
  EXPECT_EQ(m.sim.WindowNamed("Form1").Left(), 118 * 15);
}

TEST_F(Frame, AMissingImageLeavesATransparentFrameAndTheWindowsStillPlaced) {
  m.Start();
  const Lines drawing = Drawing();
  EXPECT_EQ(std::count(drawing.begin(), drawing.end(), "Gdiplus.DrawImageRect 0 0 0 0"), 1);
  EXPECT_EQ(m.sim.TraceOf({"User.UpdateLayeredWindow"}).size(), 1U);
  EXPECT_EQ(m.sim.WindowNamed("Form2").Left(), m.sim.WindowNamed("Form1").Left() + 306 * 15);
  EXPECT_EQ(m.sim.LiveGdiObjects(), 2) << "nothing of the failed load is left behind";
}

TEST_F(Frame, WithoutGdiplusNothingIsDrawn) {
  m.sim.AddFile(kBg, SimPlatform::PngHeader(1050, 630));
  m.sim.SetGdiplusStatus(18);
  m.Start();
  EXPECT_EQ(Drawing(), (Lines{"Gdiplus.Startup"}));
}

TEST_F(Frame, AByteCountThatOverflows32BitsAbandonsTheDrawing) {
  m.sim.SetTwipsPerPixel(0.5, 0.5);  // 31500 x 18900 pixels
  m.Start();
  EXPECT_EQ(Drawing(), (Lines{"Gdiplus.Startup"}));
  EXPECT_TRUE(m.sim.WindowNamed("Form2").OnScreen()) << "the start-up goes on";
}

TEST_F(Frame, TheUnloadHandlerSelectsTheOldBitmapBackThenDeletesBoth) {
  m.sim.AddFile(kBg, SimPlatform::PngHeader(1050, 630));
  m.Start();
  const std::string token = std::to_string(m.program.form1().GdiplusToken);
  m.sim.ClearTrace();
  EXPECT_THROW(m.sim.WindowNamed("Form1").RaiseCloseRequest(), ProgramEnded);
  EXPECT_EQ(Drawing(),
            (Lines{"Gdiplus.Shutdown " + token, "Gdi.SelectObject", "Gdi.DeleteObject", "Gdi.DeleteDC"}));
  EXPECT_EQ(m.sim.LiveGdiObjects(), 0);
}

TEST_F(Frame, TheCloseButtonLeavesTheDrawingToTheSystem) {
  m.sim.AddFile(kBg, SimPlatform::PngHeader(1050, 630));
  m.Start();
  EXPECT_THROW(m.sim.WindowNamed("Close_But").RaiseClick(), ProgramEnded);
  EXPECT_EQ(m.sim.LiveGdiObjects(), 2);
}

TEST_F(Frame, AnyButtonDragsTheFrameAndOneTickFollows) {
  for (const int button : {platform::kLeftButton, platform::kRightButton, platform::kMiddleButton}) {
    Machine machine;
    machine.Start();
    machine.sim.SetDragMove(40, -25);
    auto& frame = machine.sim.WindowNamed("Form1");
    const double left = frame.Left();
    const double top = frame.Top();
    machine.sim.ClearTrace();
    frame.RaiseMouseDown(button, 0, 10, 10);
    const Lines calls = machine.sim.TraceOf({"User.", "Window.SetLeft"});
    ASSERT_GE(calls.size(), 3U);
    EXPECT_EQ(calls[0], "User.ReleaseCapture");
    EXPECT_EQ(calls[1].rfind("User.SendMessage Form1 0xa1 2 0", 0), 0U) << calls[1];
    EXPECT_EQ(frame.Left(), left + 40 * 15);
    EXPECT_EQ(frame.Top(), top - 25 * 15);
    EXPECT_EQ(machine.sim.WindowNamed("Form2").Left(), frame.Left() + 306 * 15) << "placed after the move";
    EXPECT_EQ(machine.sim.WindowNamed("Close_But").Top(), frame.Top() + 59 * 15);
  }
}

}  // namespace
}  // namespace tarnhold::testing
