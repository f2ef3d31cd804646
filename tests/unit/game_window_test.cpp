// The game window as a window: its modes and toolbar, its frame moving and
// resizing it, the tray, and the hover pass over the window buttons.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "constants.h"
#include "test_support.h"

namespace tarnhold::testing {
namespace {

using platform::kRightButton;
using platform::MousePointer;
using platform::sim::SimControl;

const std::string kBase = ContentBaseUrl;
const std::string kLauncher = kBase + "/bin/Kestrune.html?serverid=7&username=ab";

// 1280 x 1024 pixels at 15 twips a pixel; the work area leaves 40 pixels for
// the taskbar.
constexpr double kScreenWidth = 1280 * 15;
constexpr double kScreenHeight = 1024 * 15;
constexpr double kWorkHeight = 984 * 15;

struct Bounds {
  double left, top, width, height;
  bool operator==(const Bounds&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Bounds& b) {
  return out << "(" << b.left << ", " << b.top << ", " << b.width << " x " << b.height << ")";
}

struct GameWindow : ::testing::Test {
  Machine m;
  void SetUp() override {
    m.sim.RegisterProgId("ShockwaveFlash.ShockwaveFlash", "WIN 11,9,900,117");
    ASSERT_FALSE(m.Start());
    m.sim.WindowNamed("Form2").BrowserNamed("WebBrowser1").RaiseBeforeNavigate2(kBase + "/entry");
    ASSERT_TRUE(m.sim.WindowNamed("Form3").OnScreen());
    m.sim.SetCursor(0, 600);  // off the toolbar
  }
  Form3& game() { return m.program.form3(); }
  SimControl& c(const std::string& name) { return m.sim.WindowNamed("Form3").ControlNamed(name); }
  Bounds Now() {
    const platform::Window& w = game().Window();
    return {w.Left(), w.Top(), w.Width(), w.Height()};
  }
  Bounds Normal() {
    return {static_cast<double>(game().NormalLeft), static_cast<double>(game().NormalTop),
            static_cast<double>(game().NormalWidth), static_cast<double>(game().NormalHeight)};
  }
  // Normal mode at (3000, 1500), 15000 x 10500 twips, reached by the
  // maximize button and a title drag as a player would.
  void ToNormal() {
    c("Image_max_1").RaiseClick();
    ASSERT_TRUE(game().FrameSizable);
    Press("bg_top", 1500, 150);
    Pointer(300, 110);  // (4500, 1650) twips
    c("bg_top").RaiseMouseMove(0, 0);
    c("bg_top").RaiseMouseUp(0, 0);
    ASSERT_EQ(Now(), (Bounds{3000, 1500, 15000, 10500}));
  }
  void Press(const std::string& control, double x, double y, int button = platform::kLeftButton) {
    c(control).RaiseMouseDown(x, y, button);
  }
  void Pointer(int x, int y) { m.sim.SetCursor(x, y); }
  // A drag step: the pointer moves to (x, y) pixels over the control.
  void DragTo(const std::string& control, int x, int y) {
    Pointer(x, y);
    c(control).RaiseMouseMove(0, 0);
    EXPECT_EQ(Normal(), Now()) << "the normal bounds follow every step";
  }
  void TrayNotification(int mouseMessage) {
    m.sim.WindowNamed("Form3").RaiseMouseMove(0, 0, mouseMessage * 15.0, 0);
  }
  Lines Trace(const std::vector<std::string>& prefixes) const { return m.sim.TraceOf(prefixes); }
};

// --- Layout ----------------------------------------------------------------------------

TEST_F(GameWindow, TheFlashControlFillsTheFrameInEveryModeFullScreenIncluded) {
  game().JumpToGame(kLauncher);
  auto* flash = m.sim.WindowNamed("Form3").ActiveXNamed("flash");
  ASSERT_NE(flash, nullptr);
  c("Image_full_1").RaiseClick();
  ASSERT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kScreenHeight}));
  EXPECT_EQ(flash->Extent("Top"), 420);
  EXPECT_EQ(flash->Extent("Left"), 60);
  EXPECT_EQ(flash->Extent("Height"), kScreenHeight - 420 - 60);
  EXPECT_EQ(flash->Extent("Width"), kScreenWidth - 120);
  EXPECT_EQ(c("Image_Close_1").Left(), kScreenWidth - 330);
  EXPECT_EQ(c("Image_BBS").Left(), kScreenWidth - 4250);
}

