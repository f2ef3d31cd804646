#pragma once
// What the backend acquires from GDI and GDI+ itself, one move-only owner per
// acquire/release pair, and the GDI+ flat calls through declarations of our
// own: the C++ wrappers of <gdiplus.h> would bring in their own allocator and
// a second notion of every handle.
#include "platform/win32/win32_util.h"
// WIN32_LEAN_AND_MEAN leaves IStream out of <windows.h>.
#include <objidl.h>

#include <cstddef>
#include <utility>

namespace tarnhold::platform::win32 {

namespace gdiplus {

// Opaque to their callers in the flat API too. A bitmap is an image there.
struct GpGraphics;
struct GpImage;

// The flat start-up record, version 1.
struct StartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

struct Rect {
  INT X, Y, Width, Height;
};

struct BitmapData {
  UINT Width;
  UINT Height;
  INT Stride;
  INT PixelFormat;
  void* Scan0;
  UINT_PTR Reserved;
};

inline constexpr int kOk = 0;
inline constexpr UINT kLockRead = 1;
// 32 bits a pixel, blue-green-red-alpha in memory, colours premultiplied by
// alpha: what AlphaBlend takes.
inline constexpr INT kFormat32bppPARGB = 0x000E200B;

extern "C" {
int WINAPI GdiplusStartup(ULONG_PTR* token, const StartupInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
int WINAPI GdipDeleteGraphics(GpGraphics* graphics);
int WINAPI GdipLoadImageFromFile(const WCHAR* path, GpImage** image);
int WINAPI GdipCreateBitmapFromStream(IStream* stream, GpImage** bitmap);
int WINAPI GdipGetImageWidth(GpImage* image, UINT* width);
int WINAPI GdipGetImageHeight(GpImage* image, UINT* height);
int WINAPI GdipDrawImageRect(GpGraphics* graphics, GpImage* image, float x, float y, float width,
                             float height);
int WINAPI GdipDisposeImage(GpImage* image);
int WINAPI GdipBitmapLockBits(GpImage* bitmap, const Rect* rect, UINT flags, INT format, BitmapData* data);
int WINAPI GdipBitmapUnlockBits(GpImage* bitmap, BitmapData* data);
}

}  // namespace gdiplus

// One handle released by `Close` when its owner goes. Copying would release it
// twice, so only moving is allowed.
template <class T, class Close>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T value) : value_(value) {}
  ~Unique() { reset(); }
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  T get() const { return value_; }
  explicit operator bool() const { return value_ != T{}; }
  T release() { return std::exchange(value_, T{}); }
  void reset(T value = T{}) {
    const T old = std::exchange(value_, value);
    if (old != T{}) Close{}(old);
  }
  // For out-parameters: whatever was held is released first, so a reused
  // owner never leaks its previous handle.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_{};
};

