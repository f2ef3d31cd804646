// The Graphics seam and the pictures of windowless image controls, through
// the Win32 backend against the real system under Wine: what the login frame
// does with them, read back from the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "graphics_fixtures.h"
#include "platform/win32/win32_gdi.h"
#include "platform/win32/win32_platform.h"
#include "process_counts.h"
#include "screen.h"
#include "wine_support.h"

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;
using platform::GdiHandle;
using platform::win32::WindowDC;

constexpr int kExStyleIndex = -20;
constexpr std::int32_t kLayered = 0x80000;
constexpr std::uint32_t kPerPixelAlpha = 2;
const std::wstring kFolder = L"C:\\tarnhold-graphics-test";
const std::string kFolderUtf8 = "C:\\tarnhold-graphics-test";

// --- What the tests look with ----------------------------------------------------

using counts::GdiCount;
using counts::GdiObjects;

// --- What the tests draw -------------------------------------------------------

constexpr std::uint32_t kOpaqueRed = 0xFF0000FF;
constexpr std::uint32_t kOpaqueGreen = 0x00C000FF;
constexpr std::uint32_t kClear = 0x00000000;

// `left` on the left half, alpha 0 on the right.
std::vector<std::uint8_t> HalfClearPng(int width, int height, std::uint32_t left) {
  return MakePng(width, height, [&](int x, int) { return x < width / 2 ? left : kClear; });
}

struct Recording : platform::WindowEvents {
  int presses = 0;
  void MouseDown(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) override { ++presses; }
};

struct NoEvents : platform::WindowEvents {};

// --- The fixture -----------------------------------------------------------------

struct Graphics : ::testing::Test {
  static platform::win32::Win32Platform& Platform() {
    static auto* platform = new platform::win32::Win32Platform(::GetModuleHandleW(nullptr));
    return *platform;
  }
  platform::Context& ctx = Platform().context();
  platform::Graphics& gdi = ctx.Gdi();
  double tppX = ctx.Windows().GetScreen().TwipsPerPixelX();
  double tppY = ctx.Windows().GetScreen().TwipsPerPixelY();