TEST_F(GameWindow, ANarrowWindowGivesTheLeftmostButtonsNegativePlacesUnclamped) {
  ToNormal();
  Press("bg_right", 30, 100);
  DragTo("bg_right", 200 + 70, 300);  // 270 px: the window is 270 - 200 + 2 = 72 px wide
  ASSERT_EQ(Now().width, 72 * 15);
  EXPECT_EQ(c("Image_BBS").Left(), 72 * 15 - 4250);
  EXPECT_EQ(c("Image_Close_2").Left(), 72 * 15 - 330);
  EXPECT_EQ(c("bg_left").Height(), c("bg_right").Height());
}

// --- Modes -----------------------------------------------------------------------------

TEST_F(GameWindow, ItOpensMaximizedOnTheWorkAreaAndTheMaximizeButtonTogglesTheRememberedBounds) {
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kWorkHeight}));
  EXPECT_TRUE(game().Maximized);
  EXPECT_FALSE(game().FrameSizable);
  c("Image_max_2").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{0, 0, 15000, 10500})) << "the bounds saved on the first opening";
  EXPECT_FALSE(game().Maximized);
  EXPECT_TRUE(game().FrameSizable);
  EXPECT_EQ(c("bg_left").Pointer(), MousePointer::SizeWE);
  EXPECT_EQ(c("bg_bottom").Pointer(), MousePointer::SizeNS);
  c("Image_max_1").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kWorkHeight}));
  EXPECT_EQ(c("bg_right").Pointer(), MousePointer::Default);
}

TEST_F(GameWindow, AWorkAreaAwayFromTheCornerPlacesTheMaximizedWindowExactlyOnIt) {
  m.sim.SetWorkArea({64, 40, 1280, 1024});  // taskbars at the left and the top
  c("Image_max_1").RaiseClick();
  c("Image_max_1").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{64 * 15, 40 * 15, (1280 - 64) * 15, (1024 - 40) * 15}));
  EXPECT_EQ(Trace({"Window.SetTop", "Window.SetLeft", "Window.SetWidth", "Window.SetHeight"}).back(),
            "Window.SetHeight Form3 14760");
}

TEST_F(GameWindow, FullScreenReturnsToTheModeItWasEnteredFrom) {
  // From maximized.
  c("Image_full_1").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kScreenHeight}));
  EXPECT_TRUE(game().FullScreen);
  EXPECT_TRUE(game().Maximized) << "kept from the mode it came from";
  EXPECT_FALSE(game().FrameSizable);
  EXPECT_TRUE(m.sim.WindowNamed("Form1").Topmost()) << "the login frame is marked, not the game window";
  EXPECT_FALSE(m.sim.WindowNamed("Form3").Topmost());
  c("Image_full_2").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kWorkHeight}));
  EXPECT_FALSE(game().FullScreen);
  EXPECT_TRUE(game().Maximized);

  // From normal.
  ToNormal();
  c("Image_full_1").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kScreenHeight}));
  EXPECT_EQ(Normal(), (Bounds{3000, 1500, 15000, 10500})) << "full screen leaves the normal bounds";
  c("Image_full_1").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{3000, 1500, 15000, 10500}));
  EXPECT_FALSE(game().Maximized);
  EXPECT_TRUE(game().FrameSizable);
}

// The mark outlives the game screen on Windows: the next login screen's frame
// would float over other programs. Each way out of full screen clears it.
TEST_F(GameWindow, LeavingFullScreenByAnyWayClearsTheFramesTopmostMark) {
  c("Image_full_1").RaiseClick();
  c("Image_full_2").RaiseClick();
  c("Image_full_1").RaiseClick();
  c("Image_max_1").RaiseClick();
  c("Image_full_1").RaiseClick();
  c("Image_Close_1").RaiseClick();
  EXPECT_EQ(Trace({"Window.SetTopmost"}),
            Lines({"Window.SetTopmost Form1 true", "Window.SetTopmost Form1 false",
                   "Window.SetTopmost Form1 true", "Window.SetTopmost Form1 false",
                   "Window.SetTopmost Form1 true", "Window.SetTopmost Form1 false"}));
  EXPECT_FALSE(m.sim.WindowNamed("Form1").Topmost());
  EXPECT_TRUE(m.sim.WindowNamed("Form1").OnScreen());
}