// Functions imported from a DLL are no constants, so each release is a type.
struct DeleteDCCall {
  void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct DeleteObjectCall {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DeleteGraphicsCall {
  void operator()(gdiplus::GpGraphics* graphics) const { gdiplus::GdipDeleteGraphics(graphics); }
};
struct DisposeImageCall {
  void operator()(gdiplus::GpImage* image) const { gdiplus::GdipDisposeImage(image); }
};

// A DC of our own from CreateCompatibleDC; DeleteDC is its only release.
using MemoryDC = Unique<HDC, DeleteDCCall>;
// Declare it before any SelectedObject that puts it into a DC, so that it is
// selected out before it is deleted: GDI refuses to delete a selected bitmap.
template <class H>
using GdiObject = Unique<H, DeleteObjectCall>;
using GdipGraphics = Unique<gdiplus::GpGraphics*, DeleteGraphicsCall>;
using GdipImage = Unique<gdiplus::GpImage*, DisposeImageCall>;

// A window's DC from GetDC goes back to that window with ReleaseDC; DeleteDC
// on it would be wrong.
class WindowDC {
 public:
  explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~WindowDC() {
    if (dc_ != nullptr) ::ReleaseDC(hwnd_, dc_);
  }
  WindowDC(WindowDC&& other) noexcept
      : hwnd_(std::exchange(other.hwnd_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDC& operator=(WindowDC&&) = delete;
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint's DC, ended with EndPaint, which also validates the area.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &ps_)) {}
  ~PaintScope() {
    if (dc_ != nullptr) ::EndPaint(hwnd_, &ps_);
  }
  PaintScope(PaintScope&& other) noexcept
      : hwnd_(other.hwnd_), ps_(other.ps_), dc_(std::exchange(other.dc_, nullptr)) {}
  PaintScope& operator=(PaintScope&&) = delete;
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC get() const { return dc_; }
  const RECT& Area() const { return ps_.rcPaint; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// An object selected into a DC until this goes, when what was there before
// goes back in.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {
    if (previous_ == HGDI_ERROR) previous_ = nullptr;
  }
  ~SelectedObject() {
    if (previous_ != nullptr) ::SelectObject(dc_, previous_);
  }
  SelectedObject(SelectedObject&& other) noexcept
      : dc_(other.dc_), previous_(std::exchange(other.previous_, nullptr)) {}
  SelectedObject& operator=(SelectedObject&&) = delete;
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  explicit operator bool() const { return previous_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A GDI+ bitmap's pixels, locked for reading until this goes.
class LockedBits {
 public:
  LockedBits(gdiplus::GpImage* bitmap, const gdiplus::Rect& rect, INT format) : bitmap_(bitmap) {
    if (gdiplus::GdipBitmapLockBits(bitmap, &rect, gdiplus::kLockRead, format, &data_) != gdiplus::kOk) {
      bitmap_ = nullptr;
    }
  }
  ~LockedBits() {
    if (bitmap_ != nullptr) gdiplus::GdipBitmapUnlockBits(bitmap_, &data_);
  }
  LockedBits(LockedBits&& other) noexcept
      : bitmap_(std::exchange(other.bitmap_, nullptr)), data_(other.data_) {}
  LockedBits& operator=(LockedBits&&) = delete;
  LockedBits(const LockedBits&) = delete;
  LockedBits& operator=(const LockedBits&) = delete;
  explicit operator bool() const { return bitmap_ != nullptr; }
  const gdiplus::BitmapData& Data() const { return data_; }

 private:
  gdiplus::GpImage* bitmap_;
  gdiplus::BitmapData data_{};
};

// One GdiplusStartup of the backend's own, shut down with its token. GDI+
// counts start-ups, so this neither needs nor disturbs the behaviour's own.
class GdiplusSession {
 public:
  GdiplusSession() {
    const gdiplus::StartupInput input{1, nullptr, FALSE, FALSE};
    started_ = gdiplus::GdiplusStartup(&token_, &input, nullptr) == gdiplus::kOk;
  }
  ~GdiplusSession() {
    if (started_) gdiplus::GdiplusShutdown(token_);
  }
  GdiplusSession(GdiplusSession&& other) noexcept
      : token_(other.token_), started_(std::exchange(other.started_, false)) {}
  GdiplusSession& operator=(GdiplusSession&&) = delete;
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  explicit operator bool() const { return started_; }

 private:
  ULONG_PTR token_ = 0;
  bool started_ = false;
};

// A picture decoded once: premultiplied 32-bit pixels, rows top-down, in a
// DIB of its own, ready for StretchBlt or AlphaBlend.
struct Picture {
  GdiObject<HBITMAP> bitmap;
  int width = 0;
  int height = 0;
  bool opaque = true;
  explicit operator bool() const { return static_cast<bool>(bitmap); }
};

// Decodes PNG, JPEG, BMP or GIF bytes with GDI+, which must be running. An
// empty Picture when the bytes are no picture GDI+ can read.
Picture DecodePicture(const unsigned char* bytes, std::size_t size);

}  // namespace tarnhold::platform::win32
