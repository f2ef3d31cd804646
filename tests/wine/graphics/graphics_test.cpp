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
#include <string>
#include <vector>

#include <winternl.h>

#include "graphics_fixtures.h"
#include "platform/win32/win32_gdi.h"
#include "platform/win32/win32_platform.h"
#include "wine_support.h"

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;
using platform::GdiHandle;
using platform::win32::ScreenDC;
using platform::win32::WindowDC;

constexpr int kExStyleIndex = -20;
constexpr std::int32_t kLayered = 0x80000;
constexpr std::uint32_t kPerPixelAlpha = 2;
const std::wstring kFolder = L"C:\\tarnhold-graphics-test";
const std::string kFolderUtf8 = "C:\\tarnhold-graphics-test";

// --- What the tests look with ----------------------------------------------------

// GDI objects of this process. Wine 8 answers GetGuiResources with
// ERROR_CALL_NOT_IMPLEMENTED; there the handle table it keeps where Windows
// keeps it, behind the PEB's GdiSharedHandleTable, is counted instead: one
// 24-byte entry a handle, its type byte 0 when the handle is free.
struct GdiCount {
  DWORD objects = 0;
  const char* source = "";
};

GdiCount GdiObjects() {
  ::SetLastError(0);
  const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0 || ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return {counted, "GetGuiResources"};
  static_assert(sizeof(void*) == 4, "the PEB offset below is the 32-bit one");
  constexpr std::size_t kTableOffset = 0x94;
  constexpr std::size_t kEntrySize = 24;
  constexpr std::size_t kTypeOffset = 14;
  constexpr std::size_t kEntries = 0x10000;
  PROCESS_BASIC_INFORMATION basic{};
  if (::NtQueryInformationProcess(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic,
                                  nullptr) != 0) {
    return {0, "nothing: no process information"};
  }
  const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
  const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + kTableOffset);
  if (table == nullptr) return {0, "nothing: no handle table"};
  DWORD live = 0;
  for (std::size_t i = 0; i < kEntries; ++i) {
    if (table[i * kEntrySize + kTypeOffset] != 0) ++live;
  }
  return {live, "the handle table"};
}

COLORREF ScreenPixel(int x, int y) {
  const ScreenDC dc;
  return ::GetPixel(dc.get(), x, y);
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
  const WindowDC dc(hwnd);
  return ::GetPixel(dc.get(), x, y);
}

bool Near(COLORREF c, int r, int g, int b, int tolerance = 10) {
  return std::abs(GetRValue(c) - r) <= tolerance && std::abs(GetGValue(c) - g) <= tolerance &&
         std::abs(GetBValue(c) - b) <= tolerance;
}

std::string Rgb(COLORREF c) {
  char text[32];
  std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

// Lets the system deliver what is queued until the condition holds.
bool PumpUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition) {
  return WaitUntil(limit, [&] {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
    return condition();
  });
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

// A left click at a point of the screen. Under ctest the pointer of the X
// display clicks (see with_pointer.sh): Wine places SendInput's clicks by
// window rectangles, so one on a layered window's alpha-0 pixel would never
// reach the window beneath, as it does on Windows and with a real pointer.
// True once the click has been made.
bool ClickAt(POINT p) {
  wchar_t dir[MAX_PATH];
  const DWORD n = ::GetEnvironmentVariableW(L"TARNHOLD_POINTER_DIR", dir, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    const std::wstring request = std::wstring(dir) + L"\\click";
    const std::wstring draft = request + L".draft";
    const std::string text = std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
    WriteBytes(draft, std::vector<std::uint8_t>(text.begin(), text.end()));
    // Renamed into place, so that the pointer never reads half a request.
    if (!::MoveFileExW(draft.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    return WaitUntil(10s, [&] { return ::GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; });
  }
  const int w = ::GetSystemMetrics(SM_CXSCREEN);
  const int h = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT input[3]{};
  for (INPUT& i : input) i.type = INPUT_MOUSE;
  input[0].mi.dx = p.x * 65535 / (w - 1);
  input[0].mi.dy = p.y * 65535 / (h - 1);
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return ::SendInput(3, input, sizeof(INPUT)) == 3;
}

// --- What the tests draw -------------------------------------------------------

// A PNG of our own making, written without GDI+, so that what GDI+ reads back
// was not shaped by GDI+. Deflate's stored blocks keep it to a few lines.
class Png {
 public:
  // `pixel` answers 0xRRGGBBAA for each (x, y).
  static std::vector<std::uint8_t> Make(int width, int height,
                                        const std::function<std::uint32_t(int, int)>& pixel) {
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < height; ++y) {
      raw.push_back(0);  // no filter
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = pixel(x, y);
        for (int shift = 24; shift >= 0; shift -= 8) raw.push_back(static_cast<std::uint8_t>(p >> shift));
      }
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    std::size_t at = 0;
    do {
      const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
      z.push_back(at + n == raw.size() ? 1 : 0);  // the last block
      Put16Le(z, static_cast<std::uint16_t>(n));
      Put16Le(z, static_cast<std::uint16_t>(~n));
      z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + n));
      at += n;
    } while (at < raw.size());
    Put32Be(z, Adler32(raw));

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Put32Be(header, static_cast<std::uint32_t>(width));
    Put32Be(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
  }

 private:
  static void Put16Le(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  static void Put32Be(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  static std::uint32_t Adler32(const std::vector<std::uint8_t>& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : data) {
      a = (a + byte) % 65521;
      b = (b + a) % 65521;
    }
    return (b << 16) | a;
  }
  static std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc) {
    for (std::size_t i = 0; i < n; ++i) {
      crc ^= data[i];
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
  }
  static void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
    Put32Be(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Put32Be(png, ~Crc32(png.data() + start, png.size() - start, 0xFFFFFFFFu));
  }
};

constexpr std::uint32_t kOpaqueRed = 0xFF0000FF;
constexpr std::uint32_t kOpaqueGreen = 0x00C000FF;
constexpr std::uint32_t kClear = 0x00000000;

// `left` on the left half, alpha 0 on the right.
std::vector<std::uint8_t> HalfClearPng(int width, int height, std::uint32_t left) {
  return Png::Make(width, height, [&](int x, int) { return x < width / 2 ? left : kClear; });
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  ASSERT_TRUE(ok && written == bytes.size());
}

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  std::uint8_t chunk[4096];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  ::CloseHandle(file);
  return bytes;
}

// --- The window that lies beneath ----------------------------------------------

// A plain window of the test's own, green, counting the presses it receives.
class Beneath {
 public:
  Beneath(int x, int y, int w, int h) : brush_(::CreateSolidBrush(RGB(0, 200, 0))) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = brush_;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"TarnholdGraphicsBeneath";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"beneath", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::UpdateWindow(hwnd_);
  }
  ~Beneath() {
    ::DestroyWindow(hwnd_);
    ::UnregisterClassW(L"TarnholdGraphicsBeneath", ::GetModuleHandleW(nullptr));
    ::DeleteObject(brush_);
  }
  Beneath(const Beneath&) = delete;
  Beneath& operator=(const Beneath&) = delete;
  HWND hwnd() const { return hwnd_; }
  int Presses() const { return presses_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Beneath*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_LBUTTONDOWN && self != nullptr) ++self->presses_;
    // Activated, it would come to the top, over the frame, for the next click.
    if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  HBRUSH brush_;
  HWND hwnd_ = nullptr;
  int presses_ = 0;
};

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
  WriteBytes(kFolder + L"\\frame.png", HalfClearPng(kW, kH, kOpaqueRed));

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

  ASSERT_TRUE(ClickAt(clear));
  EXPECT_TRUE(PumpUntil(5s, [&] { return beneath.Presses() == 1; })) << "a press on a clear pixel";
  ASSERT_TRUE(ClickAt(solid));
  EXPECT_TRUE(PumpUntil(5s, [&] { return events.presses == 1; })) << "a press on an opaque pixel";
  ASSERT_TRUE(ClickAt(clear));
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
  WriteBytes(kFolder + L"\\Bild-\u00E4\u00F6\u00FC-\u65E5\u672C.png", HalfClearPng(6, 4, kOpaqueRed));
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

