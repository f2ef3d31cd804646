// The start-up baseline that hosts the browser control: one window, titled
// "Browser", with the system's WebBrowser control in it navigating to the
// login page, shown at once. It hosts the control through the client's own
// backend, so that what it costs beside the client is the control itself.
#include <windows.h>

#include <memory>

#include "constants.h"
#include "platform/win32/win32_windows.h"

namespace {

using tarnhold::platform::BrowserEvents;
using tarnhold::platform::WindowDesign;
using tarnhold::platform::WindowEvents;

struct Quiet final : WindowEvents, BrowserEvents {
  void CloseRequested() override { ::PostQuitMessage(0); }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  try {
    tarnhold::platform::win32::Win32Runtime runtime(instance);
    Quiet events;
    WindowDesign design;
    design.name = "Browser";
    design.clientWidth = 620 * 15;
    design.clientHeight = 416 * 15;
    const std::unique_ptr<tarnhold::platform::Window> window = runtime.NewWindow(design, events);
    window->SetCaption("Browser");
    window->AddBrowser("WebBrowser1", 0, 0, design.clientWidth, design.clientHeight, events)
        .Navigate2(tarnhold::LoginUrl);
    window->Show(nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  } catch (...) {
    return 1;
  }
  return 0;
}