  void SetUp() override {
    RemoveTree(kFolder);
    ASSERT_TRUE(::CreateDirectoryW(kFolder.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(kFolder); }

  platform::WindowDesign Design(const char* name, int width, int height) const {
    platform::WindowDesign d;
    d.name = name;
    d.clientWidth = width * tppX;
    d.clientHeight = height * tppY;
    return d;
  }
  // Geometry in pixels, for readable tests.
  platform::ControlDesign Image(const char* name, int left, int top, int width, int height,
                                const unsigned char* picture, std::size_t size) const {
    platform::ControlDesign d;
    d.name = name;
    d.kind = platform::ControlKind::Image;
    d.left = left * tppX;
    d.top = top * tppY;
    d.width = width * tppX;
    d.height = height * tppY;
    d.picture = picture;
    d.pictureSize = size;
    return d;
  }
};

// --- The layered frame -------------------------------------------------------------

TEST_F(Graphics, ALayeredWindowShowsItsOpaquePixelsAndLetsPressesThroughTheClearOnes) {
  constexpr int kW = 1050;
  constexpr int kH = 630;
  constexpr int kX = 60;
  constexpr int kY = 50;
  const std::string png = kFolderUtf8 + "\\frame.png";
  ASSERT_TRUE(WriteBytes(kFolder + L"\\frame.png", HalfClearPng(kW, kH, kOpaqueRed)));

  std::uint32_t token = 0;
  ASSERT_EQ(gdi.GdiplusStartup(token), 0);
  Beneath beneath(kX, kY, kW, kH);
  Recording events;
  auto frame = ctx.Windows().NewWindow(Design("Frame", kW, kH), events);
  const std::uintptr_t hwnd = frame->Handle();

  // A window's first GetDC fills the system's cache of window DCs, which
  // stays; that is not the frame's to give back, so it is out of the count.
  { const WindowDC warm(reinterpret_cast<HWND>(hwnd)); }
  const GdiCount before = GdiObjects();
  const GdiHandle dc = gdi.CreateCompatibleDC(hwnd);
  ASSERT_NE(dc, 0u);
  platform::BitmapHeader header;
  header.width = kW;
  header.height = kH;
  header.imageSize = 4u * kW * kH;
  const GdiHandle bitmap = gdi.CreateDIBSection(dc, header);
  ASSERT_NE(bitmap, 0u);
  const GdiHandle previous = gdi.SelectObject(dc, bitmap);
  ASSERT_NE(previous, 0u);
  GdiHandle graphics = 0;
  GdiHandle image = 0;
  ASSERT_EQ(gdi.GdipCreateFromHDC(dc, graphics), 0);
  ASSERT_EQ(gdi.GdipLoadImageFromFile(png, image), 0);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  EXPECT_EQ(gdi.GdipGetImageWidth(image, width), 0);
  EXPECT_EQ(gdi.GdipGetImageHeight(image, height), 0);
  EXPECT_EQ(width, static_cast<std::uint32_t>(kW));
  EXPECT_EQ(height, static_cast<std::uint32_t>(kH));
  EXPECT_EQ(
      gdi.GdipDrawImageRect(graphics, image, 0, 0, static_cast<float>(width), static_cast<float>(height)), 0);
  EXPECT_EQ(gdi.GdipDisposeImage(image), 0);
  EXPECT_EQ(gdi.GdipDeleteGraphics(graphics), 0);

  const std::int32_t style = gdi.WindowLong(hwnd, kExStyleIndex);
  EXPECT_EQ(style & kLayered, 0);
  gdi.SetWindowLongValue(hwnd, kExStyleIndex, style | kLayered);
  EXPECT_EQ(gdi.WindowLong(hwnd, kExStyleIndex), style | kLayered);
  EXPECT_TRUE(
      gdi.UpdateLayered(hwnd, kX, kY, kW, kH, dc, platform::BlendFunction{0, 0, 255, 1}, kPerPixelAlpha));
  const GdiCount drawn = GdiObjects();
  frame->Show(nullptr);

  RECT placed{};
  ::GetWindowRect(reinterpret_cast<HWND>(hwnd), &placed);
  EXPECT_EQ(placed.left, kX);
  EXPECT_EQ(placed.top, kY);
  EXPECT_EQ(placed.right - placed.left, kW);
  const POINT solid{kX + kW / 4, kY + kH / 2};
  const POINT clear{kX + 3 * kW / 4, kY + kH / 2};
  EXPECT_TRUE(PumpUntil(5s, [&] { return ScreenPixel(solid.x, solid.y) == RGB(255, 0, 0); }))
      << Rgb(ScreenPixel(solid.x, solid.y));
  EXPECT_TRUE(PumpUntil(5s, [&] { return ScreenPixel(clear.x, clear.y) == RGB(0, 200, 0); }))
      << "the window beneath shows through: " << Rgb(ScreenPixel(clear.x, clear.y));

  ASSERT_TRUE(pointer::Click(clear));
  EXPECT_TRUE(PumpUntil(5s, [&] { return beneath.Presses() == 1; })) << "a press on a clear pixel";
  ASSERT_TRUE(pointer::Click(solid));
  EXPECT_TRUE(PumpUntil(5s, [&] { return events.presses == 1; })) << "a press on an opaque pixel";
  ASSERT_TRUE(pointer::Click(clear));
  EXPECT_TRUE(PumpUntil(5s, [&] { return beneath.Presses() == 2; })) << "again, after the frame had one";
  EXPECT_EQ(events.presses, 1) << "the frame had none of the clear presses";

  EXPECT_EQ(gdi.SelectObject(dc, previous), bitmap);
  EXPECT_TRUE(gdi.DeleteObject(bitmap));
  EXPECT_TRUE(gdi.DeleteDC(dc));
  const GdiCount released = GdiObjects();
  std::printf("GDI objects (%s): before drawing %lu, after drawing %lu, after the release %lu\n",
              before.source, before.objects, drawn.objects, released.objects);
  EXPECT_EQ(drawn.objects, before.objects + 2) << "the frame's DC and bitmap, and nothing else";
  EXPECT_EQ(released.objects, before.objects);
  frame.reset();
  gdi.GdiplusShutdown(token);
}

TEST_F(Graphics, FailuresAreAnswersNotErrors) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("W", 40, 40), events);
  const GdiHandle dc = gdi.CreateCompatibleDC(w->Handle());
  ASSERT_NE(dc, 0u);
  platform::BitmapHeader header;
  header.width = 8;
  header.height = -8;  // top-down is allowed too
  header.imageSize = 256;
  const GdiHandle bitmap = gdi.CreateDIBSection(dc, header);
  ASSERT_NE(bitmap, 0u);
  const GdiHandle previous = gdi.SelectObject(dc, bitmap);
  const GdiCount selected = GdiObjects();
  EXPECT_EQ(gdi.SelectObject(dc, previous), bitmap);
  EXPECT_TRUE(gdi.DeleteObject(bitmap));
  EXPECT_FALSE(gdi.DeleteObject(bitmap)) << "already gone";
  EXPECT_TRUE(gdi.DeleteDC(dc));
  EXPECT_FALSE(gdi.DeleteDC(dc)) << "already gone";
  EXPECT_EQ(GdiObjects().objects, selected.objects - 2);

