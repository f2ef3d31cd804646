// The game window under Wine, reached through a login by the scenario driver
// and handled by the display's own pointer: its modes, its frame, its tray
// icon and its toolbar, watched from outside as the system sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "screen.h"
#include "wine_support.h"

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;

const std::wstring kFixtureFolder = L"C:\\tarnhold-fixture";
const std::wstring kFlashLog = kFixtureFolder + L"\\flash32.log";
const std::wstring kLauncher = L"" TARNHOLD_TEST_CONTENT_BASE_URL "/bin/Kestrune.html?serverid=7&username=ab";
// The toolbar, from the window's right edge: 22 pixels a button.
constexpr int kClose = 1;
constexpr int kMaximize = 2;
constexpr int kFullScreen = 3;
constexpr int kTray = 4;

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Text(const RECT& r) {
  std::ostringstream out;
  out << "(" << r.left << ", " << r.top << ") - (" << r.right << ", " << r.bottom << ")";
  return out.str();
}

std::string Differing(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
  if (a.size() != b.size()) return "all";
  std::size_t n = 0;
  std::string first;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (n++ == 0) first = " (first " + std::to_string(i) + ": " + Rgb(a[i]) + " then " + Rgb(b[i]) + ")";
  }
  return std::to_string(n) + first;
}

