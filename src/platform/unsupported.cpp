// Defaults for the operations a backend may not provide yet: they fail the way
// the runtime fails a call it cannot make, so error-skipping callers go on.
#include "platform/error.h"
#include "platform/graphics.h"
#include "platform/shell.h"
#include "platform/window.h"

namespace tarnhold::platform {

namespace {
[[noreturn]] void Unavailable(const char* what) {
  throw Error(std::string("not available on this platform: ") + what);
}
}  // namespace

ActiveXControl* Window::AddActiveX(const std::string&, const std::string&) {
  Unavailable("run-time controls");
}
void Window::RemoveActiveX(const std::string&) { Unavailable("run-time controls"); }
Browser& Window::AddBrowser(const std::string&, double, double, double, double, BrowserEvents&) {
  Unavailable("browser control");
}
void Window::SetTopmost(bool) { Unavailable("topmost windows"); }
PixelPoint WindowRuntime::CursorPos() const { Unavailable("cursor position"); }
PixelRect WindowRuntime::WorkArea() const { Unavailable("work area"); }

}  // namespace tarnhold::platform

namespace tarnhold::platform {

GdiHandle Graphics::CreateCompatibleDC(std::uintptr_t) { Unavailable("GDI"); }
GdiHandle Graphics::CreateDIBSection(GdiHandle, const BitmapHeader&) { Unavailable("GDI"); }
GdiHandle Graphics::SelectObject(GdiHandle, GdiHandle) { Unavailable("GDI"); }
bool Graphics::DeleteObject(GdiHandle) { Unavailable("GDI"); }
bool Graphics::DeleteDC(GdiHandle) { Unavailable("GDI"); }
int Graphics::GdipCreateFromHDC(GdiHandle, GdiHandle&) { Unavailable("GDI+"); }
int Graphics::GdipLoadImageFromFile(const std::string&, GdiHandle&) { Unavailable("GDI+"); }
int Graphics::GdipGetImageWidth(GdiHandle, std::uint32_t&) { Unavailable("GDI+"); }
int Graphics::GdipGetImageHeight(GdiHandle, std::uint32_t&) { Unavailable("GDI+"); }
int Graphics::GdipDrawImageRect(GdiHandle, GdiHandle, float, float, float, float) { Unavailable("GDI+"); }
int Graphics::GdipDisposeImage(GdiHandle) { Unavailable("GDI+"); }
int Graphics::GdipDeleteGraphics(GdiHandle) { Unavailable("GDI+"); }
std::int32_t Graphics::WindowLong(std::uintptr_t, int) { Unavailable("window styles"); }
void Graphics::SetWindowLongValue(std::uintptr_t, int, std::int32_t) { Unavailable("window styles"); }
bool Graphics::UpdateLayered(std::uintptr_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                             GdiHandle, const BlendFunction&, std::uint32_t) {
  Unavailable("layered windows");
}
void Graphics::ReleaseMouseCapture() { Unavailable("mouse capture"); }
std::intptr_t Graphics::SendWindowMessage(std::uintptr_t, std::uint32_t, std::uintptr_t, std::intptr_t) {
  Unavailable("window messages");
}

}  // namespace tarnhold::platform

namespace tarnhold::platform {

std::unique_ptr<ScriptShell> Shell::CreateScriptShell() { Unavailable("the script shell"); }
std::string Shell::SpecialFolderPath(std::uintptr_t, int, bool) { Unavailable("special folders"); }
bool Shell::NotifyIcon(int, const std::vector<std::uint8_t>&) { Unavailable("the notification area"); }
void Shell::Execute(std::uintptr_t, const std::string&, const std::string&) { Unavailable("shell execute"); }
void Shell::StartProcess(const std::string&, int) { Unavailable("processes"); }
void Shell::StartProcessAfterEnd(const std::string&, int) { Unavailable("processes"); }

}  // namespace tarnhold::platform
