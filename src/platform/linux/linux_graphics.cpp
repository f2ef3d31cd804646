#include "platform/linux/linux_graphics.h"

#include <cstdlib>
#include <utility>

#include "platform/linux/linux_paths.h"
#include "platform/linux/linux_windows.h"

namespace tarnhold::platform::linux_backend {

namespace {

// GDI+'s status values.
constexpr int kOk = 0;
constexpr int kInvalidParameter = 2;
constexpr int kFileNotFound = 10;

// WM_NCLBUTTONDOWN on the caption: the runtime's way to start a window move.
constexpr std::uint32_t kNonClientLeftButtonDown = 0xA1;
constexpr std::uintptr_t kCaptionHit = 2;

}  // namespace

LinuxGraphics::~LinuxGraphics() {
  for (auto& [handle, surface] : bitmaps_) cairo_surface_destroy(surface);
}

int LinuxGraphics::GdiplusStartup(std::uint32_t& token) {
  token = nextToken_++;
  tokens_.insert(token);
  return kOk;
}

void LinuxGraphics::GdiplusShutdown(std::uint32_t token) { tokens_.erase(token); }

GdiHandle LinuxGraphics::CreateCompatibleDC(std::uintptr_t) {
  const GdiHandle dc = Next();
  dcs_[dc] = stockBitmap_;
  return dc;
}

GdiHandle LinuxGraphics::CreateDIBSection(GdiHandle dc, const BitmapHeader& header) {
  if (!dcs_.contains(dc) || header.bitCount != 32 || header.width <= 0 || header.height == 0) return 0;
  const int height = std::abs(header.height);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, header.width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return 0;
  }
  const GdiHandle bitmap = Next();
  bitmaps_[bitmap] = surface;
  return bitmap;
}

GdiHandle LinuxGraphics::SelectObject(GdiHandle dc, GdiHandle object) {
  const auto it = dcs_.find(dc);
  if (it == dcs_.end() || (object != stockBitmap_ && !bitmaps_.contains(object))) return 0;
  return std::exchange(it->second, object);
}

// A bitmap still selected into a DC cannot be deleted, as in GDI.
bool LinuxGraphics::DeleteObject(GdiHandle object) {
  const auto it = bitmaps_.find(object);
  if (it == bitmaps_.end()) return false;
  for (const auto& [dc, selected] : dcs_) {
    if (selected == object) return false;
  }
  cairo_surface_destroy(it->second);
  bitmaps_.erase(it);
  return true;
}

bool LinuxGraphics::DeleteDC(GdiHandle dc) { return dcs_.erase(dc) == 1; }

int LinuxGraphics::GdipCreateFromHDC(GdiHandle dc, GdiHandle& graphics) {
  if (!dcs_.contains(dc)) return kInvalidParameter;
  graphics = Next();
  graphics_[graphics] = dc;
  return kOk;
}

int LinuxGraphics::GdipLoadImageFromFile(const std::string& path, GdiHandle& image) {
  const std::optional<std::string> native = runtime_.Paths().ToNative(path);
  if (!native || !g_file_test(native->c_str(), G_FILE_TEST_IS_REGULAR)) return kFileNotFound;
  GOwned<GdkPixbuf> pixbuf(gdk_pixbuf_new_from_file(native->c_str(), nullptr));
  if (!pixbuf) return kInvalidParameter;
  image = Next();
  images_[image] = std::move(pixbuf);
  return kOk;
}

int LinuxGraphics::GdipGetImageWidth(GdiHandle image, std::uint32_t& width) {
  const auto it = images_.find(image);
  if (it == images_.end()) return kInvalidParameter;
  width = static_cast<std::uint32_t>(gdk_pixbuf_get_width(it->second.get()));
  return kOk;
}

int LinuxGraphics::GdipGetImageHeight(GdiHandle image, std::uint32_t& height) {
  const auto it = images_.find(image);
  if (it == images_.end()) return kInvalidParameter;
  height = static_cast<std::uint32_t>(gdk_pixbuf_get_height(it->second.get()));
  return kOk;
}

int LinuxGraphics::GdipDrawImageRect(GdiHandle graphics, GdiHandle image, float x, float y, float width,
                                     float height) {
  const auto g = graphics_.find(graphics);
  const auto i = images_.find(image);
  if (g == graphics_.end() || i == images_.end()) return kInvalidParameter;
  const auto dc = dcs_.find(g->second);
  if (dc == dcs_.end()) return kInvalidParameter;
  const auto bitmap = bitmaps_.find(dc->second);
  if (bitmap == bitmaps_.end()) return kOk;  // the stock bitmap: nothing to see
  GdkPixbuf* pixbuf = i->second.get();
  const int w = gdk_pixbuf_get_width(pixbuf);
  const int h = gdk_pixbuf_get_height(pixbuf);
  if (w <= 0 || h <= 0 || width <= 0 || height <= 0) return kOk;
  cairo_t* cr = cairo_create(bitmap->second);
  cairo_translate(cr, x, y);
  cairo_scale(cr, width / static_cast<double>(w), height / static_cast<double>(h));
  gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(bitmap->second);
  return kOk;
}

int LinuxGraphics::GdipDisposeImage(GdiHandle image) {
  const auto it = images_.find(image);
  if (it == images_.end()) return kInvalidParameter;
  images_.erase(it);
  return kOk;
}

int LinuxGraphics::GdipDeleteGraphics(GdiHandle graphics) {
  return graphics_.erase(graphics) == 1 ? kOk : kInvalidParameter;
}

std::int32_t LinuxGraphics::WindowLong(std::uintptr_t window, int index) {
  const auto it = windowLongs_.find({window, index});
  return it == windowLongs_.end() ? 0 : it->second;
}

void LinuxGraphics::SetWindowLongValue(std::uintptr_t window, int index, std::int32_t value) {
  windowLongs_[{window, index}] = value;
}

// The window keeps a copy, as the system does: the caller may draw on or
// free its bitmap afterwards.
bool LinuxGraphics::UpdateLayered(std::uintptr_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                                  std::int32_t height, GdiHandle source, const BlendFunction&,
                                  std::uint32_t) {
  LinuxWindow* target = runtime_.Find(window);
  const auto dc = dcs_.find(source);
  if (target == nullptr || dc == dcs_.end()) return false;
  const auto bitmap = bitmaps_.find(dc->second);
  if (bitmap == bitmaps_.end() || width <= 0 || height <= 0) return false;
  cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(copy);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, bitmap->second, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  target->SetLayered(copy, x, y, width, height);
  cairo_surface_destroy(copy);
  return true;
}

std::intptr_t LinuxGraphics::SendWindowMessage(std::uintptr_t window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t) {
  LinuxWindow* target = runtime_.Find(window);
  if (target != nullptr && message == kNonClientLeftButtonDown && wParam == kCaptionHit)
    target->MoveWithPointer();
  return 0;
}

}  // namespace tarnhold::platform::linux_backend