  platform::BitmapHeader bad;
  bad.width = 0;
  bad.height = 0;
  EXPECT_EQ(gdi.CreateDIBSection(0, bad), 0u) << "no pixels";
  EXPECT_FALSE(
      gdi.UpdateLayered(w->Handle(), 0, 0, 40, 40, 0, platform::BlendFunction{0, 0, 255, 1}, kPerPixelAlpha))
      << "not a layered window";
}

TEST_F(Graphics, AMissingImageGivesAStatusAndPathsAreUnicode) {
  std::uint32_t token = 0;
  ASSERT_EQ(gdi.GdiplusStartup(token), 0);
  GdiHandle image = 0;
  EXPECT_NE(gdi.GdipLoadImageFromFile(kFolderUtf8 + "\\missing.png", image), 0);
  EXPECT_EQ(image, 0u);
  std::uint32_t width = 7;
  EXPECT_NE(gdi.GdipGetImageWidth(image, width), 0);
  EXPECT_NE(gdi.GdipDisposeImage(image), 0);
  GdiHandle graphics = 0;
  EXPECT_NE(gdi.GdipCreateFromHDC(0, graphics), 0);
  EXPECT_NE(gdi.GdipDrawImageRect(graphics, image, 0, 0, 1, 1), 0);
  EXPECT_NE(gdi.GdipDeleteGraphics(graphics), 0);

  // "Bild-äöü-日本.png": outside every ANSI code page at once.
  const std::string name = "\\Bild-\xC3\xA4\xC3\xB6\xC3\xBC-\xE6\x97\xA5\xE6\x9C\xAC.png";
  ASSERT_TRUE(
      WriteBytes(kFolder + L"\\Bild-\u00E4\u00F6\u00FC-\u65E5\u672C.png", HalfClearPng(6, 4, kOpaqueRed)));
  ASSERT_EQ(gdi.GdipLoadImageFromFile(kFolderUtf8 + name, image), 0);
  std::uint32_t height = 0;
  EXPECT_EQ(gdi.GdipGetImageWidth(image, width), 0);
  EXPECT_EQ(gdi.GdipGetImageHeight(image, height), 0);
  EXPECT_EQ(width, 6u);
  EXPECT_EQ(height, 4u);
  EXPECT_EQ(gdi.GdipDisposeImage(image), 0);
  gdi.GdiplusShutdown(token);
}

// --- Pictures on image controls ------------------------------------------------------

constexpr COLORREF kLeftOfHalves = RGB(200, 30, 40);
constexpr COLORREF kRightOfHalves = RGB(30, 160, 220);

