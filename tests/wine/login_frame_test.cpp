// The login screen as the player meets it, through the real client under
// Wine: the layered frame read back from the display, and the display's own
// pointer pressing, dragging and hovering over it.
#include <gtest/gtest.h>

#include <memory>

#include "screen.h"
#include "wine_support.h"

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;

const std::wstring kData = L"C:\\Veltrotarn";
const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";
constexpr int kFrameWidth = 1050;
constexpr int kFrameHeight = 630;
// bg.png: opaque in one colour but for the login page's hole and a clear
// window of its own, left of it, where what lies beneath must show.
constexpr std::uint32_t kFramePixel = 0xB43C28FF;
constexpr COLORREF kFrameColour = RGB(0xB4, 0x3C, 0x28);
constexpr RECT kClearWindow{40, 200, 200, 400};
constexpr POINT kGrip{150, 30};  // an opaque pixel no attached window covers

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

std::vector<std::uint8_t> FramePng() {
  constexpr RECT hole{306, 89, 306 + 620, 89 + 416};
  return MakePng(kFrameWidth, kFrameHeight, [&](int x, int y) {
    return Inside(hole, x, y) || Inside(kClearWindow, x, y) ? 0u : kFramePixel;
  });
}

struct LoginFrame : ::testing::Test {
  std::unique_ptr<Child> client;
  std::vector<TopWindow> windows;
  LoginScreen screen;
  // Where the frame stands when it opens: one pixel right of and below the
  // middle of the screen.
  POINT origin{(::GetSystemMetrics(SM_CXSCREEN) - kFrameWidth) / 2 + 1,
               (::GetSystemMetrics(SM_CYSCREEN) - kFrameHeight) / 2 + 1};

