#include "screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tarnhold::winetest {

using namespace std::chrono_literals;

COLORREF ScreenPixel(int x, int y) {
  HDC dc = ::GetDC(nullptr);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(nullptr, dc);
  return c;
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
  HDC dc = ::GetDC(hwnd);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(hwnd, dc);
  return c;
}

bool Near(COLORREF c, int r, int g, int b, int tolerance) {
  return std::abs(GetRValue(c) - r) <= tolerance && std::abs(GetGValue(c) - g) <= tolerance &&
         std::abs(GetBValue(c) - b) <= tolerance;
}

bool Near(COLORREF c, COLORREF want, int tolerance) {
  return Near(c, GetRValue(want), GetGValue(want), GetBValue(want), tolerance);
}

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

std::string Rgb(COLORREF c) {
  char text[32];
  std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

bool PumpUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition) {
  return WaitUntil(limit, [&] {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
    return condition();
  });
}

// --- PNG -------------------------------------------------------------------------

namespace {
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

}  // namespace

std::vector<std::uint8_t> MakePng(int width, int height,
                                  const std::function<std::uint32_t(int, int)>& pixel) {
  return Png::Make(width, height, pixel);
}

bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == bytes.size();
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

Beneath::Beneath(int x, int y, int w, int h) : brush_(::CreateSolidBrush(RGB(0, 200, 0))) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = brush_;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"TarnholdTestBeneath";
  ::RegisterClassW(&wc);
  hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"beneath", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                            nullptr, wc.hInstance, nullptr);
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::UpdateWindow(hwnd_);
}

Beneath::~Beneath() {
  ::DestroyWindow(hwnd_);
  ::UnregisterClassW(L"TarnholdTestBeneath", ::GetModuleHandleW(nullptr));
  ::DeleteObject(brush_);
}

LRESULT CALLBACK Beneath::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Beneath*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_LBUTTONDOWN && self != nullptr) ++self->presses_;
  // Activated, it would come to the top, over the frame, for the next click.
  if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// --- The pointer -----------------------------------------------------------------

namespace pointer {
namespace {

// Hands one request to the display's pointer (with_pointer.sh) and waits for
// it to be done; false when there is no such pointer or it did not answer.
bool Request(const std::string& text, bool& handled) {
  wchar_t dir[MAX_PATH];
  const DWORD n = ::GetEnvironmentVariableW(L"TARNHOLD_POINTER_DIR", dir, MAX_PATH);
  handled = n > 0 && n < MAX_PATH;
  if (!handled) return false;
  const std::wstring request = std::wstring(dir) + L"\\click";
  const std::wstring draft = request + L".draft";
  if (!WriteBytes(draft, std::vector<std::uint8_t>(text.begin(), text.end()))) return false;
  // Renamed into place, so that the pointer never reads half a request.
  if (!::MoveFileExW(draft.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  return WaitUntil(20s, [&] { return ::GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

std::string At(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

INPUT MoveInput(POINT p) {
  INPUT i{};
  i.type = INPUT_MOUSE;
  i.mi.dx = p.x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
  i.mi.dy = p.y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
  i.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return i;
}

INPUT ButtonInput(DWORD flag) {
  INPUT i{};
  i.type = INPUT_MOUSE;
  i.mi.dwFlags = flag;
  return i;
}

bool Send(std::vector<INPUT> inputs) {
  return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

}  // namespace

bool Click(POINT p) {
  bool handled = false;
  const bool done = Request("click " + At(p) + "\n", handled);
  if (handled) return done;
  return Send({MoveInput(p), ButtonInput(MOUSEEVENTF_LEFTDOWN), ButtonInput(MOUSEEVENTF_LEFTUP)});
}

// These need the display's pointer: SendInput cannot press the moment the
// pointer arrives, nor hold a press across requests as the display does.
bool Hold(POINT p, int ms) {
  bool handled = false;
  return Request("hold " + At(p) + " " + std::to_string(ms) + "\n", handled);
}
bool DoubleClick(POINT p) {
  bool handled = false;
  return Request("dblclick " + At(p) + "\n", handled);
}
bool Down(POINT p) {
  bool handled = false;
  return Request("down " + At(p) + "\n", handled);
}
bool To(POINT p) {
  bool handled = false;
  return Request("to " + At(p) + "\n", handled);
}
bool Up() {
  bool handled = false;
  return Request("up\n", handled);
}

bool MoveTo(POINT p) {
  bool handled = false;
  const bool done = Request("move " + At(p) + "\n", handled);
  if (handled) return done;
  return Send({MoveInput(p)});
}

bool Drag(POINT from, POINT to) {
  bool handled = false;
  const bool done = Request("drag " + At(from) + " " + At(to) + "\n", handled);
  if (handled) return done;
  std::vector<INPUT> inputs{MoveInput(from), ButtonInput(MOUSEEVENTF_LEFTDOWN)};
  constexpr int kSteps = 8;
  for (int i = 1; i <= kSteps; ++i) {
    inputs.push_back(
        MoveInput({from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps}));
  }
  inputs.push_back(ButtonInput(MOUSEEVENTF_LEFTUP));
  return Send(inputs);
}

bool ClickTrayIcon(int n) {
  bool handled = false;
  return Request("tray " + std::to_string(n) + "\n", handled) && handled;
}

}  // namespace pointer
HoverSeen WatchHover(POINT glyph, POINT away) {
  HoverSeen seen;
  if (!pointer::MoveTo(away)) return seen;
  seen.painted = WaitUntil(5s, [&] {
    seen.normal = ScreenPixel(glyph.x, glyph.y);
    return GetRValue(seen.normal) > GetBValue(seen.normal) + 60;
  });
  if (!seen.painted || !pointer::MoveTo(glyph)) return seen;
  seen.brightened = WaitUntil(5s, [&] {
    seen.hover = ScreenPixel(glyph.x, glyph.y);
    return Brightness(seen.hover) > Brightness(seen.normal) + 30;
  });
  return seen;
}

}  // namespace tarnhold::winetest
