// The client, run exactly as Veltrotarn.exe runs it, which then does what the
// login page's own script would: navigate the login browser to the address on
// its command line. Wine renders no pages, so no page can do it there.
//
//   tarnhold-driver.exe URL [--refreshes N]
//
// With --refreshes, once the game has started, it refreshes N times (enters
// the game again, as the toolbar's refresh does), each time waiting until the
// launcher has been caught again.
#include <cwchar>
#include <functional>
#include <string>

#include "game/form3.h"
#include "login/form2.h"
#include "platform/win32/client_main.h"

#include <shellapi.h>
#include "program.h"

namespace {

struct Options {
  std::string url;
  int refreshes = 0;
};

Options Parse() {
  Options options;
  int count = 0;
  wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int i = 1; args != nullptr && i < count; ++i) {
    if (std::wcscmp(args[i], L"--refreshes") == 0 && i + 1 < count) {
      options.refreshes = static_cast<int>(std::wcstol(args[++i], nullptr, 10));
    } else {
      options.url = tarnhold::platform::win32::Utf8(args[i]);
    }
  }
  ::LocalFree(args);
  return options;
}

// Lets the message loop run until the condition holds or the time is up.
bool PumpUntil(DWORD milliseconds, const std::function<bool()>& condition) {
  const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  while (!condition()) {
    if (::GetTickCount64() >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  const Options options = Parse();
  tarnhold::platform::win32::RunClient(instance, [&](tarnhold::Program& program) {
    if (options.url.empty()) return;
    program.form2().WebBrowser1().Navigate2(options.url);
    tarnhold::Form3& game = program.form3();
    if (!PumpUntil(30000, [&] { return game.JumpDone && game.FlashObject != nullptr; })) return;
    for (int i = 0; i < options.refreshes; ++i) {
      game.EnterToGame(game.GameUrl);
      if (!PumpUntil(30000, [&] { return game.JumpDone && game.FlashObject != nullptr; })) return;
    }
  });
}
