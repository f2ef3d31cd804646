#include <cstdint>

#include "platform/win32/win32_content.h"
#include "platform/win32/win32_util.h"

namespace tarnhold::platform::win32 {

namespace {

using ExportWithoutParameters = HRESULT(WINAPI*)();

// A thread's start routine is called with one argument. An export that takes
// none, started there directly, would return under stdcall without taking
// that argument off the stack, leaving the thread's first frame unbalanced.
// So every worker starts here, with the export as its argument, and the
// export is called as what it is.
DWORD WINAPI RunExport(LPVOID parameter) {
  const auto entry = reinterpret_cast<ExportWithoutParameters>(reinterpret_cast<std::uintptr_t>(parameter));
  return static_cast<DWORD>(entry());
}

}  // namespace

ModuleHandle Win32Libraries::Load(const std::string& path) {
  return reinterpret_cast<ModuleHandle>(::LoadLibraryW(Wide(path).c_str()));
}

// 0 is no module at all; GetProcAddress would search the program itself.
ProcAddress Win32Libraries::Export(ModuleHandle module, const std::string& name) {
  if (module == 0) return 0;
  return reinterpret_cast<ProcAddress>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str()));
}

ThreadHandle Win32Libraries::StartThread(ProcAddress start) {
  if (start == 0) return 0;
  return reinterpret_cast<ThreadHandle>(
      ::CreateThread(nullptr, 0, RunExport, reinterpret_cast<LPVOID>(start), 0, nullptr));
}

std::uint32_t Win32Libraries::Wait(ThreadHandle thread, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(reinterpret_cast<HANDLE>(thread), milliseconds);
}

void Win32Libraries::Close(ThreadHandle handle) {
  if (handle != 0) ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

void Win32Libraries::Free(ModuleHandle module) {
  if (module != 0) ::FreeLibrary(reinterpret_cast<HMODULE>(module));
}

}  // namespace tarnhold::platform::win32