bool Near(COLORREF c, COLORREF want) { return Near(c, GetRValue(want), GetGValue(want), GetBValue(want)); }

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
  int side;
};

const Art kArt[] = {
    {"close_normal.jpg", fixtures::kCloseNormal, fixtures::kCloseNormalSize, 28},
    {"close_hover.jpg", fixtures::kCloseHover, fixtures::kCloseHoverSize, 28},
    {"minimize_normal.jpg", fixtures::kMinimizeNormal, fixtures::kMinimizeNormalSize, 24},
    {"minimize_hover.jpg", fixtures::kMinimizeHover, fixtures::kMinimizeHoverSize, 24},
};

TEST(Art, TheCompiledInBytesAreTheFilesAndDecodeToTheirSizes) {
  const platform::win32::GdiplusSession session;
  ASSERT_TRUE(session);
  for (const Art& art : kArt) {
    const std::vector<std::uint8_t> file = ReadBytes(ArtFile(art.file));
    ASSERT_FALSE(file.empty()) << art.file;
    ASSERT_EQ(art.size, file.size()) << art.file;
    EXPECT_TRUE(std::equal(file.begin(), file.end(), art.bytes)) << art.file;
    const platform::win32::Picture picture = platform::win32::DecodePicture(art.bytes, art.size);
    ASSERT_TRUE(picture) << art.file;
    EXPECT_EQ(picture.width, art.side) << art.file;
    EXPECT_EQ(picture.height, art.side) << art.file;
    EXPECT_TRUE(picture.opaque) << art.file;
  }
  const std::vector<std::uint8_t> png = HalfClearPng(4, 2, kOpaqueRed);
  EXPECT_FALSE(platform::win32::DecodePicture(png.data(), png.size()).opaque);
  const unsigned char junk[] = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
  EXPECT_FALSE(platform::win32::DecodePicture(junk, sizeof junk));
  EXPECT_FALSE(platform::win32::DecodePicture(png.data(), png.size() / 2)) << "cut short";
}

TEST_F(Graphics, TheButtonArtIsAGoldGlyphOnSlateAndBrighterUnderThePointer) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("Buttons", 120, 40), events);
  int left = 0;
  for (const Art& art : kArt) {
    w->AddControl(Image(art.file, left, 0, art.side, art.side, art.bytes, art.size), nullptr);
    left += 30;
  }
  w->Show(nullptr);
  const HWND hwnd = reinterpret_cast<HWND>(w->Handle());
  ::UpdateWindow(hwnd);
  const auto brightness = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
  left = 0;
  int glyph[4] = {};
  for (std::size_t i = 0; i < std::size(kArt); ++i, left += 30) {
    const int c = kArt[i].side / 2;
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

}  // namespace
}  // namespace tarnhold::winetest
