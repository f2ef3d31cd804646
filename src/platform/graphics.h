#pragma once
// GDI, GDI+ and the layered-window calls, through their flat interfaces.
// Handles cross as numbers; the backends own them in RAII types.
#include <cstdint>
#include <string>

namespace tarnhold::platform {

using GdiHandle = std::uintptr_t;

struct BitmapHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;
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

  // The frame's drawing calls.
  virtual GdiHandle CreateCompatibleDC(std::uintptr_t window);
  virtual GdiHandle CreateDIBSection(GdiHandle dc, const BitmapHeader& header);
  virtual GdiHandle SelectObject(GdiHandle dc, GdiHandle object);
  virtual void DeleteObject(GdiHandle object);
  virtual void DeleteDC(GdiHandle dc);

  // Loads the image at `path` and draws it at (0, 0) unscaled into `dc`.
  virtual void DrawImageFile(GdiHandle dc, const std::string& path);

  virtual std::int32_t WindowLong(std::uintptr_t window, int index);
  virtual void SetWindowLongValue(std::uintptr_t window, int index, std::int32_t value);
  virtual void UpdateLayered(std::uintptr_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                             std::int32_t height, GdiHandle source, const BlendFunction& blend,
                             std::uint32_t flags);
  virtual void ReleaseMouseCapture();
  // SendMessage; returns once a modal loop it starts (a move) has ended.
  virtual std::intptr_t SendWindowMessage(std::uintptr_t window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);
};

}  // namespace tarnhold::platform