TEST_F(Graphics, AnImageControlPaintsItsPictureStretchedOverItsRectangle) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("Pictures", 160, 80), events);
  // A 16 x 8 JPEG, four times larger.
  w->AddControl(Image("Image1", 10, 20, 64, 32, fixtures::kHalves, fixtures::kHalvesSize), nullptr);
  w->Show(nullptr);
  const HWND hwnd = reinterpret_cast<HWND>(w->Handle());
  ::UpdateWindow(hwnd);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  EXPECT_TRUE(PumpUntil(5s, [&] { return Near(WindowPixel(hwnd, 10 + 8, 20 + 16), kLeftOfHalves); }))
      << Rgb(WindowPixel(hwnd, 18, 36));
  EXPECT_TRUE(Near(WindowPixel(hwnd, 10, 20), kLeftOfHalves)) << "the top-left corner";
  EXPECT_TRUE(Near(WindowPixel(hwnd, 10 + 56, 20 + 16), kRightOfHalves)) << Rgb(WindowPixel(hwnd, 66, 36));
  EXPECT_TRUE(Near(WindowPixel(hwnd, 10 + 63, 20 + 31), kRightOfHalves)) << "the bottom-right corner";
  EXPECT_EQ(WindowPixel(hwnd, 10 + 64, 20 + 16), face) << "just right of it";
  EXPECT_EQ(WindowPixel(hwnd, 10 + 30, 20 + 32), face) << "just below it";
  EXPECT_EQ(WindowPixel(hwnd, 9, 20 + 16), face) << "just left of it";
}

TEST_F(Graphics, ImageControlsPaintInZOrderWhileVisibleAndClearPartsShowWhatLiesBelow) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("Stack", 120, 60), events);
  const std::vector<std::uint8_t> greenHalf = HalfClearPng(8, 8, kOpaqueGreen);
  auto& below =
      w->AddControl(Image("Below", 0, 0, 64, 32, fixtures::kHalves, fixtures::kHalvesSize), nullptr);
  auto& above = w->AddControl(Image("Above", 32, 0, 32, 32, greenHalf.data(), greenHalf.size()), nullptr);
  w->Show(nullptr);
  const HWND hwnd = reinterpret_cast<HWND>(w->Handle());
  ::UpdateWindow(hwnd);
  const COLORREF green = RGB(0, 192, 0);
  EXPECT_TRUE(PumpUntil(5s, [&] { return Near(WindowPixel(hwnd, 40, 16), green); }))
      << "the upper control covers the lower: " << Rgb(WindowPixel(hwnd, 40, 16));
  EXPECT_TRUE(Near(WindowPixel(hwnd, 56, 16), kRightOfHalves))
      << "its clear half shows the lower one: " << Rgb(WindowPixel(hwnd, 56, 16));
  EXPECT_TRUE(Near(WindowPixel(hwnd, 16, 16), kLeftOfHalves));

  above.SetVisible(false);
  EXPECT_TRUE(PumpUntil(5s, [&] { return Near(WindowPixel(hwnd, 40, 16), kRightOfHalves); }))
      << Rgb(WindowPixel(hwnd, 40, 16));
  below.SetVisible(false);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  EXPECT_TRUE(PumpUntil(5s, [&] { return WindowPixel(hwnd, 16, 16) == face; }))
      << Rgb(WindowPixel(hwnd, 16, 16));
  below.SetLeft(70 * tppX);
  below.SetVisible(true);
  EXPECT_TRUE(PumpUntil(5s, [&] { return Near(WindowPixel(hwnd, 70 + 8, 16), kLeftOfHalves); }))
      << "moved: " << Rgb(WindowPixel(hwnd, 78, 16));
  EXPECT_EQ(WindowPixel(hwnd, 16, 16), face) << "and gone from where it was";
}

TEST_F(Graphics, PicturesGoWithTheirWindows) {
  NoEvents events;
  const std::vector<std::uint8_t> greenHalf = HalfClearPng(8, 8, kOpaqueGreen);
  const auto round = [&] {
    auto w = ctx.Windows().NewWindow(Design("Leak", 100, 40), events);
    w->AddControl(Image("A", 0, 0, 28, 28, fixtures::kCloseNormal, fixtures::kCloseNormalSize), nullptr);
    w->AddControl(Image("B", 30, 0, 24, 24, fixtures::kMinimizeHover, fixtures::kMinimizeHoverSize), nullptr);
    w->AddControl(Image("C", 60, 0, 40, 40, greenHalf.data(), greenHalf.size()), nullptr);
    w->Show(nullptr);
    ::UpdateWindow(reinterpret_cast<HWND>(w->Handle()));
  };
  round();  // whatever is made once, on first use, is made here
  const GdiCount before = GdiObjects();
  for (int i = 0; i < 20; ++i) round();
  const GdiCount after = GdiObjects();
  std::printf("GDI objects (%s) around 20 windows with 3 pictures each: %lu, then %lu\n", before.source,
              before.objects, after.objects);
  EXPECT_EQ(after.objects, before.objects);
}