RECT WorkArea() {
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

struct GameWindow : ::testing::Test {
  std::unique_ptr<Child> driver;
  HWND game = nullptr;

  // The stand-in Flash control, registered as provisioning would leave it.
  void SetUp() override {
    ASSERT_TRUE(RegisterTestFlash(kFixtureFolder));
    RemoveTree(L"C:\\Veltrotarn");
  }

  void Start(const std::wstring& extra = L"") {
    // Off every button, so that no hover picture shows when the windows open.
    ASSERT_TRUE(pointer::MoveTo({5, ::GetSystemMetrics(SM_CYSCREEN) - 5}));
    driver = std::make_unique<Child>(OwnFolder() + L"\\tarnhold-driver.exe",
                                     kLauncher + (extra.empty() ? L"" : L" " + extra));
    ASSERT_TRUE(WaitUntil(60s, [&] { return CountLines(kFlashLog, "put Movie=") == 1; })) << "no game";
    ASSERT_TRUE(WaitUntil(10s, [&] {
      for (const TopWindow& w : driver->Windows()) {
        if (w.visible && w.title == L"Tarnhold") game = w.hwnd;
      }
      return game != nullptr && !LoginScreenShown(*driver);
    })) << "the game window is not the one shown";
  }
  void TearDown() override {
    if (driver) {
      EXPECT_TRUE(CloseThroughTheFrame(*driver));
    }
  }

  RECT Bounds() const {
    RECT r{};
    ::GetWindowRect(game, &r);
    return r;
  }
  // The login frame, shown or hidden: the one window of the frame's size.
  HWND LoginFrame() const {
    for (const TopWindow& w : driver->Windows()) {
      if (w.title == L"Tarnhold" && w.Width() == 1050 && w.Height() == 630) return w.hwnd;
    }
    return nullptr;
  }
  static bool Topmost(HWND hwnd) {
    return hwnd != nullptr && (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  }
  // The middle of the n-th toolbar button from the right, on the screen.
  POINT Button(int n) const {
    const RECT r = Bounds();
    return {r.right - 22 * n + 11, r.top + 14};
  }
  bool BoundsBecome(const RECT& want) {
    return WaitUntil(5s, [&] { return SameRect(Bounds(), want); });
  }
  // The normal bounds of the first opening: the window's design size.
  RECT Normal(int left = 0, int top = 0, int width = 1000, int height = 700) const {
    return {left, top, left + width, top + height};
  }
  void Restore() {
    ASSERT_TRUE(pointer::Click(Button(kMaximize)));
    ASSERT_TRUE(BoundsBecome(Normal())) << Text(Bounds());
  }
  // The frame's strips as pixels: the title strip left of the toolbar, the
  // side borders and the bottom border.
  std::vector<COLORREF> Strips() const {
    const RECT r = Bounds();
    std::vector<COLORREF> pixels;
    for (int x = r.left + 2; x < r.right - 120; x += 8) {
      pixels.push_back(ScreenPixel(x, r.top + 3));
      pixels.push_back(ScreenPixel(x, r.top + 20));
      pixels.push_back(ScreenPixel(x, r.bottom - 2));
    }
    for (int y = r.top + 40; y < r.bottom - 10; y += 40) {
      pixels.push_back(ScreenPixel(r.left + 1, y));
      pixels.push_back(ScreenPixel(r.right - 2, y));
    }
    return pixels;
  }
  // The toolbar's right end as pixels, to compare before and after a resize.
  std::vector<COLORREF> Toolbar() const {
    const RECT r = Bounds();
    std::vector<COLORREF> pixels;
    for (int y = r.top + 2; y < r.top + 26; y += 3) {
      for (int x = r.right - 110; x < r.right; x += 3) pixels.push_back(ScreenPixel(x, y));
    }
    return pixels;
  }
};

TEST_F(GameWindow, OpensOnTheWorkAreaAndTheMaximizeButtonTogglesTheRememberedBounds) {
  Start();
  EXPECT_TRUE(SameRect(Bounds(), WorkArea())) << Text(Bounds()) << " on " << Text(WorkArea());
  Restore();
  ASSERT_TRUE(pointer::Click(Button(kMaximize)));
  EXPECT_TRUE(BoundsBecome(WorkArea())) << Text(Bounds());
}

TEST_F(GameWindow, ATitleDragMovesItInNormalMode) {
  Start();
  Restore();
  ASSERT_TRUE(pointer::Drag({300, 14}, {420, 104}));
  EXPECT_TRUE(BoundsBecome(Normal(120, 90))) << Text(Bounds());
}

TEST_F(GameWindow, TheRightBorderAndTheBottomRightCornerResizeItAndTheButtonsStayRightAligned) {
  Start();
  Restore();
  std::vector<COLORREF> toolbar;
  ASSERT_TRUE(WaitUntil(5s, [&] {
    toolbar = Toolbar();
    return toolbar == Toolbar();  // painted and still
  }));
  ASSERT_TRUE(pointer::Drag({998, 300}, {898, 300}));
  EXPECT_TRUE(BoundsBecome(Normal(0, 0, 900, 700))) << Text(Bounds());
  EXPECT_TRUE(WaitUntil(5s, [&] { return Toolbar() == toolbar; })) << "the toolbar follows the right edge";

  // The bottom border lies over the right one in the corner.
  ASSERT_TRUE(pointer::Drag({898, 698}, {1018, 758}));
  EXPECT_TRUE(BoundsBecome(Normal(0, 0, 1020, 760))) << Text(Bounds());
  EXPECT_TRUE(WaitUntil(5s, [&] { return Toolbar() == toolbar; }));
  // The maximize button is where the layout put it.
  ASSERT_TRUE(pointer::Click(Button(kMaximize)));
  EXPECT_TRUE(BoundsBecome(WorkArea())) << Text(Bounds());
}

// From normal mode: the display's work area is the whole screen here, so
// from maximized the window would not change.
TEST_F(GameWindow, FullScreenCoversTheScreenAndReturns) {
  Start();
  Restore();
  ASSERT_TRUE(pointer::Drag({300, 14}, {340, 64}));
  ASSERT_TRUE(BoundsBecome(Normal(40, 50))) << Text(Bounds());
  ASSERT_TRUE(pointer::Click(Button(kFullScreen)));
  const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  EXPECT_TRUE(BoundsBecome(screen)) << Text(Bounds());
  ASSERT_TRUE(pointer::Click(Button(kFullScreen)));
  EXPECT_TRUE(BoundsBecome(Normal(40, 50))) << Text(Bounds());
  ASSERT_NE(LoginFrame(), nullptr);
  EXPECT_FALSE(Topmost(LoginFrame())) << "the login frame keeps no topmost mark";

  // Closed from full screen: the login screen's frame does not float over
  // other programs.
  ASSERT_TRUE(pointer::Click(Button(kFullScreen)));
  ASSERT_TRUE(BoundsBecome(screen)) << Text(Bounds());
  std::printf("the login frame's WS_EX_TOPMOST during full screen under Wine: %d\n", Topmost(LoginFrame()));
  std::fflush(stdout);
  ASSERT_TRUE(pointer::Click(Button(kClose)));
  ASSERT_TRUE(WaitUntil(10s, [&] { return LoginScreenShown(*driver); })) << "no login screen";
  ASSERT_NE(LoginFrame(), nullptr);
  EXPECT_FALSE(Topmost(LoginFrame()));
}

TEST_F(GameWindow, MinimizeToTrayHidesItAndAClickOnItsIconBringsItBack) {
  Start();
  const RECT shown = Bounds();
  ASSERT_TRUE(pointer::Click(Button(kTray)));
  ASSERT_TRUE(WaitUntil(5s, [&] { return !::IsWindowVisible(game); })) << "still shown";
  ASSERT_TRUE(pointer::ClickTrayIcon(0));
  EXPECT_TRUE(WaitUntil(5s, [&] { return ::IsWindowVisible(game) != FALSE; })) << "still hidden";
  EXPECT_TRUE(SameRect(Bounds(), shown)) << Text(Bounds());
  // Back on the toolbar: the maximize button works where the layout put it.
  ASSERT_TRUE(pointer::Click(Button(kMaximize)));
  EXPECT_TRUE(BoundsBecome(Normal())) << Text(Bounds());
}

TEST_F(GameWindow, CloseReturnsToTheLoginScreenAndTheFlashControlIsGone) {
  Start();
  ASSERT_TRUE(pointer::Click(Button(kClose)));
  EXPECT_TRUE(WaitUntil(10s, [&] { return LoginScreenShown(*driver); })) << "no login screen";
  EXPECT_FALSE(::IsWindowVisible(game));
  EXPECT_TRUE(
      WaitUntil(10s, [&] { return CountLines(kFlashLog, "destroy ") == CountLines(kFlashLog, "create "); }))
      << CountLines(kFlashLog, "create ") << " made, " << CountLines(kFlashLog, "destroy ") << " destroyed";
}

TEST_F(GameWindow, ThePointerOverAWindowButtonShowsItsHoverImage) {
  Start();
  const POINT close = Button(kClose);
  const HoverSeen seen = WatchHover(close, {close.x - 200, close.y + 300});
  ASSERT_TRUE(seen.painted) << Rgb(seen.normal);
  EXPECT_TRUE(seen.brightened) << "normal " << Rgb(seen.normal) << ", under the pointer " << Rgb(seen.hover);
}

TEST_F(GameWindow, ADragStepLaysOutAndRepaintsWithoutLag) {
  const std::wstring file = kFixtureFolder + L"\\drag.txt";
  Start(L"--time-drag 400 " + file);
  std::string line;
  ASSERT_TRUE(WaitUntil(60s, [&] {
    std::ifstream in(file.c_str());
    return static_cast<bool>(std::getline(in, line));
  })) << "no timing";
  std::printf("drag steps under Wine (resize, layout, repaint): %s\n", line.c_str());
  std::fflush(stdout);
  unsigned median = 0;
  unsigned slowest = 0;
  int steps = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), "median_us=%u max_us=%u steps=%d", &median, &slowest, &steps), 3);
  EXPECT_EQ(steps, 400);
  EXPECT_GT(median, 0u);
  EXPECT_LE(median, slowest);
}