TEST_F(GameWindow, TheMaximizeButtonInFullScreenFromNormalMaximizes) {
  ToNormal();
  c("Image_full_1").RaiseClick();
  c("Image_max_1").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kWorkHeight}));
  EXPECT_TRUE(game().Maximized);
  EXPECT_FALSE(game().FullScreen);
  EXPECT_EQ(Normal(), (Bounds{3000, 1500, 15000, 10500})) << "not overwritten by the full-screen bounds";
  c("Image_max_1").RaiseClick();
  EXPECT_EQ(Now(), (Bounds{3000, 1500, 15000, 10500}));
}

TEST_F(GameWindow, TheTrayRecordIsTheShellsAnsiRecordAndComesOffAgainUnchanged) {
  const std::size_t before = m.sim.NotifyCalls().size();  // the deletes of earlier screen switches
  c("Image_min_1").RaiseClick();
  EXPECT_TRUE(game().InTray);
  EXPECT_FALSE(m.sim.WindowNamed("Form3").OnScreen());
  const std::vector<platform::sim::SimPlatform::NotifyCall> calls(
      m.sim.NotifyCalls().begin() + static_cast<std::ptrdiff_t>(before), m.sim.NotifyCalls().end());
  ASSERT_EQ(calls.size(), 1U);
  EXPECT_EQ(calls[0].message, 0);
  const std::vector<std::uint8_t> r = calls[0].record;
  ASSERT_EQ(r.size(), 88U);
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(r[at] | r[at + 1] << 8 | r[at + 2] << 16 | r[at + 3] << 24);
  };
  const platform::Window& w = game().Window();
  EXPECT_EQ(u32(0), 88U);
  EXPECT_EQ(u32(4), w.Handle());
  EXPECT_EQ(u32(8), w.Icon());
  EXPECT_NE(u32(8), 0U) << "the window carries the program's icon";
  EXPECT_EQ(u32(12), 7U);
  EXPECT_EQ(u32(16), 0x200U);
  EXPECT_EQ(u32(20), w.Icon());
  std::string tip(r.begin() + 24, r.end());
  EXPECT_EQ(tip, std::string("Tarnhold") + '\0' + std::string(64 - 9, ' '));

  TrayNotification(514);
  ASSERT_EQ(m.sim.NotifyCalls().size(), before + 2);
  EXPECT_EQ(m.sim.NotifyCalls().back().message, 2);
  EXPECT_EQ(m.sim.NotifyCalls().back().record, r);
}

TEST_F(GameWindow, OnlyALeftButtonReleaseOnTheTrayIconBringsTheWindowBack) {
  c("Image_min_2").RaiseClick();
  const std::size_t added = m.sim.NotifyCalls().size();
  game().ToolbarRefresh = true;
  for (int message : {0x200, 0x201, 0x203, 0x204, 0x205, 0x206}) {
    TrayNotification(message);
    EXPECT_FALSE(m.sim.WindowNamed("Form3").OnScreen()) << std::hex << message;
    EXPECT_TRUE(game().InTray);
    EXPECT_FALSE(game().ToolbarRefresh) << "hover tracking ends with any notification";
  }
  EXPECT_EQ(m.sim.NotifyCalls().size(), added) << "the icon stays";
  TrayNotification(0x202);
  EXPECT_TRUE(m.sim.WindowNamed("Form3").OnScreen());
  EXPECT_FALSE(game().InTray);
  // A plain mouse move over the shown window is no notification.
  m.sim.WindowNamed("Form3").RaiseMouseMove(0, 0, 514 * 15, 0);
  EXPECT_EQ(m.sim.NotifyCalls().size(), added + 1);
}

// A system close, or the session's end, of the hidden window: the next game
// window shows its frame, and mouse moves are no tray notifications.
TEST_F(GameWindow, LeavingTheGameScreenFromTheTrayBringsBackNormalModeAndRemovesTheIcon) {
  c("Image_min_2").RaiseClick();
  const std::size_t added = m.sim.NotifyCalls().size();
  m.sim.WindowNamed("Form3").RaiseCloseRequest();
  ASSERT_TRUE(m.sim.WindowNamed("Form2").OnScreen());
  EXPECT_EQ(m.sim.NotifyCalls().size(), added + 1) << "the icon is removed";
  EXPECT_FALSE(game().InTray);
  m.sim.WindowNamed("Form2").BrowserNamed("WebBrowser1").RaiseBeforeNavigate2(kBase + "/entry");
  ASSERT_TRUE(m.sim.WindowNamed("Form3").OnScreen());
  for (const char* strip : {"bg_top", "bg_left", "bg_bottom", "bg_right"})
    EXPECT_TRUE(c(strip).Visible()) << strip;
  m.sim.WindowNamed("Form3").RaiseMouseMove(0, 0, 514 * 15, 0);
  EXPECT_EQ(m.sim.NotifyCalls().size(), added + 1) << "a move is no notification";
}

