#pragma once
// The names of the events through which the test library answers. They carry
// the process id, so that tests running side by side do not share them.
#include <windows.h>

#include <string>

namespace tarnhold::winetest {

inline std::wstring WorkerEventName(const wchar_t* what) {
  return L"tarnhold-content-worker-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + what;
}

}  // namespace tarnhold::winetest
