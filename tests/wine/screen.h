#pragma once
// What the Wine tests see on the screen and do with the pointer: pixels read
// back from the display, PNGs made without GDI+, a plain window of their own
// to lie beneath, and the display's pointer.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wine_support.h"

namespace tarnhold::winetest {

COLORREF ScreenPixel(int x, int y);
COLORREF WindowPixel(HWND hwnd, int x, int y);
bool Near(COLORREF c, int r, int g, int b, int tolerance = 10);
bool Near(COLORREF c, COLORREF want, int tolerance = 10);
int Brightness(COLORREF c);
std::string Rgb(COLORREF c);

// Lets the system deliver what is queued to this thread's windows until the
// condition holds.
bool PumpUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition);

// A PNG of our own making, written without GDI+, so that what GDI+ reads back
// was not shaped by GDI+. `pixel` answers 0xRRGGBBAA for each (x, y).
std::vector<std::uint8_t> MakePng(int width, int height, const std::function<std::uint32_t(int, int)>& pixel);
bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::wstring& path);

// A plain window of the test's own, green, counting the presses it receives;
// a press does not activate it, so it stays beneath what covers it.
class Beneath {
 public:
  Beneath(int x, int y, int w, int h);
  ~Beneath();
  Beneath(const Beneath&) = delete;
  Beneath& operator=(const Beneath&) = delete;
  HWND hwnd() const { return hwnd_; }
  int Presses() const { return presses_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HBRUSH brush_;
  HWND hwnd_ = nullptr;
  int presses_ = 0;
};

// The pointer, in screen pixels. Under ctest it is the X display's own
// (see with_pointer.sh): Wine places SendInput's clicks by window
// rectangles, so one on a layered window's alpha-0 pixel would never reach the
// window beneath, as it does on Windows and with a real pointer. Without that
// helper it falls back to SendInput. Each call returns once the pointer has
// done it.
// What a button's gold glyph at `glyph` showed: with the pointer resting at
// `away` (painted: the glyph is gold), then over it (brightened: its
// picture under the pointer is brighter by more than 30).
struct HoverSeen {
  bool painted = false;
  bool brightened = false;
  COLORREF normal = 0;
  COLORREF hover = 0;
};
HoverSeen WatchHover(POINT glyph, POINT away);

namespace pointer {
bool Click(POINT p);
bool MoveTo(POINT p);
// Presses the left button at `from`, moves in steps to `to`, releases there.
bool Drag(POINT from, POINT to);
// Arrives at `p` and presses at once, holds the button `ms`, releases: a
// hand's press, which starts the moment the pointer is there.
bool Hold(POINT p, int ms);
// A hand's double click: the second press lands 1 pixel right of the first
// and moves 1 pixel more before its release.
bool DoubleClick(POINT p);
// The button kept down across requests; `To` moves in steps with the
// buttons as they are.
bool Down(POINT p);
bool To(POINT p);
bool Up();
// Clicks the n-th icon (0 the first) in the system tray; only with the
// display's pointer, which knows where Wine shows its tray.
bool ClickTrayIcon(int n);
}  // namespace pointer

}  // namespace tarnhold::winetest