TEST_F(GameWindow, InTheTrayTheFlashControlIsOnePixelAndHiddenAndTheLayoutGivesItItsPlaceBack) {
  game().JumpToGame(kLauncher);
  auto* flash = m.sim.WindowNamed("Form3").ActiveXNamed("flash");
  ASSERT_NE(flash, nullptr);
  c("Image_min_1").RaiseClick();
  EXPECT_EQ(flash->Extent("Height"), 1);
  EXPECT_EQ(flash->Extent("Width"), 1);
  EXPECT_FALSE(flash->Visible());
  for (const char* strip : {"bg_top", "bg_left", "bg_bottom", "bg_right"}) EXPECT_FALSE(c(strip).Visible());
  TrayNotification(514);
  EXPECT_TRUE(flash->Visible());
  EXPECT_EQ(flash->Extent("Height"), kWorkHeight - 480);
  EXPECT_EQ(flash->Extent("Width"), kScreenWidth - 120);
  for (const char* strip : {"bg_top", "bg_left", "bg_bottom", "bg_right"}) EXPECT_TRUE(c(strip).Visible());
}

TEST_F(GameWindow, FromTheTrayFullScreenComesBackWhereItsOwnModeSays) {
  // Full screen entered from maximized: back on the work area, still full screen.
  c("Image_full_1").RaiseClick();
  c("Image_min_1").RaiseClick();
  TrayNotification(514);
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kWorkHeight}));
  EXPECT_TRUE(game().FullScreen);

  // Entered from normal: back at the full-screen bounds.
  c("Image_full_1").RaiseClick();  // leaves full screen, to maximized
  ToNormal();
  c("Image_full_1").RaiseClick();
  c("Image_min_1").RaiseClick();
  TrayNotification(514);
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kScreenHeight}));
  EXPECT_TRUE(game().FullScreen);
}

TEST_F(GameWindow, TheLinksAndClearAreHandedToTheShellAndRefreshEntersAgain) {
  m.sim.ClearTrace();
  c("Image_Web").RaiseClick();
  c("Image_BBS").RaiseClick();
  c("Image_Charge").RaiseClick();
  c("Image_Clear").RaiseClick();
  EXPECT_EQ(Trace({"Shell."}),
            (Lines{"Shell.Execute 0 \"\" \"\"", "Shell.Execute 0 \"\" \"\"", "Shell.Execute 0 \"\" \"\"",
                   "Shell.StartProcess 2 RunDll32.exe InetCpl.cpl,ClearMyTracksByProcess 8"}));
  EXPECT_FALSE(c("Image_Web").Visible()) << "hidden on entry, and nothing shows them";
  EXPECT_TRUE(c("Image_Clear").Visible());

  c("Image_fush_2").RaiseClick();
  EXPECT_EQ(Trace({"Browser.Navigate "}).back(), "Browser.Navigate Form3.WebBrowser1 " + kBase + "/entry");
  EXPECT_FALSE(game().JumpDone);
}

TEST_F(GameWindow, TheCloseButtonGoesBackToTheLoginScreen) {
  c("Image_Close_1").RaiseClick();
  EXPECT_FALSE(m.sim.WindowNamed("Form3").OnScreen());
  EXPECT_TRUE(m.sim.WindowNamed("Form1").OnScreen());
}

// --- Moving and resizing by the frame --------------------------------------------------------

TEST_F(GameWindow, TheTitleMovesTheWindowOnlyInNormalModeByAnyButton) {
  const Bounds maximized = Now();
  Press("bg_top", 1500, 150);
  Pointer(300, 110);
  c("bg_top").RaiseMouseMove(0, 0);
  EXPECT_EQ(Now(), maximized) << "no move while maximized";
  EXPECT_FALSE(game().DragActive);

  ToNormal();
  // By the label: its own place is taken off.
  Press("Label1", 30, 15, kRightButton);
  Pointer(500, 400);
  c("Label1").RaiseMouseMove(0, 0);
  EXPECT_EQ(Now(), (Bounds{7500 - 120 - 30, 6000 - 120 - 15, 15000, 10500}));
  EXPECT_EQ(Normal(), Now());
  // Far off the screen: nothing holds it back.
  DragTo("Label1", -400, -200);
  EXPECT_EQ(Now().left, -6000 - 150);
  c("Label1").RaiseMouseUp(0, 0);
  EXPECT_FALSE(game().DragActive);
  DragTo("Label1", 10, 10);
  EXPECT_EQ(Now().left, -6000 - 150) << "no drag after the release";
}

