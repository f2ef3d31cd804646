#pragma once
// What the Linux end-to-end tests see on the X display and do with its
// pointer and keyboard. Pixels are read from the root window, which under
// the session's compositing manager holds the blended picture a user sees;
// input goes through XTest, so the X server delivers it by its own rules
// (stacking, input shapes, focus) exactly as it would a real device's.
//
// One connection to $DISPLAY, opened on first use; not for use from more
// than one thread. Failures to reach the display throw std::runtime_error.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace tarnhold::x11test {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

struct WindowInfo {
  unsigned long id = 0;  // the X window id
  std::string name;      // _NET_WM_NAME, else WM_NAME
  Rect geometry;         // on the root window, without the border
};

// 0xRRGGBB of the screen at (x, y).
std::uint32_t Pixel(int x, int y);
bool Near(std::uint32_t rgb, std::uint32_t want, int tolerance = 8);
std::string Hex(std::uint32_t rgb);  // "#rrggbb"

// A PNG of that part of the screen, for looking at after a failure.
bool CapturePng(const std::string& path, const Rect& area);

// Viewable windows anywhere in the tree whose name matches, top-most first.
std::vector<WindowInfo> FindWindows(const std::regex& name);
std::vector<WindowInfo> FindWindowsNamed(std::string_view exact_name);

// Polls the condition with short naps until it holds or the limit passes;
// returns whether it held. Nothing is pumped: the programs under test are
// other processes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit,
             std::chrono::milliseconds nap = std::chrono::milliseconds(20));

// The pointer and the keyboard. Each returns once the X server has taken the
// events in (not once a client has handled them); false if XTest is missing
// or a name is unknown.
bool MoveTo(int x, int y);
bool Click(int x, int y, unsigned button = 1);
// Presses at `from`, moves in `steps` to `to`, releases there.
bool Drag(int from_x, int from_y, int to_x, int to_y, int steps = 10);
// Printable ASCII and '\n' (as Return); Shift where the keymap needs it.
bool TypeText(std::string_view ascii);
// A keysym name, or modifiers and a key joined by '+': "Return", "Control_L+a".
bool Key(std::string_view keys);

// The top-level window the X server would give a click at (x, y) (which
// honours input shapes): found by moving the pointer there.
std::optional<WindowInfo> WindowUnder(int x, int y);

// What a window manager says of a window: the atoms of its _NET_WM_STATE
// without the prefix ("FULLSCREEN", "MAXIMIZED_HORZ", "HIDDEN"...), and
// whether its WM_STATE is Iconic. The window focused: _NET_ACTIVE_WINDOW.
std::vector<std::string> NetWmState(unsigned long window);
bool Iconic(unsigned long window);
unsigned long ActiveWindow();
// Whether the X server has the pointer at (x, y): under Xwayland, once the
// compositor has sent it there.
bool PointerIsAt(int x, int y);
// Top-level client windows the window manager lists (_NET_CLIENT_LIST),
// shown or not, whose name matches; the geometry of one not shown is its last.
std::vector<WindowInfo> ClientWindows(const std::regex& name);

// Where the server places keyboard input; GTK takes typing only in a
// focused top-level, and there is no window manager to focus one.
bool Focus(unsigned long window);

}  // namespace tarnhold::x11test
