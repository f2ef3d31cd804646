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
  Child(const std::wstring& exe, const std::wstring& arguments);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  DWORD Pid() const { return info_.dwProcessId; }
  // True when it ended within the time; its exit code then in `code`.
  bool WaitForExit(DWORD milliseconds, DWORD& code) const;
  std::vector<TopWindow> Windows() const;

 private:
  PROCESS_INFORMATION info_{};
};

// Polls the condition until it holds or the time is up; never a blind sleep.
bool WaitUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition);

std::wstring OwnFolder();
bool IsFolder(const std::wstring& path);
// Removes a folder and everything in it; fine when it is not there.
void RemoveTree(const std::wstring& path);
void CopyInto(const std::wstring& from, const std::wstring& folder, const std::wstring& name);

double SecondsSince(LARGE_INTEGER start);
LARGE_INTEGER Now();

}  // namespace tarnhold::winetest