// In the system's order: MouseDown, MouseUp, Click, then the second press
// raises DblClick and no MouseDown, and its release only a MouseUp. The
// hand moves a pixel in between and during the second press.
TEST_F(GameWindow, ADoubleClickOnTheTitleTogglesTheModeAndItsSecondPressStartsNoDrag) {
  ToNormal();
  c("Image_max_1").RaiseClick();
  platform::sim::SimWindow& w = m.sim.WindowNamed("Form3");
  w.PointerDown(400, 10);
  w.PointerUp(400, 10);
  w.PointerMove(401, 10);
  w.PointerDown(401, 10, platform::kLeftButton, true);
  EXPECT_EQ(Now(), (Bounds{3000, 1500, 15000, 10500})) << "restored";
  w.PointerMove(402, 10, platform::kLeftButton);
  w.PointerUp(402, 10);
  EXPECT_EQ(Now(), (Bounds{3000, 1500, 15000, 10500})) << "and not dragged by the second press";
  EXPECT_EQ(Normal(), Now());
  w.PointerDown(400, 10);
  w.PointerUp(400, 10);
  w.PointerDown(400, 10, platform::kLeftButton, true);
  w.PointerUp(400, 10);
  EXPECT_EQ(Now(), (Bounds{0, 0, kScreenWidth, kWorkHeight})) << "maximized from normal mode";
}

// Alt+Tab, or another window taking the capture: the drag ends as a release
// would end it, and the moves after it move nothing.
TEST_F(GameWindow, ALostCaptureEndsATitleDrag) {
  ToNormal();
  platform::sim::SimWindow& w = m.sim.WindowNamed("Form3");
  w.PointerDown(100, 10);
  w.PointerMove(120, 20, platform::kLeftButton);
  const Bounds moved = Now();
  EXPECT_EQ(moved, (Bounds{3300, 1650, 15000, 10500}));
  w.LoseCapture();
  EXPECT_FALSE(game().DragActive);
  w.PointerMove(300, 10);
  EXPECT_EQ(Now(), moved);
}

// A hand's press starts as the pointer arrives; the hover tick swaps the
// button's pictures before the release, and the click still acts.
TEST_F(GameWindow, AToolbarButtonPressedAsThePointerArrivesActsThoughItsHoverPictureShowsMeanwhile) {
  platform::sim::SimWindow& w = m.sim.WindowNamed("Form3");
  SimControl& normal = c("Image_max_1");
  const int x = static_cast<int>((normal.Left() + normal.Width() / 2) / 15);
  const int y = static_cast<int>((normal.Top() + normal.Height() / 2) / 15);
  w.PointerMove(x, y);  // the arrival, as the system delivers it first
  w.PointerDown(x, y);
  w.TickTimers();
  ASSERT_FALSE(normal.Visible()) << "the hover picture shows over the pressed one";
  w.PointerUp(x, y);
  EXPECT_FALSE(game().Maximized);
}

TEST_F(GameWindow, TheLeftBorderKeepsTheRightEdgeAndTheMinimumLeavesWidthAndLeftAlone) {
  ToNormal();
  Press("bg_left", 30, 1000);
  EXPECT_FALSE(game().SizeCornerLeft);
  DragTo("bg_left", 100, 300);
  EXPECT_EQ(Now(), (Bounds{1470, 1500, 18000 - 1470, 10500})) << "the right edge stays at 18000";
  // 1140 px would leave 930 twips: not applied, not clamped.
  DragTo("bg_left", 1140, 300);
  EXPECT_EQ(Now(), (Bounds{1470, 1500, 18000 - 1470, 10500}));
  // Into the corner during the drag: the press was above it, so only the width.
  DragTo("bg_left", 200, 1000);
  EXPECT_EQ(Now().height, 10500);
  c("bg_left").RaiseMouseUp(0, 0);

  // A press in the lowest 15 pixels sizes both; the width step fails on its own.
  Press("bg_left", 30, 10500 - 105);
  EXPECT_TRUE(game().SizeCornerLeft);
  EXPECT_EQ(game().GrabY, 105);
  const Bounds before = Now();
  DragTo("bg_left", 1190, 600);
  EXPECT_EQ(Now().left, before.left);
  EXPECT_EQ(Now().width, before.width);
  EXPECT_EQ(Now().height, 9000 + 105 - 1500);
}

