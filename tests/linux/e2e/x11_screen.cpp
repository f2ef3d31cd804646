#include "x11_screen.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>

namespace tarnhold::x11test {

namespace {

// A window can vanish between being listed and being asked about; that is a
// normal event for a test that watches other programs, not a reason for
// Xlib's default handler to end the test.
int last_error = 0;
int RecordError(Display*, XErrorEvent* event) {
  last_error = event->error_code;
  return 0;
}

Display* Dpy() {
  static Display* display = [] {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
      const char* name = std::getenv("DISPLAY");
      throw std::runtime_error("cannot open X display " + std::string(name ? name : "(DISPLAY unset)"));
    }
    XSetErrorHandler(RecordError);
    return d;
  }();
  return display;
}

Window Root() { return DefaultRootWindow(Dpy()); }

bool HaveXTest() {
  static const bool have = [] {
    int event = 0, error = 0, major = 0, minor = 0;
    return XTestQueryExtension(Dpy(), &event, &error, &major, &minor) != 0;
  }();
  return have;
}

// Runs the requests and reports whether the server refused one of them.
bool Synced() {
  last_error = 0;
  XSync(Dpy(), False);
  return last_error == 0;
}

struct ImageDeleter {
  void operator()(XImage* image) const { XDestroyImage(image); }
};
using Image = std::unique_ptr<XImage, ImageDeleter>;

Image Grab(const Rect& r) {
  last_error = 0;
  Image image(XGetImage(Dpy(), Root(), r.x, r.y, static_cast<unsigned>(r.width),
                        static_cast<unsigned>(r.height), AllPlanes, ZPixmap));
  XSync(Dpy(), False);
  if (!image || last_error != 0) throw std::runtime_error("XGetImage of the root window failed");
  return image;
}

// One colour channel of a pixel by its visual mask, scaled to 8 bits.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1UL) == 0) ++shift;
  const unsigned long value = (pixel & mask) >> shift;
  const unsigned long max = mask >> shift;
  return static_cast<std::uint32_t>(value * 255UL / max);
}

std::uint32_t Rgb(XImage* image, int x, int y) {
  const unsigned long p = XGetPixel(image, x, y);
  return Channel(p, image->red_mask) << 16 | Channel(p, image->green_mask) << 8 |
         Channel(p, image->blue_mask);
}

Rect ScreenRect() {
  return {0, 0, DisplayWidth(Dpy(), DefaultScreen(Dpy())), DisplayHeight(Dpy(), DefaultScreen(Dpy()))};
}

std::string NameOf(Window w) {
  Display* d = Dpy();
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), 0, 1024, False,
                         XInternAtom(d, "UTF8_STRING", False), &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr && format == 8) {
    name.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  if (name.empty()) {
    char* old = nullptr;
    if (XFetchName(d, w, &old) && old) {
      name = old;
      XFree(old);
    }
  }
  return name;
}

std::optional<Rect> ViewableGeometry(Window w) {
  XWindowAttributes a{};
  last_error = 0;
  if (!XGetWindowAttributes(Dpy(), w, &a) || last_error != 0 || a.map_state != IsViewable)
    return std::nullopt;
  int x = 0, y = 0;
  Window child = None;
  if (!XTranslateCoordinates(Dpy(), w, Root(), 0, 0, &x, &y, &child)) return std::nullopt;
  return Rect{x, y, a.width, a.height};
}

std::vector<Window> Children(Window w) {
  Window root = None, parent = None;
  Window* children = nullptr;
  unsigned count = 0;
  std::vector<Window> out;
  last_error = 0;
  if (XQueryTree(Dpy(), w, &root, &parent, &children, &count) && last_error == 0 && children) {
    out.assign(children, children + count);
  }
  if (children) XFree(children);
  // XQueryTree lists bottom to top.
  std::reverse(out.begin(), out.end());
  return out;
}

void Collect(Window w, const std::function<bool(const std::string&)>& match, std::vector<WindowInfo>& out) {
  for (Window child : Children(w)) {
    const auto geometry = ViewableGeometry(child);
    // An unmapped window's children are not on the screen either.
    if (!geometry) continue;
    const std::string name = NameOf(child);
    if (!name.empty() && match(name)) out.push_back({child, name, *geometry});
    Collect(child, match, out);
  }
}

// A window manager, if one runs, puts the named window in a frame; the
// name a test knows is on a descendant.
std::string NameWithin(Window w) {
  std::string name = NameOf(w);
  if (!name.empty()) return name;
  for (Window child : Children(w)) {
    name = NameWithin(child);
    if (!name.empty()) return name;
  }
  return {};
}

