#pragma once
// The GDI and GDI+ calls the login frame makes, on cairo and gdk-pixbuf:
// handles are numbers this backend hands out, a device context holds the
// bitmap selected into it, and the layered-window call gives the window the
// picture with its alpha.
#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <map>
#include <set>

#include "platform/graphics.h"
#include "platform/linux/linux_gobject.h"

namespace tarnhold::platform::linux_backend {

class LinuxRuntime;

class LinuxGraphics final : public Graphics {
 public:
  explicit LinuxGraphics(LinuxRuntime& runtime) : runtime_(runtime) {}
  ~LinuxGraphics() override;
  LinuxGraphics(const LinuxGraphics&) = delete;
  LinuxGraphics& operator=(const LinuxGraphics&) = delete;

  int GdiplusStartup(std::uint32_t& token) override;
  void GdiplusShutdown(std::uint32_t token) override;

  GdiHandle CreateCompatibleDC(std::uintptr_t window) override;
  GdiHandle CreateDIBSection(GdiHandle dc, const BitmapHeader& header) override;
  GdiHandle SelectObject(GdiHandle dc, GdiHandle object) override;
  bool DeleteObject(GdiHandle object) override;
  bool DeleteDC(GdiHandle dc) override;

  int GdipCreateFromHDC(GdiHandle dc, GdiHandle& graphics) override;
  int GdipLoadImageFromFile(const std::string& path, GdiHandle& image) override;
  int GdipGetImageWidth(GdiHandle image, std::uint32_t& width) override;
  int GdipGetImageHeight(GdiHandle image, std::uint32_t& height) override;
  int GdipDrawImageRect(GdiHandle graphics, GdiHandle image, float x, float y, float width,
                        float height) override;
  int GdipDisposeImage(GdiHandle image) override;
  int GdipDeleteGraphics(GdiHandle graphics) override;

  std::int32_t WindowLong(std::uintptr_t window, int index) override;
  void SetWindowLongValue(std::uintptr_t window, int index, std::int32_t value) override;
  bool UpdateLayered(std::uintptr_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, GdiHandle source, const BlendFunction& blend,
                     std::uint32_t flags) override;
  void ReleaseMouseCapture() override {}
  std::intptr_t SendWindowMessage(std::uintptr_t window, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) override;

 private:
  GdiHandle Next() { return next_ += 4; }

  LinuxRuntime& runtime_;
  GdiHandle next_ = 0x10000;
  // A new DC holds a stock 1x1 bitmap, as GDI's do, until another is selected.
  GdiHandle stockBitmap_ = 0x8000;
  std::map<GdiHandle, GdiHandle> dcs_;             // DC -> bitmap selected into it
  std::map<GdiHandle, cairo_surface_t*> bitmaps_;  // DIB sections
  std::map<GdiHandle, GdiHandle> graphics_;        // GDI+ graphics -> its DC
  std::map<GdiHandle, GOwned<GdkPixbuf>> images_;  // GDI+ images
  std::map<std::pair<std::uintptr_t, int>, std::int32_t> windowLongs_;
  std::set<std::uint32_t> tokens_;
  std::uint32_t nextToken_ = 0x100;
};

}  // namespace tarnhold::platform::linux_backend