TEST_F(GameWindow, TheRightBorderAndItsCornerAndTheMinimumPerAxis) {
  ToNormal();
  Press("bg_right", 45, 10500 - 30);  // in the corner zone, 15 twips left of the edge
  EXPECT_TRUE(game().SizeCornerRight);
  EXPECT_EQ(game().GrabX, 15);
  DragTo("bg_right", 1000, 800);
  EXPECT_EQ(Now(), (Bounds{3000, 1500, 15000 + 15 - 3000, 12000 + 30 - 1500}));
  DragTo("bg_right", 260, 800);  // 3900 + 15 - 3000 = 915: the width stays, the height goes on
  EXPECT_EQ(Now().width, 12015);
  EXPECT_EQ(Now().height, 10530);
  DragTo("bg_right", 1000, 160);  // 2400 + 30 - 1500 = 930: the height stays
  EXPECT_EQ(Now().width, 12015);
  EXPECT_EQ(Now().height, 10530);
}

TEST_F(GameWindow, TheBottomBorderSizesTheHeightAndTheCornerBesideThePress) {
  ToNormal();
  // Elsewhere: the height only.
  Press("bg_bottom", 7000, 30);
  EXPECT_FALSE(game().SizeCornerLeft);
  EXPECT_FALSE(game().SizeCornerRight);
  DragTo("bg_bottom", 50, 900);
  EXPECT_EQ(Now(), (Bounds{3000, 1500, 15000, 13500 + 30 - 1500}));
  c("bg_bottom").RaiseMouseUp(0, 0);

  // Within 15 pixels of the left end: the left edge too.
  Press("bg_bottom", 105, 30);
  EXPECT_TRUE(game().SizeCornerLeft);
  EXPECT_EQ(game().GrabX, 105);
  DragTo("bg_bottom", 100, 900);
  EXPECT_EQ(Now(), (Bounds{1395, 1500, 3000 - 1395 + 15000, 12030}));
  c("bg_bottom").RaiseMouseUp(0, 0);

  // Within 15 pixels of the right end: the right edge.
  Press("bg_bottom", Now().width - 105, 30);
  EXPECT_TRUE(game().SizeCornerRight);
  EXPECT_FALSE(game().SizeCornerLeft);
  EXPECT_EQ(game().GrabX, 105);
  DragTo("bg_bottom", 1200, 960);
  EXPECT_EQ(Now(), (Bounds{1395, 1500, 18000 + 105 - 1395, 14400 + 30 - 1500}));
}

TEST_F(GameWindow, TheSizeCursorsFollowThePointerAndTheRightCornerRuleComesLast) {
  ToNormal();
  c("bg_left").RaiseMouseMove(30, 10500 - 10);
  EXPECT_EQ(c("bg_left").Pointer(), MousePointer::SizeNESW);
  EXPECT_EQ(c("bg_bottom").Pointer(), MousePointer::SizeNESW);
  EXPECT_EQ(c("bg_right").Pointer(), MousePointer::SizeWE);
  c("bg_right").RaiseMouseMove(30, 10500 - 10);
  EXPECT_EQ(c("bg_left").Pointer(), MousePointer::SizeNESW);
  EXPECT_EQ(c("bg_right").Pointer(), MousePointer::SizeNWSE);
  EXPECT_EQ(c("bg_bottom").Pointer(), MousePointer::SizeNWSE) << "both corners: the right one wins";
  c("bg_left").RaiseMouseMove(30, 5000);
  c("bg_right").RaiseMouseMove(30, 5000);
  EXPECT_EQ(c("bg_bottom").Pointer(), MousePointer::SizeNS);
  // A narrow bottom border: the left corner wins.
  c("bg_bottom").RaiseMouseMove(100, 30);
  EXPECT_TRUE(game().SizeCornerLeft);
  EXPECT_FALSE(game().SizeCornerRight);

  // No hover cursors while maximized.
  c("Image_max_1").RaiseClick();
  c("bg_left").RaiseMouseMove(30, 10);
  EXPECT_EQ(c("bg_left").Pointer(), MousePointer::Default);
}