bool Button(unsigned button, bool down) {
  return XTestFakeButtonEvent(Dpy(), button, down ? True : False, CurrentTime) != 0;
}

bool PointerAt(int x, int y) {
  Window root = None, child = None;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  return XQueryPointer(Dpy(), Root(), &root, &child, &rx, &ry, &wx, &wy, &mask) && rx == x && ry == y;
}

// The key and whether Shift is needed to get `sym` from it.
struct Stroke {
  KeyCode code = 0;
  bool shift = false;
};

std::optional<Stroke> StrokeFor(KeySym sym) {
  const KeyCode code = XKeysymToKeycode(Dpy(), sym);
  if (code == 0) return std::nullopt;
  if (XkbKeycodeToKeysym(Dpy(), code, 0, 0) == sym) return Stroke{code, false};
  if (XkbKeycodeToKeysym(Dpy(), code, 0, 1) == sym) return Stroke{code, true};
  return std::nullopt;
}

bool Press(KeyCode code, bool down) {
  return XTestFakeKeyEvent(Dpy(), code, down ? True : False, CurrentTime) != 0;
}

bool Strike(const Stroke& s) {
  static const KeyCode shift = XKeysymToKeycode(Dpy(), XK_Shift_L);
  if (s.shift && (shift == 0 || !Press(shift, true))) return false;
  const bool ok = Press(s.code, true) && Press(s.code, false);
  if (s.shift) Press(shift, false);
  return Synced() && ok;
}

// PNG pieces: length, type, data, CRC over type and data.
void Chunk(std::string& png, const char* type, const std::string& data) {
  const auto put32 = [&png](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<char>((v >> shift) & 0xFF));
  };
  put32(static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  png += body;
  put32(static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace

std::uint32_t Pixel(int x, int y) {
  Image image = Grab({x, y, 1, 1});
  return Rgb(image.get(), 0, 0);
}

bool Near(std::uint32_t rgb, std::uint32_t want, int tolerance) {
  for (int shift : {0, 8, 16}) {
    const int a = static_cast<int>((rgb >> shift) & 0xFF);
    const int b = static_cast<int>((want >> shift) & 0xFF);
    if (std::abs(a - b) > tolerance) return false;
  }
  return true;
}

std::string Hex(std::uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06x", rgb & 0xFFFFFFu);
  return text;
}

bool CapturePng(const std::string& path, const Rect& area) {
  const Rect s = ScreenRect();
  const int x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
  const int x1 = std::min(area.x + area.width, s.width), y1 = std::min(area.y + area.height, s.height);
  if (x1 <= x0 || y1 <= y0) return false;
  const Rect r{x0, y0, x1 - x0, y1 - y0};
  Image image = Grab(r);
  std::string raw;
  raw.reserve(static_cast<std::size_t>(r.height) * (static_cast<std::size_t>(r.width) * 3 + 1));
  for (int y = 0; y < r.height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < r.width; ++x) {
      const std::uint32_t c = Rgb(image.get(), x, y);
      raw.push_back(static_cast<char>(c >> 16));
      raw.push_back(static_cast<char>((c >> 8) & 0xFF));
      raw.push_back(static_cast<char>(c & 0xFF));
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK) {
    return false;
  }
  packed.resize(size);
  std::string header;
  for (const int v : {r.width, r.height}) {
    for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<char>((v >> shift) & 0xFF));
  }
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, deflate, no filter, no interlace
  std::string png("\x89PNG\r\n\x1a\n", 8);
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  std::ofstream out(path, std::ios::binary);
  out.write(png.data(), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out.flush());
}

std::vector<WindowInfo> FindWindows(const std::regex& name) {
  std::vector<WindowInfo> out;
  Collect(
      Root(), [&](const std::string& n) { return std::regex_search(n, name); }, out);
  return out;
}

namespace {

std::vector<unsigned long> Longs(Window w, const char* property, Atom type) {
  Display* d = Dpy();
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> out;
  last_error = 0;
  if (XGetWindowProperty(d, w, XInternAtom(d, property, False), 0, 1024, False, type, &actual, &format,
                         &count, &after, &data) == Success &&
      last_error == 0 && data != nullptr && format == 32) {
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    out.assign(values, values + count);
  }
  if (data) XFree(data);
  return out;
}

}  // namespace

std::vector<std::string> NetWmState(unsigned long window) {
  std::vector<std::string> out;
  for (const unsigned long atom : Longs(window, "_NET_WM_STATE", XA_ATOM)) {
    char* name = XGetAtomName(Dpy(), atom);
    if (name == nullptr) continue;
    std::string text = name;
    XFree(name);
    constexpr std::string_view prefix = "_NET_WM_STATE_";
    out.push_back(text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text);
  }
  return out;
}

bool Iconic(unsigned long window) {
  const auto state = Longs(window, "WM_STATE", XInternAtom(Dpy(), "WM_STATE", False));
  return !state.empty() && state[0] == IconicState;
}

bool PointerIsAt(int x, int y) { return PointerAt(x, y); }

unsigned long ActiveWindow() {
  const auto active = Longs(Root(), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  return active.empty() ? 0 : active[0];
}

std::vector<WindowInfo> ClientWindows(const std::regex& name) {
  std::vector<WindowInfo> out;
  for (const unsigned long w : Longs(Root(), "_NET_CLIENT_LIST", XA_WINDOW)) {
    const std::string n = NameOf(w);
    if (n.empty() || !std::regex_search(n, name)) continue;
    XWindowAttributes a{};
    last_error = 0;
    if (!XGetWindowAttributes(Dpy(), w, &a) || last_error != 0) continue;
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(Dpy(), w, Root(), 0, 0, &x, &y, &child);
    out.push_back({w, n, Rect{x, y, a.width, a.height}});
  }
  return out;
}

std::vector<WindowInfo> FindWindowsNamed(std::string_view exact_name) {
  std::vector<WindowInfo> out;
  Collect(
      Root(), [&](const std::string& n) { return n == exact_name; }, out);
  return out;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit,
             std::chrono::milliseconds nap) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(nap);
  }
}