// Pressed the moment the pointer arrives and held 200 ms, as a hand presses:
// the hover tick swaps the button's pictures in between.
TEST_F(GameWindow, ToolbarButtonsPressedOnArrivalAct) {
  Start();
  ASSERT_TRUE(pointer::Hold(Button(kMaximize), 200));
  EXPECT_TRUE(BoundsBecome(Normal())) << Text(Bounds());
  ASSERT_TRUE(pointer::Hold(Button(kMaximize), 200));
  EXPECT_TRUE(BoundsBecome(WorkArea())) << Text(Bounds());
  ASSERT_TRUE(pointer::Hold(Button(kClose), 200));
  EXPECT_TRUE(WaitUntil(10s, [&] { return LoginScreenShown(*driver); })) << "no login screen";
}

// The second press raises a double click and no press of its own: were it a
// press, the title drag would start from the maximized layout's offsets and
// the hand's 1-pixel move would throw the window into the corner.
TEST_F(GameWindow, ADoubleClickOnTheTitleWithAMovingHandRestoresWhereItWas) {
  Start();
  Restore();
  ASSERT_TRUE(pointer::Drag({300, 14}, {420, 104}));
  ASSERT_TRUE(BoundsBecome(Normal(120, 90))) << Text(Bounds());
  ASSERT_TRUE(pointer::Click(Button(kMaximize)));
  ASSERT_TRUE(BoundsBecome(WorkArea())) << Text(Bounds());
  ASSERT_TRUE(pointer::DoubleClick({600, 14}));
  ASSERT_TRUE(BoundsBecome(Normal(120, 90))) << Text(Bounds());
  ASSERT_TRUE(pointer::To({640, 120}));
  EXPECT_TRUE(SameRect(Bounds(), Normal(120, 90))) << Text(Bounds());
}

