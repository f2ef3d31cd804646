// The client, run exactly as Veltrotarn.exe runs it, which then does what the
// login page's own script would: navigate the login browser to the address on
// its command line. Wine renders no pages, so no page can do it there.
//
//   tarnhold-driver.exe URL [--refreshes N] [--time-drag N FILE] [--logins N]
//                           [--soak N FILE]
//
// With --refreshes, once the game has started, it refreshes N times (enters
// the game again, as the toolbar's refresh does), each time waiting until the
// launcher has been caught again.
//
// With --logins, each time the login screen comes back, it logs in again,
// until N logins in all.
//
// With --soak, it goes N times from the game back to the login screen (the
// game window's close) and logs in again, and FILE gets one line a round of
// what the process then holds: GDI objects, USER objects, kernel handles and
// private bytes.
//
// With --time-drag, once the game has started, it restores the game window
// and resizes it by its right border N times, each step one mouse move as the
// system delivers it, followed by the repaint; FILE then holds the median and
// the slowest step in microseconds ("median_us=... max_us=... steps=...").
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "game/form3.h"
#include "login/form2.h"
#include "platform/win32/client_main.h"

#include <shellapi.h>
#include "process_counts.h"
#include "program.h"

namespace {

struct Options {
  std::string url;
  int refreshes = 0;
  int dragSteps = 0;
  int logins = 1;
  int soakRounds = 0;
  std::wstring soakFile;
  std::wstring dragFile;
};

Options Parse() {
  Options options;
  int count = 0;
  wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int i = 1; args != nullptr && i < count; ++i) {
    if (std::wcscmp(args[i], L"--refreshes") == 0 && i + 1 < count) {
      options.refreshes = static_cast<int>(std::wcstol(args[++i], nullptr, 10));
    } else if (std::wcscmp(args[i], L"--soak") == 0 && i + 2 < count) {
      options.soakRounds = static_cast<int>(std::wcstol(args[++i], nullptr, 10));
      options.soakFile = args[++i];
    } else if (std::wcscmp(args[i], L"--logins") == 0 && i + 1 < count) {
      options.logins = static_cast<int>(std::wcstol(args[++i], nullptr, 10));
    } else if (std::wcscmp(args[i], L"--time-drag") == 0 && i + 2 < count) {
      options.dragSteps = static_cast<int>(std::wcstol(args[++i], nullptr, 10));
      options.dragFile = args[++i];
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

double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// Each step: the pointer one place further, the move the system would send
// while the border holds the capture, and the repaint it causes.
void TimeDrag(tarnhold::Form3& game, int steps, const std::wstring& file) {
  if (game.Maximized) game.ToggleMaximize();
  const HWND hwnd = reinterpret_cast<HWND>(game.Window().Handle());
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  const int y = (r.bottom - r.top) / 2;
  const int edge = r.right - r.left - 2;  // on the 4-pixel right border
  ::SetCursorPos(r.left + edge, r.top + y);
  ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(edge, y));
  std::vector<double> times;
  for (int i = 1; i <= steps; ++i) {
    const int dx = (i % 100) < 50 ? (i % 50) : 50 - (i % 50);  // out and back
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    ::QueryPerformanceCounter(&start);
    ::SetCursorPos(r.left + edge + dx, r.top + y);
    ::SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(edge + dx, y));
    ::UpdateWindow(hwnd);
    ::QueryPerformanceCounter(&end);
    times.push_back(Microseconds(start, end));
  }
  ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(edge, y));
  std::sort(times.begin(), times.end());
  FILE* out = _wfopen(file.c_str(), L"w");
  if (out == nullptr) return;
  std::fprintf(out, "median_us=%.0f max_us=%.0f steps=%d\n", times[times.size() / 2], times.back(), steps);
  std::fclose(out);
}

// One line a round, written as it goes, so that a soak cut short still says
// how far it came.
void Soak(tarnhold::Program& program, const std::string& url, int rounds, const std::wstring& file) {
  tarnhold::Form3& game = program.form3();
  FILE* out = _wfopen(file.c_str(), L"w");
  if (out == nullptr) return;
  for (int round = 1; round <= rounds; ++round) {
    const tarnhold::counts::GdiCount gdi = tarnhold::counts::GdiObjects();
    std::fprintf(out, "round=%d gdi=%lu user=%lu handles=%lu private=%lu\n", round, gdi.objects,
                 tarnhold::counts::UserObjects(), tarnhold::counts::KernelHandles(),
                 static_cast<unsigned long>(tarnhold::counts::PrivateBytes()));
    std::fflush(out);
    // The system close of the game window, which goes back to the login screen.
    ::PostMessageW(reinterpret_cast<HWND>(game.Window().Handle()), WM_CLOSE, 0, 0);
    if (!PumpUntil(30000, [&] { return program.form2().Window().Visible() && !game.Window().Visible(); }))
      break;
    program.form2().WebBrowser1().Navigate2(url);
    if (!PumpUntil(30000,
                   [&] { return game.Window().Visible() && game.JumpDone && game.FlashObject != nullptr; })) {
      break;
    }
  }
  std::fclose(out);
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
    if (options.dragSteps > 0) TimeDrag(game, options.dragSteps, options.dragFile);
    if (options.soakRounds > 0) Soak(program, options.url, options.soakRounds, options.soakFile);
    for (int login = 1; login < options.logins; ++login) {
      if (!PumpUntil(120000,
                     [&] { return program.form2().Window().Visible() && !game.Window().Visible(); })) {
        return;
      }
      program.form2().WebBrowser1().Navigate2(options.url);
      if (!PumpUntil(30000, [&] {
            return game.Window().Visible() && game.JumpDone && game.FlashObject != nullptr;
          })) {
        return;
      }
    }
  });
}
