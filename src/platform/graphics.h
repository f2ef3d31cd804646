#pragma once
// GDI, GDI+ and the layered-window calls, through their flat interfaces, one
// seam call a system call. Handles cross as numbers; the Win32 backend owns
// them in RAII types. The GDI+ calls answer a status (0 is Ok) and fail
// quietly, as the flat API does.
#include <cstdint>
#include <string>

namespace tarnhold::platform {

using GdiHandle = std::uintptr_t;

// The 32-bit top-down-or-bottom-up DIB header the frame is drawn into.
struct BitmapHeader {
  std::uint32_t size = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;  // positive: rows stored bottom-up
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 32;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
};

struct BlendFunction {
  std::uint8_t blendOp = 0;
  std::uint8_t blendFlags = 0;
  std::uint8_t sourceConstantAlpha = 255;
  std::uint8_t alphaFormat = 0;
};

class Graphics {
 public:
  virtual ~Graphics() = default;
  // GdiplusStartup with input version 1 and no output record: the status, and
  // the token through `token`.
  virtual int GdiplusStartup(std::uint32_t& token) = 0;
  virtual void GdiplusShutdown(std::uint32_t token) = 0;

  // gdi32. CreateCompatibleDC is made compatible with the window's own DC.
  virtual GdiHandle CreateCompatibleDC(std::uintptr_t window);
  virtual GdiHandle CreateDIBSection(GdiHandle dc, const BitmapHeader& header);
  virtual GdiHandle SelectObject(GdiHandle dc, GdiHandle object);
  virtual bool DeleteObject(GdiHandle object);
  virtual bool DeleteDC(GdiHandle dc);

  // The GDI+ flat calls the frame uses.
  virtual int GdipCreateFromHDC(GdiHandle dc, GdiHandle& graphics);
  virtual int GdipLoadImageFromFile(const std::string& path, GdiHandle& image);
  virtual int GdipGetImageWidth(GdiHandle image, std::uint32_t& width);
  virtual int GdipGetImageHeight(GdiHandle image, std::uint32_t& height);
  virtual int GdipDrawImageRect(GdiHandle graphics, GdiHandle image, float x, float y, float width,
                                float height);
  virtual int GdipDisposeImage(GdiHandle image);
  virtual int GdipDeleteGraphics(GdiHandle graphics);

  // user32.
  virtual std::int32_t WindowLong(std::uintptr_t window, int index);
  virtual void SetWindowLongValue(std::uintptr_t window, int index, std::int32_t value);
  // UpdateLayeredWindow with the window's own DC as destination, source
  // point (0, 0) and colour key 0.
  virtual bool UpdateLayered(std::uintptr_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                             std::int32_t height, GdiHandle source, const BlendFunction& blend,
                             std::uint32_t flags);
  virtual void ReleaseMouseCapture();
  // SendMessage; returns once a modal loop it starts (a move) has ended.
  virtual std::intptr_t SendWindowMessage(std::uintptr_t window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);
};

}  // namespace tarnhold::platform