// The capture taken from a drag (Alt+Tab, the system's cancel) ends it as a
// release would: the moves after it, with no button held, move nothing.
TEST_F(GameWindow, ALostCaptureEndsATitleDrag) {
  Start();
  Restore();
  ASSERT_TRUE(pointer::Down({300, 14}));
  ASSERT_TRUE(pointer::To({340, 44}));
  ASSERT_TRUE(BoundsBecome(Normal(40, 30))) << Text(Bounds());
  ::SendMessageW(game, WM_CANCELMODE, 0, 0);
  // Below the window, where a release no longer reaches it.
  ASSERT_TRUE(pointer::To({340, 900}));
  ASSERT_TRUE(pointer::Up());
  ASSERT_TRUE(pointer::To({500, 50}));
  ASSERT_TRUE(pointer::To({700, 200}));
  EXPECT_TRUE(SameRect(Bounds(), Normal(40, 30))) << Text(Bounds());
  // Still a window that drags as before.
  ASSERT_TRUE(pointer::Drag({300, 44}, {320, 64}));
  EXPECT_TRUE(BoundsBecome(Normal(60, 50))) << Text(Bounds());
}

// A system close of the hidden window (the session's end does the same)
// takes it back to the login screen; the driver logs in again, and the new
// game window has its frame and toolbar as the first one had.
TEST_F(GameWindow, ASystemCloseFromTheTrayLeavesTheNextGameWindowFramed) {
  Start(L"--logins 2");
  std::vector<COLORREF> frame;
  ASSERT_TRUE(WaitUntil(5s, [&] {
    frame = Strips();
    return frame == Strips();  // painted and still
  }));
  ASSERT_TRUE(pointer::Click(Button(kTray)));
  ASSERT_TRUE(WaitUntil(5s, [&] { return !::IsWindowVisible(game); })) << "still shown";
  // Off the toolbar, so that the next window shows no hover picture.
  ASSERT_TRUE(pointer::MoveTo({5, ::GetSystemMetrics(SM_CYSCREEN) - 5}));
  ASSERT_TRUE(::PostMessageW(game, WM_CLOSE, 0, 0));
  ASSERT_TRUE(WaitUntil(30s, [&] { return CountLines(kFlashLog, "put Movie=") == 2; })) << "no second game";
  ASSERT_TRUE(WaitUntil(10s, [&] { return ::IsWindowVisible(game) && !LoginScreenShown(*driver); }));
  std::vector<COLORREF> now;
  EXPECT_TRUE(WaitUntil(5s, [&] { return (now = Strips()) == frame; }))
      << "the frame is back: " << Differing(frame, now) << " of " << frame.size() << " pixels differ, at "
      << Text(Bounds());
  // Moves over it are moves again, and its buttons work.
  ASSERT_TRUE(pointer::Click(Button(kMaximize)));
  EXPECT_TRUE(BoundsBecome(Normal())) << Text(Bounds());
}

