// GDI, GDI+ and the layered-window calls. Handles the behaviour owns cross
// as numbers and are passed straight through; only what these calls acquire
// for themselves is held here, and never beyond the call.
#include <shlwapi.h>

#include <climits>
#include <cstring>

#include "platform/win32/win32_gdi.h"
#include "platform/win32/win32_platform.h"

namespace tarnhold::platform::win32 {

namespace {

HWND Hwnd(std::uintptr_t window) { return reinterpret_cast<HWND>(window); }
HDC Dc(GdiHandle dc) { return reinterpret_cast<HDC>(dc); }
GdiHandle Number(const void* handle) { return reinterpret_cast<GdiHandle>(handle); }
gdiplus::GpGraphics* AsGraphics(GdiHandle graphics) {
  return reinterpret_cast<gdiplus::GpGraphics*>(graphics);
}
gdiplus::GpImage* AsImage(GdiHandle image) { return reinterpret_cast<gdiplus::GpImage*>(image); }

// Larger pictures are surely damaged data, and their byte count would not fit
// the 32-bit arithmetic below.
constexpr UINT kMaxPictureSide = 16384;

}  // namespace

int Win32Graphics::GdiplusStartup(std::uint32_t& token) {
  const gdiplus::StartupInput input{1, nullptr, FALSE, FALSE};
  ULONG_PTR got = 0;
  const int status = gdiplus::GdiplusStartup(&got, &input, nullptr);
  if (status == gdiplus::kOk) {
    token = static_cast<std::uint32_t>(got);
    tokens_.insert(token);
  }
  return status;
}

void Win32Graphics::GdiplusShutdown(std::uint32_t token) {
  if (tokens_.erase(token) == 0) return;
  gdiplus::GdiplusShutdown(static_cast<ULONG_PTR>(token));
}

GdiHandle Win32Graphics::CreateCompatibleDC(std::uintptr_t window) {
  const WindowDC windowDc(Hwnd(window));
  return Number(::CreateCompatibleDC(windowDc.get()));
}

GdiHandle Win32Graphics::CreateDIBSection(GdiHandle dc, const BitmapHeader& header) {
  // Room behind the basic header, so that a record claiming a larger header
  // makes GDI read zeros rather than past the end of ours.
  struct {
    BITMAPV5HEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.bV5Size = header.size;
  info.header.bV5Width = header.width;
  info.header.bV5Height = header.height;
  info.header.bV5Planes = header.planes;
  info.header.bV5BitCount = header.bitCount;
  info.header.bV5Compression = header.compression;
  info.header.bV5SizeImage = header.imageSize;
  // CreateDIBSection insists on somewhere to put the pixels' address, which
  // nobody here reads.
  void* bits = nullptr;
  return Number(::CreateDIBSection(Dc(dc), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                   nullptr, 0));
}

GdiHandle Win32Graphics::SelectObject(GdiHandle dc, GdiHandle object) {
  return Number(::SelectObject(Dc(dc), reinterpret_cast<HGDIOBJ>(object)));
}

bool Win32Graphics::DeleteObject(GdiHandle object) {
  return ::DeleteObject(reinterpret_cast<HGDIOBJ>(object)) != FALSE;
}

bool Win32Graphics::DeleteDC(GdiHandle dc) { return ::DeleteDC(Dc(dc)) != FALSE; }

// The out-parameters start from what the caller holds, so a failing call that
// writes nothing leaves it as it was, as with a variable passed by reference.
int Win32Graphics::GdipCreateFromHDC(GdiHandle dc, GdiHandle& graphics) {
  gdiplus::GpGraphics* made = AsGraphics(graphics);
  const int status = gdiplus::GdipCreateFromHDC(Dc(dc), &made);
  graphics = Number(made);
  return status;
}

int Win32Graphics::GdipLoadImageFromFile(const std::string& path, GdiHandle& image) {
  const std::wstring wide = Wide(path);
  gdiplus::GpImage* loaded = AsImage(image);
  const int status = gdiplus::GdipLoadImageFromFile(wide.c_str(), &loaded);
  image = Number(loaded);
  return status;
}

int Win32Graphics::GdipGetImageWidth(GdiHandle image, std::uint32_t& width) {
  UINT got = width;
  const int status = gdiplus::GdipGetImageWidth(AsImage(image), &got);
  width = got;
  return status;
}

int Win32Graphics::GdipGetImageHeight(GdiHandle image, std::uint32_t& height) {
  UINT got = height;
  const int status = gdiplus::GdipGetImageHeight(AsImage(image), &got);
  height = got;
  return status;
}

int Win32Graphics::GdipDrawImageRect(GdiHandle graphics, GdiHandle image, float x, float y, float width,
                                     float height) {
  return gdiplus::GdipDrawImageRect(AsGraphics(graphics), AsImage(image), x, y, width, height);
}

int Win32Graphics::GdipDisposeImage(GdiHandle image) { return gdiplus::GdipDisposeImage(AsImage(image)); }

int Win32Graphics::GdipDeleteGraphics(GdiHandle graphics) {
  return gdiplus::GdipDeleteGraphics(AsGraphics(graphics));
}

std::int32_t Win32Graphics::WindowLong(std::uintptr_t window, int index) {
  return ::GetWindowLongW(Hwnd(window), index);
}

void Win32Graphics::SetWindowLongValue(std::uintptr_t window, int index, std::int32_t value) {
  ::SetWindowLongW(Hwnd(window), index, value);
}

bool Win32Graphics::UpdateLayered(std::uintptr_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                                  std::int32_t height, GdiHandle source, const BlendFunction& blend,
                                  std::uint32_t flags) {
  const WindowDC windowDc(Hwnd(window));
  POINT position{x, y};
  SIZE size{width, height};
  POINT origin{0, 0};
  BLENDFUNCTION function{blend.blendOp, blend.blendFlags, blend.sourceConstantAlpha, blend.alphaFormat};
  return ::UpdateLayeredWindow(Hwnd(window), windowDc.get(), &position, &size, Dc(source), &origin, 0,
                               &function, flags) != FALSE;
}

void Win32Graphics::ReleaseMouseCapture() { ::ReleaseCapture(); }

std::intptr_t Win32Graphics::SendWindowMessage(std::uintptr_t window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam) {
  return ::SendMessageW(Hwnd(window), message, wParam, lParam);
}

Picture DecodePicture(const unsigned char* bytes, std::size_t size) {
  if (bytes == nullptr || size == 0 || size > UINT_MAX) return {};
  // The stream goes last: GDI+ may read from it for as long as the bitmap lives.
  const ComPtr<IStream> stream(::SHCreateMemStream(bytes, static_cast<UINT>(size)));
  if (!stream) return {};
  GdipImage decoded;
  if (gdiplus::GdipCreateBitmapFromStream(stream.get(), decoded.put()) != gdiplus::kOk) return {};
  UINT width = 0;
  UINT height = 0;
  if (gdiplus::GdipGetImageWidth(decoded.get(), &width) != gdiplus::kOk ||
      gdiplus::GdipGetImageHeight(decoded.get(), &height) != gdiplus::kOk) {
    return {};
  }
  if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) return {};
  const auto w = static_cast<INT>(width);
  const auto h = static_cast<INT>(height);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down, as GDI+ hands out its rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject<HBITMAP> dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || bits == nullptr) return {};

  // Asking for premultiplied pixels makes GDI+ decode all of them now, so
  // nothing of the stream or of GDI+ is needed to paint them later.
  const LockedBits locked(decoded.get(), gdiplus::Rect{0, 0, w, h}, gdiplus::kFormat32bppPARGB);
  if (!locked) return {};
  const gdiplus::BitmapData& data = locked.Data();
  const std::size_t row = std::size_t{4} * width;
  auto* to = static_cast<unsigned char*>(bits);
  const auto* from = static_cast<const unsigned char*>(data.Scan0);
  bool opaque = true;
  for (UINT y = 0; y < height; ++y) {
    const unsigned char* source = from + static_cast<std::ptrdiff_t>(y) * data.Stride;
    std::memcpy(to + y * row, source, row);
    for (std::size_t alpha = 3; opaque && alpha < row; alpha += 4) opaque = source[alpha] == 0xFF;
  }
  return Picture{std::move(dib), w, h, opaque};
}

}  // namespace tarnhold::platform::win32
