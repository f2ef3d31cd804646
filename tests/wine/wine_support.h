#pragma once
// What the Wine tests need to start the client as a user would and look at
// its windows from outside, as the system sees them.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tarnhold::winetest {

struct TopWindow {
  HWND hwnd = nullptr;
  std::wstring title;
  bool visible = false;
  HWND owner = nullptr;
  RECT bounds{};
  int Width() const { return bounds.right - bounds.left; }
  int Height() const { return bounds.bottom - bounds.top; }
};

// A process this test started; ended by its handle when the test is done.
class Child {
 public:
  // `folder`: its current folder; empty for this process's own. `flags`:
  // CreateProcess's creation flags (DEBUG_ONLY_THIS_PROCESS, say).
  Child(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder = L"",
        DWORD flags = 0);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  DWORD Pid() const { return info_.dwProcessId; }
  HANDLE Process() const { return info_.hProcess; }
  // True when it ended within the time; its exit code then in `code`.
  bool WaitForExit(DWORD milliseconds, DWORD& code) const;
  // Once it has ended: true when every process it started (an uninstall's
  // commands run after its end) has ended too within the time, so that
  // nothing of this test acts on the next one's files.
  bool WaitForItsCommands(std::chrono::milliseconds limit) const;
  std::vector<TopWindow> Windows() const;

 private:
  PROCESS_INFORMATION info_{};
};

// The client's windows as the system lists them, by their sizes.
struct LoginScreen {
  const TopWindow* frame = nullptr;  // 1050 x 630
  const TopWindow* page = nullptr;   // 620 x 416
  const TopWindow* close = nullptr;  // 28 x 28
  const TopWindow* small = nullptr;  // 24 x 24
  const TopWindow* game = nullptr;   // the hidden one
  int titled = 0;
};
LoginScreen Classify(const std::vector<TopWindow>& windows);

// The login screen is up when its four windows are shown and stacked by
// ownership as the screen switch leaves them.
bool LoginScreenShown(const Child& client);

// Posts WM_CLOSE to the login frame, as the system would; true when the
// client then ended with exit code 0.
bool CloseThroughTheFrame(const Child& client);

// Polls the condition until it holds or the time is up; never a blind sleep.
bool WaitUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition);

std::wstring OwnFolder();
// A Unix path from the environment, as this process sees it (drive Z: is /);
// empty when the variable is not set.
std::wstring FromUnix(const char* variable);
bool IsFolder(const std::wstring& path);
// Removes a folder and everything in it; fine when it is not there.
void RemoveTree(const std::wstring& path);
void CopyInto(const std::wstring& from, const std::wstring& folder, const std::wstring& name);

// Lines of a text file that start with the prefix.
std::size_t CountLines(const std::wstring& path, const std::string& prefix);
// Registers the stand-in Flash control the way provisioning leaves it: its own
// DllRegisterServer, run from a copy in `folder`, whose log it then empties.
bool RegisterTestFlash(const std::wstring& folder);

double SecondsSince(LARGE_INTEGER start);
LARGE_INTEGER Now();

}  // namespace tarnhold::winetest