// Not part of the suite (scripts/soak.sh runs it): a hundred rounds of
// hand-over, close back to the login screen and login again, each round's
// counts written by the driver. The first rounds still grow what the
// process keeps (a heap arena, a cached handle); from the middle round to
// the last nothing may grow: a leak of one object in fifty rounds shows.
TEST_F(GameWindow, DISABLED_AHundredRoundsBetweenTheScreensLeaveTheCountsFlat) {
  constexpr int kRounds = 100;
  const std::wstring file = kFixtureFolder + L"\\soak.txt";
  ::DeleteFileW(file.c_str());
  Start(L"--soak " + std::to_wstring(kRounds) + L" " + file);
  struct Round {
    unsigned long gdi = 0, user = 0, handles = 0, privateBytes = 0;
  };
  std::vector<Round> rounds;
  ASSERT_TRUE(WaitUntil(3600s,
                        [&] {
                          rounds.clear();
                          std::ifstream in(file.c_str());
                          std::string line;
                          while (std::getline(in, line)) {
                            Round r;
                            int n = 0;
                            if (std::sscanf(line.c_str(), "round=%d gdi=%lu user=%lu handles=%lu private=%lu",
                                            &n, &r.gdi, &r.user, &r.handles, &r.privateBytes) == 5) {
                              rounds.push_back(r);
                            }
                          }
                          return rounds.size() == kRounds;
                        }))
      << rounds.size() << " rounds";
  ASSERT_TRUE(WaitUntil(60s, [&] { return !LoginScreenShown(*driver) && ::IsWindowVisible(game); }));
  const Round& second = rounds[1];
  const Round& middle = rounds[kRounds / 2 - 1];
  const Round& last = rounds.back();
  Round most;
  for (const Round& r : rounds) {
    most.gdi = std::max(most.gdi, r.gdi);
    most.user = std::max(most.user, r.user);
    most.handles = std::max(most.handles, r.handles);
    most.privateBytes = std::max(most.privateBytes, r.privateBytes);
  }
  std::printf(
      "soak, %d rounds: round 1 gdi=%lu user=%lu handles=%lu private=%lu KiB; round 2 gdi=%lu user=%lu "
      "handles=%lu private=%lu KiB; round %d gdi=%lu user=%lu handles=%lu private=%lu KiB; round %d gdi=%lu "
      "user=%lu handles=%lu private=%lu KiB; most gdi=%lu user=%lu handles=%lu private=%lu KiB\n",
      kRounds, rounds[0].gdi, rounds[0].user, rounds[0].handles, rounds[0].privateBytes / 1024, second.gdi,
      second.user, second.handles, second.privateBytes / 1024, kRounds / 2, middle.gdi, middle.user,
      middle.handles, middle.privateBytes / 1024, kRounds, last.gdi, last.user, last.handles,
      last.privateBytes / 1024, most.gdi, most.user, most.handles, most.privateBytes / 1024);
  std::fflush(stdout);
  // A count of 0 is a count that failed: every round holds some of each.
  for (const Round& r : {second, last}) {
    EXPECT_GT(r.gdi, 0u);
    EXPECT_GT(r.user, 0u);
    EXPECT_GT(r.handles, 0u);
    EXPECT_GT(r.privateBytes, 0u);
  }
  // Flat: no object or handle more than the middle round held, and the
  // private bytes within 1 % of it.
  EXPECT_LE(last.gdi, middle.gdi);
  EXPECT_LE(last.user, middle.user);
  EXPECT_LE(last.handles, middle.handles);
  EXPECT_LE(last.privateBytes, middle.privateBytes + middle.privateBytes / 100);
}

}  // namespace
}  // namespace tarnhold::winetest