// --- The compiled-in artwork -----------------------------------------------------------

std::wstring ArtFile(const char* name) {
  // Wine's drive Z: is the Unix root.
  std::wstring path = L"Z:";
  for (const char* c = TARNHOLD_ART_DIR; *c != '\0'; ++c)
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  path += L'\\';
  for (const char* c = name; *c != '\0'; ++c) path += static_cast<wchar_t>(*c);
  return path;
}

struct Art {
  const char* file;
  const unsigned char* bytes;
  std::size_t size;
  int width;
  int height;
};

// The login frame's buttons.
const Art kArt[] = {
    {"close_normal.jpg", fixtures::kCloseNormal, fixtures::kCloseNormalSize, 28, 28},
    {"close_hover.jpg", fixtures::kCloseHover, fixtures::kCloseHoverSize, 28, 28},
    {"minimize_normal.jpg", fixtures::kMinimizeNormal, fixtures::kMinimizeNormalSize, 24, 24},
    {"minimize_hover.jpg", fixtures::kMinimizeHover, fixtures::kMinimizeHoverSize, 24, 24},
};

// The game window's frame, stretched along its edges.
const Art kFrameArt[] = {
    {"frame_top.jpg", fixtures::kFrameTop, fixtures::kFrameTopSize, 100, 28},
    {"frame_left.jpg", fixtures::kFrameLeft, fixtures::kFrameLeftSize, 3, 100},
    {"frame_right.jpg", fixtures::kFrameRight, fixtures::kFrameRightSize, 3, 100},
    {"frame_bottom.jpg", fixtures::kFrameBottom, fixtures::kFrameBottomSize, 100, 3},
};

// The game window's title-bar buttons, each at rest then under the pointer.
const Art kGameButtonArt[] = {
    {"game_close_normal.jpg", fixtures::kGameCloseNormal, fixtures::kGameCloseNormalSize, 22, 28},
    {"game_close_hover.jpg", fixtures::kGameCloseHover, fixtures::kGameCloseHoverSize, 22, 28},
    {"game_max_normal.jpg", fixtures::kGameMaxNormal, fixtures::kGameMaxNormalSize, 22, 28},
    {"game_max_hover.jpg", fixtures::kGameMaxHover, fixtures::kGameMaxHoverSize, 22, 28},
    {"game_full_normal.jpg", fixtures::kGameFullNormal, fixtures::kGameFullNormalSize, 22, 28},
    {"game_full_hover.jpg", fixtures::kGameFullHover, fixtures::kGameFullHoverSize, 22, 28},
    {"game_min_normal.jpg", fixtures::kGameMinNormal, fixtures::kGameMinNormalSize, 22, 28},
    {"game_min_hover.jpg", fixtures::kGameMinHover, fixtures::kGameMinHoverSize, 22, 28},
    {"game_refresh_normal.jpg", fixtures::kGameRefreshNormal, fixtures::kGameRefreshNormalSize, 22, 28},
    {"game_refresh_hover.jpg", fixtures::kGameRefreshHover, fixtures::kGameRefreshHoverSize, 22, 28},
};

// The game window's link and tool plaques.
const Art kLinkArt[] = {
    {"link_clear.png", fixtures::kLinkClear, fixtures::kLinkClearSize, 43, 19},
    {"link_charge.png", fixtures::kLinkCharge, fixtures::kLinkChargeSize, 43, 19},
    {"link_web.png", fixtures::kLinkWeb, fixtures::kLinkWebSize, 43, 19},
    {"link_bbs.png", fixtures::kLinkBbs, fixtures::kLinkBbsSize, 43, 19},
};