  void SetUp() override {
    // The data folder holds the frame's picture already, so the client
    // draws ours and fetches nothing for it.
    RemoveTree(kData);
    ASSERT_TRUE(::CreateDirectoryW(kData.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(kData + L"\\bg.png", FramePng()));
    ASSERT_TRUE(WriteBytes(kData + L"\\Kestrune.lib", {'F', 'W', 'S'}));
    CopyInto(OwnFolder() + L"\\Veltrotarn.exe", kDownloads, L"Veltrotarn.exe");
  }
  void TearDown() override {
    client.reset();
    RemoveTree(kData);
  }

  void Start() {
    // Off every button, so that no hover picture shows when the windows open.
    ASSERT_TRUE(pointer::MoveTo({5, ::GetSystemMetrics(SM_CYSCREEN) - 5}));
    client = std::make_unique<Child>(kDownloads + L"\\Veltrotarn.exe", L"");
    ASSERT_TRUE(WaitUntil(30s, [&] { return LoginScreenShown(*client); })) << "no login screen within 30 s";
    Look();
    // The display takes the drawn frame in parts; it is whole once its
    // corners and grip show bg.png's colour.
    ASSERT_TRUE(WaitUntil(10s, [&] { return Drawn(); })) << Rgb(ScreenPixel(At(kGrip).x, At(kGrip).y));
  }
  bool Drawn() const {
    for (const POINT p : {kGrip, POINT{2, 2}, POINT{kFrameWidth - 3, 2}, POINT{2, kFrameHeight - 3},
                          POINT{kFrameWidth - 3, kFrameHeight - 3}}) {
      const POINT on = At(p);
      if (!Near(ScreenPixel(on.x, on.y), kFrameColour, 2)) return false;
    }
    return true;
  }
  void Look() {
    windows = client->Windows();
    screen = Classify(windows);
    ASSERT_NE(screen.frame, nullptr);
    ASSERT_NE(screen.close, nullptr);
    ASSERT_NE(screen.small, nullptr);
    ASSERT_NE(screen.page, nullptr);
  }
  // A point of the frame, on the screen, wherever the frame now stands.
  POINT At(POINT inFrame) const {
    return {screen.frame->bounds.left + inFrame.x, screen.frame->bounds.top + inFrame.y};
  }
  static POINT Middle(const TopWindow& w) {
    return {(w.bounds.left + w.bounds.right) / 2, (w.bounds.top + w.bounds.bottom) / 2};
  }
  bool AttachedAtTheirOffsets() const {
    const RECT& f = screen.frame->bounds;
    return screen.page->bounds.left - f.left == 306 && screen.page->bounds.top - f.top == 89 &&
           screen.small->bounds.left - f.left == 883 && screen.small->bounds.top - f.top == 62 &&
           screen.close->bounds.left - f.left == 911 && screen.close->bounds.top - f.top == 59;
  }
};

TEST_F(LoginFrame, StandsCentredInBgPngsColourAndItsClearPixelsShowAndTakeWhatLiesBeneath) {
  // Ours first, so that the client's windows open over it.
  Beneath beneath(origin.x + kClearWindow.left, origin.y + kClearWindow.top, 160, 200);
  Start();
  EXPECT_EQ(screen.frame->bounds.left, origin.x);
  EXPECT_EQ(screen.frame->bounds.top, origin.y);
  EXPECT_EQ(screen.frame->Width(), kFrameWidth);
  EXPECT_EQ(screen.frame->Height(), kFrameHeight);
  const POINT opaque = At({kClearWindow.right + 20, 300});
  EXPECT_EQ(ScreenPixel(opaque.x, opaque.y), kFrameColour) << Rgb(ScreenPixel(opaque.x, opaque.y));
  const POINT clear = At({120, 300});
  EXPECT_TRUE(PumpUntil(5s, [&] { return ScreenPixel(clear.x, clear.y) == RGB(0, 200, 0); }))
      << "the window beneath shows through: " << Rgb(ScreenPixel(clear.x, clear.y));

  ASSERT_TRUE(pointer::Click(clear));
  EXPECT_TRUE(PumpUntil(5s, [&] { return beneath.Presses() == 1; }))
      << "the press went to the window beneath";
  Look();
  EXPECT_EQ(screen.frame->bounds.left, origin.x) << "and did not move the frame";
}

TEST_F(LoginFrame, ADragByAnOpaquePixelMovesTheFrameAndTheAttachedWindowsFollow) {
  Start();
  ASSERT_TRUE(AttachedAtTheirOffsets());
  const POINT from = At(kGrip);
  const POINT to{from.x - 90, from.y + 60};
  ASSERT_TRUE(pointer::Drag(from, to));
  const bool followed = WaitUntil(5s, [&] {
    Look();
    return screen.frame->bounds.left == origin.x - 90 && screen.frame->bounds.top == origin.y + 60 &&
           AttachedAtTheirOffsets();
  });
  EXPECT_TRUE(followed) << "frame at " << screen.frame->bounds.left << "," << screen.frame->bounds.top
                        << " (from " << origin.x << "," << origin.y << "), page at "
                        << screen.page->bounds.left << "," << screen.page->bounds.top << ", close at "
                        << screen.close->bounds.left << "," << screen.close->bounds.top;
  EXPECT_TRUE(WaitUntil(5s, [&] { return Drawn(); })) << "drawn where it now stands";
}

TEST_F(LoginFrame, ThePointerOverTheCloseButtonShowsItsHoverPictureAndLeavingItTheNormalOne) {
  Start();
  const POINT glyph = Middle(*screen.close);
  const HoverSeen seen = WatchHover(glyph, At(kGrip));
  ASSERT_TRUE(seen.painted) << Rgb(seen.normal);
  EXPECT_TRUE(seen.brightened) << "normal " << Rgb(seen.normal) << ", under the pointer " << Rgb(seen.hover);
  const COLORREF normal = seen.normal;
  ASSERT_TRUE(pointer::MoveTo(At(kGrip)));
  EXPECT_TRUE(WaitUntil(5s, [&] { return ScreenPixel(glyph.x, glyph.y) == normal; }))
      << "back to " << Rgb(normal) << ": " << Rgb(ScreenPixel(glyph.x, glyph.y));
}

// Pressed the moment the pointer arrives and held 200 ms, as a hand does.
TEST_F(LoginFrame, TheCloseButtonPressedOnArrivalEndsTheProcess) {
  Start();
  ASSERT_TRUE(pointer::Hold(Middle(*screen.close), 200));
  DWORD code = 1;
  ASSERT_TRUE(client->WaitForExit(10000, code)) << "still running 10 s after the press";
  EXPECT_EQ(code, 0u);
}

// A hand's press: it starts as the pointer arrives, while the hover tick is
// about to swap the button's pictures, and lasts 200 ms. The login screen
// goes down as a whole, and the page's taskbar button brings all four back.
TEST_F(LoginFrame, TheMinimiseButtonPressedOnArrivalTakesTheLoginScreenDownAndTheTaskbarBringsItBack) {
  Start();
  const HWND frame = screen.frame->hwnd;
  const HWND page = screen.page->hwnd;
  const HWND close = screen.close->hwnd;
  const HWND small = screen.small->hwnd;
  ASSERT_TRUE(pointer::Hold(Middle(*screen.small), 200));
  EXPECT_TRUE(WaitUntil(5s,
                        [&] {
                          return ::IsIconic(frame) && ::IsIconic(page) && !::IsWindowVisible(close) &&
                                 !::IsWindowVisible(small);
                        }))
      << "frame iconic " << ::IsIconic(frame) << ", page iconic " << ::IsIconic(page) << ", close shown "
      << ::IsWindowVisible(close) << ", minimise shown " << ::IsWindowVisible(small);

  // What a click on the taskbar button sends.
  ASSERT_TRUE(::PostMessageW(page, WM_SYSCOMMAND, SC_RESTORE, 0));
  const bool back = WaitUntil(5s, [&] {
    if (::IsIconic(frame) || ::IsIconic(page) || !::IsWindowVisible(close) || !::IsWindowVisible(small)) {
      return false;
    }
    windows = client->Windows();
    screen = Classify(windows);
    return screen.frame != nullptr && screen.page != nullptr && screen.close != nullptr &&
           screen.small != nullptr && screen.frame->bounds.left == origin.x &&
           screen.frame->bounds.top == origin.y && AttachedAtTheirOffsets();
  });
  EXPECT_TRUE(back) << "frame iconic " << ::IsIconic(frame) << ", page iconic " << ::IsIconic(page)
                    << ", close shown " << ::IsWindowVisible(close) << ", minimise shown "
                    << ::IsWindowVisible(small);
  DWORD code = 0;
  EXPECT_FALSE(client->WaitForExit(0, code)) << "still running";
}

}  // namespace
}  // namespace tarnhold::winetest