TEST_F(GameWindow, AModeChangeDoesNotEndARunningDrag) {
  ToNormal();
  Press("bg_top", 1500, 150);
  c("Image_max_1").RaiseClick();
  EXPECT_TRUE(game().DragActive);
  DragTo("bg_top", 300, 110);
  EXPECT_EQ(Now(), (Bounds{3000, 1500, kScreenWidth, kWorkHeight}))
      << "it moves the maximized window; nothing in the frame stops it";
}

// --- The hover pass ---------------------------------------------------------------------------

// The maximized window's buttons, in pixels: close at 1258..1280, maximize at
// 1236..1258, on the 28-pixel title strip.
TEST_F(GameWindow, OnlyTheButtonUnderThePointerShowsItsHoverImage) {
  Pointer(1269, 14);
  c("Image_max_1").RaiseMouseMove(0, 0);  // any window button starts tracking
  m.sim.WindowNamed("Form3").TickTimers();
  EXPECT_TRUE(c("Image_Close_2").Visible());
  EXPECT_FALSE(c("Image_Close_1").Visible());
  for (const char* other : {"Image_max_2", "Image_min_2", "Image_full_2", "Image_fush_2"}) {
    EXPECT_FALSE(c(other).Visible()) << other;
  }
  // Within 5 pixels of the button's left edge: normal, and tracking goes on.
  Pointer(1263, 14);
  m.sim.WindowNamed("Form3").TickTimers();
  EXPECT_TRUE(c("Image_Close_1").Visible());
  EXPECT_FALSE(c("Image_Close_2").Visible());
  EXPECT_TRUE(game().ToolbarRefresh);
  // Within 8 pixels of the strip's top: off the strip; tracking stops.
  Pointer(1269, 8);
  m.sim.WindowNamed("Form3").TickTimers();
  EXPECT_FALSE(game().ToolbarRefresh);
  Pointer(1269, 14);
  c("bg_top").RaiseMouseMove(0, 0);
  m.sim.WindowNamed("Form3").TickTimers();
  EXPECT_TRUE(c("Image_Close_1").Visible()) << "the strip itself does not start tracking";
}

TEST_F(GameWindow, AfterARestoreTheButtonsReflectThePointerAtOnce) {
  // The restored window (15000 twips wide at 0, 0) has its close button at 978..1000 px.
  Pointer(989, 14);
  c("Image_max_1").RaiseClick();
  EXPECT_TRUE(c("Image_Close_2").Visible()) << "without waiting for a tick";
}

TEST_F(GameWindow, InTheTrayTheTicksStopOnceANotificationClearsTracking) {
  Pointer(1269, 14);
  c("Image_min_1").RaiseMouseMove(0, 0);
  c("Image_min_1").RaiseClick();
  m.sim.ClearTrace();
  m.sim.WindowNamed("Form3").TickTimers();
  EXPECT_EQ(Trace({"Window.CursorPos"}).size(), 1U) << "still tracking the hidden window's last place";
  TrayNotification(0x200);
  m.sim.ClearTrace();
  m.sim.WindowNamed("Form3").TickTimers();
  EXPECT_TRUE(Trace({"Window.CursorPos"}).empty());
  EXPECT_FALSE(game().Timer1().Enabled());
}

}  // namespace
}  // namespace tarnhold::testing

namespace tarnhold::testing {
namespace {

// One drag step is one mouse move that resizes the window and lays it out
// again; its cost in the behaviour and the simulator (ASan included).
TEST_F(GameWindow, ADragStepIsCheapInTheBehaviour) {
  game().JumpToGame(kLauncher);  // the Flash control is laid out too
  ToNormal();
  Press("bg_right", 30, 5000);
  constexpr int kSteps = 2000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kSteps; ++i) {
    Pointer(1000 + i % 50, 300);
    c("bg_right").RaiseMouseMove(0, 0);
    m.sim.ClearTrace();  // a drag of hours would not keep its trace
  }
  const double perStep =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / kSteps;
  std::printf("a drag step in the simulator: %.1f us\n", perStep);
  EXPECT_EQ(Now().width, (1000 + (kSteps - 1) % 50) * 15 + 30 - 3000);  // grabbed 30 twips from the edge
}

}  // namespace
}  // namespace tarnhold::testing