TEST(Art, TheCompiledInBytesAreTheFilesAndDecodeToTheirSizes) {
  const platform::win32::GdiplusSession session;
  ASSERT_TRUE(session);
  std::size_t checked = 0;
  for (const std::span<const Art> set :
       {std::span<const Art>(kArt), std::span<const Art>(kFrameArt), std::span<const Art>(kGameButtonArt),
        std::span<const Art>(kLinkArt)}) {
    for (const Art& art : set) {
      const std::vector<std::uint8_t> file = ReadBytes(ArtFile(art.file));
      ASSERT_FALSE(file.empty()) << art.file;
      ASSERT_EQ(art.size, file.size()) << art.file;
      EXPECT_TRUE(std::equal(file.begin(), file.end(), art.bytes)) << art.file;
      const platform::win32::Picture picture = platform::win32::DecodePicture(art.bytes, art.size);
      ASSERT_TRUE(picture) << art.file;
      EXPECT_EQ(picture.width, art.width) << art.file;
      EXPECT_EQ(picture.height, art.height) << art.file;
      EXPECT_TRUE(picture.opaque) << art.file;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 22u);
  const std::vector<std::uint8_t> png = HalfClearPng(4, 2, kOpaqueRed);
  EXPECT_FALSE(platform::win32::DecodePicture(png.data(), png.size()).opaque);
  const unsigned char junk[] = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
  EXPECT_FALSE(platform::win32::DecodePicture(junk, sizeof junk));
  EXPECT_FALSE(platform::win32::DecodePicture(png.data(), png.size() / 2)) << "cut short";
}

bool Gold(COLORREF c) { return GetRValue(c) > 180 && GetRValue(c) > GetBValue(c) + 60; }

TEST_F(Graphics, TheButtonArtIsAGoldGlyphOnSlateAndBrighterUnderThePointer) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("Buttons", 120, 40), events);
  int left = 0;
  for (const Art& art : kArt) {
    w->AddControl(Image(art.file, left, 0, art.width, art.height, art.bytes, art.size), nullptr);
    left += 30;
  }
  w->Show(nullptr);
  const HWND hwnd = reinterpret_cast<HWND>(w->Handle());
  ::UpdateWindow(hwnd);
  const auto brightness = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
  left = 0;
  int glyph[4] = {};
  for (std::size_t i = 0; i < std::size(kArt); ++i, left += 30) {
    const int c = kArt[i].width / 2;
    EXPECT_TRUE(PumpUntil(5s, [&] { return Near(WindowPixel(hwnd, left, 0), 0x1d, 0x25, 0x36, 14); }))
        << kArt[i].file << " corner " << Rgb(WindowPixel(hwnd, left, 0));
    // The glyph crosses the middle (the bar sits a little below it).
    const COLORREF middle = WindowPixel(hwnd, left + c, c);
    EXPECT_GT(GetRValue(middle), 180) << kArt[i].file << " " << Rgb(middle);
    EXPECT_GT(GetRValue(middle), GetBValue(middle) + 60) << "gold, not grey: " << Rgb(middle);
    glyph[i] = brightness(middle);
    const COLORREF rim = WindowPixel(hwnd, left + c, 2);
    EXPECT_GT(GetRValue(rim), GetBValue(rim) + 40) << kArt[i].file << " rim " << Rgb(rim);
  }
  EXPECT_GT(glyph[1], glyph[0]) << "close, under the pointer";
  EXPECT_GT(glyph[3], glyph[2]) << "minimise, under the pointer";
}

// Where each title-bar glyph has gold and where it is open, in the button's
// pixels: enough to tell the five apart and to catch one file standing in
// for another.
struct GlyphShape {
  std::vector<POINT> gold;
  std::vector<POINT> open;
};
const GlyphShape kGlyphShapes[] = {
    {{{11, 13}}, {{11, 9}}},          // close: the cross meets in the middle
    {{{6, 13}}, {{11, 13}}},          // maximise: a wall round a hollow
    {{{6, 8}}, {{11, 7}, {11, 13}}},  // full screen: corners, the sides open between them
    {{{11, 17}}, {{11, 13}}},         // to the tray: a low bar, nothing above it
    {{{6, 13}}, {{11, 13}, {6, 8}}},  // refresh: a ring, no corners
};

