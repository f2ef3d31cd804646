// A library for the registration worker's tests: exports without parameters,
// as DllRegisterServer is, that tell the test through named events that they
// ran and on which thread.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "worker_events.h"

namespace {

LONG calls = 0;
LONG lastThread = 0;
void* lastCaller = nullptr;

void Signal(const wchar_t* what) {
  HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, tarnhold::winetest::WorkerEventName(what).c_str());
  if (event == nullptr) return;
  ::SetEvent(event);
  ::CloseHandle(event);
}

void Count() {
  ::InterlockedExchange(&lastThread, static_cast<LONG>(::GetCurrentThreadId()));
  ::InterlockedIncrement(&calls);
}

}  // namespace

extern "C" HRESULT WINAPI DllRegisterServer() {
  Count();
  ::InterlockedExchangePointer(&lastCaller, __builtin_return_address(0));
  Signal(L"ran");
  return S_OK;
}

extern "C" HRESULT WINAPI Refuse() {
  Count();
  return E_FAIL;
}

// Holds on until the test lets it go, or a minute has passed: a test that
// fails before releasing it must not leave a worker behind for good.
extern "C" HRESULT WINAPI Hang() {
  Count();
  HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, tarnhold::winetest::WorkerEventName(L"release").c_str());
  if (release == nullptr) return E_UNEXPECTED;
  Signal(L"entered");
  const DWORD waited = ::WaitForSingleObject(release, 60000);
  ::CloseHandle(release);
  return waited == WAIT_OBJECT_0 ? S_OK : E_ABORT;
}

extern "C" LONG WINAPI CallCount() { return ::InterlockedCompareExchange(&calls, 0, 0); }

extern "C" DWORD WINAPI LastThread() {
  return static_cast<DWORD>(::InterlockedCompareExchange(&lastThread, 0, 0));
}

// Where DllRegisterServer last returned to: code that called it as what it
// is, or the system's thread start, which passes it an argument it does not take.
extern "C" void* WINAPI LastCaller() {
  return ::InterlockedCompareExchangePointer(&lastCaller, nullptr, nullptr);
}
