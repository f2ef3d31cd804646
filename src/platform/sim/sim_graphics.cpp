// The simulated GDI and GDI+: every handle made is tracked, so a test sees
// what was left behind, and the rules the system enforces hold here too.
#include <cstdio>

#include "platform/sim/sim_platform.h"

namespace tarnhold::platform::sim {

namespace {
constexpr int kOk = 0;
constexpr int kInvalidParameter = 2;
constexpr int kFileNotFound = 10;
constexpr GdiHandle kStockBitmap = 0x0185000F;  // what a new memory DC holds

std::string Hex(std::uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
  return text;
}

std::uint32_t BigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return (static_cast<std::uint32_t>(bytes[at]) << 24) | (static_cast<std::uint32_t>(bytes[at + 1]) << 16) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 8) | bytes[at + 3];
}
}  // namespace

std::vector<std::uint8_t> SimPlatform::PngHeader(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (const std::uint32_t value : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  return png;
}

std::string SimPlatform::WindowName(std::uintptr_t handle) const {
  for (const SimWindow* window : windows_) {
    if (window->Handle() == handle) return window->Name();
  }
  return Hex(handle);
}

GdiHandle SimPlatform::CreateCompatibleDC(std::uintptr_t window) {
  Record("Gdi.CreateCompatibleDC", WindowName(window));
  const GdiHandle dc = nextGdiHandle_ += 0x10;
  gdiObjects_[dc] = "dc";
  selected_[dc] = kStockBitmap;
  return dc;
}

GdiHandle SimPlatform::CreateDIBSection(GdiHandle dc, const BitmapHeader& h) {
  Record("Gdi.CreateDIBSection",
         "size=" + std::to_string(h.size) + " " + std::to_string(h.width) + "x" + std::to_string(h.height) +
             " planes=" + std::to_string(h.planes) + " bpp=" + std::to_string(h.bitCount) +
             " compression=" + std::to_string(h.compression) + " image=" + std::to_string(h.imageSize));
  if (!gdiObjects_.contains(dc) || h.width <= 0 || h.height == 0) return 0;
  const GdiHandle bitmap = nextGdiHandle_ += 0x10;
  gdiObjects_[bitmap] = "bitmap";
  return bitmap;
}

GdiHandle SimPlatform::SelectObject(GdiHandle dc, GdiHandle object) {
  Record("Gdi.SelectObject", "");
  const auto it = selected_.find(dc);
  if (it == selected_.end() || (object != kStockBitmap && !gdiObjects_.contains(object))) return 0;
  const GdiHandle previous = it->second;
  it->second = object;
  return previous;
}

// As the system: a bitmap still selected into a DC is not deleted.
bool SimPlatform::DeleteObject(GdiHandle object) {
  Record("Gdi.DeleteObject", "");
  const auto it = gdiObjects_.find(object);
  if (it == gdiObjects_.end() || it->second != "bitmap") return false;
  for (const auto& [dc, bitmap] : selected_) {
    if (bitmap == object) return false;
  }
  gdiObjects_.erase(it);
  return true;
}

bool SimPlatform::DeleteDC(GdiHandle dc) {
  Record("Gdi.DeleteDC", "");
  const auto it = gdiObjects_.find(dc);
  if (it == gdiObjects_.end() || it->second != "dc") return false;
  gdiObjects_.erase(it);
  selected_.erase(dc);
  return true;
}

int SimPlatform::GdipCreateFromHDC(GdiHandle dc, GdiHandle& graphics) {
  Record("Gdiplus.CreateFromHDC", "");
  if (!selected_.contains(dc)) return kInvalidParameter;
  graphics = nextGdiHandle_ += 0x10;
  gdiObjects_[graphics] = "graphics";
  return kOk;
}

// A PNG's size comes from its header; anything else is not an image.
int SimPlatform::GdipLoadImageFromFile(const std::string& path, GdiHandle& image) {
  Record("Gdiplus.LoadImageFromFile", path);
  const auto it = entries_.find(Key(path));
  if (it == entries_.end() || it->second.folder) return kFileNotFound;
  const std::vector<std::uint8_t>& bytes = it->second.bytes;
  if (bytes.size() < 24 || bytes[0] != 0x89 || bytes[1] != 'P') return kInvalidParameter;
  image = nextGdiHandle_ += 0x10;
  gdiObjects_[image] =
      "image " + std::to_string(BigEndian(bytes, 16)) + "x" + std::to_string(BigEndian(bytes, 20));
  return kOk;
}

int SimPlatform::GdipGetImageWidth(GdiHandle image, std::uint32_t& width) {
  Record("Gdiplus.GetImageWidth", "");
  const auto it = gdiObjects_.find(image);
  if (it == gdiObjects_.end() || it->second.rfind("image ", 0) != 0) return kInvalidParameter;
  width = static_cast<std::uint32_t>(std::stoul(it->second.substr(6)));
  return kOk;
}

int SimPlatform::GdipGetImageHeight(GdiHandle image, std::uint32_t& height) {
  Record("Gdiplus.GetImageHeight", "");
  const auto it = gdiObjects_.find(image);
  if (it == gdiObjects_.end() || it->second.rfind("image ", 0) != 0) return kInvalidParameter;
  height = static_cast<std::uint32_t>(std::stoul(it->second.substr(it->second.find('x') + 1)));
  return kOk;
}

int SimPlatform::GdipDrawImageRect(GdiHandle graphics, GdiHandle image, float x, float y, float width,
                                   float height) {
  char text[96];
  std::snprintf(text, sizeof text, "%g %g %g %g", static_cast<double>(x), static_cast<double>(y),
                static_cast<double>(width), static_cast<double>(height));
  Record("Gdiplus.DrawImageRect", text);
  if (!gdiObjects_.contains(graphics) || !gdiObjects_.contains(image)) return kInvalidParameter;
  return kOk;
}

int SimPlatform::GdipDisposeImage(GdiHandle image) {
  Record("Gdiplus.DisposeImage", "");
  return gdiObjects_.erase(image) != 0 ? kOk : kInvalidParameter;
}

int SimPlatform::GdipDeleteGraphics(GdiHandle graphics) {
  Record("Gdiplus.DeleteGraphics", "");
  return gdiObjects_.erase(graphics) != 0 ? kOk : kInvalidParameter;
}

std::int32_t SimPlatform::WindowLong(std::uintptr_t window, int index) {
  Record("User.GetWindowLong", WindowName(window) + " " + std::to_string(index));
  const auto it = windowLongs_.find({window, index});
  return it == windowLongs_.end() ? 0 : it->second;
}

void SimPlatform::SetWindowLongValue(std::uintptr_t window, int index, std::int32_t value) {
  Record("User.SetWindowLong",
         WindowName(window) + " " + std::to_string(index) + " " + Hex(static_cast<std::uint32_t>(value)));
  windowLongs_[{window, index}] = value;
}

bool SimPlatform::UpdateLayered(std::uintptr_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                                std::int32_t height, GdiHandle source, const BlendFunction& blend,
                                std::uint32_t flags) {
  Record("User.UpdateLayeredWindow",
         WindowName(window) + " at " + std::to_string(x) + "," + std::to_string(y) + " size " +
             std::to_string(width) + "x" + std::to_string(height) + " blend " +
             std::to_string(blend.blendOp) + "," + std::to_string(blend.blendFlags) + "," +
             std::to_string(blend.sourceConstantAlpha) + "," + std::to_string(blend.alphaFormat) + " flags " +
             std::to_string(flags));
  return selected_.contains(source);
}

// The window that held the capture loses it, as WM_CAPTURECHANGED tells it.
void SimPlatform::ReleaseMouseCapture() {
  Record("User.ReleaseCapture", "");
  if (captured_ != nullptr) captured_->LoseCapture();
}

// The move loop: the frame follows the pointer until the button is released.
std::intptr_t SimPlatform::SendWindowMessage(std::uintptr_t window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam) {
  Record("User.SendMessage", WindowName(window) + " " + Hex(message) + " " + std::to_string(wParam) + " " +
                                 std::to_string(lParam));
  if (message == 0xA1 && wParam == 2) {
    for (SimWindow* w : windows_) {
      if (w->Handle() != window) continue;
      w->left_ += dragMove_.x;
      w->top_ += dragMove_.y;
    }
  }
  return 0;
}

}  // namespace tarnhold::platform::sim