TEST_F(Graphics, TheGameButtonsSitOnTheTitleStripAndBrightenUnderThePointer) {
  constexpr int kW = 22;
  constexpr int kH = 28;
  constexpr int kButtons = 60;  // where the row of buttons starts on each strip
  constexpr int kHoverTop = 32;
  constexpr int kPairs = static_cast<int>(std::size(kGameButtonArt)) / 2;
  static_assert(std::size(kGlyphShapes) == std::size(kGameButtonArt) / 2);
  constexpr int kWidth = kButtons + kPairs * kW + 10;
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("TitleStrip", kWidth, kHoverTop + kH), events);
  // One strip for the buttons at rest, one for them under the pointer; each
  // stretched from its 100 pixels, as the game window does, with the buttons
  // on top of it.
  const Art& strip = kFrameArt[0];
  for (const int top : {0, kHoverTop}) {
    w->AddControl(Image("Strip", 0, top, kWidth, kH, strip.bytes, strip.size), nullptr);
  }
  for (int i = 0; i < kPairs; ++i) {
    for (const int hover : {0, 1}) {
      const Art& art = kGameButtonArt[2 * i + hover];
      w->AddControl(Image(art.file, kButtons + i * kW, hover * kHoverTop, kW, kH, art.bytes, art.size),
                    nullptr);
    }
  }
  w->Show(nullptr);
  const HWND hwnd = reinterpret_cast<HWND>(w->Handle());
  ::UpdateWindow(hwnd);
  const auto at = [&](int x, int y) { return WindowPixel(hwnd, x, y); };

  // The bare strip: a lighter top edge over a dark slate body, a gold thread
  // along the bottom.
  ASSERT_TRUE(PumpUntil(5s, [&] { return Gold(at(10, 26)); })) << "the gold thread: " << Rgb(at(10, 26));
  const COLORREF body = at(10, 13);
  EXPECT_GT(GetBValue(body), GetRValue(body)) << "slate: " << Rgb(body);
  EXPECT_LT(Brightness(body), 200) << "dark: " << Rgb(body);
  EXPECT_GT(Brightness(at(10, 0)), Brightness(body) + 100) << "the top edge: " << Rgb(at(10, 0));
  EXPECT_LT(Brightness(at(10, 25)), Brightness(body)) << "a groove above the thread: " << Rgb(at(10, 25));
  EXPECT_EQ(at(10, 13), at(kWidth - 1, 13)) << "stretched, the strip does not change along its length";

  for (int i = 0; i < kPairs; ++i) {
    const int left = kButtons + i * kW;
    int brightest[2] = {};
    int centre[2] = {};
    for (const int hover : {0, 1}) {
      const char* file = kGameButtonArt[2 * i + hover].file;
      const int top = hover * kHoverTop;
      // Their outer columns are the strip's, so a row of buttons reads as
      // one with the bar, at rest or lit.
      for (int y = 0; y < kH; ++y) {
        for (const int x : {left, left + kW - 1}) {
          EXPECT_TRUE(Near(at(x, top + y), at(10, top + y), 16))
              << file << " (" << x - left << ", " << y << ") " << Rgb(at(x, top + y)) << ", the strip "
              << Rgb(at(10, top + y));
        }
      }
      const GlyphShape& shape = kGlyphShapes[i];
      for (const POINT p : shape.gold) {
        EXPECT_TRUE(Gold(at(left + p.x, top + p.y)))
            << file << " gold at (" << p.x << ", " << p.y << ") " << Rgb(at(left + p.x, top + p.y));
      }
      for (const POINT p : shape.open) {
        EXPECT_LT(GetRValue(at(left + p.x, top + p.y)), 120)
            << file << " open at (" << p.x << ", " << p.y << ") " << Rgb(at(left + p.x, top + p.y));
      }
      // The glyph's brightest pixel, above the gold thread.
      COLORREF best = 0;
      for (int y = 2; y < 25; ++y) {
        for (int x = 0; x < kW; ++x) {
          if (Brightness(at(left + x, top + y)) > Brightness(best)) best = at(left + x, top + y);
        }
      }
      EXPECT_TRUE(Gold(best)) << file << " brightest " << Rgb(best);
      brightest[hover] = Brightness(best);
      centre[hover] = Brightness(at(left + kW / 2, top + 13));
    }
    const char* file = kGameButtonArt[2 * i + 1].file;
    EXPECT_GT(brightest[1], brightest[0] + 30) << file << ": the glyph lights under the pointer";
    EXPECT_GT(centre[1], centre[0] + 30) << file << ": and so does the middle of the button";
  }
}

}  // namespace
}  // namespace tarnhold::winetest