bool MoveTo(int x, int y) {
  if (!HaveXTest()) return false;
  XTestFakeMotionEvent(Dpy(), -1, x, y, CurrentTime);
  return Synced() && PointerAt(x, y);
}

bool Click(int x, int y, unsigned button) {
  if (!MoveTo(x, y)) return false;
  const bool ok = Button(button, true) && Button(button, false);
  return Synced() && ok;
}

bool Drag(int from_x, int from_y, int to_x, int to_y, int steps) {
  if (!MoveTo(from_x, from_y) || !Button(1, true) || !Synced()) return false;
  bool ok = true;
  steps = std::max(steps, 1);
  for (int i = 1; i <= steps && ok; ++i) {
    ok = MoveTo(from_x + (to_x - from_x) * i / steps, from_y + (to_y - from_y) * i / steps);
  }
  // Released even after a failed move, so that no button stays held for
  // the next test.
  Button(1, false);
  return Synced() && ok;
}

bool TypeText(std::string_view ascii) {
  if (!HaveXTest()) return false;
  for (const char c : ascii) {
    KeySym sym = NoSymbol;
    if (c == '\n') {
      sym = XK_Return;
    } else if (c == '\t') {
      sym = XK_Tab;
    } else if (c >= 0x20 && c < 0x7F) {
      sym = static_cast<KeySym>(c);  // Latin-1 keysyms are the ASCII codes
    }
    const auto stroke = sym == NoSymbol ? std::nullopt : StrokeFor(sym);
    if (!stroke || !Strike(*stroke)) return false;
  }
  return true;
}

bool Key(std::string_view keys) {
  if (!HaveXTest() || keys.empty()) return false;
  std::vector<KeyCode> held;
  std::optional<Stroke> last;
  std::size_t start = 0;
  for (;;) {
    std::size_t plus = keys.find('+', start);
    // "+" alone or at the end is the key itself.
    if (plus == start) plus = keys.find('+', start + 1);
    const std::string name(
        keys.substr(start, plus == std::string_view::npos ? std::string_view::npos : plus - start));
    const KeySym sym = XStringToKeysym(name.c_str());
    const auto stroke = sym == NoSymbol ? std::nullopt : StrokeFor(sym);
    if (!stroke) return false;
    if (plus == std::string_view::npos) {
      last = stroke;
      break;
    }
    held.push_back(stroke->code);
    start = plus + 1;
  }
  bool ok = true;
  for (KeyCode code : held) ok = Press(code, true) && ok;
  ok = Strike(*last) && ok;
  for (auto it = held.rbegin(); it != held.rend(); ++it) ok = Press(*it, false) && ok;
  return Synced() && ok;
}

std::optional<WindowInfo> WindowUnder(int x, int y) {
  if (!MoveTo(x, y)) return std::nullopt;
  Window root = None, child = None;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (!XQueryPointer(Dpy(), Root(), &root, &child, &rx, &ry, &wx, &wy, &mask) || child == None) {
    return std::nullopt;
  }
  const auto geometry = ViewableGeometry(child);
  if (!geometry) return std::nullopt;
  return WindowInfo{child, NameWithin(child), *geometry};
}

bool Focus(unsigned long window) {
  XSetInputFocus(Dpy(), window, RevertToPointerRoot, CurrentTime);
  return Synced();
}

}  // namespace tarnhold::x11test
